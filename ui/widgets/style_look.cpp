#include "ui/widgets/style_look.h"

#include <cctype>
#include <utility>

#include <QEvent>
#include <QFileInfo>
#include <QPainter>
#include <QToolBar>
#include <QWidget>

namespace mg::ui {
namespace {

const char* const kWallpaperName = "mg:wallpaper";

// Paints the wallpaper of one widget before the widget paints itself (the children, painted
// after, lie on top of it).
class WallpaperPainter : public QObject {
public:
    WallpaperPainter(QWidget* widget, std::string file, QPixmap image, int layout)
        : QObject(widget), file_(std::move(file)), image_(std::move(image)), layout_(layout) {
        setObjectName(kWallpaperName);
        widget->installEventFilter(this);
    }
    const std::string& file() const { return file_; }
    int layout() const { return layout_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint) return false;
        auto* w = static_cast<QWidget*>(watched);
        QPainter p(w);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        const QRect r = w->rect();
        switch (layout_) {
        case 1: p.drawTiledPixmap(r, image_); break;
        case 2: p.drawPixmap(r.center() - QPoint(image_.width() / 2, image_.height() / 2), image_); break;
        default: p.drawPixmap(r, image_); break;
        }
        return false;
    }

private:
    std::string file_;
    QPixmap image_;
    int layout_;
};

WallpaperPainter* painterOf(const QWidget* w) {
    if (!w) return nullptr;
    for (QObject* o : w->children())
        if (o->objectName() == QLatin1String(kWallpaperName)) return static_cast<WallpaperPainter*>(o);
    return nullptr;
}

std::string lowered(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

QColor colorOf(int32_t value) {
    if (value < 0) return {};
    const auto v = static_cast<uint32_t>(value);
    return QColor(static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF), static_cast<int>((v >> 16) & 0xFF));
}

int32_t colorValue(const QColor& color) {
    if (!color.isValid()) return -1;
    return static_cast<int32_t>(static_cast<uint32_t>(color.red()) | static_cast<uint32_t>(color.green()) << 8 |
                                static_cast<uint32_t>(color.blue()) << 16);
}

void setRoleColor(QWidget* w, QPalette::ColorRole role, int32_t value) {
    const QColor c = colorOf(value);
    if (!w || !c.isValid()) return;
    QPalette p = w->palette();
    p.setColor(QPalette::All, role, c);
    w->setPalette(p);
}

void setBackground(QWidget* w, int32_t value) {
    if (!w) return;
    const QColor c = colorOf(value);
    if (!c.isValid()) {
        w->setAutoFillBackground(false);
        return;
    }
    setRoleColor(w, QPalette::Window, value);
    w->setAutoFillBackground(true);
}

bool setWallpaper(QWidget* client, const std::string& file, int layout) {
    if (!client) return false;
    if (WallpaperPainter* old = painterOf(client)) {
        client->removeEventFilter(old);
        delete old;
    }
    QPixmap image;
    if (!file.empty()) image = QPixmap(QString::fromStdString(file));
    if (image.isNull()) {
        client->update();
        return false;
    }
    new WallpaperPainter(client, file, std::move(image), layout);
    client->update();
    return true;
}

std::string wallpaperOf(const QWidget* client) {
    const WallpaperPainter* p = painterOf(client);
    return p ? p->file() : std::string();
}

int wallpaperLayoutOf(const QWidget* client) {
    const WallpaperPainter* p = painterOf(client);
    return p ? p->layout() : 0;
}

void setToolBarWallpaper(QWidget* toolBar, const std::string& file, int layout) {
    if (!toolBar) return;
    toolBar->setProperty("wallpaper", QString::fromStdString(file));
    if (file.empty() || !QFileInfo::exists(QString::fromStdString(file))) {
        toolBar->setStyleSheet({});
        return;
    }
    const QString url = QString::fromStdString(file).replace('\\', '/');
    QString sheet;
    if (layout == 0) sheet = QStringLiteral("QToolBar { border-image: url(%1) 0 0 0 0 stretch stretch; }").arg(url);
    else if (layout == 1) sheet = QStringLiteral("QToolBar { background-image: url(%1); background-repeat: repeat-xy; }").arg(url);
    else sheet = QStringLiteral("QToolBar { background-image: url(%1); background-repeat: no-repeat; background-position: center; }").arg(url);
    toolBar->setStyleSheet(sheet);
}

bool cursorFor(const std::string& name, QCursor& cursor) {
    if (name.empty()) return false;
    std::string file = name;
    if (name[0] == '~') {
        std::string key = lowered(name.substr(1));
        if (key.size() > 4 && key.compare(key.size() - 4, 4, ".cur") == 0) key.resize(key.size() - 4);
        static const std::pair<const char*, Qt::CursorShape> kOwn[] = {
            {"arrow", Qt::ArrowCursor},        {"ibeam", Qt::IBeamCursor},         {"wait", Qt::WaitCursor},
            {"cross", Qt::CrossCursor},        {"uparrow", Qt::UpArrowCursor},     {"size", Qt::SizeAllCursor},
            {"sizeall", Qt::SizeAllCursor},    {"icon", Qt::SizeAllCursor},        {"sizenwse", Qt::SizeFDiagCursor},
            {"sizenesw", Qt::SizeBDiagCursor}, {"sizewe", Qt::SizeHorCursor},      {"sizens", Qt::SizeVerCursor},
            {"no", Qt::ForbiddenCursor},       {"hand", Qt::PointingHandCursor},   {"point", Qt::PointingHandCursor},
            {"pointer", Qt::PointingHandCursor}, {"appstarting", Qt::BusyCursor},  {"help", Qt::WhatsThisCursor},
            {"drag", Qt::ClosedHandCursor},    {"drop", Qt::DragCopyCursor},
        };
        for (const auto& [own, shape] : kOwn) {
            if (key == own) {
                cursor = QCursor(shape);
                return true;
            }
        }
    }
    if (file[0] == '~' || file[0] == '!') file.erase(0, 1);
    QPixmap image(QString::fromStdString(file));
    if (image.isNull()) return false;
    cursor = QCursor(image);
    return true;
}

// ---- cool images --------------------------------------------------------------------------------

CoolImage::CoolImage(QWidget* parent, QWidget* control, int field) : QLabel(parent) {
    setProperty("field", field);
    setObjectName(QStringLiteral("cool:%1").arg(field));
    setScaledContents(true);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setControl(control);
}

void CoolImage::setControl(QWidget* control) {
    if (control_ == control) return;
    if (control_) control_->removeEventFilter(this);
    control_ = control;
    if (control_) control_->installEventFilter(this);
}

void CoolImage::showImage(const std::string& file) {
    image_ = file;
    setProperty("image", QString::fromStdString(file));
    QPixmap pm;
    if (!file.empty()) pm = QPixmap(QString::fromStdString(file));
    setPixmap(pm);
}

void CoolImage::follow() {
    if (!control_ || !parentWidget()) return;
    const QPoint at = control_->parentWidget() == parentWidget()
                          ? control_->pos()
                          : control_->mapTo(window(), QPoint(0, 0)) - parentWidget()->mapTo(window(), QPoint(0, 0));
    const QRect r(at, control_->size());
    if (geometry() != r) setGeometry(r);
    if (isHidden() != control_->isHidden()) setHidden(control_->isHidden());
    stackUnder(control_);
}

bool CoolImage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == control_) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide: follow(); break;
        default: break;
        }
    }
    return false;
}

CoolImage* coolImage(QWidget* window, int field) {
    if (!window) return nullptr;
    for (CoolImage* c : window->findChildren<CoolImage*>())
        if (c->property("field").toInt() == field) return c;
    return nullptr;
}

}  // namespace mg::ui
