#pragma once
// The update forms of the two charge tables: UPDATEDOCUMENTCHARGES (outlay code, nominal code
// and five debt bands of a template document) and UPDATEDOCFEESCHARGES (the task charge code
// of a document). Both are one form over a description of its entries: each code entry reads
// the description of its code on every refresh and is checked against its table when it is
// left changed and again when OK accepts every entry; a code that is not there opens the
// lookup of its table. Insert adds the row, change writes it through the guarded update (a row
// changed or deleted by another station meanwhile is never overwritten silently), delete asks
// first and never shows the window.

#include <optional>
#include <set>
#include <string>
#include <vector>

#include <QDialog>

#include "data/record.h"
#include "maintenance/browse_lists.h"
#include "maintenance/integrity.h"
#include "ui/widgets/controls.h"
#include "ui/widgets/procedure.h"
#include "ui/widgets/resizer.h"

class QLineEdit;

namespace mg::browse {

enum class ChargeForm { Outlays, Fees };

// A code entry and the table its code is looked up in.
struct CodeLookup {
    ListWindow window;          // the lookup list
    TextCol code;               // the looked-up table's key column (DCC:CODE)
    Key key;                    // read by this key
    TextCol description;        // shown beside the entry
    std::string descriptionControl;  // ?DCC:NAME
    int lookupWidth = 0;        // the code is padded to this many characters to look it up (0: as is)
    int keep = 0;               // a picked code keeps this many characters (0: all)
    std::string button;         // ?CALLLOOKUP
};

// One entry of the form: the column it edits, and its lookup when it holds a code.
struct FormEntry {
    std::string control;        // ?DCH:DOCUMENTNAME
    int column;                 // in the form table's record
    std::optional<CodeLookup> lookup;
    bool required = false;
};

struct ChargeFormDef {
    std::string procedure;      // "UPDATEDOCUMENTCHARGES"
    TableId table;
    std::string tableName;      // "DocumentCharges"
    std::string primaryKeyName; // "DCH:PK_DocumentCharges" (message 24)
    std::vector<TableId> tables;  // opened, in order
    ui::WindowDef layout;       // caption "Document Charges"; replaced when the form opens
    std::vector<FormEntry> entries;  // in control order; every one takes the ditto key
    // The band limits, in band order (empty for the fees form): limits that do not rise are
    // questioned before saving.
    std::vector<int> bandLimits;
};

const ChargeFormDef& chargeFormDef(ChargeForm which);

// The largest value a decimal p.s column holds ("99999.99" for 7.2).
Decimal largestValue(const ColumnDecl& column);
// The bands (1-based) the band search never reaches: a limit below zero, or one that is not 0
// and is at or below the limit of the band before it.
std::vector<int> bandsNotRising(const Record& rec, const std::vector<int>& limitColumns);

// The form as a window: made by runChargeForm for requests 1 and 2; tests drive it directly.
class ChargeFormWindow : public QDialog {
    Q_OBJECT
public:
    ChargeFormWindow(ChargeForm which, Session s, int request, QWidget* parent = nullptr);
    ~ChargeFormWindow() override;

    bool started() const { return started_; }
    ui::Controls& controls() { return controls_; }
    QLineEdit* entry(const std::string& name) const;
    int response() const { return response_; }
    // The record as it was when the form opened.
    const Record& saved() const { return saved_; }

    // Runs OK: every entry accepted in control order, then the save.
    void okPressed();
    void cancelPressed();
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    Record& rec();
    Table& table();
    void refresh();
    void showEntries();
    void showEntry(const FormEntry& e);
    // Takes what was typed into the buffer; false when it is refused (the entry is selected again).
    bool take(const FormEntry& e);
    // Checks a code entry against its table; false when the lookup was closed.
    bool validate(const FormEntry& e);
    bool pickCode(const FormEntry& e, bool onlyWhenMissing);
    void left(const FormEntry& e);
    void lookupPressed(const FormEntry& e);
    void ditto(const FormEntry& e);
    void complete();
    bool bandsConfirmed();
    bool closeAllowed();
    void focusFirst();
    void finish(int response);

    ChargeForm which_;
    const ChargeFormDef& def_;
    Session s_;
    int request_;
    std::unique_ptr<TableUse> tables_;
    bool started_ = false;
    ui::Controls controls_;
    ui::WindowResizeType resizer_;
    ui::WindowProcedure procedure_;
    Record saved_;
    int response_ = RequestCancelled;
    bool acceptingAll_ = false;
    bool busy_ = false;
    bool finished_ = false;
    std::set<std::string> refused_;  // entries holding a refused amount, as typed
};

// UPDATEDOCUMENTCHARGES and UPDATEDOCFEESCHARGES: run with the context's request word set (1
// insert, 2 change, 3 delete) and the row in the table's record buffer; leave the context's
// response word (1 when the row was added, changed or deleted, or a change found nothing to
// save; 2 otherwise) and return it.
int runChargeForm(ChargeForm which, Session s, QWidget* parent);
inline int updateDocumentCharges(Session s, QWidget* parent) { return runChargeForm(ChargeForm::Outlays, s, parent); }
inline int updateDocFeesCharges(Session s, QWidget* parent) { return runChargeForm(ChargeForm::Fees, s, parent); }

}  // namespace mg::browse
