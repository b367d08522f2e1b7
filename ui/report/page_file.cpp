#include "ui/report/page_file.h"

#include <cmath>

#include <QDataStream>
#include <QFile>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include "ui/report/font_stand_in.h"

namespace mg::report {
namespace {

constexpr quint32 kMagic = 0x4D475047;  // "MGPG"
constexpr quint16 kVersion = 1;

}  // namespace

QFont pageFont(const std::string& name, int points, bool bold) {
    // The family written into the page file is the one drawn, so that every replay of the
    // page measures as the engine did.
    const QString standIn = ui::standInFamily(name);
    QFont f(standIn.isEmpty() ? QString::fromStdString(name) : standIn);
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(static_cast<int>(std::lround(points * 1000.0 / 72.0)));
    f.setBold(bold);
    // The page is drawn at every scale from thumbnails to printers: hinting for one scale
    // would move the texts at another.
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

void Page::addText(const QRect& box, const QFont& font, int flags, const QString& text) {
    int index = -1;
    for (size_t i = 0; i < fonts_.size(); ++i)
        if (fonts_[i] == font) index = static_cast<int>(i);
    if (index < 0) {
        fonts_.push_back(font);
        index = static_cast<int>(fonts_.size()) - 1;
    }
    PageStep s;
    s.kind = PageStep::Text;
    s.rect = box;
    s.font = index;
    s.flags = flags;
    s.text = text;
    steps_.push_back(std::move(s));
}

void Page::addLine(int x1, int y1, int x2, int y2, int pen) {
    PageStep s;
    s.kind = PageStep::Line;
    s.rect = QRect(x1, y1, x2 - x1, y2 - y1);
    s.pen = pen;
    steps_.push_back(std::move(s));
}

void Page::addImage(const QRect& box, const QImage& image) {
    PageStep s;
    s.kind = PageStep::Image;
    s.rect = box;
    s.image = image;
    steps_.push_back(std::move(s));
}

bool Page::save(const std::string& file) const {
    QFile out(QString::fromStdString(file));
    if (!out.open(QIODevice::WriteOnly)) return false;
    QDataStream s(&out);
    s.setVersion(QDataStream::Qt_6_0);
    s << kMagic << kVersion << size_;
    s << static_cast<quint32>(fonts_.size());
    for (const QFont& f : fonts_) s << f.family() << qint32(f.pixelSize()) << bool(f.bold());
    s << static_cast<quint32>(steps_.size());
    for (const PageStep& step : steps_) {
        s << quint8(step.kind) << step.rect;
        switch (step.kind) {
        case PageStep::Text: s << qint32(step.font) << qint32(step.flags) << step.text; break;
        case PageStep::Line: s << qint32(step.pen); break;
        case PageStep::Image: s << step.image; break;
        }
    }
    out.close();
    return s.status() == QDataStream::Ok && out.error() == QFileDevice::NoError;
}

bool Page::load(const std::string& file) {
    QFile in(QString::fromStdString(file));
    if (!in.open(QIODevice::ReadOnly)) return false;
    QDataStream s(&in);
    s.setVersion(QDataStream::Qt_6_0);
    quint32 magic = 0, count = 0;
    quint16 version = 0;
    s >> magic >> version;
    if (magic != kMagic || version != kVersion) return false;
    s >> size_ >> count;
    fonts_.clear();
    steps_.clear();
    for (quint32 i = 0; i < count && s.status() == QDataStream::Ok; ++i) {
        QString family;
        qint32 pixels = 0;
        bool bold = false;
        s >> family >> pixels >> bold;
        QFont f(family);
        f.setStyleHint(QFont::SansSerif);
        f.setPixelSize(std::max(1, int(pixels)));
        f.setBold(bold);
        f.setHintingPreference(QFont::PreferNoHinting);
        fonts_.push_back(f);
    }
    s >> count;
    for (quint32 i = 0; i < count && s.status() == QDataStream::Ok; ++i) {
        PageStep step;
        quint8 kind = 0;
        s >> kind >> step.rect;
        step.kind = static_cast<PageStep::Kind>(kind);
        qint32 a = 0, b = 0;
        switch (step.kind) {
        case PageStep::Text:
            s >> a >> b >> step.text;
            step.font = a;
            step.flags = b;
            if (a < 0 || a >= static_cast<qint32>(fonts_.size())) return false;
            break;
        case PageStep::Line:
            s >> a;
            step.pen = a;
            break;
        case PageStep::Image: s >> step.image; break;
        default: return false;
        }
        steps_.push_back(std::move(step));
    }
    return s.status() == QDataStream::Ok;
}

void Page::draw(QPainter& painter, const QRectF& target) const {
    if (size_.width() <= 0 || size_.height() <= 0) return;
    painter.save();
    painter.translate(target.topLeft());
    painter.scale(target.width() / size_.width(), target.height() / size_.height());
    painter.setClipRect(QRect(QPoint(0, 0), size_));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setPen(Qt::black);
    int font = -1;
    for (const PageStep& step : steps_) {
        switch (step.kind) {
        case PageStep::Text:
            if (step.font != font) {
                font = step.font;
                painter.setFont(fonts_[static_cast<size_t>(font)]);
            }
            painter.drawText(QRectF(step.rect), step.flags, step.text);
            break;
        case PageStep::Line:
            painter.setPen(QPen(Qt::black, step.pen));
            painter.drawLine(step.rect.topLeft(), step.rect.topLeft() + QPoint(step.rect.width(), step.rect.height()));
            painter.setPen(Qt::black);
            break;
        case PageStep::Image: painter.drawImage(QRectF(step.rect), step.image); break;
        }
    }
    painter.restore();
}

bool exportPdf(const std::vector<std::string>& pageList, const std::string& path, std::string& error) {
    if (pageList.empty()) {
        error = "The report has no pages.";
        return false;
    }
    {
        // A file that cannot be made is told here, in the program's words, before the
        // writer's painter would fail on it with a warning of its own.
        QFile probe(QString::fromStdString(path));
        if (!probe.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            error = probe.errorString().toStdString();
            return false;
        }
    }
    QPdfWriter writer(QString::fromStdString(path));
    constexpr int kResolution = 1200;
    writer.setResolution(kResolution);
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setCreator("Marrowgate");
    QPainter painter;
    bool first = true;
    for (const std::string& file : pageList) {
        Page page;
        if (!page.load(file)) {
            error = "The page file " + file + " could not be read.";
            if (painter.isActive()) painter.end();
            return false;
        }
        const QSize size = page.size();
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
        page.draw(painter, QRectF(0, 0, size.width() * kResolution / 1000.0, size.height() * kResolution / 1000.0));
    }
    painter.end();
    if (!QFile::exists(QString::fromStdString(path))) {
        error = "The PDF file " + path + " could not be written.";
        return false;
    }
    return true;
}

}  // namespace mg::report
