#include "ui/preview/page_cache.h"

#include <QMouseEvent>
#include <QPainter>

namespace mg::ui {

PageCache::PageCache(std::vector<std::string> pageList, int megabytes) : files_(std::move(pageList)) {
    pictures_.setMaxCost(megabytes * 1024);  // costs in kilobytes
}

void PageCache::clear() {
    loaded_.clear();
    pictures_.clear();
}

const report::Page* PageCache::load(int page) {
    if (page < 1 || page > count()) return nullptr;
    for (auto it = loaded_.begin(); it != loaded_.end(); ++it) {
        if (it->first == page) {
            loaded_.splice(loaded_.begin(), loaded_, it);
            return it->second.get();
        }
    }
    auto p = std::make_shared<report::Page>();
    if (!p->load(files_[static_cast<size_t>(page - 1)])) p = std::make_shared<report::Page>();
    loaded_.emplace_front(page, p);
    constexpr size_t kLoadedPages = 64;
    if (loaded_.size() > kLoadedPages) loaded_.pop_back();
    return p.get();
}

QSize PageCache::pageSize(int page) {
    const report::Page* p = load(page);
    return p ? p->size() : QSize();
}

QPixmap PageCache::picture(int page, QSize size, qreal devicePixelRatio) {
    if (size.isEmpty()) return {};
    const QString key = QString::number(page) + ":" + QString::number(size.width()) + "x" + QString::number(size.height()) +
                        "@" + QString::number(devicePixelRatio);
    if (QPixmap* hit = pictures_.object(key)) return *hit;
    const QSize device = (QSizeF(size) * devicePixelRatio).toSize();
    QPixmap pm(device);
    pm.setDevicePixelRatio(devicePixelRatio);
    pm.fill(Qt::white);
    if (const report::Page* p = load(page)) {
        QPainter painter(&pm);
        p->draw(painter, QRectF(0, 0, size.width(), size.height()));
    }
    ++drawn_;
    const int cost = std::max(1, device.width() * device.height() * 4 / 1024);
    pictures_.insert(key, new QPixmap(pm), cost);
    return pm;
}

// ---- PageImage ---------------------------------------------------------------------------------

PageImage::PageImage(PageCache& cache, QWidget* parent) : QWidget(parent), cache_(cache) {
    setCursor(zoomCursor());
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PageImage::setPage(int page) {
    if (page == page_) return;
    page_ = page;
    update();
}

void PageImage::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(0, 0, cache_.picture(page_, size(), devicePixelRatioF()));
    p.setPen(QColor(96, 96, 96));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void PageImage::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit clicked();
}

QCursor zoomCursor() {
    static const QCursor cursor = [] {
        QPixmap pm(32, 32);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(Qt::white, 4));
        p.drawEllipse(QRectF(3, 3, 16, 16));
        p.drawLine(QPointF(17, 17), QPointF(27, 27));
        p.setPen(QPen(Qt::black, 2));
        p.drawEllipse(QRectF(3, 3, 16, 16));
        p.setPen(QPen(Qt::black, 3));
        p.drawLine(QPointF(17, 17), QPointF(27, 27));
        p.end();
        return QCursor(pm, 11, 11);
    }();
    return cursor;
}

}  // namespace mg::ui
