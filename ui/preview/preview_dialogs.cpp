#include "ui/preview/preview_dialogs.h"

#include <QPushButton>
#include <QSpinBox>

namespace mg::ui {

const WindowDef& jumpToPageDef() {
    static const WindowDef def{
        .caption = "Jump to a Report Page",
        .width = 180,
        .height = 26,
        .fontName = "MS Sans Serif",
        .fontPoints = 8,
        .controls = {
            {.kind = ControlKind::Prompt, .name = "?PROMPT:JUMPPAGE", .text = "&Page:", .x = 5, .y = 8},
            {.kind = ControlKind::Spin, .name = "?JUMPPAGE", .x = 30, .y = 7, .w = 50, .h = 12, .picture = "n5",
             .tip = "Select a page of the report", .low = 1, .high = 99999},
            {.kind = ControlKind::Button, .name = "?OKBUTTON", .text = "OK", .x = 89, .y = 7, .w = 40, .h = 12,
             .tip = "Jump to the selected page", .flags = DefaultButton},
            {.kind = ControlKind::Button, .name = "?CANCELBUTTON", .text = "Cancel", .x = 134, .y = 7, .w = 40, .h = 12,
             .tip = "Cancel this selection"},
        }};
    return def;
}

const WindowDef& selectDisplayDef() {
    static const WindowDef def{
        .caption = "Change the Report Display",
        .width = 142,
        .height = 65,
        .fontName = "MS Sans Serif",
        .fontPoints = 8,
        .controls = {
            {.kind = ControlKind::Group, .name = "?GROUP1", .text = "Pages Displayed", .x = 3, .y = 2, .w = 135, .h = 43},
            {.kind = ControlKind::Prompt, .name = "?PROMPT:ACROSS", .text = "Across", .x = 13, .y = 12},
            {.kind = ControlKind::Spin, .name = "?INPUT:PAGESACROSS", .x = 13, .y = 22, .w = 50, .h = 12, .picture = "N2",
             .low = 1, .high = 10},
            {.kind = ControlKind::Prompt, .name = "?PROMPT:DOWN", .text = "Down", .x = 79, .y = 12},
            {.kind = ControlKind::Spin, .name = "?INPUT:PAGESDOWN", .x = 79, .y = 22, .w = 50, .h = 12, .picture = "N2",
             .low = 1, .high = 10},
            {.kind = ControlKind::Button, .name = "?OK", .text = "OK", .x = 98, .y = 47, .w = 40, .h = 14,
             .flags = DefaultButton},
        }};
    return def;
}

JumpToPageWindow::JumpToPageWindow(int current, int total, QWidget* parent) : QDialog(parent), answer_(current) {
    controls_ = buildWindow(*this, jumpToPageDef());
    auto* spin = controls_.get<QSpinBox>("?JUMPPAGE");
    spin->setRange(1, std::max(1, total));
    spin->setValue(current);
    connect(controls_.get<QPushButton>("?OKBUTTON"), &QPushButton::clicked, this, [this, spin] {
        spin->interpretText();  // a value typed outside the range becomes the nearer limit
        answer_ = spin->value();
        accept();
    });
    connect(controls_.get<QPushButton>("?CANCELBUTTON"), &QPushButton::clicked, this, &QDialog::reject);
}

int jumpToPage(int current, int total, QWidget* parent) {
    JumpToPageWindow w(current, total, parent);
    w.exec();
    return w.answer();
}

SelectDisplayWindow::SelectDisplayWindow(int& across, int& down, QWidget* parent) : QDialog(parent) {
    controls_ = buildWindow(*this, selectDisplayDef());
    auto* a = controls_.get<QSpinBox>("?INPUT:PAGESACROSS");
    auto* d = controls_.get<QSpinBox>("?INPUT:PAGESDOWN");
    a->setValue(across);
    d->setValue(down);
    across = a->value();
    down = d->value();
    connect(a, &QSpinBox::valueChanged, this, [&across](int v) { across = v; });
    connect(d, &QSpinBox::valueChanged, this, [&down](int v) { down = v; });
    connect(controls_.get<QPushButton>("?OK"), &QPushButton::clicked, this, [this, a, d] {
        a->interpretText();
        d->interpretText();
        accept();
    });
}

void selectDisplay(int& across, int& down, QWidget* parent) {
    SelectDisplayWindow w(across, down, parent);
    w.exec();
}

}  // namespace mg::ui
