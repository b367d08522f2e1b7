#pragma once
// Building a window from its layout table, and finding its controls again by ?NAME or field
// number. Every control keeps its ?NAME as its objectName and its field number in the
// dynamic property "field", so a test or the styling can walk the window in control order.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QIcon>
#include <QPointer>
#include <QString>
#include <QStyle>
#include <QWidget>

#include "data/decimal.h"
#include "ui/widgets/layout.h"

class QAction;
class QLineEdit;

namespace mg::ui {

// The controls of one built window, in control order.
class Controls {
public:
    QWidget* window() const { return window_; }
    // The widget the controls were placed on (the central widget of a frame).
    QWidget* client() const { return client_; }
    const DialogUnits& units() const { return units_; }

    // Field numbers run from firstField() to lastField(); a number may have no control.
    int firstField() const;
    int lastField() const;
    int count() const { return static_cast<int>(entries_.size()); }

    QObject* at(int field) const;
    const ControlDef* def(int field) const;
    // 0 when no control has that name. Names are compared without regard to case.
    int field(std::string_view name) const;
    QObject* find(std::string_view name) const { return at(field(name)); }
    template <class T> T* get(std::string_view name) const { return qobject_cast<T*>(find(name)); }
    QWidget* widget(std::string_view name) const;
    QAction* action(std::string_view name) const;

    // The text of a control (prompt, string, entry, button, check, radio, group, tab, menu,
    // item), put through its picture. False when the name is unknown.
    bool setText(std::string_view name, std::string_view text);
    QString text(std::string_view name) const;
    // A number shown through the control's picture (leading blanks dropped in an entry).
    bool setNumber(std::string_view name, const Decimal& value);
    // The number typed in an entry, through its picture; nullopt when it is not acceptable.
    std::optional<Decimal> number(std::string_view name) const;

    bool setEnabled(std::string_view name, bool enabled);
    bool setHidden(std::string_view name, bool hidden);

    // The first control in control order that can be selected (takes the focus).
    QWidget* firstSelectable() const;
    // Gives a control the focus; an entry has its text selected.
    static void select(QWidget* control);

private:
    friend Controls buildWindow(QWidget& window, const WindowDef& def);
    struct Entry {
        ControlDef def;
        QPointer<QObject> object;
    };
    const Entry* entry(std::string_view name) const;

    QPointer<QWidget> window_;
    QPointer<QWidget> client_;
    DialogUnits units_{1, 1};
    std::vector<Entry> entries_;
};

// Builds the window's controls from the table: caption, icon, font, client size in dialog
// units, then every control in order. A QMainWindow gets its menu bar, tool bar and status
// bar in their usual places and the other controls on a central widget; any other widget
// takes the controls directly (a menu bar then lies across the top of it).
Controls buildWindow(QWidget& window, const WindowDef& def);

// Whether an entry built by buildWindow holds a text wider than it can show. Such an entry,
// while it does not have the focus, shows a number's end or a text's start and an ellipsis
// where the rest is hidden.
bool entryShowsCut(const QLineEdit* entry);

// An icon by file name; a missing file falls back silently to a similar icon of the
// platform's style for the names the program uses, else to no icon.
QIcon loadIcon(const std::string& name, const QWidget* styleOf = nullptr);

}  // namespace mg::ui
