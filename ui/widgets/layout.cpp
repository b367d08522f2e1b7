#include "ui/widgets/layout.h"

#include <cmath>

#include <QFontDatabase>
#include <QFontMetrics>

namespace mg::ui {

QFont windowFont(const std::string& name, int points) {
    const QString family = QString::fromStdString(name);
    if (!family.isEmpty() && QFontDatabase::hasFamily(family)) {
        QFont f(family);
        if (points > 0) f.setPointSize(points);
        return f;
    }
    // Not installed (the usual case away from Windows): the platform's general sans font.
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
