#pragma once
// A window started "on a thread of its own": it gets a context of its own (its own
// connection, buffers and request words) and a Qt user interface whose messages belong to
// it, opens modeless and deletes itself, with both, when it is closed.

#include <memory>

#include <QWidget>

#include "data/context.h"
#include "ui/widgets/qt_ui.h"

namespace mg::ui {

struct OwnContext {
    OwnContext(const db::Settings& settings, QWidget* parent)
        : ctx(std::make_unique<Context>(settings)), ui(std::make_unique<QtUserInterface>(parent)) {}
    std::unique_ptr<Context> ctx;
    std::unique_ptr<QtUserInterface> ui;
};

// Shows a window made on an OwnContext (the window owns it); null, with the window deleted,
// when the window could not start (its tables could not be opened).
template <class Window> Window* showOnOwnContext(Window* window, QtUserInterface& ui) {
    window->setAttribute(Qt::WA_DeleteOnClose);
    if (!window->started()) {
        delete window;
        return nullptr;
    }
    ui.setParent(window);
    window->setWindowModality(Qt::NonModal);
    window->show();
    return window;
}

}  // namespace mg::ui
