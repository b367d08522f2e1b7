// The styler's window half: the styling pass over a window's controls, the sheet's tab
// colours, the cool-button images and their highlighting as the focus moves.

#include <vector>

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>

#include "ui/widgets/controls.h"
#include "ui/widgets/style_look.h"
#include "ui/widgets/styler.h"

namespace mg::ui {
namespace {

QWidget* asWidget(QObject* o) { return qobject_cast<QWidget*>(o); }

// The sheet whose page `w` is, or null.
QTabWidget* sheetOfPage(const QWidget* w) {
    QWidget* stack = w ? w->parentWidget() : nullptr;
    auto* tabs = qobject_cast<QTabWidget*>(stack && qobject_cast<QStackedWidget*>(stack) ? stack->parentWidget() : nullptr);
    return tabs && tabs->indexOf(const_cast<QWidget*>(w)) >= 0 ? tabs : nullptr;
}

// A control lies on a tab when one of its ancestors is a tab page.
bool onTab(const QWidget* w) {
    for (const QWidget* p = w ? w->parentWidget() : nullptr; p; p = p->parentWidget())
        if (sheetOfPage(p)) return true;
    return false;
}

bool inToolBar(const QWidget* w) {
    for (const QWidget* p = w ? w->parentWidget() : nullptr; p; p = p->parentWidget())
        if (qobject_cast<const QToolBar*>(p)) return true;
    return false;
}

// A wizard-style sheet shows no tabs.
bool wizardSheet(const QTabWidget* tabs) { return tabs && tabs->tabBar()->isHidden(); }

int fieldOf(const QObject* o) { return o ? o->property("field").toInt() : 0; }

bool isButton(const Controls& c, int field) {
    const ControlDef* d = field > 0 ? c.def(field) : nullptr;
    return d && d->kind == ControlKind::Button;
}

// The control of the window that has the focus (or holds the widget that has it), 0 for none.
int selectedControl(const Controls& c) {
    QWidget* w = c.window() ? c.window()->focusWidget() : nullptr;
    for (; w; w = w->parentWidget()) {
        const int f = fieldOf(w);
        if (f > 0 && c.at(f) == w) return f;
    }
    return 0;
}

QString cssColor(int32_t value) { return colorOf(value).name(); }

// The tab bar's tabs in the sheet's colours: the others in `inactive`, the selected one in
// `active` (or `inactive` when the selected tab is left uncoloured).
void colourTabBar(QTabWidget* tabs, int32_t inactive, int32_t active) {
    if (colorOf(inactive).isValid() == false) return;
    const QString selected = cssColor(colorOf(active).isValid() ? active : inactive);
    tabs->tabBar()->setStyleSheet(
        QStringLiteral("QTabBar::tab { background: %1; border: 1px solid #808080; border-bottom: none;"
                       " border-top-left-radius: 3px; border-top-right-radius: 3px; padding: 3px 10px; margin-right: 1px; }"
                       "QTabBar::tab:selected { background: %2; }"
                       "QTabBar::tab:!selected { margin-top: 2px; }")
            .arg(cssColor(inactive), selected));
}

void setTabFontColor(QWidget* page, int32_t value) {
    if (QTabWidget* tabs = sheetOfPage(page)) tabs->tabBar()->setTabTextColor(tabs->indexOf(page), colorOf(value));
}

struct QueuedImage {
    int field;
    QPointer<QWidget> control;
    QPointer<QWidget> parent;
};

}  // namespace

void WindowStyler::setWindow(Controls& controls, int type) {
    reportHook("setWindow(" + std::to_string(type) + ")");
    QWidget* window = controls.window();
    if (!window) return;
    QWidget* client = controls.client() ? controls.client() : window;
    if (colorDepth == 0) {
        // Styling off: no wallpaper on the window or its tool bars.
        setWallpaper(client, {}, 0);
        for (QToolBar* tb : window->findChildren<QToolBar*>()) setToolBarWallpaper(tb, {}, 0);
        return;
    }
    if (!styled(type)) return;
    // A display of 256 colours gets its palette from the platform; nothing to set here.

    setWallpaper(client, wallPaper[type], wallPaperType[type]);
    if (backGroundColor[type] != 0 && type != StyleFrame) setRoleColor(window, QPalette::Window, backGroundColor[type]);

    std::vector<QueuedImage> queue;
    auto makeCool = [&](int field, QWidget* w) {
        // The image under the control shows through: the control paints no face of its own.
        w->setAutoFillBackground(false);
        if (auto* b = qobject_cast<QPushButton*>(w)) b->setFlat(true);
        if (auto* b = qobject_cast<QAbstractButton*>(w); b && b->icon().isNull()) b->setIcon(QIcon());
        queue.push_back({field, w, w->parentWidget()});
    };

    for (int f = controls.firstField(); f <= controls.lastField(); ++f) {
        QWidget* w = asWidget(controls.at(f));
        const ControlDef* d = controls.def(f);
        if (!w || !d) continue;
        const bool toolBarControl = inToolBar(w);
        if (toolBarControl && type != StyleFrame) continue;
        const int s = toolBarControl ? StyleFrame : type;
        const bool tabbed = onTab(w);

        switch (d->kind) {
        case ControlKind::ToolBar:
            setToolBarWallpaper(w, toolBarBackground, toolBarBackgroundType);
            break;
        case ControlKind::Button: {
            auto* b = qobject_cast<QPushButton*>(w);
            if (b) b->setFlat(flatButtons[s] != 0);
            if (QCursor cursor; cursorFor(buttonCursor[s], cursor)) w->setCursor(cursor);
            if (coolButtons[s]) makeCool(f, w);
            else w->setAutoFillBackground(false);
            if (!toolBarControl) setRoleColor(w, QPalette::ButtonText, buttonFontColor[s]);
            break;
        }
        case ControlKind::Sheet:
        case ControlKind::Tab: {
            auto* tabs = d->kind == ControlKind::Sheet ? qobject_cast<QTabWidget*>(w) : sheetOfPage(w);
            if (transparentSheet[s]) {
                // The wallpaper and the window's colour show through the pane and its pages:
                // nothing fills them, and the pane the style draws is drawn in no colour.
                setBackground(w, kNoColor);
                if (tabs && d->kind == ControlKind::Sheet) {
                    tabs->tabBar()->setStyleSheet({});
                    tabs->setStyleSheet(QStringLiteral("QTabWidget::pane { background: transparent; "
                                                       "border: 1px solid palette(mid); top: -1px; }"));
                }
            } else if (inActiveTabColor[s] != 0) {
                const int32_t colour = wizardSheet(tabs) ? activeTabColor[s] : inActiveTabColor[s];
                if (d->kind == ControlKind::Sheet) {
                    setRoleColor(w, QPalette::Window, colour);
                    if (tabs) colourTabBar(tabs, inActiveTabColor[s], activeTabColor[s] != 0 ? activeTabColor[s] : kNoColor);
                } else {
                    setBackground(w, colour);
                }
            }
            if (inactiveTabFontColor[s] != 0) {
                if (d->kind == ControlKind::Tab) setTabFontColor(w, inactiveTabFontColor[s]);
                else if (tabs) setRoleColor(tabs->tabBar(), QPalette::WindowText, inactiveTabFontColor[s]);
            }
            break;
        }
        case ControlKind::Entry:
        case ControlKind::Spin: {
            bool readOnly = (d->flags & ReadOnly) != 0;
            if (auto* le = qobject_cast<QLineEdit*>(w)) readOnly = le->isReadOnly();
            else if (auto* sb = qobject_cast<QAbstractSpinBox*>(w)) readOnly = sb->isReadOnly();
            int32_t colour = kNoColor;
            if (readOnly && readOnlyColor[s] != 0) colour = readOnlyColor[s];
            else if ((d->flags & Required) && requiredEntryColor[s] != 0) colour = requiredEntryColor[s];
            else if (entryColor[s] != 0) colour = entryColor[s];
            setRoleColor(w, QPalette::Base, colour);
            break;
        }
        case ControlKind::List:
            if (listColor[s] != 0) setRoleColor(w, QPalette::Base, listColor[s]);
            break;
        case ControlKind::Check:
        case ControlKind::Radio: {
            auto* b = qobject_cast<QAbstractButton*>(w);
            if (b && !b->icon().isNull()) {
                makeCool(f, w);
                if (!toolBarControl) setRoleColor(w, QPalette::WindowText, buttonFontColor[s]);
            } else {
                if (!xp) w->setAutoFillBackground(false);
                setRoleColor(w, QPalette::WindowText, tabbed ? onTabFontColor[s] : textFontColor[s]);
            }
            break;
        }
        case ControlKind::Prompt:
        case ControlKind::String:
            // Only a string of no colour of its own takes the style's text colour.
            if (!w->autoFillBackground()) setRoleColor(w, QPalette::WindowText, tabbed ? onTabFontColor[s] : textFontColor[s]);
            break;
        case ControlKind::Group:
            if (tabbed) {
                // An uncoloured selected tab (ActiveTabColor 0) leaves its groups uncoloured too.
                if (activeTabColor[s] != 0) setBackground(w, activeTabColor[s]);
                setRoleColor(w, QPalette::WindowText, onTabFontColor[s]);
            } else {
                setBackground(w, backGroundColor[s]);
                setRoleColor(w, QPalette::WindowText, textFontColor[s]);
            }
            break;
        default: break;
        }
    }

    for (const QueuedImage& q : queue) {
        if (!q.control || !q.parent) continue;
        const int number = q.field + kCoolImageOffset;
        CoolImage* image = coolImage(window, number);
        if (image) image->setControl(q.control);
        else image = new CoolImage(q.parent, q.control, number);
        image->follow();
        image->setHidden(q.control->isHidden());
        image->showImage(coolButton[type]);
    }
}

int32_t WindowStyler::sheetColor(Controls& controls, int type, int32_t previousTab, int32_t sheet) {
    reportHook("sheetColor(" + std::to_string(type) + ")");
    if (!styled(type) || transparentSheet[type]) return sheet;
    auto* tabs = qobject_cast<QTabWidget*>(controls.at(sheet));
    if (!tabs) return sheet;
    if (inActiveTabColor[type] > 0) {
        if (previousTab > 0) {
            QWidget* page = asWidget(controls.at(previousTab));
            setBackground(page, wizardSheet(tabs) ? activeTabColor[type] : inActiveTabColor[type]);
            setTabFontColor(page, inactiveTabFontColor[type]);
        }
        if (activeTabColor[type] != 0) {
            QWidget* current = tabs->currentWidget();
            if (current) {
                setBackground(current, activeTabColor[type]);
                setTabFontColor(current, activeTabFontColor[type]);
            }
            return fieldOf(current);
        }
    }
    return fieldOf(tabs->currentWidget());
}

void WindowStyler::refresh(Controls& controls) {
    reportHook("refresh");
    if (colorDepth == 0) return;
    // The images behind the buttons, checks and radios follow their controls (one walk of
    // the window: styling made them for those controls only).
    if (QWidget* window = controls.window())
        for (CoolImage* image : window->findChildren<CoolImage*>()) image->follow();
}

void WindowStyler::takeEvent(Controls& controls, const QEvent& event, int type, int32_t& hot, int32_t& last,
                             const QObject* watched) {
    if (type < 1 || type > kTypes || coolButtonSelected[type].empty()) return;
    QWidget* window = controls.window();
    auto show = [&](int32_t number, const std::string& file) {
        if (CoolImage* image = coolImage(window, number)) image->showImage(file);
    };
    auto findDefault = [&] {
        hot = 0;
        for (int f = controls.firstField(); f <= controls.lastField(); ++f) {
            auto* b = qobject_cast<QPushButton*>(controls.at(f));
            if (b && isButton(controls, f) && b->isDefault()) {
                hot = f + kCoolImageOffset;
                show(hot, coolButtonSelected[type]);
                return;
            }
        }
    };
    const bool fromWindow = !watched || watched == window;

    switch (event.type()) {
    case QEvent::WindowActivate:
        if (!fromWindow) break;
        if (const int s = selectedControl(controls); isButton(controls, s)) {
            hot = s + kCoolImageOffset;
            show(hot, coolButtonSelected[type]);
        } else {
            findDefault();
        }
        break;
    case QEvent::WindowDeactivate:
        if (!fromWindow) break;
        if (hot != 0) show(hot, coolButton[type]);
        hot = 0;
        break;
    case QEvent::FocusIn: {
        if (fromWindow) break;
        const int s = fieldOf(watched);
        if (s <= 0 || controls.at(s) != watched) break;
        const bool sButton = isButton(controls, s);
        const bool lastButton = isButton(controls, last);
        if (sButton || lastButton) {
            if (!lastButton || sButton) {
                if (hot != 0) show(hot, coolButton[type]);
                hot = s + kCoolImageOffset;
                show(hot, coolButtonSelected[type]);
            } else {
                show(last + kCoolImageOffset, coolButton[type]);
                findDefault();
            }
        }
        last = s;
        break;
    }
    default: break;
    }
}

}  // namespace mg::ui
