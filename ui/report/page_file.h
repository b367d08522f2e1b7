#pragma once
// Page files: one vector page (a QPicture recorded in thousandths of an inch, its bounding
// rectangle the whole page) per report page. Drawn at any scale they stay sharp, a printer
// gets them at its own resolution, and their texts stay texts in a PDF.

#include <string>
#include <vector>

#include <QFont>
#include <QPicture>
#include <QRectF>
#include <QSize>

class QPainter;

namespace mg::report {

// The font a report draws `points` of `name` with, sized for a page in thousandths of an inch.
QFont pageFont(const std::string& name, int points, bool bold = false);

// Loads a page file; false when it cannot be read.
bool loadPage(const std::string& file, QPicture& page);
// The page's size in thousandths of an inch.
QSize pageSize(const QPicture& page);

// Draws the whole page into `target` (device coordinates of the painter), scaled to fit it.
void drawPage(QPainter& painter, const QPicture& page, const QRectF& target);

// Joins the pages into one PDF file at `path`, each PDF page the size of its report page.
// False, with the reason in `error`, when a page cannot be read or the file not written.
bool exportPdf(const std::vector<std::string>& pageList, const std::string& path, std::string& error);

}  // namespace mg::report
