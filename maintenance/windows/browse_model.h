#pragma once
// The list control's view of a browse engine's buffer: one row per entry, one column per
// column of the list format, each value put through the column's picture and aligned as
// the format says (the indents are drawn by BrowseColumnDelegate).

#include <vector>

#include <QAbstractTableModel>
#include <QFontMetrics>
#include <QStyledItemDelegate>

#include "maintenance/browse_engine.h"
#include "maintenance/list_format.h"
#include "ui/widgets/layout.h"

namespace mg::browse {

// The text a list shows for one value of a column through its picture, without the
// blanks the picture pads it with.
std::string listText(const Slot& value, ColType type, const std::string& picture);

class BrowseModel : public QAbstractTableModel {
    Q_OBJECT
public:
    BrowseModel(const BrowseEngine& engine, std::vector<ListColumn> columns, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    const std::vector<ListColumn>& columns() const { return columns_; }
    // The buffer changed: show it again.
    void reload();

private:
    const BrowseEngine& engine_;
    std::vector<ListColumn> columns_;
    std::vector<ColType> types_;
};

// What a cell of `column`, `width` pixels wide, shows of `text`: all of it, or the part that
// matters with an ellipsis where the rest is cut (a number's end, a text's start).
QString cellText(const QString& text, const ListColumn& column, const QFontMetrics& metrics, int width);

// Draws each cell inside its column's indent.
class BrowseColumnDelegate : public QStyledItemDelegate {
public:
    BrowseColumnDelegate(std::vector<ListColumn> columns, const ui::DialogUnits& units, int rowHeight, QObject* parent = nullptr);
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    std::vector<ListColumn> columns_;
    ui::DialogUnits units_;
    int rowHeight_;
};

}  // namespace mg::browse
