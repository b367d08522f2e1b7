#pragma once
// Pages drawn from their page files, kept so that paging back and forth through a long report
// does not read and draw the same page again: the last pages read stay loaded, and the
// pictures drawn of them stay in a cache bounded by their memory.

#include <list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <QCache>
#include <QPixmap>
#include <QSize>
#include <QWidget>

#include "ui/report/page_file.h"

namespace mg::ui {

class PageCache {
public:
    explicit PageCache(std::vector<std::string> pageList, int megabytes = 160);

    int count() const { return static_cast<int>(files_.size()); }
    // The page's size in thousandths of an inch (an empty size when it cannot be read).
    QSize pageSize(int page);
    // Page `page` (1-based) drawn at `size` device pixels; a blank picture when it cannot be read.
    QPixmap picture(int page, QSize size, qreal devicePixelRatio = 1.0);

    int drawn() const { return drawn_; }   // pictures drawn so far (cache misses)
    void clear();

private:
    const report::Page* load(int page);

    std::vector<std::string> files_;
    std::list<std::pair<int, std::shared_ptr<report::Page>>> loaded_;  // most recent first
    QCache<QString, QPixmap> pictures_;
    int drawn_ = 0;
};

// One page shown in a widget: a thumbnail or the single page of the zoom mode. It shows the
// zoom cursor and reports clicks.
class PageImage : public QWidget {
    Q_OBJECT
public:
    PageImage(PageCache& cache, QWidget* parent);
    void setPage(int page);
    int page() const { return page_; }

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    PageCache& cache_;
    int page_ = 0;
};

// The magnifier the page images show as their cursor.
QCursor zoomCursor();

}  // namespace mg::ui
