#pragma once
// The family that stands for a font the windows and reports are designed in. The designs
// name Windows fonts ("MS Sans Serif", "Arial"); where one is not installed, a font of the
// same widths is taken when there is one (Liberation Sans has Arial's widths, and MS Sans
// Serif's are close to Arial's), so that every text keeps the room it was designed with.
// Only when none is installed does the platform's general sans font serve (empty result).

#include <array>
#include <string>

#include <QFontDatabase>
#include <QString>

namespace mg::ui {

inline QString standInFamily(const std::string& name) {
    const QString family = QString::fromStdString(name);
    if (!family.isEmpty() && QFontDatabase::hasFamily(family)) return family;
    static const std::array<const char*, 5> sans = {"arial", "ms sans serif", "microsoft sans serif", "helvetica", "tahoma"};
    bool isSans = family.isEmpty();
    for (const char* s : sans) isSans = isSans || family.compare(QLatin1String(s), Qt::CaseInsensitive) == 0;
    if (isSans) {
        for (const char* standIn : {"Liberation Sans", "Arimo"})
            if (QFontDatabase::hasFamily(QLatin1String(standIn))) return QLatin1String(standIn);
    }
    return {};
}

}  // namespace mg::ui
