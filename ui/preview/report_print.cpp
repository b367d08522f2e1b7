#include "ui/preview/report_print.h"

#include <algorithm>

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

#include "ui/report/page_file.h"
#include "ui/widgets/printer.h"

namespace mg::ui {

bool printPages(const std::vector<std::string>& pageList, QPrinter& printer, std::string& error) {
    error.clear();
    if (pageList.empty()) return true;
    report::Page first;
    if (!first.load(pageList.front())) {
        error = "The page file " + pageList.front() + " could not be read.";
        return false;
    }
    // The report's own page size and orientation; the page is drawn over the paper's full
    // area, its margins are the report's.
    const QSize size = first.size();
    printer.setFullPage(true);
    // The paper is named upright; a page wider than tall turns it.
    const double shortSide = std::min(size.width(), size.height()) / 1000.0;
    const double longSide = std::max(size.width(), size.height()) / 1000.0;
    printer.setPageSize(QPageSize(QSizeF(shortSide, longSide), QPageSize::Inch));
    printer.setPageOrientation(size.width() > size.height() ? QPageLayout::Landscape : QPageLayout::Portrait);
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    QPainter painter;
    if (!painter.begin(&printer)) {
        error = "The printer could not be started.";
        return false;
    }
    // A page range chosen in the print dialog, else every page.
    size_t from = 0, to = pageList.size();
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        from = std::min(pageList.size(), static_cast<size_t>(printer.fromPage() - 1));
        to = std::min(pageList.size(), static_cast<size_t>(std::max(printer.toPage(), printer.fromPage())));
    }
    for (size_t i = from; i < to; ++i) {
        report::Page page;
        if (i == 0) {
            page = std::move(first);
        } else {
            if (!page.load(pageList[i])) {
                error = "The page file " + pageList[i] + " could not be read.";
                painter.end();
                return false;
            }
            if (i > from) printer.newPage();
        }
        const double dpiX = printer.resolution(), dpiY = printer.resolution();
        page.draw(painter, QRectF(0, 0, page.size().width() * dpiX / 1000.0, page.size().height() * dpiY / 1000.0));
    }
    painter.end();
    return true;
}

bool printReport(const std::vector<std::string>& pageList, QWidget* parent, std::string& error) {
    error.clear();
    QPrinter& printer = programPrinter();
    QPrintDialog dialog(&printer, parent);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    if (dialog.exec() != QDialog::Accepted) return false;
    return printPages(pageList, printer, error);
}

}  // namespace mg::ui
