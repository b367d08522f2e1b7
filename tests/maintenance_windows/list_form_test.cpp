// The outlay charge list and its update form together, offscreen, with another station
// writing to the same file: the form is opened from the list by its keys, runs its own event
// loop while the list's posted events and refreshes arrive, and every write it makes carries
// the values the user saw and typed, or asks.

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>

#include "data/table.h"
#include "maintenance/integrity.h"
#include "maintenance/windows/browse_window.h"
#include "maintenance/windows/charge_form.h"
#include "qt_app.h"
#include "testdb.h"
#include "ui/scripted.h"
#include "ui/widgets/list_control.h"

namespace mg::browse {
namespace {

class ListAndForm : public ::testing::Test {
protected:
    test::TempDatabase db;
    std::unique_ptr<Context> ctx = db.context();
    ui::ScriptedUserInterface ui;
    Session s{*ctx, ui};

    void SetUp() override {
        test::qtApp();
        for (const char* d : {"A001", "A002", "A003", "A004", "A005", "A006", "A007", "A008", "A009", "B001", "NEWDOC"})
            db.exec(std::string("INSERT INTO TemplateDocuments (Code, Name) VALUES ('") + d + "', 'Document " + d + "')");
        for (const char* o : {"PO", "SH"}) db.exec(std::string("INSERT INTO OutlayCode (Code, Description) VALUES ('") + o + "', 'Outlay " + o + "')");
        db.exec("INSERT INTO Nominal (Code, \"Desc\") VALUES ('4100', 'Account 4100')");
        reseed();
    }
    // A001 to A009 (record ids 1 to 9) and B001 (10): outlay PO, amount n.00, band 1 1,000.00.
    void reseed() {
        db.exec("DELETE FROM DocumentCharges");
        for (int i = 1; i <= 10; ++i) {
            const std::string name = i == 10 ? "B001" : "A00" + std::to_string(i);
            db.exec("INSERT INTO DocumentCharges (RecordID, DocumentName, OutlayCode, OutlayAmount, NominalCode, Band1) VALUES (" +
                    std::to_string(i) + ", '" + name + "', 'PO', '" + std::to_string(i) + ".00', '4100', '1000.00')");
        }
    }
    std::string row(const std::string& name) const {
        return db.scalar("SELECT OutlayCode || '|' || OutlayAmount || '|' || Band1 FROM DocumentCharges WHERE DocumentName = '" + name + "'");
    }
    static void settle() {
        for (int i = 0; i < 5; ++i) QApplication::processEvents();
    }
    static void key(BrowseWindow& w, Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
        QTest::keyClick(w.list()->view(), k, m);
        settle();
    }
    static std::string highlighted(BrowseWindow& w) {
        QAbstractItemModel* m = w.list()->view()->model();
        return m->data(m->index(w.list()->currentRow(), 0)).toString().toStdString();
    }
    static std::string shown(ChargeFormWindow& f, const std::string& name) { return f.controls().text(name).toStdString(); }
    // What a message box does while it is open: the list window is activated behind it and
    // the events queued meanwhile run.
    void messagesActivate(BrowseWindow& w) {
        ui.onMessage = [&w](const ui::Message&) {
            QEvent activate(QEvent::WindowActivate);
            QApplication::sendEvent(&w, &activate);
            settle();
        };
    }
    // Runs `drive` on the form the next key or click opens, inside the form's event loop.
    static void onForm(std::function<void(ChargeFormWindow&)> drive) {
        test::whenModalOpens([drive](QWidget* modal) {
            auto* f = qobject_cast<ChargeFormWindow*>(modal);
            ASSERT_TRUE(f);
            settle();
            drive(*f);
            if (f->isVisible()) f->done(0);
        });
    }
    static void typeInto(ChargeFormWindow& f, const std::string& name, const QString& text) { test::typeAndLeave(f.entry(name), text); }
};

// How the form is opened, and what reaches the list while it is open, never puts values the
// user did not see into the record the form writes.
TEST_F(ListAndForm, TheListLeavesTheFormsRecordAlone) {
    BrowseWindow w(ListWindow::DocOutlays, s);
    w.show();
    settle();
    ASSERT_EQ(highlighted(w), "A001");
    auto home = [&] {
        key(w, Qt::Key_Home);
        ASSERT_EQ(highlighted(w), "A001");
    };
    auto downTo = [&](int n) {
        for (int i = 1; i < n; ++i) key(w, Qt::Key_Down);
    };

    // Changed by Ctrl+Enter or a double click after another station changed the row: the
    // form shows the row as it now is, and OK without a touch writes nothing.
    for (bool doubleClick : {false, true}) {
        SCOPED_TRACE(doubleClick ? "double click" : "Ctrl+Enter");
        reseed();
        home();
        db.exec("UPDATE DocumentCharges SET OutlayCode = 'SH', OutlayAmount = '66.00', Band1 = '2000.00' WHERE DocumentName = 'A005'");
        downTo(5);
        ASSERT_EQ(highlighted(w), "A005");
        std::vector<std::string> seen;
        onForm([&](ChargeFormWindow& f) {
            seen = {shown(f, "?DCH:OUTLAYCODE"), shown(f, "?DCH:OUTLAYAMOUNT"), shown(f, "?DCH:BAND1")};
            f.okPressed();
        });
        if (doubleClick) {
            QTreeView* v = w.list()->view();
            QTest::mouseDClick(v->viewport(), Qt::LeftButton, {}, v->visualRect(v->model()->index(w.list()->currentRow(), 0)).center());
            settle();
        } else {
            key(w, Qt::Key_Return, Qt::ControlModifier);
        }
        EXPECT_EQ(seen, (std::vector<std::string>{"SH", "66.00", "2,000.00"}));
        EXPECT_EQ(row("A005"), "SH|66.00|2000.00");
        EXPECT_TRUE(ui.messages.empty());
    }

    // Insert starts from a cleared record, whatever row is highlighted, and adds the row.
    reseed();
    home();
    downTo(4);
    std::vector<std::string> blank;
    onForm([&](ChargeFormWindow& f) {
        blank = {f.entry("?DCH:DOCUMENTNAME")->text().toStdString(), f.entry("?DCH:OUTLAYCODE")->text().toStdString(),
                 f.entry("?DCH:OUTLAYAMOUNT")->text().toStdString()};
        EXPECT_EQ(ctx->rec(TableId::DocumentCharges).slot(DCH::RECORDID.index).i, 0);
        typeInto(f, "?DCH:DOCUMENTNAME", "NEWDOC");
        f.okPressed();
    });
    key(w, Qt::Key_Insert);
    EXPECT_EQ(blank, (std::vector<std::string>{"", "", "0.00"}));
    EXPECT_EQ(db.count("SELECT count(*) FROM DocumentCharges WHERE DocumentName = 'NEWDOC' AND RecordID > 10"), 1);
    EXPECT_EQ(highlighted(w), "NEWDOC");
    EXPECT_TRUE(ui.messages.empty());

    // An insert whose record number is the highlighted row's clashes on the primary key:
    // message 24, and the form stays open.
    home();
    downTo(4);
    bool stayedOpen = false;
    onForm([&](ChargeFormWindow& f) {
        ctx->rec(TableId::DocumentCharges).slot(DCH::RECORDID.index).i = 4;
        typeInto(f, "?DCH:DOCUMENTNAME", "NEWDOC");
        f.okPressed();
        settle();
        stayedOpen = f.isVisible();
        ui.answers = {ui::ButtonYes};  // message 23 on leaving
        f.cancelPressed();
    });
    key(w, Qt::Key_Insert);
    EXPECT_TRUE(stayedOpen);
    ASSERT_GE(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Adding this record creates a duplicate entry for the key:DCH:PK_DocumentCharges");
    EXPECT_EQ(row("A004"), "PO|4.00|1000.00");

    // A refresh while a message of the form is open leaves the typed amount in the record:
    // after messages 34 and 16, Yes saves 33.33.
    reseed();
    ui.messages.clear();
    home();
    downTo(2);
    test::OtherProgram other(db.path());
    onForm([&](ChargeFormWindow& f) {
        typeInto(f, "?DCH:OUTLAYAMOUNT", "33.33");
        other.holdWriteLock();
        messagesActivate(w);
        auto activate = ui.onMessage;
        ui.onMessage = [&, activate](const ui::Message& m) {
            activate(m);
            if (m.caption == "Record Update Error") other.release();
        };
        ui.answers = {ui::ButtonOk, ui::ButtonYes};
        f.okPressed();
    });
    key(w, Qt::Key_Return, Qt::ControlModifier);
    ui.onMessage = nullptr;
    EXPECT_EQ(row("A002"), "PO|33.33|1000.00");
    std::vector<std::string> captions;
    for (const auto& m : ui.messages) captions.push_back(m.caption);
    EXPECT_EQ(captions, (std::vector<std::string>{"Transaction Framing Error", "Record Update Error"}));

    // Another station deletes the row being changed: the form keeps that row's document and
    // the user's outlay code through the messages and their refreshes, and nothing is written
    // to the row the list highlights instead.
    reseed();
    ui.messages.clear();
    home();
    downTo(7);
    ASSERT_EQ(highlighted(w), "A007");
    std::string docAfter, codeAfter;
    onForm([&](ChargeFormWindow& f) {
        db.exec("DELETE FROM DocumentCharges WHERE DocumentName = 'A007'");
        typeInto(f, "?DCH:OUTLAYCODE", "SH");
        messagesActivate(w);
        ui.answers = {ui::ButtonOk, ui::ButtonCancel};
        f.okPressed();
        settle();
        docAfter = f.entry("?DCH:DOCUMENTNAME")->text().toStdString();
        codeAfter = f.entry("?DCH:OUTLAYCODE")->text().toStdString();
        ui.answers = {ui::ButtonOk, ui::ButtonNo};
        f.okPressed();  // again: 15 and 16, No closes
    });
    key(w, Qt::Key_Return, Qt::ControlModifier);
    ui.onMessage = nullptr;
    EXPECT_EQ(docAfter, "A007");
    EXPECT_EQ(codeAfter, "SH");
    EXPECT_EQ(db.count("SELECT count(*) FROM DocumentCharges WHERE OutlayCode = 'SH'"), 0);
    EXPECT_EQ(row("B001"), "PO|10.00|1000.00");
    EXPECT_EQ(db.count("SELECT count(*) FROM DocumentCharges WHERE DocumentName = 'A007'"), 0);
}

// A journey of two stations over one charge row: this station edits A003 from the list while
// the other changes it, then deletes it and inserts it again. Each save lands with what the
// user saw and typed, or asks (38 with the other station's values shown; 15 and 16 for a row
// that is gone), and a message's refresh of the list never changes what is saved.
TEST_F(ListAndForm, TwoStationsOverOneChargeRow) {
    auto otherCtx = db.context();
    ui::ScriptedUserInterface otherUi;
    Session other{*otherCtx, otherUi};
    TableUse otherTables(other, {TableId::DocumentCharges});
    auto otherChanges = [&](const char* code, const char* amount) {
        Table& t = otherCtx->table(TableId::DocumentCharges);
        t.clear();
        otherCtx->set(DCH::RECORDID, 3);
        t.watch();
        ASSERT_EQ(t.get(DCH::PK_DOCUMENTCHARGES), 0);
        otherCtx->set(DCH::OUTLAYCODE, code);
        otherCtx->set(DCH::OUTLAYAMOUNT, *Decimal::parse(amount));
        ASSERT_EQ(riUpdateDocumentCharges(other, true), RiWritten);
    };
    auto captions = [&] {
        std::vector<std::string> c;
        for (const auto& m : ui.messages) c.push_back(m.caption);
        ui.messages.clear();
        return c;
    };

    BrowseWindow w(ListWindow::DocOutlays, s);
    w.show();
    settle();
    messagesActivate(w);
    key(w, Qt::Key_Down);
    key(w, Qt::Key_Down);
    ASSERT_EQ(highlighted(w), "A003");

    // 1. This station types 30.00; the other station meanwhile sets outlay code SH. OK shows
    //    message 38 and the other station's row; the ditto key brings back 30.00; OK saves
    //    the code the user now sees with the amount the user typed.
    std::vector<std::string> after38;
    onForm([&](ChargeFormWindow& f) {
        typeInto(f, "?DCH:OUTLAYAMOUNT", "30.00");
        otherChanges("SH", "3.00");
        f.okPressed();
        settle();
        after38 = {f.entry("?DCH:OUTLAYCODE")->text().toStdString(), f.entry("?DCH:OUTLAYAMOUNT")->text().toStdString()};
        QTest::keyClick(f.entry("?DCH:OUTLAYAMOUNT"), Qt::Key_Apostrophe, Qt::ControlModifier);
        EXPECT_EQ(f.entry("?DCH:OUTLAYAMOUNT")->text().toStdString(), "30.00");
        f.okPressed();
    });
    key(w, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(after38, (std::vector<std::string>{"SH", "3.00"}));
    EXPECT_EQ(captions(), std::vector<std::string>{"Record Was Not Updated"});
    EXPECT_EQ(row("A003"), "SH|30.00|1000.00");
    EXPECT_EQ(highlighted(w), "A003");

    // 2. The other station deletes A003 and inserts it again (a new record number). The list
    //    has not been refreshed; Change still opens on what it shows. The save fails with 15
    //    and 16 (Yes tries again, No gives up) and nothing is written to the new row.
    const std::string oldId = db.scalar("SELECT RecordID FROM DocumentCharges WHERE DocumentName = 'A003'");
    db.exec("DELETE FROM DocumentCharges WHERE DocumentName = 'A003'");
    db.exec("INSERT INTO DocumentCharges (DocumentName, OutlayCode, OutlayAmount, NominalCode, Band1) VALUES ('A003', 'PO', '9.99', '4100', '500.00')");
    ASSERT_NE(db.scalar("SELECT RecordID FROM DocumentCharges WHERE DocumentName = 'A003'"), oldId);
    std::string shownCode;
    onForm([&](ChargeFormWindow& f) {
        shownCode = f.entry("?DCH:OUTLAYCODE")->text().toStdString();
        typeInto(f, "?DCH:OUTLAYAMOUNT", "31.00");
        ui.answers = {ui::ButtonOk, ui::ButtonYes, ui::ButtonOk, ui::ButtonNo};
        f.okPressed();
    });
    key(w, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(shownCode, "SH");  // what the list showed of the row, nothing else
    EXPECT_EQ(captions(),
              (std::vector<std::string>{"Update Operation Error", "Record Update Error", "Update Operation Error", "Record Update Error"}));
    EXPECT_EQ(row("A003"), "PO|9.99|500.00");
    EXPECT_EQ(db.count("SELECT count(*) FROM DocumentCharges WHERE OutlayAmount = '31.00'"), 0);

    // 3. The list has reloaded (the old row gone, the highlight on its last row). The other
    //    station deletes B001 too; Delete of it, confirmed, fails with 17 and 18 and deletes
    //    no other row.
    EXPECT_EQ(highlighted(w), "B001");
    db.exec("DELETE FROM DocumentCharges WHERE DocumentName = 'B001'");
    ui.answers = {ui::ButtonOk, ui::ButtonOk, ui::ButtonNo};
    key(w, Qt::Key_Delete);
    EXPECT_EQ(captions(), (std::vector<std::string>{"Confirm Delete", "Delete Operation Error", "Record Update Error"}));
    EXPECT_EQ(db.count("SELECT count(*) FROM DocumentCharges"), 9);

    // 4. Change opens on the new A003 as it is, and the user's code is saved with the values
    //    the form showed.
    key(w, Qt::Key_Home);
    key(w, Qt::Key_Down);
    key(w, Qt::Key_Down);
    ASSERT_EQ(highlighted(w), "A003");
    std::vector<std::string> opened;
    onForm([&](ChargeFormWindow& f) {
        opened = {f.entry("?DCH:OUTLAYCODE")->text().toStdString(), f.entry("?DCH:OUTLAYAMOUNT")->text().toStdString(),
                  f.entry("?DCH:BAND1")->text().toStdString()};
        typeInto(f, "?DCH:OUTLAYCODE", "SH");
        f.okPressed();
    });
    key(w, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(opened, (std::vector<std::string>{"PO", "9.99", "500.00"}));
    EXPECT_TRUE(captions().empty());
    EXPECT_EQ(row("A003"), "SH|9.99|500.00");
    EXPECT_EQ(db.count("SELECT count(*) FROM DocumentCharges"), 9);
    ui.onMessage = nullptr;
}

}  // namespace
}  // namespace mg::browse
