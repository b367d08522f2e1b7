#pragma once
// Whether the fixed texts of a window fit their controls: prompts, texts, buttons and tabs
// need no more room than their controls give them, and a spin shows its largest value.

#include <string>
#include <vector>

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTabBar>
#include <QWidget>

namespace mg::test {

// The texts of `window` that do not fit their controls, one line each.
inline std::vector<std::string> cutTexts(QWidget& window) {
    std::vector<std::string> cut;
    auto check = [&](QWidget* w, const QString& text, int room) {
        const QString shown = QString(text).remove('&');
        if (shown.isEmpty() || !w->isVisibleTo(&window)) return;
        const int needed = w->fontMetrics().horizontalAdvance(shown);
        if (needed > room)
            cut.push_back(window.windowTitle().toStdString() + ": \"" + shown.toStdString() + "\" needs " + std::to_string(needed) +
                          " pixels, has " + std::to_string(room));
    };
    for (QLabel* l : window.findChildren<QLabel*>())
        if (l->pixmap().isNull() && !l->wordWrap()) check(l, l->text(), l->contentsRect().width() - 2 * l->margin());
    for (QAbstractButton* b : window.findChildren<QAbstractButton*>()) check(b, b->text(), b->width() - 4);
    for (QTabBar* bar : window.findChildren<QTabBar*>())
        for (int i = 0; i < bar->count(); ++i) check(bar, bar->tabText(i), bar->tabRect(i).width() - 4);
    for (QSpinBox* spin : window.findChildren<QSpinBox*>()) {
        // The largest value in the room the spin's line shows text in (2 pixels either side).
        if (QLineEdit* line = spin->findChild<QLineEdit*>())
            check(spin, QString::number(spin->maximum()), line->contentsRect().width() - 4);
    }
    return cut;
}

}  // namespace mg::test
