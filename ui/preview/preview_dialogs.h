#pragma once
// The preview's two small windows: choosing a page to jump to, and choosing the grid of
// thumbnails.

#include <QDialog>

#include "ui/widgets/controls.h"

namespace mg::ui {

const WindowDef& jumpToPageDef();
const WindowDef& selectDisplayDef();

// "Jump to a Report Page": a spin from 1 to `total` starting at `current`.
class JumpToPageWindow : public QDialog {
    Q_OBJECT
public:
    JumpToPageWindow(int current, int total, QWidget* parent = nullptr);
    Controls& controls() { return controls_; }
    // The spin's value when OK was pressed, else the current page.
    int answer() const { return answer_; }

private:
    Controls controls_;
    int answer_;
};

// The jump window, modal: the page chosen, or `current` when it was cancelled or closed.
int jumpToPage(int current, int total, QWidget* parent = nullptr);

// "Change the Report Display": two spins that edit `across` and `down` as they change.
class SelectDisplayWindow : public QDialog {
    Q_OBJECT
public:
    SelectDisplayWindow(int& across, int& down, QWidget* parent = nullptr);
    Controls& controls() { return controls_; }

private:
    Controls controls_;
};

// The display window, modal; returns when it is closed.
void selectDisplay(int& across, int& down, QWidget* parent = nullptr);

}  // namespace mg::ui
