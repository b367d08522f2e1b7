#include "ui/report/page_file.h"

#include <cmath>

#include <QFile>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

namespace mg::report {

QFont pageFont(const std::string& name, int points, bool bold) {
    QFont f(QString::fromStdString(name));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(static_cast<int>(std::lround(points * 1000.0 / 72.0)));
    f.setBold(bold);
    // The page is drawn at every scale from thumbnails to printers: hinting for one scale
    // would move the texts at another.
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

bool loadPage(const std::string& file, QPicture& page) {
    return page.load(QString::fromStdString(file));
}

QSize pageSize(const QPicture& page) {
    const QRect r = page.boundingRect();
    return {r.right() + 1, r.bottom() + 1};
}

void drawPage(QPainter& painter, const QPicture& page, const QRectF& target) {
    const QSize size = pageSize(page);
    if (size.width() <= 0 || size.height() <= 0) return;
    painter.save();
    painter.translate(target.topLeft());
    painter.scale(target.width() / size.width(), target.height() / size.height());
    painter.setClipRect(QRect(QPoint(0, 0), size));
    painter.drawPicture(0, 0, page);
    painter.restore();
}

bool exportPdf(const std::vector<std::string>& pageList, const std::string& path, std::string& error) {
    if (pageList.empty()) {
        error = "The report has no pages.";
        return false;
    }
    QPdfWriter writer(QString::fromStdString(path));
    constexpr int kResolution = 1200;
    writer.setResolution(kResolution);
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setCreator("Marrowgate");
    QPainter painter;
    bool first = true;
    for (const std::string& file : pageList) {
        QPicture page;
        if (!loadPage(file, page)) {
            error = "The page file " + file + " could not be read.";
            if (painter.isActive()) painter.end();
            return false;
        }
        const QSize size = pageSize(page);
        writer.setPageSize(QPageSize(QSizeF(size.width() / 1000.0, size.height() / 1000.0), QPageSize::Inch));
        if (first) {
            if (!painter.begin(&writer)) {
                error = "The PDF file " + path + " could not be written.";
                return false;
            }
            first = false;
        } else {
            writer.newPage();
        }
        drawPage(painter, page, QRectF(0, 0, size.width() * kResolution / 1000.0, size.height() * kResolution / 1000.0));
    }
    painter.end();
    if (!QFile::exists(QString::fromStdString(path))) {
        error = "The PDF file " + path + " could not be written.";
        return false;
    }
    return true;
}

}  // namespace mg::report
