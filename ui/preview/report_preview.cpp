#include "ui/preview/report_preview.h"

#include <algorithm>

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>

#include "ui/preview/preview_dialogs.h"
#include "ui/widgets/procedure.h"
#include "ui/widgets/qt_ui.h"

namespace mg::ui {
namespace {

constexpr int kSingleField = 102;
constexpr int kBoxField = 103;    // + k
constexpr int kImageField = 203;  // + k
constexpr int kToolBarUnits = 18;
constexpr int kGap = 3;


const char* zoomItem(Zoom z) {
    static const char* const names[] = {"?ZOOMNOZOOM", "?ZOOMPAGEWIDTH", "?ZOOM50", "?ZOOM75", "?ZOOM100", "?ZOOM200", "?ZOOM300"};
    return names[static_cast<int>(z) - 1];
}

double factorOf(Zoom z) {
    switch (z) {
    case Zoom::P50: return 0.5;
    case Zoom::P75: return 0.75;
    case Zoom::P200: return 2.0;
    case Zoom::P300: return 3.0;
    default: return 1.0;
    }
}

// The tool bar's icons: the platform's icon theme, else small images of our own.
enum class Drawn { Printer, Exit, Magnifier };

QIcon toolIcon(const char* themeName, Drawn drawn, const QWidget* w) {
    QIcon icon = QIcon::fromTheme(QString::fromLatin1(themeName));
    if (!icon.isNull()) return icon;
    const QColor ink = w->palette().color(QPalette::WindowText);
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(2, 2);
    switch (drawn) {
    case Drawn::Printer:
        p.setPen(QPen(ink, 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));     // paper in
        p.setBrush(QColor(150, 150, 150));
        p.drawRoundedRect(QRectF(1.5, 6.5, 13, 6), 1, 1);  // body
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 10.5, 7, 4));    // paper out
        break;
    case Drawn::Exit:
        p.setPen(QPen(ink, 1));
        p.setBrush(QColor(190, 160, 110));
        p.drawRect(QRectF(2.5, 1.5, 7, 13));    // door
        p.setPen(QPen(QColor(180, 30, 30), 2));
        p.drawLine(QPointF(7, 8), QPointF(14, 8));  // arrow out
        p.drawLine(QPointF(11, 5), QPointF(14, 8));
        p.drawLine(QPointF(11, 11), QPointF(14, 8));
        break;
    case Drawn::Magnifier:
        p.setPen(QPen(ink, 1.6));
        p.setBrush(QColor(220, 235, 255));
        p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
        p.setPen(QPen(ink, 2.4));
        p.drawLine(QPointF(9.5, 9.5), QPointF(14.5, 14.5));
        break;
    }
    p.end();
    return QIcon(pm);
}

}  // namespace

QIcon printIcon(const QWidget* styleOf) { return toolIcon("document-print", Drawn::Printer, styleOf); }

std::string zoomMenuText(Zoom current) {
    static const char* const items[] = {"No Zoom", "Page Width", "50%", "75%", "100%", "200%", "300%"};
    std::string text;
    for (int i = 0; i < 7; ++i) {
        if (i == 1) text += "|-";
        if (i > 0) text += "|";
        text += (static_cast<int>(current) == i + 1 ? "+" : "-");
        text += items[i];
    }
    return text;
}

std::string zoomText(Zoom zoom) {
    switch (zoom) {
    case Zoom::None: return "No Zoom";
    case Zoom::PageWidth: return "Zoom (Page Width)";
    case Zoom::P50: return "Zoom (50%)";
    case Zoom::P75: return "Zoom (75%)";
    case Zoom::P100: return "Zoom (100%)";
    case Zoom::P200: return "Zoom (200%)";
    case Zoom::P300: return "Zoom (300%)";
    }
    return {};
}

const WindowDef& reportPreviewDef() {
    static const WindowDef def{
        .caption = "Report Preview",
        .width = 480,
        .height = 360,
        .fontName = "MS Sans Serif",
        .fontPoints = 10,
        .resizable = true,
        .controls = {
            {.kind = ControlKind::MenuBar, .name = "?MENUBAR", .field = 23},
            {.kind = ControlKind::Menu, .name = "?FILEMENU", .text = "&File", .field = 1},
            {.kind = ControlKind::Item, .name = "?PRINT", .text = "&Print", .tip = "Print the report",
             .status = "Print the report", .field = 2},
            {.kind = ControlKind::Item, .name = "?EXIT", .text = "E&xit", .tip = "Exit without printing the report",
             .status = "Exit without printing the report", .field = 3},
            {.kind = ControlKind::Menu, .name = "?VIEWMENU", .text = "&View", .field = 4},
            {.kind = ControlKind::Item, .name = "?NEXT", .text = "&Next Page(s)",
             .tip = "View the next page or pages of the report", .status = "View the next page or pages of the report",
             .field = 5},
            {.kind = ControlKind::Item, .name = "?PREVIOUS", .text = "&Previous Page(s)",
             .tip = "View the previous page or pages of the report",
             .status = "View the previous page or pages of the report", .field = 6},
            {.kind = ControlKind::Item, .name = "?JUMP", .text = "&Jump to a page",
             .tip = "Jump to a specific page of the report", .status = "Jump to a specific page of the report",
             .field = 7},
            {.kind = ControlKind::Item, .name = "?CHANGEDISPLAY", .text = "&Change Display",
             .tip = "Change the number of pages displayed", .status = "Change the number of pages displayed",
             .field = 8},
            {.kind = ControlKind::Menu, .name = "?ZOOMMENU", .text = "&Zoom", .field = 9},
            {.kind = ControlKind::Item, .name = "?ZOOMNOZOOM", .text = "No &Zoom", .field = 10},
            {.kind = ControlKind::Item, .name = "?ZOOMPAGEWIDTH", .text = "Page &Width", .field = 11},
            {.kind = ControlKind::Item, .name = "?ZOOM50", .text = "&50 Percent", .field = 12},
            {.kind = ControlKind::Item, .name = "?ZOOM75", .text = "&75 Percent", .field = 13},
            {.kind = ControlKind::Item, .name = "?ZOOM100", .text = "&100 Percent", .field = 14},
            {.kind = ControlKind::Item, .name = "?ZOOM200", .text = "&200 Percent", .field = 15},
            {.kind = ControlKind::Item, .name = "?ZOOM300", .text = "&300 Percent", .field = 16},
            {.kind = ControlKind::ToolBar, .name = "?TOOLBAR", .text = "Preview", .field = 24},
            {.kind = ControlKind::Button, .name = "?PRINTBUTTON", .x = 3, .y = 2, .w = 14, .h = 14,
             .tip = "Print this report", .flags = Flat, .in = "?TOOLBAR", .field = 17},
            {.kind = ControlKind::Button, .name = "?EXITBUTTON", .x = 19, .y = 2, .w = 14, .h = 14,
             .tip = "Exit without printing the report", .flags = Flat, .in = "?TOOLBAR", .field = 18},
            {.kind = ControlKind::Button, .name = "?ZOOMBUTTON", .x = 37, .y = 2, .w = 14, .h = 14,
             .tip = "Zoom in on a page of the report", .flags = Flat, .in = "?TOOLBAR", .field = 19},
            {.kind = ControlKind::Prompt, .name = "?PROMPT:CURRENTPAGE", .text = "&Page:", .x = 60, .y = 4, .w = 24,
             .h = 10, .in = "?TOOLBAR", .field = 25},
            {.kind = ControlKind::Spin, .name = "?CURRENTPAGE", .x = 85, .y = 3, .w = 33, .h = 12, .picture = "n4",
             .low = 1, .high = 9999, .in = "?TOOLBAR", .field = 20},
            {.kind = ControlKind::Prompt, .name = "?PROMPT:PAGESACROSS", .text = "&Across:", .x = 122, .y = 4, .w = 29,
             .h = 10, .in = "?TOOLBAR", .field = 26},
            {.kind = ControlKind::Spin, .name = "?PAGESACROSS", .x = 152, .y = 3, .w = 30, .h = 12, .picture = "N2",
             .tip = "Select the number of thumbnails in a row", .low = 1, .high = 10, .in = "?TOOLBAR", .field = 21},
            {.kind = ControlKind::Prompt, .name = "?PROMPT:PAGESDOWN", .text = "&Down:", .x = 186, .y = 4, .w = 25,
             .h = 10, .in = "?TOOLBAR", .field = 27},
            {.kind = ControlKind::Spin, .name = "?PAGESDOWN", .x = 212, .y = 3, .w = 30, .h = 12, .picture = "n2",
             .tip = "Select the number of thumbnails in a column", .low = 1, .high = 10, .in = "?TOOLBAR",
             .field = 22},
            {.kind = ControlKind::StatusBar, .name = "?STATUSBAR", .zones = {-1, 90, 70}, .field = 28},
        }};
    return def;
}

ReportPreview::ReportPreview(std::vector<std::string> pageList, QWidget* parent)
    : QMainWindow(parent), cache_(std::move(pageList)) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    controls_ = buildWindow(*this, reportPreviewDef());
    const DialogUnits& du = controls_.units();
    setMinimumWidth(du.x(315));

    auto* bar = controls_.get<QToolBar>("?TOOLBAR");
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setFixedHeight(du.y(kToolBarUnits));
    bar->setMinimumWidth(du.x(246));
    bar->toggleViewAction()->setVisible(false);
    setContextMenuPolicy(Qt::NoContextMenu);

    auto* printButton = controls_.get<QPushButton>("?PRINTBUTTON");
    auto* exitButton = controls_.get<QPushButton>("?EXITBUTTON");
    auto* zoomButtonWidget = controls_.get<QPushButton>("?ZOOMBUTTON");
    printButton->setIcon(toolIcon("document-print", Drawn::Printer, this));
    exitButton->setIcon(toolIcon("application-exit", Drawn::Exit, this));
    zoomButtonWidget->setIcon(toolIcon("zoom-in", Drawn::Magnifier, this));
    for (QPushButton* b : {printButton, exitButton, zoomButtonWidget}) b->setFocusPolicy(Qt::NoFocus);

    pageSpin_ = controls_.get<QSpinBox>("?CURRENTPAGE");
    acrossSpin_ = controls_.get<QSpinBox>("?PAGESACROSS");
    downSpin_ = controls_.get<QSpinBox>("?PAGESDOWN");
    zone2_ = findChild<QLabel*>("?STATUSBAR:ZONE2");
    zone3_ = findChild<QLabel*>("?STATUSBAR:ZONE3");

    for (int i = 0; i < 7; ++i) {
        QAction* a = controls_.action(zoomItem(static_cast<Zoom>(i + 1)));
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, i] { setZoom(static_cast<Zoom>(i + 1)); });
    }
    connect(controls_.action("?PRINT"), &QAction::triggered, this, &ReportPreview::print);
    connect(controls_.action("?EXIT"), &QAction::triggered, this, &ReportPreview::exitPreview);
    connect(controls_.action("?NEXT"), &QAction::triggered, this, &ReportPreview::next);
    connect(controls_.action("?PREVIOUS"), &QAction::triggered, this, &ReportPreview::previous);
    connect(controls_.action("?JUMP"), &QAction::triggered, this, &ReportPreview::jump);
    connect(controls_.action("?CHANGEDISPLAY"), &QAction::triggered, this, &ReportPreview::changeDisplay);
    connect(printButton, &QPushButton::clicked, this, &ReportPreview::print);
    connect(exitButton, &QPushButton::clicked, this, &ReportPreview::exitPreview);
    connect(zoomButtonWidget, &QPushButton::clicked, this, &ReportPreview::zoomButton);
    connect(pageSpin_, &QSpinBox::valueChanged, this, [this](int v) {
        if (v == current_) return;
        current_ = v;
        refresh();
    });
    connect(acrossSpin_, &QSpinBox::valueChanged, this, [this](int v) {
        across_ = v;
        zoom_ = Zoom::None;
        refresh();
    });
    connect(downSpin_, &QSpinBox::valueChanged, this, [this](int v) {
        down_ = v;
        zoom_ = Zoom::None;
        refresh();
    });
    // The window takes PgUp and PgDn for itself, whichever control has the focus.
    auto* pageDown = new QShortcut(QKeySequence(Qt::Key_PageDown), this);
    auto* pageUp = new QShortcut(QKeySequence(Qt::Key_PageUp), this);
    connect(pageDown, &QShortcut::activated, this, &ReportPreview::next);
    connect(pageUp, &QShortcut::activated, this, &ReportPreview::previous);

    askJump = [this](int current, int total) { return jumpToPage(current, total, this); };
    askDisplay = [this](int& across, int& down) { selectDisplay(across, down, this); };
    popUp = [this](const std::string& text) {
        QWidget* under = controls_.widget("?ZOOMBUTTON");
        return ui::popupMenu(text, under, under->mapToGlobal(QPoint(0, under->height())));
    };

    QWidget* client = controls_.client();
    grid_ = new QWidget(client);
    grid_->setObjectName("?THUMBNAILS");
    grid_->setAutoFillBackground(true);
    QPalette pal = grid_->palette();
    pal.setColor(QPalette::Window, QColor(128, 128, 128));
    grid_->setPalette(pal);
    area_ = new QScrollArea(client);
    area_->setObjectName("?PAGEAREA");
    area_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    area_->setBackgroundRole(QPalette::Dark);
    area_->hide();

    // Opening: the first page's natural size (at the screen's resolution), the page count,
    // then the spins and the View menu.
    total_ = cache_.count();
    const QSize thousandths = cache_.pageSize(1);
    pageSize_ = QSize(std::max(1, thousandths.width() * logicalDpiX() / 1000),
                      std::max(1, thousandths.height() * logicalDpiY() / 1000));
    ratio_ = double(pageSize_.height()) / pageSize_.width();
    current_ = across_ = down_ = 1;
    if (total_ <= 1) {
        for (const char* name : {"?CURRENTPAGE", "?PAGESACROSS", "?PAGESDOWN"}) controls_.setEnabled(name, false);
        controls_.setEnabled("?VIEWMENU", false);
        if (QAction* view = controls_.action("?VIEWMENU")) view->setEnabled(false);
    } else {
        pageSpin_->setMaximum(total_);
        pageSpin_->setStatusTip(QString("Enter a page number from 1 to %1").arg(total_));
    }
    zoom_ = Zoom::None;
    refresh();
}

ReportPreview::~ReportPreview() = default;

QString ReportPreview::pageStatus() const { return zone2_ ? zone2_->text() : QString(); }
QString ReportPreview::zoomStatus() const { return zone3_ ? zone3_->text() : QString(); }

QFrame* ReportPreview::thumbnailBox(int k) const {
    return k >= 1 && k <= thumbnails() ? pairs_[static_cast<size_t>(k - 1)].box : nullptr;
}
PageImage* ReportPreview::thumbnailImage(int k) const {
    return k >= 1 && k <= thumbnails() ? pairs_[static_cast<size_t>(k - 1)].image : nullptr;
}

// ---- the display ----------------------------------------------------------------------------

void ReportPreview::destroyThumbnails() {
    // A click on a thumbnail destroys it: it goes once its own event is over.
    for (Pair& p : pairs_) {
        p.image->hide();
        p.box->hide();
        p.image->deleteLater();
        p.box->deleteLater();
    }
    pairs_.clear();
}

void ReportPreview::refresh() {
    refreshPosted_ = false;
    QWidget* client = controls_.client();
    grid_->setGeometry(client->rect());
    area_->setGeometry(client->rect());
    if (zoom_ == Zoom::None) {
        if (single_) {
            area_->takeWidget();
            single_->hide();
            single_->deleteLater();
            single_ = nullptr;
        }
        area_->hide();
        grid_->show();
        if (across_ != builtAcross_ || down_ != builtDown_) {
            destroyThumbnails();
            for (int k = 1; k <= across_ * down_; ++k) {
                auto* box = new QFrame(grid_);
                box->setFrameShape(QFrame::Box);
                box->setObjectName(QString("?THUMBBOX%1").arg(k));
                box->setProperty("field", kBoxField + k);
                auto* image = new PageImage(cache_, grid_);
                image->setObjectName(QString("?THUMBIMAGE%1").arg(k));
                image->setProperty("field", kImageField + k);
                connect(image, &PageImage::clicked, this, [this, k] { clickThumbnail(k); });
                pairs_.push_back({box, image});
            }
            builtAcross_ = across_;
            builtDown_ = down_;
        }
        layOutThumbnails();
        fillThumbnails();
        if (zone3_) zone3_->setText(QString::fromStdString(zoomText(Zoom::None)));
    } else {
        if (!pairs_.empty()) destroyThumbnails();
        grid_->hide();
        if (!single_) {
            single_ = new PageImage(cache_, nullptr);
            single_->setObjectName("?PAGEIMAGE");
            single_->setProperty("field", kSingleField);
            connect(single_, &PageImage::clicked, this, &ReportPreview::clickPage);
            area_->setWidget(single_);
        }
        area_->show();
        fillSinglePage();
        builtAcross_ = builtDown_ = 0;
    }
    showSpinsAndChecks();
}

void ReportPreview::layOutThumbnails() {
    const DialogUnits& du = controls_.units();
    QWidget* client = controls_.client();
    // The window's size in its units: the grid's area and the tool bar above it.
    const int windowWidth = du.unitsX(client->width());
    const int windowHeight = du.unitsY(client->height()) + kToolBarUnits;
    int w = (windowWidth - (kGap * across_ - 1)) / across_;
    int h = (windowHeight - kToolBarUnits - (kGap * down_ - 1)) / down_;
    if (w > 0 && h > 0) {
        if (ratio_ > double(h) / w) w = static_cast<int>(h / ratio_);
        else h = static_cast<int>(w * ratio_);
    }
    w = std::max(w, 1);
    h = std::max(h, 1);
    for (int k = 0; k < thumbnails(); ++k) {
        const int col = k % across_, row = k / across_;
        const QRect r = du.rect(1 + col * (w + kGap), 1 + row * (h + kGap), w, h);
        pairs_[static_cast<size_t>(k)].box->setGeometry(r);
        pairs_[static_cast<size_t>(k)].image->setGeometry(r);
    }
}

void ReportPreview::fillThumbnails() {
    for (int k = 1; k <= thumbnails(); ++k) {
        const Pair& pair = pairs_[static_cast<size_t>(k - 1)];
        const int p = current_ + k - 1;
        if (p > total_) {
            if (pair.box->isVisible() || !pair.box->isHidden()) {
                pair.box->hide();
                pair.image->hide();
            }
        } else {
            pair.image->setPage(p);
            pair.box->show();
            pair.image->show();
        }
    }
    if (total_ > 1) {
        controls_.setEnabled("?PREVIOUS", current_ != 1);
        controls_.setEnabled("?NEXT", !(total_ < current_ + thumbnails()));
    }
    QString text;
    if (thumbnails() < 2 || current_ == total_) {
        text = QString("Page %1 of %2").arg(current_).arg(total_);
    } else {
        const int last = std::min(current_ + thumbnails() - 1, total_);
        text = QString("Pages %1-%2 of %3").arg(current_).arg(last).arg(total_);
    }
    if (zone2_) zone2_->setText(text);
}

void ReportPreview::fillSinglePage() {
    if (zoom_ == Zoom::PageWidth) {
        // The page fits the width, beside the vertical scroll bar when it will need one.
        const int frame = 2 * area_->frameWidth();
        int width = area_->width() - frame;
        if (double(width) * ratio_ > area_->height() - frame)
            width -= area_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, area_);
        factor_ = double(std::max(width, 1)) / pageSize_.width();
    } else {
        factor_ = factorOf(zoom_);
    }
    if (zone3_) zone3_->setText(QString::fromStdString(zoomText(zoom_)));
    single_->setPage(current_);
    if (zone2_) zone2_->setText(QString("Page %1 of %2").arg(current_).arg(total_));
    single_->resize(static_cast<int>(pageSize_.width() * factor_), static_cast<int>(pageSize_.height() * factor_));
}

void ReportPreview::showSpinsAndChecks() {
    for (int i = 1; i <= 7; ++i) controls_.action(zoomItem(static_cast<Zoom>(i)))->setChecked(static_cast<int>(zoom_) == i);
    for (QSpinBox* spin : {pageSpin_.data(), acrossSpin_.data(), downSpin_.data()}) spin->blockSignals(true);
    pageSpin_->setValue(current_);
    acrossSpin_->setValue(across_);
    downSpin_->setValue(down_);
    for (QSpinBox* spin : {pageSpin_.data(), acrossSpin_.data(), downSpin_.data()}) spin->blockSignals(false);
}

// ---- commands -------------------------------------------------------------------------------

void ReportPreview::print() {
    printChosen_ = true;
    close();
}

void ReportPreview::exitPreview() { close(); }

void ReportPreview::next() {
    if (total_ <= 1) return;
    if (zoom_ == Zoom::None) {
        if (total_ >= current_ + thumbnails()) current_ += thumbnails();
    } else if (current_ < total_) {
        ++current_;
    }
    refresh();
}

void ReportPreview::previous() {
    if (total_ <= 1) return;
    if (zoom_ == Zoom::None) current_ = std::max(1, current_ - thumbnails());
    else if (current_ > 1) --current_;
    refresh();
}

void ReportPreview::jump() {
    if (total_ <= 1) return;
    current_ = std::clamp(askJump(current_, total_), 1, total_);
    refresh();
}

void ReportPreview::changeDisplay() {
    if (total_ <= 1) return;
    int across = across_, down = down_;
    askDisplay(across, down);
    across_ = std::clamp(across, 1, 10);
    down_ = std::clamp(down, 1, 10);
    refresh();
}

void ReportPreview::setZoom(Zoom zoom) {
    zoom_ = zoom;
    refresh();
}

void ReportPreview::zoomButton() {
    const int choice = popUp(zoomMenuText(zoom_));
    if (choice < 1 || choice > 7) return;
    setZoom(static_cast<Zoom>(choice));
}

void ReportPreview::clickThumbnail(int k) {
    current_ = std::min(total_, current_ + k - 1);
    zoom_ = Zoom::PageWidth;
    refresh();
}

void ReportPreview::clickPage() {
    zoom_ = Zoom::None;
    refresh();
}

// ---- window events --------------------------------------------------------------------------

void ReportPreview::closeEvent(QCloseEvent* event) {
    event->accept();
    if (!closed_) {
        closed_ = true;
        emit finished();
    }
}

void ReportPreview::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (refreshPosted_) return;
    refreshPosted_ = true;
    QTimer::singleShot(0, this, [this] {
        if (refreshPosted_) refresh();
    });
}

ReportPreview* showReportPreview(const std::vector<std::string>& pageList, QWidget* parent, std::function<void(int)> closed) {
    if (pageList.empty()) {
        if (closed) closed(RequestCancelled);
        return nullptr;
    }
    // A window of its own (not a child drawn inside the caller), modal to nothing.
    auto* window = new ReportPreview(pageList, parent);
    window->setWindowFlag(Qt::Window);
    window->setWindowModality(Qt::NonModal);
    QObject::connect(window, &ReportPreview::finished, window, [window, closed = std::move(closed)] {
        window->hide();
        const int answer = window->printChosen() ? RequestCompleted : RequestCancelled;
        window->deleteLater();
        if (closed) closed(answer);
    });
    window->show();
    return window;
}

}  // namespace mg::ui
