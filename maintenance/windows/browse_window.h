#pragma once
// The six list windows: BROWSEDOCOUTLAYS and BROWSEDOCFEES, the maintenance lists the
// frame starts on a context of their own, and the lookups SELECTDOCUMENT, SELECTOUTLAYTYPE,
// SELECTNOMINAL and SELECTTASK, which run modally on their caller's context. Each window
// owns one browse engine and shows its buffer through the list format; its list control,
// buttons and tab sheet pass their events to the engine.

#include <functional>
#include <memory>

#include <QDialog>

#include "data/backend.h"
#include "data/context.h"
#include "maintenance/browse_engine.h"
#include "maintenance/browse_lists.h"
#include "maintenance/integrity.h"
#include "ui/widgets/controls.h"
#include "ui/widgets/procedure.h"
#include "ui/widgets/resizer.h"

namespace mg::ui {
class ListControl;
}

namespace mg::browse {

class BrowseModel;

// The layout of a list window, in dialog units, from its definition.
ui::WindowDef listWindowLayout(const ListWindowDef& def);

// The update form a maintenance list calls: runs with the context's request word set and
// the row in the table's record buffer, leaves the context's response word and returns it.
using UpdateForm = std::function<int(Session s, ListWindow list, int request)>;

// A form that answers every request "not completed" and leaves the table as it was.
int updateFormNotCompleted(Session s, ListWindow list, int request);

class BrowseWindow : public QDialog {
    Q_OBJECT
public:
    // Runs on `s.ctx`, taking its request word on entry. Opens the window's tables first;
    // check started() before showing.
    BrowseWindow(ListWindow which, Session s, QWidget* parent = nullptr);
    ~BrowseWindow() override;

    // Starts a maintenance list on a context of its own, in a modeless window that deletes
    // itself when closed. Null when its tables could not be opened.
    static BrowseWindow* start(ListWindow which, const db::Settings& settings, QWidget* parent);

    bool started() const { return started_; }
    BrowseEngine& engine() { return *engine_; }
    ui::Controls& controls() { return controls_; }
    ui::ListControl* list() const;
    // The update form Insert, Change and Delete call (the table's own form by default).
    void setUpdateForm(UpdateForm form) { form_ = std::move(form); }

    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Owned;
    BrowseWindow(std::unique_ptr<Owned> owned, ListWindow which, Session s, QWidget* parent);
    BrowseHooks hooks();
    void accepted(Button b);
    void typed(int key, Qt::KeyboardModifiers modifiers, const QString& text);
    int popup(const std::string& menu);
    void finish();

    std::unique_ptr<Owned> owned_;
    ListWindow which_;
    const ListWindowDef& def_;
    Session s_;
    ui::ProcedureWords words_;
    std::unique_ptr<TableUse> tables_;
    bool started_ = false;
    ui::Controls controls_;
    ui::WindowResizeType resizer_;
    ui::WindowProcedure procedure_;
    std::unique_ptr<BrowseEngine> engine_;
    BrowseModel* model_ = nullptr;
    UpdateForm form_;
    bool refreshPosted_ = false;
    bool finished_ = false;
};

// The lookups, called with the context's request word set (4 to select). Each leaves the
// context's response word (1 with the picked row in the table's record buffer, else 2) and
// returns it.
int runLookup(ListWindow which, Session s, QWidget* parent);
inline int selectDocument(Session s, QWidget* parent) { return runLookup(ListWindow::SelectDocument, s, parent); }
inline int selectOutlayType(Session s, QWidget* parent) { return runLookup(ListWindow::SelectOutlayType, s, parent); }
inline int selectNominal(Session s, QWidget* parent) { return runLookup(ListWindow::SelectNominal, s, parent); }
inline int selectTask(Session s, QWidget* parent) { return runLookup(ListWindow::SelectTask, s, parent); }

}  // namespace mg::browse
