// The user's whole round trip with a document's outlay charges: the frame's menu opens the
// list, Insert opens the form, the document code is found by typing in its lookup, OK saves,
// the list shows the new row highlighted in key order; the outlay import then prices an
// attachment of that document with the band just entered.

#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>

#include "data/ini.h"
#include "maintenance/windows/browse_window.h"
#include "maintenance/windows/charge_form.h"
#include "qt_app.h"
#include "shell/settings.h"
#include "shell/windows/main_frame.h"
#include "shell_test_support.h"
#include "testdb.h"
#include "ui/widgets/list_control.h"

namespace mg::shell {
namespace {

void settle() {
    for (int i = 0; i < 10; ++i) QApplication::processEvents();
}

void typeAndLeave(browse::ChargeFormWindow& w, const std::string& name, const QString& text) {
    QLineEdit* le = w.entry(name);
    ASSERT_TRUE(le) << name;
    test::typeAndLeave(le, text);
}

TEST(DocumentChargesJourney, FromTheMenuToAPricedOutlay) {
    test::TempDatabase db;
    test::CurrentDirectory cwd{db.folder()};
    db.exec("INSERT INTO control (NAME, OUTLAY, YEAR, CURPER, LASTBATCH, LASTPREF, NEXT_DOC_NO) VALUES ('Practice', '7100', 2015, 3, 100, 5000, 1)");
    for (const char* d : {"ADVICE", "LETTER1", "SUMMONS", "WRIT"})
        db.exec(std::string("INSERT INTO TemplateDocuments (Code, Name) VALUES ('") + d + "', 'Document " + d + "')");
    db.exec("INSERT INTO OutlayCode (Code, Description) VALUES ('CSF', 'Court fee')");
    db.exec("INSERT INTO Nominal (Code, \"Desc\") VALUES ('4100', 'Court fees')");
    db.exec("INSERT INTO DocumentCharges (DocumentName, OutlayCode, OutlayAmount, NominalCode) VALUES ('ADVICE', 'CSF', '1.00', '4100')");
    db.exec("INSERT INTO DocumentCharges (DocumentName, OutlayCode, OutlayAmount, NominalCode) VALUES ('ZED', 'CSF', '2.00', '4100')");

    MainFrame frame(db.settings());
    frame.show();
    frame.controls().action("?SETUPDOCUMENTOUTLAYS")->trigger();
    settle();
    QList<browse::BrowseWindow*> lists = frame.findChildren<browse::BrowseWindow*>();
    ASSERT_EQ(lists.size(), 1);
    browse::BrowseWindow& list = *lists[0];
    settle();

    bool formSeen = false, lookupSeen = false;
    test::whenModalOpens([&](QWidget* modal) {
        auto* form = qobject_cast<browse::ChargeFormWindow*>(modal);
        ASSERT_TRUE(form);
        formSeen = true;
        settle();
        EXPECT_EQ(form->windowTitle().toStdString(), "Insert Detail");
        // "WR" is no document: its lookup opens, and typing there finds WRIT.
        test::whenModalOpens([&](QWidget* m) {
            auto* lookup = qobject_cast<browse::BrowseWindow*>(m);
            ASSERT_TRUE(lookup);
            lookupSeen = true;
            settle();
            EXPECT_EQ(lookup->windowTitle().toStdString(), "Select Document");
            QTest::keyClicks(lookup->list()->view(), "WR");
            settle();
            QTest::keyClick(lookup->list()->view(), Qt::Key_Return);
        });
        typeAndLeave(*form, "?DCH:DOCUMENTNAME", "WR");
        EXPECT_EQ(form->entry("?DCH:DOCUMENTNAME")->text().toStdString(), "WRIT");
        EXPECT_EQ(form->controls().text("?DCC:NAME").toStdString(), "Document WRIT");
        typeAndLeave(*form, "?DCH:OUTLAYCODE", "CSF");
        typeAndLeave(*form, "?DCH:NOMINALCODE", "4100");
        typeAndLeave(*form, "?DCH:BAND1", "1000");
        typeAndLeave(*form, "?DCH:OUTLAYAMOUNT", "10");
        typeAndLeave(*form, "?DCH:BAND2", "5000");
        typeAndLeave(*form, "?DCH:OUTLAYAMT2", "25.50");
        form->controls().get<QPushButton>("?OK")->click();
    });
    list.controls().get<QPushButton>("?INSERT:4")->click();
    settle();
    EXPECT_TRUE(formSeen);
    EXPECT_TRUE(lookupSeen);

    // The new row, highlighted, between its neighbours in key order.
    QAbstractItemModel* m = list.list()->view()->model();
    std::vector<std::string> rows;
    for (int r = 0; r < m->rowCount(); ++r) rows.push_back(m->data(m->index(r, 0)).toString().toStdString());
    EXPECT_EQ(rows, (std::vector<std::string>{"ADVICE", "WRIT", "ZED"}));
    EXPECT_EQ(m->data(m->index(list.list()->currentRow(), 0)).toString().toStdString(), "WRIT");
    EXPECT_EQ(m->data(m->index(list.list()->currentRow(), 2)).toString().toStdString(), "10.00");
    list.controls().get<QPushButton>("?CLOSE")->click();
    settle();

    // A matter owing 3,000.00 falls in the second band: 25.50.
    db.exec("INSERT INTO Matters (CODE, ORIGINALDEBT, DEBTINTEREST, DEBTCOLLECTED) VALUES ('M1', '3000.00', '0.00', '0.00')");
    db.exec("INSERT INTO diary (ACTIONID, FNCODE, CASECODE) VALUES (77, 'JMK', 'M1')");
    db.exec("INSERT INTO DiaryAttachments (DIARYID, TRACKREFERENCE, CASECODE, NAME, FEES) VALUES (77, 1, 'M1', 'WRIT', 0)");
    ini::put(productIniPath(), "DocumentOutlays", "LastTrackRef", "0");
    test::BoxAnswerer answers;
    frame.controls().action("?OUTLAYSIMPORTOUTLAYS")->trigger();
    EXPECT_EQ(answers.texts, (std::vector<std::string>{"Import Complete!"}));
    EXPECT_EQ(db.scalar("SELECT VALUE FROM BatchDetails WHERE MATTER = 'M1'"), "25.50");
    EXPECT_EQ(db.scalar("SELECT CODE FROM BatchH"), "4100");
}

}  // namespace
}  // namespace mg::shell
