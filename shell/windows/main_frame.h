#pragma once
// MAIN: the main frame, a window with a menu bar and nothing else. Each menu command starts
// one procedure: on a context of its own (as the system starts a procedure on a new
// thread), except "Import Outlays", which runs on the frame's own context while the frame
// waits for it: its menu is disabled meanwhile, while every other window stays usable.

#include <QMainWindow>
#include <QPointer>

#include "data/backend.h"
#include "data/context.h"
#include "ui/widgets/controls.h"
#include "ui/widgets/procedure.h"

namespace mg::shell {

const ui::WindowDef& mainFrameDef();

class MainFrame : public QMainWindow {
    Q_OBJECT
public:
    // `settings`: the database every procedure connects to (each on its own context).
    explicit MainFrame(db::Settings settings, QWidget* parent = nullptr);
    ~MainFrame() override;

    ui::Controls& controls() { return controls_; }
    Context& context() { return ctx_; }
    const db::Settings& settings() const { return settings_; }

    // The commands of the menu.
    void printSetup();
    void lastTrackRef();
    void documentOutlays();
    void documentFees();
    void importOutlays();
    void importRuns();
    void importFees();
    void feesToImportReport();
    void feesImportedReport();

signals:
    // The frame has closed (Exit or its close box): the program ends.
    void closed();

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    db::Settings settings_;
    Context ctx_;                // the frame's own context
    ui::ProcedureWords words_;
    ui::Controls controls_;
    ui::WindowProcedure procedure_;
    bool importing_ = false;
    QPointer<QWidget> importWindow_;  // the outlay import's progress window while it runs
};

}  // namespace mg::shell
