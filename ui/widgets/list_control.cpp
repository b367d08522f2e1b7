#include "ui/widgets/list_control.h"

#include <algorithm>

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTreeView>
#include <QWheelEvent>

namespace mg::ui {

ListControl::ListControl(QWidget* parent) : QFrame(parent), view_(new QTreeView(this)), bar_(new QScrollBar(Qt::Vertical, this)) {
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setFocusPolicy(Qt::StrongFocus);
    setFocusProxy(view_);
    view_->setFrameShape(QFrame::NoFrame);
    view_->setRootIsDecorated(false);
    view_->setItemsExpandable(false);
    view_->setUniformRowHeights(true);
    view_->setAllColumnsShowFocus(true);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view_->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    view_->header()->setStretchLastSection(true);
    view_->header()->setMinimumSectionSize(4);
    view_->header()->setSectionsMovable(false);
    view_->installEventFilter(this);
    view_->viewport()->installEventFilter(this);

    bar_->setRange(0, 100);
    bar_->setSingleStep(1);
    bar_->setPageStep(10);
    connect(bar_, &QScrollBar::actionTriggered, this, [this](int action) {
        switch (action) {
        case QAbstractSlider::SliderSingleStepSub: emit scrollAction(ListScroll::Up); break;
        case QAbstractSlider::SliderSingleStepAdd: emit scrollAction(ListScroll::Down); break;
        case QAbstractSlider::SliderPageStepSub: emit scrollAction(ListScroll::PageUp); break;
        case QAbstractSlider::SliderPageStepAdd: emit scrollAction(ListScroll::PageDown); break;
        case QAbstractSlider::SliderToMinimum: emit scrollAction(ListScroll::Top); break;
        case QAbstractSlider::SliderToMaximum: emit scrollAction(ListScroll::Bottom); break;
        default: break;
        }
    });
    connect(bar_, &QScrollBar::sliderReleased, this, [this] { emit thumbDropped(bar_->sliderPosition()); });
    place();
}

int ListControl::rowHeight() const { return view_->fontMetrics().height() + 4; }

int ListControl::rowsShown() const { return std::max(1, view_->viewport()->height() / rowHeight()); }

void ListControl::setCurrentRow(int row) {
    QAbstractItemModel* m = view_->model();
    if (!m) return;
    const QSignalBlocker block(view_->selectionModel());
    if (row < 0 || row >= m->rowCount()) {
        view_->selectionModel()->clear();
    } else {
        view_->selectionModel()->setCurrentIndex(m->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    view_->viewport()->update();
}

int ListControl::currentRow() const {
    const QModelIndex i = view_->currentIndex();
    return i.isValid() ? i.row() : -1;
}

void ListControl::setThumb(int percent) {
    const QSignalBlocker block(bar_);
    bar_->setValue(std::clamp(percent, 0, 100));
}

void ListControl::setScrollBarVisible(bool visible) {
    if (visible == barVisible_) return;
    barVisible_ = visible;
    place();
}

void ListControl::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    place();
}

void ListControl::place() {
    const QRect r = contentsRect();
    const int w = barVisible_ ? bar_->sizeHint().width() : 0;
    view_->setGeometry(r.x(), r.y(), r.width() - w, r.height());
    bar_->setGeometry(r.right() - w + 1, r.y(), w, r.height());
    bar_->setVisible(barVisible_);
}

bool ListControl::key(QKeyEvent* e) {
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    switch (e->key()) {
    case Qt::Key_Up: emit scrollAction(ListScroll::Up); return true;
    case Qt::Key_Down: emit scrollAction(ListScroll::Down); return true;
    case Qt::Key_PageUp: emit scrollAction(ListScroll::PageUp); return true;
    case Qt::Key_PageDown: emit scrollAction(ListScroll::PageDown); return true;
    case Qt::Key_Home: emit scrollAction(ListScroll::Top); return true;
    case Qt::Key_End: emit scrollAction(ListScroll::Bottom); return true;
    case Qt::Key_Insert:
    case Qt::Key_Delete:
    case Qt::Key_Backspace: emit keyTyped(e->key(), e->modifiers(), e->text()); return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!ctrl) return false;  // the window's default button
        emit keyTyped(e->key(), e->modifiers(), e->text());
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Escape: return false;
    default: break;
    }
    if (!e->text().isEmpty() && e->text().at(0).isPrint() && !ctrl && !(e->modifiers() & Qt::AltModifier)) {
        emit keyTyped(e->key(), e->modifiers(), e->text());
        return true;
    }
    // Every other key is swallowed, so that the view never moves by itself.
    return e->key() != Qt::Key_Left && e->key() != Qt::Key_Right ? false : true;
}

bool ListControl::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_ && event->type() == QEvent::KeyPress) return key(static_cast<QKeyEvent*>(event));
    if (watched != view_->viewport()) return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* e = static_cast<QMouseEvent*>(event);
        view_->setFocus(Qt::MouseFocusReason);
        const QModelIndex i = view_->indexAt(e->position().toPoint());
        if (i.isValid()) {
            setCurrentRow(i.row());
            emit rowChosen(i.row());
        }
        if (e->button() == Qt::RightButton) emit rightClicked(i.isValid() ? i.row() : -1, e->globalPosition().toPoint());
        return true;
    }
    case QEvent::MouseButtonDblClick: {
        auto* e = static_cast<QMouseEvent*>(event);
        if (e->button() != Qt::LeftButton) return true;
        const QModelIndex i = view_->indexAt(e->position().toPoint());
        if (i.isValid()) emit rowDoubleClicked(i.row());
        return true;
    }
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease: return true;
    case QEvent::Wheel: {
        auto* e = static_cast<QWheelEvent*>(event);
        wheelRest_ += e->angleDelta().y();
        while (wheelRest_ >= 120) {
            wheelRest_ -= 120;
            emit scrollAction(ListScroll::Up);
        }
        while (wheelRest_ <= -120) {
            wheelRest_ += 120;
            emit scrollAction(ListScroll::Down);
        }
        return true;
    }
    default: return false;
    }
}

}  // namespace mg::ui
