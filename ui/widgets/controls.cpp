#include "ui/widgets/controls.h"
#include "ui/widgets/list_control.h"

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyleOptionFrame>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QValidator>

#include "ui/picture.h"

namespace mg::ui {
namespace {

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
std::string ss(const QString& s) { return s.toStdString(); }

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

// A label shows '&' literally unless it has a buddy: without one the mnemonic markers go.
QString withoutMnemonic(const QString& text) {
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&') {
            if (i + 1 < text.size() && text[i + 1] == u'&') {
                out += u'&';
                ++i;
            }
            continue;
        }
        out += text[i];
    }
    return out;
}

bool isNumberPicture(const std::string& picture) {
    auto p = picture::parsePicture(picture);
    return p && (p->kind == picture::Kind::Number || p->kind == picture::Kind::Pattern);
}

// What an entry with a number picture accepts while it is typed: text the picture can take
// back is acceptable; text that may still become acceptable (a lone sign, a trailing point
// or separator) is intermediate; anything else is refused as it is typed.
class PictureValidator : public QValidator {
public:
    PictureValidator(picture::Picture p, QObject* parent) : QValidator(parent), p_(std::move(p)) {}
    State validate(QString& input, int&) const override {
        const std::string typed = input.toStdString();
        if (picture::parseNumber(typed, p_)) return Acceptable;
        if (p_.width > 0 && static_cast<int>(typed.size()) > p_.width) return Invalid;
        for (char c : typed)
            if (!((c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == ',' || c == ' ')) return Invalid;
        return Intermediate;
    }

private:
    picture::Picture p_;
};

// An entry field that never shows a value cut without saying so: while it does not have the
// focus, a text wider than the field shows from the side that matters (a number's end, a
// code's start) with an ellipsis where the rest is hidden, so a cut figure never reads as
// another number.
class EntryField : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

    // Whether the text is wider than the field can show.
    bool cut() const {
        QStyleOptionFrame o;
        initStyleOption(&o);
        QRect r = style()->subElementRect(QStyle::SE_LineEditContents, &o, this);
        r = r.marginsRemoved(textMargins());
        return fontMetrics().horizontalAdvance(text()) > r.width() - 4;  // the field's own side margins
    }
    void showFromItsStart() {
        if (!hasFocus()) setCursorPosition(alignment() & Qt::AlignRight ? static_cast<int>(text().size()) : 0);
    }

protected:
    void focusOutEvent(QFocusEvent* e) override {
        QLineEdit::focusOutEvent(e);
        showFromItsStart();
    }
    void paintEvent(QPaintEvent* e) override {
        QLineEdit::paintEvent(e);
        if (hasFocus() || !cut()) return;
        QStyleOptionFrame o;
        initStyleOption(&o);
        const QRect r = style()->subElementRect(QStyle::SE_LineEditContents, &o, this).marginsRemoved(textMargins());
        const QString mark = QStringLiteral("\u2026");
        const int w = fontMetrics().horizontalAdvance(mark) + 2;
        const QRect at = alignment() & Qt::AlignRight ? QRect(r.left(), r.top(), w, r.height()) : QRect(r.right() - w + 1, r.top(), w, r.height());
        QPainter p(this);
        p.fillRect(at, palette().color(isEnabled() ? QPalette::Base : QPalette::Window));
        p.setPen(palette().color(QPalette::Text));
        p.drawText(at, Qt::AlignCenter, mark);
    }
};

// A spin box whose typed value outside its range becomes the nearer limit (the runtime's
// spins do that) instead of being refused keystroke by keystroke.
class RangeSpinBox : public QSpinBox {
public:
    using QSpinBox::QSpinBox;

    QValidator::State validate(QString& input, int& pos) const override {
        const QValidator::State own = QSpinBox::validate(input, pos);
        if (own != QValidator::Invalid) return own;
        bool ok = false;
        const QString bare = input.trimmed();
        const qlonglong v = bare.toLongLong(&ok);
        if (!ok || bare.size() > 10) return QValidator::Invalid;
        return v < minimum() || v > maximum() ? QValidator::Intermediate : own;
    }
    void fixup(QString& input) const override {
        bool ok = false;
        const qlonglong v = input.trimmed().toLongLong(&ok);
        if (ok) input = QString::number(std::clamp<qlonglong>(v, minimum(), maximum()));
    }
};

class EllipseWidget : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(palette().color(QPalette::WindowText));
        p.drawEllipse(rect().adjusted(0, 0, -1, -1));
    }
};

Qt::Alignment alignmentOf(unsigned flags) {
    if (flags & Centred) return Qt::AlignHCenter | Qt::AlignVCenter;
    if (flags & RightAligned) return Qt::AlignRight | Qt::AlignVCenter;
    return Qt::AlignLeft | Qt::AlignVCenter;
}

QWidget* asWidget(QObject* o) { return qobject_cast<QWidget*>(o); }

}  // namespace

// ---- icons -----------------------------------------------------------------------------------

bool entryShowsCut(const QLineEdit* entry) {
    auto* f = dynamic_cast<const EntryField*>(entry);
    return f && f->cut();
}

QIcon loadIcon(const std::string& name, const QWidget* styleOf) {
    if (name.empty()) return {};
    QStyle* style = styleOf ? styleOf->style() : QApplication::style();
    auto standard = [&](QStyle::StandardPixmap sp) { return style ? style->standardIcon(sp) : QIcon(); };
    if (name == kIconInformation) return standard(QStyle::SP_MessageBoxInformation);
    if (name == kIconQuestion) return standard(QStyle::SP_MessageBoxQuestion);
    if (name == kIconWarning) return standard(QStyle::SP_MessageBoxWarning);
    if (name == kIconError) return standard(QStyle::SP_MessageBoxCritical);
    const QString file = QString::fromStdString(name);
    if (QFile::exists(file)) return QIcon(file);
    // The program's icon files are not shipped with it everywhere; the style's icons stand in.
    const QString upper = file.toUpper();
    if (upper == "WAOK.ICO") return standard(QStyle::SP_DialogOkButton);
    if (upper == "WACANCEL.ICO") return standard(QStyle::SP_DialogCancelButton);
    if (upper == "WAFRAME.ICO") return standard(QStyle::SP_ComputerIcon);
    return {};
}

// ---- Controls --------------------------------------------------------------------------------

int Controls::firstField() const {
    int f = 0;
    for (const Entry& e : entries_)
        if (f == 0 || e.def.field < f) f = e.def.field;
    return f;
}

int Controls::lastField() const {
    int f = 0;
    for (const Entry& e : entries_)
        if (e.def.field > f) f = e.def.field;
    return f;
}

QObject* Controls::at(int field) const {
    for (const Entry& e : entries_)
        if (e.def.field == field) return e.object.data();
    return nullptr;
}

const ControlDef* Controls::def(int field) const {
    for (const Entry& e : entries_)
        if (e.def.field == field) return &e.def;
    return nullptr;
}

const Controls::Entry* Controls::entry(std::string_view name) const {
    if (name.empty()) return nullptr;
    for (const Entry& e : entries_)
        if (sameName(e.def.name, name)) return &e;
    return nullptr;
}

int Controls::field(std::string_view name) const {
    const Entry* e = entry(name);
    return e ? e->def.field : 0;
}

QWidget* Controls::widget(std::string_view name) const { return asWidget(find(name)); }

QAction* Controls::action(std::string_view name) const {
    QObject* o = find(name);
    if (auto* a = qobject_cast<QAction*>(o)) return a;
    if (auto* m = qobject_cast<QMenu*>(o)) return m->menuAction();
    return nullptr;
}

bool Controls::setText(std::string_view name, std::string_view text) {
    const Entry* e = entry(name);
    if (!e || !e->object) return false;
    QObject* o = e->object.data();
    const std::string& pic = e->def.picture;
    const QString t = qs(pic.empty() ? std::string(text) : picture::formatText(text, pic));
    if (auto* l = qobject_cast<QLabel*>(o)) {
        l->setText(e->def.kind == ControlKind::Prompt && !l->buddy() ? withoutMnemonic(t) : t);
    } else if (auto* le = qobject_cast<QLineEdit*>(o)) {
        le->setText(t);
        if (auto* f = dynamic_cast<EntryField*>(le)) f->showFromItsStart();
    } else if (auto* b = qobject_cast<QAbstractButton*>(o)) {
        b->setText(t);
    } else if (auto* g = qobject_cast<QGroupBox*>(o)) {
        g->setTitle(t);
    } else if (auto* m = qobject_cast<QMenu*>(o)) {
        m->setTitle(t);
    } else if (auto* a = qobject_cast<QAction*>(o)) {
        a->setText(t);
    } else if (e->def.kind == ControlKind::Tab) {
        auto* page = asWidget(o);
        for (QWidget* p = page ? page->parentWidget() : nullptr; p; p = p->parentWidget()) {
            if (auto* tabs = qobject_cast<QTabWidget*>(p)) {
                tabs->setTabText(tabs->indexOf(page), t);
                break;
            }
        }
    } else {
        return false;
    }
    return true;
}

QString Controls::text(std::string_view name) const {
    QObject* o = find(name);
    if (auto* l = qobject_cast<QLabel*>(o)) return l->text();
    if (auto* le = qobject_cast<QLineEdit*>(o)) return le->text();
    if (auto* b = qobject_cast<QAbstractButton*>(o)) return b->text();
    if (auto* g = qobject_cast<QGroupBox*>(o)) return g->title();
    if (auto* m = qobject_cast<QMenu*>(o)) return m->title();
    if (auto* a = qobject_cast<QAction*>(o)) return a->text();
    return {};
}

bool Controls::setNumber(std::string_view name, const Decimal& value) {
    const Entry* e = entry(name);
    if (!e || !e->object) return false;
    std::string shown = picture::formatNumber(value, e->def.picture);
    if (e->def.kind == ControlKind::Entry) {
        size_t start = shown.find_first_not_of(' ');
        shown = start == std::string::npos ? std::string() : shown.substr(start);
    }
    if (auto* le = qobject_cast<QLineEdit*>(e->object.data())) {
        le->setText(qs(shown));
        if (auto* f = dynamic_cast<EntryField*>(le)) f->showFromItsStart();
        return true;
    }
    if (auto* l = qobject_cast<QLabel*>(e->object.data())) {
        l->setText(qs(shown));
        return true;
    }
    return false;
}

std::optional<Decimal> Controls::number(std::string_view name) const {
    const Entry* e = entry(name);
    if (!e) return std::nullopt;
    auto* le = qobject_cast<QLineEdit*>(e->object.data());
    if (!le) return std::nullopt;
    return picture::parseNumber(ss(le->text()), e->def.picture);
}

bool Controls::setEnabled(std::string_view name, bool enabled) {
    QObject* o = find(name);
    if (auto* w = asWidget(o)) w->setEnabled(enabled);
    else if (QAction* a = action(name)) a->setEnabled(enabled);
    else return false;
    return true;
}

bool Controls::setHidden(std::string_view name, bool hidden) {
    QObject* o = find(name);
    if (auto* w = asWidget(o)) w->setHidden(hidden);
    else if (QAction* a = action(name)) a->setVisible(!hidden);
    else return false;
    return true;
}

QWidget* Controls::firstSelectable() const {
    for (const Entry& e : entries_) {
        QWidget* w = asWidget(e.object.data());
        if (!w || (e.def.flags & Skip)) continue;
        switch (e.def.kind) {
        case ControlKind::Entry:
        case ControlKind::Button:
        case ControlKind::Check:
        case ControlKind::Radio:
        case ControlKind::Spin:
        case ControlKind::List:
            if (w->isEnabled() && !w->isHidden() && w->focusPolicy() != Qt::NoFocus) return w;
            break;
        default: break;
        }
    }
    return nullptr;
}

void Controls::select(QWidget* control) {
    if (!control) return;
    control->setFocus(Qt::OtherFocusReason);
    if (auto* le = qobject_cast<QLineEdit*>(control)) le->selectAll();
}

// ---- building --------------------------------------------------------------------------------

Controls buildWindow(QWidget& window, const WindowDef& def) {
    Controls c;
    c.window_ = &window;
    const QFont font = windowFont(def);
    window.setFont(font);
    const DialogUnits du(font);
    c.units_ = du;
    window.setWindowTitle(qs(def.caption));
    if (!def.icon.empty()) {
        QIcon icon = loadIcon(def.icon, &window);
        if (!icon.isNull()) window.setWindowIcon(icon);
    }

    auto* main = qobject_cast<QMainWindow*>(&window);
    QWidget* client = &window;
    if (main) {
        client = main->centralWidget();
        if (!client) {
            client = new QWidget(main);
            main->setCentralWidget(client);
        }
        client->setFont(font);
    }
    c.client_ = client;

    QMenuBar* lastBar = nullptr;
    QMenu* lastMenu = nullptr;
    QTabWidget* lastSheet = nullptr;
    QStatusBar* statusBar = nullptr;
    int yOffset = 0;  // a menu bar across the top of a plain widget pushes the controls down

    auto place = [&](QWidget* w, const ControlDef& d, QWidget* parent) {
        int ox = 0, oy = yOffset;
        // A control on a tab is placed in the tab's page: window units less the page's origin.
        if (parent != client) {
            for (QWidget* p = parent; p && p != client; p = p->parentWidget()) {
                if (auto* tabs = qobject_cast<QTabWidget*>(p)) {
                    ox -= tabs->x() + 2;
                    oy -= tabs->y() + tabs->tabBar()->sizeHint().height() + 2;
                    break;
                }
            }
        }
        QSize natural = w->sizeHint();
        const int pw = d.w > 0 ? du.x(d.w) : natural.width();
        const int ph = d.h > 0 ? du.y(d.h) : natural.height();
        w->setGeometry(du.x(d.x) + ox, du.y(d.y) + oy, pw, ph);
    };

    auto containerOf = [&](const ControlDef& d) -> QObject* {
        if (d.in.empty()) return nullptr;
        for (const Controls::Entry& e : c.entries_)
            if (sameName(e.def.name, d.in)) return e.object.data();
        return nullptr;
    };

    int row = 0;
    for (const ControlDef& src : def.controls) {
        ++row;
        ControlDef d = src;
        if (d.field == 0) d.field = row;
        QObject* made = nullptr;
        QObject* in = containerOf(d);
        QWidget* parent = client;
        if (auto* page = qobject_cast<QWidget*>(in); page && d.kind != ControlKind::Item && d.kind != ControlKind::Menu &&
                                                    d.kind != ControlKind::Separator && d.kind != ControlKind::Tab)
            parent = page;

        switch (d.kind) {
        case ControlKind::Prompt:
        case ControlKind::String: {
            auto* l = new QLabel(parent);
            l->setTextFormat(Qt::PlainText);
            // Wrapped text starts at the top of its control, not around its middle: a text of
            // more lines than the control holds then loses its last lines, never its first.
            const Qt::Alignment align = alignmentOf(d.flags);
            l->setAlignment(d.flags & WordWrap ? (align & Qt::AlignHorizontal_Mask) | Qt::AlignTop : align);
            l->setWordWrap((d.flags & WordWrap) != 0);
            QString t = qs(d.picture.empty() ? d.text : picture::formatText(d.text, d.picture));
            l->setText(t);
            place(l, d, parent);
            made = l;
            break;
        }
        case ControlKind::Entry: {
            auto* le = new EntryField(parent);
            if (auto p = picture::parsePicture(d.picture)) {
                if (p->width > 0) le->setMaxLength(p->width);
                if (isNumberPicture(d.picture)) le->setValidator(new PictureValidator(*p, le));
            }
            le->setReadOnly((d.flags & ReadOnly) != 0);
            le->setAlignment(alignmentOf(d.flags));
            le->setText(qs(d.text));
            place(le, d, parent);
            made = le;
            break;
        }
        case ControlKind::Button: {
            auto* b = new QPushButton(qs(d.text), parent);
            QIcon icon = loadIcon(d.icon, &window);
            if (!icon.isNull()) {
                b->setIcon(icon);
                if (d.text.empty() && d.w > 0 && d.h > 0) {
                    const int side = std::min(du.x(d.w), du.y(d.h)) - 6;
                    if (side > 16) b->setIconSize(QSize(side, side));
                }
            }
            if (d.flags & DefaultButton) b->setDefault(true);
            if (d.flags & Flat) b->setFlat(true);
            place(b, d, parent);
            made = b;
            break;
        }
        case ControlKind::Check: {
            auto* b = new QCheckBox(qs(d.text), parent);
            if (QIcon icon = loadIcon(d.icon, &window); !icon.isNull()) b->setIcon(icon);
            place(b, d, parent);
            made = b;
            break;
        }
        case ControlKind::Radio: {
            auto* b = new QRadioButton(qs(d.text), parent);
            if (QIcon icon = loadIcon(d.icon, &window); !icon.isNull()) b->setIcon(icon);
            place(b, d, parent);
            made = b;
            break;
        }
        case ControlKind::Spin: {
            auto* s = new RangeSpinBox(parent);
            s->setRange(d.low, d.high);
            place(s, d, parent);
            made = s;
            break;
        }
        case ControlKind::List: {
            auto* l = new ListControl(parent);
            place(l, d, parent);
            made = l;
            break;
        }
        case ControlKind::Sheet: {
            auto* t = new QTabWidget(parent);
            place(t, d, parent);
            lastSheet = t;
            made = t;
            break;
        }
        case ControlKind::Tab: {
            QTabWidget* sheet = qobject_cast<QTabWidget*>(in);
            if (!sheet) sheet = lastSheet;
            if (!sheet) break;
            auto* page = new QWidget;
            sheet->addTab(page, qs(d.text));
            made = page;
            break;
        }
        case ControlKind::Group: {
            auto* g = new QGroupBox(qs(d.text), parent);
            place(g, d, parent);
            g->lower();
            made = g;
            break;
        }
        case ControlKind::Box: {
            auto* f = new QFrame(parent);
            f->setFrameShape(QFrame::Box);
            place(f, d, parent);
            f->lower();
            made = f;
            break;
        }
        case ControlKind::Ellipse: {
            auto* e = new EllipseWidget(parent);
            place(e, d, parent);
            made = e;
            break;
        }
        case ControlKind::Region: {
            auto* r = new QWidget(parent);
            place(r, d, parent);
            made = r;
            break;
        }
        case ControlKind::Image: {
            auto* l = new QLabel(parent);
            const std::string& file = d.icon.empty() ? d.text : d.icon;
            QPixmap pm(QString::fromStdString(file));
            if (pm.isNull()) {
                QIcon icon = loadIcon(file, &window);
                if (!icon.isNull()) pm = icon.pixmap(32, 32);
            }
            l->setPixmap(pm);
            l->setScaledContents(d.w > 0 && d.h > 0);
            place(l, d, parent);
            made = l;
            break;
        }
        case ControlKind::Progress: {
            auto* p = new QProgressBar(parent);
            p->setRange(d.low, d.high);
            p->setValue(d.low);
            p->setTextVisible(false);
            place(p, d, parent);
            made = p;
            break;
        }
        case ControlKind::MenuBar: {
            QMenuBar* bar = nullptr;
            if (main) {
                bar = main->menuBar();
            } else {
                bar = new QMenuBar(&window);
                yOffset = bar->sizeHint().height();
                bar->setGeometry(0, 0, du.x(def.width), yOffset);
            }
            lastBar = bar;
            made = bar;
            break;
        }
        case ControlKind::Menu: {
            auto* menu = new QMenu(qs(d.text), &window);
            if (auto* into = qobject_cast<QMenu*>(in)) into->addMenu(menu);
            else if (lastBar) lastBar->addMenu(menu);
            if (!d.status.empty()) menu->menuAction()->setStatusTip(qs(d.status));
            lastMenu = menu;
            made = menu;
            break;
        }
        case ControlKind::Item:
        case ControlKind::Separator: {
            QMenu* menu = qobject_cast<QMenu*>(in);
            if (!menu) menu = lastMenu;
            QAction* a = nullptr;
            if (d.kind == ControlKind::Separator) {
                a = menu ? menu->addSeparator() : new QAction(&window);
                a->setSeparator(true);
            } else {
                a = new QAction(qs(d.text), &window);
                if (QIcon icon = loadIcon(d.icon, &window); !icon.isNull()) a->setIcon(icon);
                if (menu) menu->addAction(a);
                else window.addAction(a);
            }
            made = a;
            break;
        }
        case ControlKind::ToolBar: {
            QToolBar* tb = nullptr;
            if (main) {
                tb = main->addToolBar(qs(d.text));
            } else {
                tb = new QToolBar(parent);
                place(tb, d, parent);
            }
            made = tb;
            break;
        }
        case ControlKind::StatusBar: {
            QStatusBar* sb = main ? main->statusBar() : new QStatusBar(&window);
            int zone = 0;
            for (int wz : d.zones) {
                auto* l = new QLabel(sb);
                l->setObjectName(qs(d.name) + ":ZONE" + QString::number(++zone));
                if (wz > 0) {
                    l->setFixedWidth(du.x(wz));
                    sb->addPermanentWidget(l);
                } else {
                    sb->addWidget(l, 1);
                }
            }
            statusBar = sb;
            made = sb;
            break;
        }
        }

        if (made) {
            made->setObjectName(qs(d.name));
            made->setProperty("field", d.field);
            if (auto* w = asWidget(made)) {
                if (!d.tip.empty()) w->setToolTip(qs(d.tip));
                if (!d.status.empty()) w->setStatusTip(qs(d.status));
                if (d.flags & Disabled) w->setEnabled(false);
                if (d.flags & Skip) w->setFocusPolicy(Qt::NoFocus);
                if (d.flags & Hidden) w->setHidden(true);
            } else if (auto* a = qobject_cast<QAction*>(made)) {
                if (!d.tip.empty()) a->setToolTip(qs(d.tip));
                if (!d.status.empty()) a->setStatusTip(qs(d.status));
                if (d.flags & Disabled) a->setEnabled(false);
                if (d.flags & Hidden) a->setVisible(false);
            } else if (auto* m = qobject_cast<QMenu*>(made)) {
                if (d.flags & Disabled) m->setEnabled(false);
            }
        }
        c.entries_.push_back({std::move(d), made});
    }

    // A prompt names the control after it: that control becomes its buddy (so its mnemonic
    // selects it). A prompt with nothing after it shows its text without the markers.
    for (size_t i = 0; i < c.entries_.size(); ++i) {
        if (c.entries_[i].def.kind != ControlKind::Prompt) continue;
        auto* label = qobject_cast<QLabel*>(c.entries_[i].object.data());
        if (!label) continue;
        for (size_t j = i + 1; j < c.entries_.size(); ++j) {
            QWidget* w = asWidget(c.entries_[j].object.data());
            if (w && w->focusPolicy() != Qt::NoFocus && c.entries_[j].def.kind != ControlKind::Prompt &&
                c.entries_[j].def.kind != ControlKind::String) {
                label->setBuddy(w);
                break;
            }
            if (c.entries_[j].def.kind == ControlKind::Prompt) break;
        }
        if (!label->buddy()) label->setText(withoutMnemonic(label->text()));
    }

    // Size: the client area in dialog units, plus the bars of a frame.
    QSize clientSize = du.size(def.width, def.height);
    if (main) {
        client->setMinimumSize(def.resizable ? QSize(0, 0) : clientSize);
        int extra = 0;
        if (main->menuWidget()) extra += main->menuWidget()->sizeHint().height();
        if (statusBar) extra += statusBar->sizeHint().height();
        main->resize(clientSize.width(), clientSize.height() + extra);
    } else {
        clientSize.rheight() += yOffset;
        if (statusBar) {
            const int h = statusBar->sizeHint().height();
            statusBar->setGeometry(0, clientSize.height(), clientSize.width(), h);
            clientSize.rheight() += h;
        }
        window.resize(clientSize);
    }
    if (!def.resizable) window.setFixedSize(main ? main->size() : clientSize);
    return c;
}

}  // namespace mg::ui
