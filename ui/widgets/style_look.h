#pragma once
// The pieces of a style put on Qt widgets: colours from the system's int32 values, the
// wallpaper a window paints under its controls, button cursors, and the companion image of a
// cool button.

#include <cstdint>
#include <string>

#include <QColor>
#include <QCursor>
#include <QLabel>
#include <QPalette>
#include <QPixmap>
#include <QPointer>

class QWidget;

namespace mg::ui {

// 0x00BBGGRR to a colour; an invalid colour for a negative value (no colour).
QColor colorOf(int32_t value);
// The colour value of a colour (the inverse of colorOf for a valid colour).
int32_t colorValue(const QColor& color);

// Colours a role of the widget's palette; no colour (negative) leaves it as it is.
void setRoleColor(QWidget* w, QPalette::ColorRole role, int32_t value);
// Gives the widget a background of its own (Window role, filled), or none for no colour.
void setBackground(QWidget* w, int32_t value);

// The wallpaper of a window: an image filling its client area (layout 0), tiled (1) or
// centred (2), painted before the widget's own painting. A blank name or an image that
// cannot be read removes any wallpaper. Returns true when a wallpaper is in place.
bool setWallpaper(QWidget* client, const std::string& file, int layout);
// The wallpaper file in place on the widget, blank when none.
std::string wallpaperOf(const QWidget* client);
int wallpaperLayoutOf(const QWidget* client);
// A tool bar's wallpaper, drawn as its background.
void setToolBarWallpaper(QWidget* toolBar, const std::string& file, int layout);

// A button cursor: a name beginning "~" is one of the program's own cursors ("~Hand",
// "~IBeam", "~Wait", ..., with or without ".cur"), any other name a cursor or image file
// (a leading "!" or "~" dropped). Nothing for a blank name or an unknown one without a file.
bool cursorFor(const std::string& name, QCursor& cursor);

// The image control under a cool button, numbered the button's field number + 1000. It
// follows its button as it moves, changes size or is hidden.
class CoolImage : public QLabel {
    Q_OBJECT
public:
    CoolImage(QWidget* parent, QWidget* control, int field);

    QWidget* control() const { return control_; }
    void setControl(QWidget* control);
    // Shows the image file (the property "image" names it; a file that cannot be read
    // shows nothing).
    void showImage(const std::string& file);
    std::string image() const { return image_; }
    // Takes the control's position, size and hidden state.
    void follow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> control_;
    std::string image_;
};

// The companion image numbered `field` in the window, or null.
CoolImage* coolImage(QWidget* window, int field);

}  // namespace mg::ui
