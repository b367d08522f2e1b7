#include "ui/widgets/layout.h"

#include <cmath>

#include <QFontDatabase>
#include <QFontMetrics>

#include "ui/report/font_stand_in.h"

namespace mg::ui {

QFont windowFont(const std::string& name, int points) {
    // The font itself, or one of its widths (the usual case away from Windows).
    const QString family = standInFamily(name);
    if (!family.isEmpty()) {
        QFont f(family);
        if (points > 0) f.setPointSize(points);
        return f;
    }
    // Nothing of its widths installed: the platform's general sans font.
    QFont f = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    f.setStyleHint(QFont::SansSerif);
    if (points > 0) f.setPointSize(points);
    return f;
}

DialogUnits::DialogUnits(const QFont& font) {
    QFontMetrics m(font);
    charWidth_ = m.averageCharWidth();
    height_ = m.height();
    if (charWidth_ <= 0) charWidth_ = 1;
    if (height_ <= 0) height_ = 1;
}

int DialogUnits::x(int units) const { return static_cast<int>(std::lround(units * static_cast<double>(charWidth_) / 4.0)); }
int DialogUnits::y(int units) const { return static_cast<int>(std::lround(units * static_cast<double>(height_) / 8.0)); }
int DialogUnits::unitsX(int pixels) const { return static_cast<int>(std::lround(pixels * 4.0 / charWidth_)); }
int DialogUnits::unitsY(int pixels) const { return static_cast<int>(std::lround(pixels * 8.0 / height_)); }

}  // namespace mg::ui
