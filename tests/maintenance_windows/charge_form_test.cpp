// The two charge forms offscreen: their layouts, the code entries and their lookups, insert,
// change and delete with the standard messages, another station changing or deleting the row
// meanwhile, the ditto key, closing with unsaved entries, amounts that do not fit their
// column and band limits that do not rise. With MG_SCREENSHOTS set, each form and each lookup
// opened from it is saved as a picture.

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeView>

#include "data/table.h"
#include "maintenance/windows/browse_model.h"
#include "maintenance/windows/browse_window.h"
#include "maintenance/windows/charge_form.h"
#include "qt_app.h"
#include "shell/demo.h"
#include "testdb.h"
#include "ui/scripted.h"
#include "ui/widgets/list_control.h"

namespace mg::browse {
namespace {

class ChargeForms : public ::testing::Test {
protected:
    test::TempDatabase db;
    std::unique_ptr<Context> ctx = db.context();
    ui::ScriptedUserInterface ui;
    Session s{*ctx, ui};
    std::unique_ptr<TableUse> open;

    void SetUp() override {
        for (const char* d : {"ADVICE", "LETTER1", "LETTER2", "WRIT"})
            db.exec(std::string("INSERT INTO TemplateDocuments (Code, Name) VALUES ('") + d + "', 'Document " + d + "')");
        for (const char* o : {"CSF", "POST", "SHF"}) db.exec(std::string("INSERT INTO OutlayCode (Code, Description) VALUES ('") + o + "', 'Outlay " + o + "')");
        for (const char* n : {"4000", "4100"}) db.exec(std::string("INSERT INTO Nominal (Code, \"Desc\") VALUES ('") + n + "', 'Account " + n + "')");
        for (const char* t : {"ATT", "DRAFT1", "LET"}) db.exec(std::string("INSERT INTO TasksCodes (Code, \"Desc\") VALUES ('") + t + "', 'Task " + t + "')");
        open = std::make_unique<TableUse>(s, chargeFormDef(ChargeForm::Outlays).tables);
        open2 = std::make_unique<TableUse>(s, chargeFormDef(ChargeForm::Fees).tables);
    }
    std::unique_ptr<TableUse> open2;

    static void settle() {
        for (int i = 0; i < 5; ++i) QApplication::processEvents();
    }
    // Types into an entry and leaves it with Tab, as the user does.
    static void type(ChargeFormWindow& w, const std::string& name, const QString& text) {
        QLineEdit* le = w.entry(name);
        ASSERT_TRUE(le) << name;
        test::typeAndLeave(le, text);
    }
    static std::string shown(ChargeFormWindow& w, const std::string& name) { return w.controls().text(name).toStdString(); }
    static std::string focused(ChargeFormWindow& w) {
        QWidget* f = w.focusWidget();
        return f ? f->objectName().toStdString() : std::string("(none)");
    }

    // Runs the form with `request`; `drive` works the window once it is open.
    int run(ChargeForm which, int request, std::function<void(ChargeFormWindow&)> drive) {
        ctx->globalRequest = request;
        test::whenModalOpens([drive](QWidget* modal) {
            auto* w = qobject_cast<ChargeFormWindow*>(modal);
            ASSERT_TRUE(w);
            settle();
            drive(*w);
            if (w->isVisible()) w->done(0);  // a test that left it open: close without asking
        });
        return runChargeForm(which, s, nullptr);
    }
    // Reads a charge row into the buffer with a watch, as the list does before Change and Delete.
    void readCharge(long long id) {
        Table& t = ctx->table(TableId::DocumentCharges);
        t.clear();
        ctx->set(DCH::RECORDID, id);
        t.watch();
        ASSERT_EQ(t.get(DCH::PK_DOCUMENTCHARGES), 0);
    }
    void readFeeCharge(long long id) {
        Table& t = ctx->table(TableId::DocumentChargesFees);
        t.clear();
        ctx->set(DCHF::RECORDID, id);
        t.watch();
        ASSERT_EQ(t.get(DCHF::PK_DOCUMENTCHARGES), 0);
    }
    std::vector<std::string> captions() const {
        std::vector<std::string> c;
        for (const auto& m : ui.messages) c.push_back(m.caption);
        return c;
    }
    std::string charges() const {
        std::string out;
        for (const std::string& r : db.column("SELECT DocumentName || '|' || OutlayCode || '|' || NominalCode || '|' || "
                                              "IFNULL(OutlayAmount, '-') || '|' || IFNULL(Band1, '-') || '|' || IFNULL(Band2, '-') || '|' || "
                                              "IFNULL(OutlayAmt2, '-') FROM DocumentCharges ORDER BY RecordID"))
            out += r + ";";
        return out;
    }
};

TEST_F(ChargeForms, BothLayoutsInControlOrderWithTheirPicturesAndCaptions) {
    struct Row {
        ChargeForm form;
        int request;
        const char* caption;
        std::vector<std::string> order;  // the entries and buttons, in control order
    } rows[] = {
        {ChargeForm::Outlays, InsertRecord, "Insert Detail",
         {"?DCH:DOCUMENTNAME@s10", "?CALLLOOKUP", "?DCC:NAME@s100", "?DCH:OUTLAYCODE@s4", "?CALLLOOKUP:2", "?OUT:DESCRIPTION@s30",
          "?DCH:NOMINALCODE@s10", "?CALLLOOKUP:3", "?NOM:DESC@s30", "?DCH:BAND1@n-25.2", "====>>", "?DCH:OUTLAYAMOUNT@n-26.2",
          "?DCH:BAND2@n-25.2", "====>>", "?DCH:OUTLAYAMT2@n-10.2", "?DCH:OUTLAYAMT3@n-10.2", "====>>", "?DCH:BAND3@n-25.2",
          "?DCH:BAND4@n-25.2", "====>>", "?DCH:OUTLAYAMT4@n-10.2", "?DCH:BAND5@n-25.2", "====>>", "?DCH:OUTLAYAMT5@n-10.2", "?OK", "?CANCEL"}},
        {ChargeForm::Fees, ChangeRecord, "Change Detail",
         {"?DCHF:DOCUMENTNAME@s10", "?CALLLOOKUP", "?DCC:NAME@s100", "?DCHF:TASKCHARGECODE@s3", "?CALLLOOKUP:2", "?TAS:DESC@s30", "?OK",
          "?CANCEL"}},
    };
    for (const Row& r : rows) {
        ChargeFormWindow w(r.form, s, r.request);
        EXPECT_EQ(w.windowTitle().toStdString(), r.caption);
        ui::Controls& c = w.controls();
        std::vector<std::string> order;
        std::vector<std::string> prompts;
        for (int f = c.firstField(); f <= c.lastField(); ++f) {
            const ui::ControlDef* d = c.def(f);
            if (!d) continue;
            if (d->kind == ui::ControlKind::Prompt) prompts.push_back(d->text);
            else if (d->kind == ui::ControlKind::String && d->text == "====>>") order.push_back(d->text);
            else if (d->kind == ui::ControlKind::Entry || d->kind == ui::ControlKind::String) order.push_back(d->name + d->picture);
            else if (d->kind == ui::ControlKind::Button) order.push_back(d->name);
        }
        EXPECT_EQ(order, r.order) << r.caption;
        auto* sheet = c.get<QTabWidget>("?CURRENTTAB");
        ASSERT_EQ(sheet->count(), 1);
        EXPECT_EQ(sheet->tabText(0).toStdString(), "General");
        EXPECT_EQ(c.get<QPushButton>("?OK")->toolTip().toStdString(), "Accept data and close the window");
        EXPECT_EQ(c.get<QPushButton>("?CANCEL")->toolTip().toStdString(), "Cancel operation");
        EXPECT_EQ(c.get<QPushButton>("?CALLLOOKUP")->text().toStdString(), "...");
        if (r.form == ChargeForm::Outlays)
            EXPECT_EQ(prompts, (std::vector<std::string>{"Document Code:", "Outlay Code:", "Nominal Code:", "Band 1:", "Amount:", "Band 2:",
                                                         "Band 3:", "Band 4:", "Band 5:"}));
        else EXPECT_EQ(prompts, (std::vector<std::string>{"Document Code:", "Task Charge Code:"}));
    }
}

// A known code needs no lookup; an unknown one opens the lookup at its first row, and Close
// there keeps the focus in the entry and the form open (leaving the entry and OK alike).
TEST_F(ChargeForms, InsertWithAKnownAndAnUnknownDocumentCode) {
    int lookups = 0;
    std::string firstRow;
    const int response = run(ChargeForm::Outlays, InsertRecord, [&](ChargeFormWindow& w) {
        type(w, "?DCH:DOCUMENTNAME", "LETTER1");
        EXPECT_EQ(shown(w, "?DCC:NAME"), "Document LETTER1");
        EXPECT_EQ(lookups, 0);
        auto closeLookup = [&](QWidget* modal) {
            auto* l = qobject_cast<BrowseWindow*>(modal);
            ASSERT_TRUE(l);
            ++lookups;
            settle();
            QAbstractItemModel* m = l->list()->view()->model();
            firstRow = m->data(m->index(l->list()->currentRow(), 0)).toString().toStdString();
            l->controls().get<QPushButton>("?CLOSE")->click();
        };
        test::whenModalOpens(closeLookup);
        type(w, "?DCH:DOCUMENTNAME", "NOSUCH");
        EXPECT_EQ(lookups, 1);
        EXPECT_EQ(firstRow, "ADVICE");
        EXPECT_EQ(focused(w), "?DCH:DOCUMENTNAME");
        EXPECT_EQ(shown(w, "?DCC:NAME"), "");
        // OK stops at the same entry.
        test::whenModalOpens(closeLookup);
        w.okPressed();
        settle();
        EXPECT_EQ(lookups, 2);
        EXPECT_TRUE(w.isVisible());
        EXPECT_EQ(focused(w), "?DCH:DOCUMENTNAME");
        // Picked by typing in the lookup: the code replaces what was typed.
        test::whenModalOpens([&](QWidget* modal) {
            auto* l = qobject_cast<BrowseWindow*>(modal);
            ASSERT_TRUE(l);
            settle();
            QTest::keyClicks(l->list()->view(), "WR");
            settle();
            QTest::keyClick(l->list()->view(), Qt::Key_Return);
        });
        w.okPressed();
        settle();
    });
    EXPECT_EQ(response, RequestCompleted);
    EXPECT_EQ(ctx->globalResponse, RequestCompleted);
    EXPECT_EQ(charges(), "WRIT|||0.00|0.00|0.00|0.00;");
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ChargeForms, InsertWithEverythingBlankAddsBlankCodesAndZeroAmounts) {
    for (ChargeForm f : {ChargeForm::Outlays, ChargeForm::Fees}) {
        ctx->table(chargeFormDef(f).table).clear();
        EXPECT_EQ(run(f, InsertRecord, [](ChargeFormWindow& w) { w.okPressed(); }), RequestCompleted);
    }
    EXPECT_EQ(charges(), "|||0.00|0.00|0.00|0.00;");
    EXPECT_EQ(db.scalar("SELECT count(*) FROM DocumentChargesFees WHERE DocumentName = '' AND TaskChargeCode = ''"), "1");
}

// Nothing touched: the form closes as completed and writes nothing, so another station's
// change made meanwhile stays and no conflict is reported.
TEST_F(ChargeForms, ChangeWithoutTouchingAnythingWritesNothing) {
    db.exec("INSERT INTO DocumentCharges (DocumentName, OutlayCode, OutlayAmount, NominalCode) VALUES ('LETTER1', 'POST', '1.50', '4100')");
    readCharge(1);
    const int response = run(ChargeForm::Outlays, ChangeRecord, [&](ChargeFormWindow& w) {
        EXPECT_EQ(shown(w, "?DCH:OUTLAYAMOUNT"), "1.50");
        EXPECT_EQ(shown(w, "?OUT:DESCRIPTION"), "Outlay POST");
        EXPECT_EQ(shown(w, "?NOM:DESC"), "Account 4100");
        db.exec("UPDATE DocumentCharges SET OutlayAmount = '9.99'");
        w.okPressed();
    });
    EXPECT_EQ(response, RequestCompleted);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(db.scalar("SELECT OutlayAmount FROM DocumentCharges"), "9.99");
}

// Another station changes the row between the read and OK: message 38 and its values shown;
// Ctrl+' recalls the user's outlay code; OK then saves it over the other station's row.
TEST_F(ChargeForms, AnotherStationsChangeIsShownAndTheDittoKeyRecallsTheUsersValue) {
    db.exec("INSERT INTO DocumentCharges (DocumentName, OutlayCode, OutlayAmount, NominalCode) VALUES ('LETTER1', 'POST', '1.50', '4100')");
    readCharge(1);
    const int response = run(ChargeForm::Outlays, ChangeRecord, [&](ChargeFormWindow& w) {
        type(w, "?DCH:OUTLAYCODE", "SHF");
        EXPECT_EQ(shown(w, "?OUT:DESCRIPTION"), "Outlay SHF");
        db.exec("UPDATE DocumentCharges SET OutlayCode = 'CSF', OutlayAmount = '7.25'");
        w.okPressed();
        settle();
        ASSERT_TRUE(w.isVisible());
        EXPECT_EQ(captions(), (std::vector<std::string>{"Record Was Not Updated"}));
        EXPECT_EQ(w.entry("?DCH:OUTLAYCODE")->text().toStdString(), "CSF");
        EXPECT_EQ(shown(w, "?DCH:OUTLAYAMOUNT"), "7.25");
        EXPECT_EQ(focused(w), "?DCH:DOCUMENTNAME");
        QTest::keyClick(w.entry("?DCH:OUTLAYCODE"), Qt::Key_Apostrophe, Qt::ControlModifier);
        EXPECT_EQ(w.entry("?DCH:OUTLAYCODE")->text().toStdString(), "SHF");
        EXPECT_EQ(shown(w, "?OUT:DESCRIPTION"), "Outlay SHF");
        EXPECT_EQ(shown(w, "?DCH:OUTLAYAMOUNT"), "7.25");  // the other columns stay
        w.okPressed();
    });
    EXPECT_EQ(response, RequestCompleted);
    EXPECT_EQ(charges(), "LETTER1|SHF|4100|7.25|-|-|-;");
}

// A write that fails (another station holds the table past the 2-second wait) asks message
// 16: Yes tries again, No closes without saving, Cancel keeps the form with the entries.
TEST_F(ChargeForms, AFailedWriteAsksWhetherToTryAgain) {
    struct Case {
        int answer;
        int response;
        const char* stored;
        bool openAfter;
    } cases[] = {
        {ui::ButtonYes, RequestCompleted, "SHF", false},
        {ui::ButtonNo, RequestCancelled, "POST", false},
        {ui::ButtonCancel, RequestCancelled, "POST", true},
    };
    db.exec("INSERT INTO DocumentCharges (DocumentName, OutlayCode, OutlayAmount, NominalCode) VALUES ('LETTER1', 'POST', '1.50', '4100')");
    for (const Case& c : cases) {
        db.exec("UPDATE DocumentCharges SET OutlayCode = 'POST'");
        readCharge(1);
        ui.messages.clear();
        test::OtherProgram other(db.path());
        other.holdWriteLock();
        ui.onMessage = [&](const ui::Message& m) {
            if (m.caption == "Record Update Error") other.release();  // the retry finds the table free
        };
        ui.answers = {ui::ButtonOk, c.answer, ui::ButtonYes};
        bool openAfter = false;
        const int response = run(ChargeForm::Outlays, ChangeRecord, [&](ChargeFormWindow& w) {
            type(w, "?DCH:OUTLAYCODE", "SHF");
            w.okPressed();
            settle();
            openAfter = w.isVisible();
            if (openAfter) {
                EXPECT_EQ(w.entry("?DCH:OUTLAYCODE")->text().toStdString(), "SHF");
                w.cancelPressed();  // message 23, answered Yes
            }
        });
        ui.onMessage = nullptr;
        std::vector<std::string> expected = {"Transaction Framing Error", "Record Update Error"};
        if (c.openAfter) expected.push_back("Update Cancelled");
        EXPECT_EQ(captions(), expected) << c.answer;
        EXPECT_EQ(response, c.response) << c.answer;
        EXPECT_EQ(openAfter, c.openAfter) << c.answer;
        EXPECT_EQ(db.scalar("SELECT OutlayCode FROM DocumentCharges"), c.stored) << c.answer;
    }
}

// A row deleted by another station fails the save (message 15, then 16): Yes tries again
// and fails again without writing anywhere, Cancel keeps the form with the user's entries.
TEST_F(ChargeForms, ARowDeletedByAnotherStationKeepsTheFormOpenWithTheUsersValues) {
    db.exec("INSERT INTO DocumentChargesFees (DocumentName, TaskChargeCode) VALUES ('LETTER1', 'ATT')");
    readFeeCharge(1);
    const int response = run(ChargeForm::Fees, ChangeRecord, [&](ChargeFormWindow& w) {
        EXPECT_EQ(shown(w, "?TAS:DESC"), "Task ATT");
        type(w, "?DCHF:TASKCHARGECODE", "LET");
        db.exec("DELETE FROM DocumentChargesFees");
        ui.answers = {ui::ButtonOk, ui::ButtonYes, ui::ButtonOk, ui::ButtonCancel};
        w.okPressed();
        settle();
        EXPECT_TRUE(w.isVisible());
        EXPECT_EQ(w.entry("?DCHF:TASKCHARGECODE")->text().toStdString(), "LET");
        ui.answers = {ui::ButtonYes};  // message 23 on leaving
        w.cancelPressed();
    });
    EXPECT_EQ(response, RequestCancelled);
    EXPECT_EQ(captions(), (std::vector<std::string>{"Update Operation Error", "Record Update Error", "Update Operation Error",
                                                    "Record Update Error", "Update Cancelled"}));
    EXPECT_EQ(db.count("SELECT count(*) FROM DocumentChargesFees"), 0);
}

TEST_F(ChargeForms, CancelAfterTypingAsksAndNoKeepsTheEntries) {
    const int response = run(ChargeForm::Outlays, InsertRecord, [&](ChargeFormWindow& w) {
        type(w, "?DCH:DOCUMENTNAME", "WRIT");
        ui.answers = {ui::ButtonNo};
        w.controls().get<QPushButton>("?CANCEL")->click();
        settle();
        EXPECT_TRUE(w.isVisible());
        EXPECT_EQ(w.entry("?DCH:DOCUMENTNAME")->text().toStdString(), "WRIT");
        EXPECT_EQ(focused(w), "?DCH:DOCUMENTNAME");
        ui.answers = {ui::ButtonYes};
        w.close();  // the close box asks the same
        settle();
        EXPECT_FALSE(w.isVisible());
    });
    EXPECT_EQ(response, RequestCancelled);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].caption, "Update Cancelled");
    EXPECT_EQ(ui.messages[0].text, "Are you sure you want to cancel?");
    EXPECT_EQ(ui.messages[0].defaultButton, ui::ButtonNo);
    EXPECT_EQ(db.count("SELECT count(*) FROM DocumentCharges"), 0);
    // Cancel with nothing typed asks nothing.
    ui.messages.clear();
    ctx->table(TableId::DocumentCharges).clear();
    EXPECT_EQ(run(ChargeForm::Outlays, InsertRecord, [](ChargeFormWindow& w) { w.cancelPressed(); }), RequestCancelled);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ChargeForms, DeleteAsksFirstAndNeverShowsTheWindow) {
    struct Case {
        ChargeForm form;
        int answer;
        int response;
        long long left;
    } cases[] = {
        {ChargeForm::Outlays, ui::ButtonCancel, RequestCancelled, 1},
        {ChargeForm::Outlays, ui::ButtonOk, RequestCompleted, 0},
        {ChargeForm::Fees, ui::ButtonCancel, RequestCancelled, 1},
        {ChargeForm::Fees, ui::ButtonOk, RequestCompleted, 0},
    };
    for (const Case& c : cases) {
        db.exec("DELETE FROM DocumentCharges; DELETE FROM DocumentChargesFees;");
        db.exec("INSERT INTO DocumentCharges (RecordID, DocumentName) VALUES (1, 'LETTER1')");
        db.exec("INSERT INTO DocumentChargesFees (RecordID, DocumentName, TaskChargeCode) VALUES (1, 'LETTER1', 'ATT')");
        if (c.form == ChargeForm::Outlays) readCharge(1);
        else readFeeCharge(1);
        ui.messages.clear();
        ui.answers = {c.answer};
        ctx->globalRequest = DeleteRecord;
        // Nothing here closes a window: a form that showed one would never return.
        EXPECT_EQ(runChargeForm(c.form, s, nullptr), c.response);
        EXPECT_EQ(ctx->globalResponse, c.response);
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].caption, "Confirm Delete");
        EXPECT_EQ(db.count(c.form == ChargeForm::Outlays ? "SELECT count(*) FROM DocumentCharges" : "SELECT count(*) FROM DocumentChargesFees"), c.left);
    }
}

// The key the database numbers is taken from the buffer: a buffer holding an existing
// identifier is refused with message 24 naming the primary key, and the form stays open.
TEST_F(ChargeForms, ADuplicatePrimaryKeyNamesTheKeyAndKeepsTheForm) {
    db.exec("INSERT INTO DocumentCharges (RecordID, DocumentName) VALUES (5, 'LETTER1')");
    db.exec("INSERT INTO DocumentChargesFees (RecordID, DocumentName, TaskChargeCode) VALUES (5, 'LETTER1', 'ATT')");
    const std::pair<ChargeForm, const char*> forms[] = {{ChargeForm::Outlays, "DCH:PK_DocumentCharges"},
                                                        {ChargeForm::Fees, "DCHF:PK_DocumentCharges"}};
    for (const auto& [form, key] : forms) {
        ui.messages.clear();
        ctx->table(chargeFormDef(form).table).clear();
        ctx->rec(chargeFormDef(form).table).slot(form == ChargeForm::Outlays ? DCH::RECORDID.index : DCHF::RECORDID.index).i = 5;
        run(form, InsertRecord, [&](ChargeFormWindow& w) {
            w.okPressed();
            settle();
            EXPECT_TRUE(w.isVisible());
            ui.answers = {ui::ButtonYes};
            w.cancelPressed();
        });
        ASSERT_GE(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].caption, "Duplicate Key Error");
        EXPECT_EQ(ui.messages[0].text, std::string("Adding this record creates a duplicate entry for the key:") + key);
    }
}

// Task codes are 6 characters in their table and 3 here: an unknown code is looked up padded,
// and a longer code picked in the lookup is kept to its first 3 characters; a code that only
// begins a task code is looked up again. Two rows of one document with different task codes
// are both added.
TEST_F(ChargeForms, ATaskCodePickedLongerThanThreeIsCutAndOneDocumentTakesTwoTasks) {
    for (const char* task : {"ATT", "DR"}) {
        ctx->table(TableId::DocumentChargesFees).clear();
        run(ChargeForm::Fees, InsertRecord, [&](ChargeFormWindow& w) {
            type(w, "?DCHF:DOCUMENTNAME", "LETTER2");
            if (std::string(task) == "DR") test::whenModalOpens([](QWidget* modal) {
                auto* l = qobject_cast<BrowseWindow*>(modal);
                ASSERT_TRUE(l);
                settle();
                QTest::keyClicks(l->list()->view(), "d");  // first letter: DRAFT1
                settle();
                QTest::keyClick(l->list()->view(), Qt::Key_Return);
            });
            type(w, "?DCHF:TASKCHARGECODE", task);  // "DR" is no task: the lookup opens
            EXPECT_EQ(w.entry("?DCHF:TASKCHARGECODE")->text().toStdString(), std::string(task) == "DR" ? "DRA" : "ATT");
            // A cut code is no task of its own: OK looks it up again, and the pick is taken.
            int lookups = 0;
            if (std::string(task) == "DR") test::whenModalOpens([&](QWidget* modal) {
                auto* l = qobject_cast<BrowseWindow*>(modal);
                ASSERT_TRUE(l);
                ++lookups;
                settle();
                QTest::keyClicks(l->list()->view(), "d");
                settle();
                QTest::keyClick(l->list()->view(), Qt::Key_Return);
            });
            w.okPressed();
            EXPECT_EQ(lookups, std::string(task) == "DR" ? 1 : 0);
            settle();
            if (w.isVisible()) {
                ADD_FAILURE() << "the form stayed open";
                if (QWidget* m = QApplication::activeModalWidget(); m && m != &w) m->close();
            }
        });
    }
    EXPECT_EQ(db.column("SELECT DocumentName || '/' || TaskChargeCode FROM DocumentChargesFees ORDER BY RecordID"),
              (std::vector<std::string>{"LETTER2/ATT", "LETTER2/DRA"}));
}

// An amount that does not fit its picture or its column is refused at the entry: a beep, the
// entry selected again with what was typed (never replaced), and OK stops at it; Cancel asks
// first. Band limits that leave a band out of reach are saved as typed once the user says so.
TEST_F(ChargeForms, AmountsThatDoNotFitAndBandsThatDoNotRise) {
    db.exec("INSERT INTO DocumentCharges (DocumentName, OutlayCode, OutlayAmount, NominalCode, OutlayAmt2) "
            "VALUES ('LETTER1', 'POST', '5.00', '4100', '7.00')");
    struct Case {
        const char* typed;  // into the band 2 amount (@n-10.2, decimal 7.2)
        const char* why;
    } cases[] = {{"1234567", "more digits than the picture shows"}, {"100000", "reads through the picture, too large for the column"}};
    for (const Case& c : cases) {
        readCharge(1);
        ui.messages.clear();
        const int response = run(ChargeForm::Outlays, ChangeRecord, [&](ChargeFormWindow& w) {
            QLineEdit* amount = w.entry("?DCH:OUTLAYAMT2");
            amount->setFocus();
            amount->selectAll();
            QTest::keyClicks(amount, c.typed);
            QTest::keyClick(amount, Qt::Key_Tab);
            settle();
            EXPECT_EQ(focused(w), "?DCH:OUTLAYAMT2") << c.why;
            EXPECT_EQ(amount->text().toStdString(), c.typed) << c.why;
            EXPECT_EQ(amount->selectedText().toStdString(), c.typed) << c.why;
            // Another entry's refresh leaves the refused amount as typed.
            type(w, "?DCH:OUTLAYCODE", "SHF");
            EXPECT_EQ(amount->text().toStdString(), c.typed) << c.why;
            w.okPressed();
            settle();
            EXPECT_TRUE(w.isVisible()) << c.why;
            EXPECT_EQ(focused(w), "?DCH:OUTLAYAMT2") << c.why;
            EXPECT_TRUE(ui.messages.empty()) << c.why;
            ui.answers = {ui::ButtonYes};
            w.cancelPressed();  // asks first: the user typed something
        });
        EXPECT_EQ(response, RequestCancelled) << c.why;
        EXPECT_EQ(captions(), (std::vector<std::string>{"Update Cancelled"})) << c.why;
        EXPECT_EQ(db.scalar("SELECT OutlayAmt2 || '/' || OutlayCode FROM DocumentCharges"), "7.00/POST") << c.why;
    }
    ui.messages.clear();
    ctx->table(TableId::DocumentCharges).clear();
    run(ChargeForm::Outlays, InsertRecord, [&](ChargeFormWindow& w) {
        type(w, "?DCH:DOCUMENTNAME", "WRIT");
        type(w, "?DCH:OUTLAYAMT2", "99999.99");
        type(w, "?DCH:BAND1", "5000");
        type(w, "?DCH:BAND2", "1000");
        ui.answers = {ui::ButtonNo};
        w.okPressed();
        settle();
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].caption, "Band Limits");
        EXPECT_EQ(ui.messages[0].defaultButton, ui::ButtonYes);
        EXPECT_TRUE(w.isVisible());
        EXPECT_EQ(focused(w), "?DCH:BAND2");
        w.okPressed();  // the default, Yes
    });
    EXPECT_EQ(db.scalar("SELECT DocumentName || '|' || Band1 || '|' || Band2 || '|' || OutlayAmt2 FROM DocumentCharges WHERE DocumentName = 'WRIT'"),
              "WRIT|5000.00|1000.00|99999.99");
    EXPECT_EQ(bandsNotRising(ctx->rec(TableId::DocumentCharges), chargeFormDef(ChargeForm::Outlays).bandLimits), std::vector<int>{2});
}

// The largest amount and the widest codes: the form's entries and the list's amount column
// show a figure whole or marked as cut (an ellipsis where digits are hidden), never as a
// shorter number.
TEST_F(ChargeForms, MoneyAndCodesAreShownWholeOrMarkedAsCut) {
    db.exec("INSERT INTO DocumentCharges (DocumentName, OutlayCode, OutlayAmount, NominalCode, Band1, OutlayAmt2) "
            "VALUES ('WWWWWWWWWW', 'POST', '99999999999999999.99', 'MMMMMMMMMM', '1000.00', '12.50')");
    readCharge(1);
    run(ChargeForm::Outlays, ChangeRecord, [&](ChargeFormWindow& w) {
        QLineEdit* amount = w.entry("?DCH:OUTLAYAMOUNT");
        EXPECT_EQ(amount->text().toStdString(), "99,999,999,999,999,999.99");
        w.entry("?DCH:BAND1")->setFocus();
        settle();
        EXPECT_TRUE(ui::entryShowsCut(amount));
        EXPECT_EQ(amount->cursorPosition(), amount->text().size());  // the pence in sight, the cut on the left
        for (const char* code : {"?DCH:DOCUMENTNAME", "?DCH:NOMINALCODE"}) {
            QLineEdit* e = w.entry(code);
            EXPECT_EQ(e->text().size(), 10) << code;
            if (ui::entryShowsCut(e)) {
                EXPECT_EQ(e->cursorPosition(), 0) << code;  // its start in sight, the cut on the right
            }
        }
        EXPECT_FALSE(ui::entryShowsCut(w.entry("?DCH:OUTLAYAMT2")));
        test::screenshot(w, "updatedocumentcharges_largest");
        w.cancelPressed();
    });
    BrowseWindow list(ListWindow::DocOutlays, s);
    list.show();
    settle();
    QAbstractItemModel* m = list.list()->view()->model();
    const QString shown = m->data(m->index(0, 2)).toString();
    EXPECT_EQ(shown.toStdString(), "99,999,999,999,999,999.99");
    const QFontMetrics metrics(list.list()->view()->font());
    const int width = list.list()->view()->columnWidth(2) - 4;
    const std::vector<ListColumn> cols = *parseListFormat(listWindowDef(ListWindow::DocOutlays).format);
    const QString cut = cellText(shown, cols[2], metrics, width);
    if (metrics.horizontalAdvance(shown) > width) {
        EXPECT_TRUE(cut.startsWith(QChar(0x2026))) << cut.toStdString();
        EXPECT_TRUE(cut.endsWith("999.99")) << cut.toStdString();
    } else {
        EXPECT_EQ(cut, shown);
    }
    EXPECT_EQ(cellText("12.50", cols[2], metrics, width).toStdString(), "12.50");
    // A code, whatever its alignment, keeps its start.
    for (int c : {0, 3}) EXPECT_TRUE(cellText("WWWWWWWWWW", cols[c], metrics, metrics.horizontalAdvance("WWWW")).startsWith("W")) << c;
    test::screenshot(list, "browsedocoutlays_largest");
}

TEST(BandLimits, ANegativeLimitOrALaterNonZeroLimitAtOrBelowTheOneBeforeItIsFlagged) {
    struct Case {
        std::vector<const char*> limits;
        std::vector<int> flagged;
    } cases[] = {
        {{"1000", "5000", "10000", "50000", "100000"}, {}},
        {{"1000", "5000", "0", "0", "0"}, {}},        // unused bands
        {{"1000", "1000", "0", "0", "0"}, {2}},       // equal: never reached
        {{"5000", "1000", "10000", "9999.99", "0"}, {2, 4}},
        {{"0", "100", "0", "0", "0"}, {}},
        {{"0", "0", "0", "0", "0"}, {}},
        {{"-100", "0", "0", "0", "0"}, {1}},          // no debt below zero is charged by band
        {{"-100", "-50", "0", "0", "0"}, {1, 2}},
    };
    const std::vector<int>& cols = chargeFormDef(ChargeForm::Outlays).bandLimits;
    for (const Case& c : cases) {
        Record r(decl(TableId::DocumentCharges));
        for (size_t i = 0; i < cols.size(); ++i) r.setDecimal(cols[i], *Decimal::parse(c.limits[i]));
        EXPECT_EQ(bandsNotRising(r, cols), c.flagged) << c.limits[0] << " " << c.limits[1] << " " << c.limits[3];
    }
    EXPECT_EQ(largestValue(decl(TableId::DocumentCharges).columns[DCH::OUTLAYAMT2.index]).toString(2), "99999.99");
    EXPECT_EQ(largestValue(decl(TableId::DocumentCharges).columns[DCH::BAND1.index]).toString(2), "99999999999999999.99");
}

}  // namespace
}  // namespace mg::browse

namespace mg::browse {
namespace {

// Pictures of both forms (insert and change) on the demo practice and of every lookup
// opened from them with its "..." button.
TEST(ChargeFormPictures, OnTheDemoPractice) {
    if (qgetenv("MG_SCREENSHOTS").isEmpty()) GTEST_SKIP() << "MG_SCREENSHOTS names no folder";
    test::TempDatabase folder;
    const std::string path = (folder.folder() / "demo.db").string();
    ASSERT_FALSE(shell::makeDemoDatabase(path));
    db::Settings settings;
    settings.driver = "sqlite";
    settings.database = path;
    Context ctx(settings);
    ui::ScriptedUserInterface ui;
    Session s{ctx, ui};
    const std::pair<ChargeForm, const char*> forms[] = {{ChargeForm::Outlays, "updatedocumentcharges"}, {ChargeForm::Fees, "updatedocfeescharges"}};
    for (const auto& [form, name] : forms) {
        const ChargeFormDef& def = chargeFormDef(form);
        TableUse open(s, def.tables);
        for (int request : {InsertRecord, ChangeRecord}) {
            Table& t = ctx.table(def.table);
            t.clear();
            if (request == ChangeRecord) {
                ASSERT_EQ(t.setStart(def.table == TableId::DocumentCharges ? DCH::KEYDOCUMENTNAME : DCHF::KEYDOCUMENTNAME), 0);
                ASSERT_EQ(t.next(), 0);
            }
            ctx.globalRequest = request;
            const std::string base = std::string(name) + (request == InsertRecord ? "_insert" : "_change");
            test::whenModalOpens([&, base](QWidget* modal) {
                auto* w = qobject_cast<ChargeFormWindow*>(modal);
                ASSERT_TRUE(w);
                for (int i = 0; i < 10; ++i) QApplication::processEvents();
                test::screenshot(*w, base);
                if (request == ChangeRecord) {
                    const QSize opening = w->size();
                    w->resize(opening.width() * 3 / 2, opening.height() * 3 / 2);
                    for (int i = 0; i < 10; ++i) QApplication::processEvents();
                    test::screenshot(*w, base + "_grown");
                    w->resize(opening);
                    for (int i = 0; i < 10; ++i) QApplication::processEvents();
                    test::screenshot(*w, base + "_back");
                }
                if (request == InsertRecord) {
                    for (const FormEntry& e : def.entries) {
                        if (!e.lookup) continue;
                        const std::string shot = base + "_" + listWindowDef(e.lookup->window).engine.procedure;
                        test::whenModalOpens([shot](QWidget* m) {
                            for (int i = 0; i < 10; ++i) QApplication::processEvents();
                            test::screenshot(*m, shot);
                            if (auto* l = qobject_cast<BrowseWindow*>(m)) l->controls().get<QPushButton>("?CLOSE")->click();
                        });
                        w->controls().get<QPushButton>(e.lookup->button)->click();
                    }
                }
                w->done(0);
            });
            runChargeForm(form, s, nullptr);
        }
    }
}

}  // namespace
}  // namespace mg::browse
