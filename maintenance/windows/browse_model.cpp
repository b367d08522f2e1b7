#include "maintenance/windows/browse_model.h"

#include <algorithm>

#include <QApplication>
#include <QPainter>

#include "data/schema.h"
#include "ui/picture.h"

namespace mg::browse {
namespace {

Qt::Alignment qtAlign(Align a) {
    switch (a) {
    case Align::Left: return Qt::AlignLeft | Qt::AlignVCenter;
    case Align::Centre: return Qt::AlignHCenter | Qt::AlignVCenter;
    case Align::Right:
    case Align::Decimal: return Qt::AlignRight | Qt::AlignVCenter;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

std::string trimmed(std::string s) {
    const size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

}  // namespace

std::string listText(const Slot& v, ColType type, const std::string& picture) {
    switch (type) {
    case ColType::Text:
    case ColType::ZText: return trimmed(picture::formatText(v.text, picture));
    case ColType::Decimal: return trimmed(picture::formatNumber(v.dec, picture));
    case ColType::Date: return trimmed(picture::format(v.date, picture));
    case ColType::Time: return trimmed(picture::format(v.time, picture));
    case ColType::DateTime: return trimmed(picture::format(v.date, picture));
    case ColType::Float64: return trimmed(picture::formatNumber(Decimal::parse(std::to_string(v.f)).value_or(Decimal()), picture));
    default: return trimmed(picture::format(v.i, picture));
    }
}

BrowseModel::BrowseModel(const BrowseEngine& engine, std::vector<ListColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), engine_(engine), columns_(std::move(columns)) {
    for (size_t i = 0; i < columns_.size() && i < engine.config().shown.size(); ++i) {
        const ColumnRef c = engine.config().shown[i];
        types_.push_back(decl(c.table).columns[c.column].type);
    }
}

int BrowseModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : engine_.recordCount(); }
int BrowseModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : static_cast<int>(types_.size()); }

QVariant BrowseModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= engine_.recordCount() || index.column() >= columnCount()) return {};
    const ListColumn& c = columns_[index.column()];
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromStdString(listText(engine_.value(index.row() + 1, index.column()), types_[index.column()], c.picture));
    case Qt::TextAlignmentRole: return QVariant::fromValue(qtAlign(c.align));
    default: return {};
    }
}

QVariant BrowseModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
    const ListColumn& c = columns_[section];
    if (role == Qt::DisplayRole) return QString::fromStdString(c.header);
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(qtAlign(c.headerAlign));
    return {};
}

void BrowseModel::reload() {
    beginResetModel();
    endResetModel();
}

QString cellText(const QString& text, const ListColumn& column, const QFontMetrics& metrics, int width) {
    // A value the cell cannot hold is cut where it matters least and marked as cut: a number
    // keeps its end (the units and pence), a text its start.
    const bool number = !column.picture.empty() && (column.picture[0] == 'n' || column.picture[0] == 'N');
    return metrics.elidedText(text, number ? Qt::ElideLeft : Qt::ElideRight, width);
}

BrowseColumnDelegate::BrowseColumnDelegate(std::vector<ListColumn> columns, const ui::DialogUnits& units, int rowHeight, QObject* parent)
    : QStyledItemDelegate(parent), columns_(std::move(columns)), units_(units), rowHeight_(rowHeight) {}

QSize BrowseColumnDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    return {QStyledItemDelegate::sizeHint(option, index).width(), rowHeight_};
}

void BrowseColumnDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem o(option);
    if (index.column() < static_cast<int>(columns_.size())) {
        const ListColumn& c = columns_[index.column()];
        const int px = units_.x(c.indent);
        // The selection fills the whole cell; only the text moves in by the indent.
        initStyleOption(&o, index);
        const QString text = o.text;
        o.text.clear();
        QStyle* style = o.widget ? o.widget->style() : QApplication::style();
        style->drawPrimitive(QStyle::PE_PanelItemViewItem, &o, painter, o.widget);
        QRect r = o.rect.adjusted(2, 0, -2, 0);
        if (c.align == Align::Left) {
            r.adjust(px, 0, 0, 0);
        } else if (c.align != Align::Centre) {
            // Moved in from the right by the indent, but never so far that the value is cut
            // while the cell could hold it.
            const int room = r.width() - o.fontMetrics.horizontalAdvance(text);
            r.adjust(0, 0, -std::clamp(room, 0, px), 0);
        }
        painter->save();
        painter->setFont(o.font);
        painter->setPen(o.palette.color(o.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(r, static_cast<int>(o.displayAlignment), cellText(text, c, o.fontMetrics, r.width()));
        painter->restore();
        return;
    }
    QStyledItemDelegate::paint(painter, o, index);
}

}  // namespace mg::browse
