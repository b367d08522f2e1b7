#pragma once
// The list control: a multi-column view over a model that holds only the rows it shows,
// with a vertical scroll bar that its owner drives. The control never scrolls by itself:
// every movement (arrow keys, page keys, Home and End, the wheel, the scroll bar's arrows,
// track and thumb) is reported as a scroll action for the owner to carry out, and the owner
// sets the highlighted row and the thumb position afterwards.

#include <QFrame>
#include <QPoint>

class QScrollBar;
class QTreeView;
class QKeyEvent;

namespace mg::ui {

enum class ListScroll { Up, Down, PageUp, PageDown, Top, Bottom };

class ListControl : public QFrame {
    Q_OBJECT
public:
    explicit ListControl(QWidget* parent = nullptr);

    QTreeView* view() const { return view_; }
    QScrollBar* scrollBar() const { return bar_; }

    // The height of every row: the view's font and a little room around it. A model's
    // delegate gives its rows this height, so that rowsShown() is right before a row exists.
    int rowHeight() const;
    // The number of whole rows the view shows at its present size (at least 1).
    int rowsShown() const;
    // Highlights row `row` (0-based; -1 none) without reporting a new selection.
    void setCurrentRow(int row);
    int currentRow() const;
    void setThumb(int percent);
    void setScrollBarVisible(bool visible);

signals:
    void scrollAction(mg::ui::ListScroll action);
    // The thumb was dragged and let go at `percent` (0 to 100).
    void thumbDropped(int percent);
    // The user highlighted row `row` with the mouse (0-based).
    void rowChosen(int row);
    void rowDoubleClicked(int row);
    void rightClicked(int row, QPoint globalPos);
    // A key the owner handles: Insert, Delete, Ctrl+Enter, Backspace and typed characters.
    void keyTyped(int key, Qt::KeyboardModifiers modifiers, QString text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool key(QKeyEvent* e);
    void place();

    QTreeView* view_;
    QScrollBar* bar_;
    bool barVisible_ = true;
    int wheelRest_ = 0;
};

}  // namespace mg::ui
