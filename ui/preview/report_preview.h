#pragma once
// The report preview: the pages of a finished report as a grid of thumbnails or one page at a
// chosen zoom. It prints nothing itself; it answers whether the caller should print.
//
// Runtime controls are told apart by field numbers: the single page is 102; thumbnail k
// (1 to 100) is a box 103 + k with a page image 203 + k on top of it. Thumbnails are laid out
// in the window's units: the grid takes the window's width and its height less 18 units (the
// tool bar), with 3 units between thumbnails, each keeping the page's proportions.

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QFrame>
#include <QMainWindow>
#include <QPointer>
#include <QScrollArea>

#include "data/context.h"
#include "ui/preview/page_cache.h"
#include "ui/widgets/controls.h"

class QSpinBox;
class QLabel;

namespace mg::ui {

const WindowDef& reportPreviewDef();

enum class Zoom { None = 1, PageWidth, P50, P75, P100, P200, P300 };

// The zoom pop-up menu's text with the current mode's item checked ("+" for its "-").
std::string zoomMenuText(Zoom current);
// The zoom text of status zone 3.
std::string zoomText(Zoom zoom);

class ReportPreview : public QMainWindow {
    Q_OBJECT
public:
    explicit ReportPreview(std::vector<std::string> pageList, QWidget* parent = nullptr);
    ~ReportPreview() override;

    // The two small windows and the zoom pop-up; tests put scripted answers in their place.
    std::function<int(int current, int total)> askJump;
    std::function<void(int& across, int& down)> askDisplay;
    // Pops up the menu text and returns the choice 1 to 7, or 0 for none.
    std::function<int(const std::string& menuText)> popUp;

    Controls& controls() { return controls_; }
    int totalPages() const { return total_; }
    int currentPage() const { return current_; }
    int pagesAcross() const { return across_; }
    int pagesDown() const { return down_; }
    int thumbnails() const { return static_cast<int>(pairs_.size()); }
    Zoom zoom() const { return zoom_; }
    double zoomFactor() const { return factor_; }
    bool printChosen() const { return printChosen_; }
    QSize naturalPageSize() const { return pageSize_; }
    QString pageStatus() const;   // status zone 2
    QString zoomStatus() const;   // status zone 3
    // The thumbnail box / page image of pair k (1-based), or the single page; null when absent.
    QFrame* thumbnailBox(int k) const;
    PageImage* thumbnailImage(int k) const;
    PageImage* singlePage() const { return single_; }
    QScrollArea* pageArea() const { return area_; }
    PageCache& cache() { return cache_; }

    // The commands of the menu, the tool bar and the keys.
    void print();
    void exitPreview();
    void next();
    void previous();
    void jump();
    void changeDisplay();
    void setZoom(Zoom zoom);
    void zoomButton();
    void clickThumbnail(int k);
    void clickPage();

    // Lays out and fills the display for the current state.
    void refresh();

signals:
    void finished();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Pair {
        QFrame* box;
        PageImage* image;
    };
    void destroyThumbnails();
    void layOutThumbnails();
    void fillThumbnails();
    void fillSinglePage();
    void showSpinsAndChecks();

    PageCache cache_;
    Controls controls_;
    QPointer<QSpinBox> pageSpin_, acrossSpin_, downSpin_;
    QPointer<QLabel> zone2_, zone3_;
    QWidget* grid_ = nullptr;          // the thumbnails' area
    QScrollArea* area_ = nullptr;      // the single page's area
    PageImage* single_ = nullptr;
    std::vector<Pair> pairs_;
    int builtAcross_ = 0, builtDown_ = 0;

    int total_ = 0;
    int current_ = 1;
    int across_ = 1, down_ = 1;
    QSize pageSize_;                   // natural size of the first page, in pixels
    double ratio_ = 1.0;
    double factor_ = 1.0;
    Zoom zoom_ = Zoom::None;
    bool printChosen_ = false;
    bool refreshPosted_ = false;
    bool closed_ = false;
};

// The preview as the desktop opens it: a window of its own, modal to nothing, so that the
// other windows (the report date window with its calendar, the frame's menu, other
// previews) stay usable while it is open. It returns at once; when the window closes,
// `closed` is told request completed when the user chose to print, else request cancelled
// (the caller leaves it on its context's response word), and the window deletes itself. With no pages it shows nothing and answers at once.
ReportPreview* showReportPreview(const std::vector<std::string>& pageList, QWidget* parent,
                                 std::function<void(int response)> closed);


// The print icon of the preview's tool bar, for the print buttons of other windows.
QIcon printIcon(const QWidget* styleOf);

}  // namespace mg::ui
