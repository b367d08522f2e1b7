#pragma once
// Page files: one vector page per report page, in thousandths of an inch. A page is a short
// list of drawing steps (texts in their boxes with their fonts, lines, images) that any
// painter replays at any scale: the preview at screen size, a printer at its own resolution,
// the PDF export with its texts kept as texts.
//
// (A QPicture would record the same steps, but replays its texts scaled by the ratio of the
// target's resolution to the screen's, so a page played on a 1200-dpi PDF or a 600-dpi
// printer loses its texts off the page. These steps carry their fonts in page units.)

#include <cstdint>
#include <string>
#include <vector>

#include <QFont>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

class QPainter;
class QRectF;

namespace mg::report {

// The font a report draws `points` of `name` with, sized for a page in thousandths of an inch.
QFont pageFont(const std::string& name, int points, bool bold = false);

struct PageStep {
    enum Kind : uint8_t { Text = 1, Line = 2, Image = 3 };
    Kind kind = Text;
    QRect rect;          // Text, Image: the box; Line: from topLeft to (x+w, y+h)
    int font = 0;        // Text: index into the page's fonts
    int flags = 0;       // Text: Qt alignment flags
    int pen = 10;        // Line: width
    QString text;
    QImage image;
};

class Page {
public:
    Page() = default;
    explicit Page(QSize size) : size_(size) {}

    QSize size() const { return size_; }
    const std::vector<PageStep>& steps() const { return steps_; }

    void addText(const QRect& box, const QFont& font, int flags, const QString& text);
    void addLine(int x1, int y1, int x2, int y2, int pen);
    void addImage(const QRect& box, const QImage& image);

    bool save(const std::string& file) const;
    bool load(const std::string& file);

    // Draws the whole page into `target` (device coordinates of the painter), scaled to fit it.
    void draw(QPainter& painter, const QRectF& target) const;

private:
    QSize size_;
    std::vector<QFont> fonts_;
    std::vector<PageStep> steps_;
};

// Joins the pages into one PDF file at `path`, each PDF page the size of its report page.
// False, with the reason in `error`, when a page cannot be read or the file not written.
bool exportPdf(const std::vector<std::string>& pageList, const std::string& path, std::string& error);

}  // namespace mg::report
