#pragma once
// The import runs the database knows, in a window: the runs listed latest first, and the
// selected one taken back after a question (No by default). What taking back does and refuses
// is shell/undo_run.h's, as on the command line.

#include <memory>

#include <QDialog>

#include "data/backend.h"

class QTableWidget;
class QPushButton;

namespace mg {
class Context;
namespace ui {
class QtUserInterface;
}
namespace history {
class RunHistory;
}

namespace shell {

class RunsWindow : public QDialog {
public:
    RunsWindow(const db::Settings& settings, QWidget* parent = nullptr);
    ~RunsWindow() override;

    // Opens the window on a context of its own; it deletes itself when closed.
    static RunsWindow* start(const db::Settings& settings, QWidget* parent);

    QTableWidget* list() const { return list_; }
    QPushButton* takeBackButton() const { return takeBack_; }
    // Lists the runs again; false (and a message) when the history cannot be read.
    bool refresh();
    // Takes back the run of the selected row, after the question.
    void takeBackSelected();

private:
    std::unique_ptr<Context> ctx_;
    std::unique_ptr<ui::QtUserInterface> ui_;
    std::unique_ptr<history::RunHistory> history_;
    QTableWidget* list_ = nullptr;
    QPushButton* takeBack_ = nullptr;
};

}  // namespace shell
}  // namespace mg
