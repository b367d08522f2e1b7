#pragma once
// MAINSETUP: shows and changes the last tracking reference the outlay import has processed
// (section "DocumentOutlays", key "LastTrackRef" of the product INI file). The value is
// taken as typed: a lower one makes the next import process attachments again, a higher
// one makes it skip them.

#include <cstdint>
#include <memory>
#include <string>

#include <QDialog>

#include "data/backend.h"
#include "data/context.h"
#include "maintenance/integrity.h"
#include "ui/port.h"
#include "ui/widgets/controls.h"
#include "ui/widgets/procedure.h"

namespace mg::shell {

const ui::WindowDef& mainSetupDef();

class MainSetup : public QDialog {
    Q_OBJECT
public:
    // Runs on `ctx`, talking to `ui`. `productIni`: the product INI file (empty: the one in
    // the current directory). Opens dbo.Nominal first; check started() before showing.
    MainSetup(Context& ctx, ui::UserInterface& ui, QWidget* parent = nullptr, std::string productIni = {});
    ~MainSetup() override;

    // Starts MAINSETUP on a context of its own (as on a thread of its own) in a modeless
    // window that deletes itself when closed. Null when its table could not be opened.
    static MainSetup* start(const db::Settings& settings, QWidget* parent);

    // False when the table could not be opened (the program has been halted then).
    bool started() const { return started_; }
    int32_t lastTrackRef() const { return lastTrackRef_; }
    ui::Controls& controls() { return controls_; }

private:
    struct Owned;
    MainSetup(std::unique_ptr<Owned> owned, Context& ctx, ui::UserInterface& ui, QWidget* parent, std::string productIni);

    void okPressed();
    void closePressed();
    void showStored();

    std::unique_ptr<Owned> owned_;  // the context and user interface of a window started on its own
    Context& ctx_;
    ui::UserInterface& ui_;
    std::string productIni_;
    int32_t lastTrackRef_ = 0;  // LOC:LASTTRACKREF
    ui::ProcedureWords words_;
    std::unique_ptr<TableUse> tables_;
    bool started_ = false;
    ui::Controls controls_;
    ui::WindowProcedure procedure_;
};

}  // namespace mg::shell
