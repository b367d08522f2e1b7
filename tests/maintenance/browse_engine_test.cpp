// The browse engine without a window: paging in both directions with no row lost or
// repeated, the highlight and thumb rules at the ends, the searches, the update calls and
// what follows them, other stations' changes, and a read error.

#include <gtest/gtest.h>

#include <set>

#include "browse_harness.h"
#include "data/table.h"
#include "maintenance/list_format.h"

namespace mg {
namespace {

using browse::Button;
using browse::ListKey;
using browse::ListWindow;
using browse::Scroll;
using test::BrowseHarness;

std::vector<std::string> names(int from, int to) {
    std::vector<std::string> out;
    for (int i = from; i <= to; ++i) out.push_back((i < 10 ? "D0" : "D") + std::to_string(i));
    return out;
}

class Browse : public ::testing::Test {
protected:
    test::TempDatabase db;
    // Document charge rows named as given, record ids 1, 2, ... in that order.
    void charges(const std::vector<std::string>& docs, const char* outlay = "POST") {
        int id = 1 + static_cast<int>(db.count("SELECT count(*) FROM DocumentCharges"));
        for (const std::string& d : docs)
            db.exec("INSERT INTO DocumentCharges (DocumentName, OutlayCode, OutlayAmount, NominalCode, RecordID) VALUES ('" + d + "', '" +
                    outlay + "', '1.50', '4100', " + std::to_string(id++) + ")");
    }
};

// ---- list formats --------------------------------------------------------------------------

TEST(ListFormat, TheSixFormatsGiveTheirColumns) {
    struct Row {
        ListWindow window;
        std::vector<std::string> headers;
        std::vector<int> widths;
        std::vector<std::string> pictures;
    };
    const Row rows[] = {
        {ListWindow::DocOutlays, {"DocumentName", "OutlayCode", "OutlayAmount", "Nominal Code"}, {73, 46, 60, 40}, {"s10", "s4", "n-26.2", "s10"}},
        {ListWindow::DocFees, {"Document Code", "Task Charge Code"}, {61, 12}, {"s10", "s3"}},
        {ListWindow::SelectDocument, {"Document Code", "Document Description", "File Path"}, {62, 176, 81}, {"s10", "s100", "s255"}},
        {ListWindow::SelectOutlayType, {"Code", "Description"}, {31, 80}, {"s4", "s30"}},
        {ListWindow::SelectNominal, {"Code", "Description"}, {44, 132}, {"s10", "s30"}},
        {ListWindow::SelectTask, {"Code", "Desc"}, {34, 80}, {"s6", "s30"}},
    };
    for (const Row& r : rows) {
        const auto& def = browse::listWindowDef(r.window);
        std::string why;
        auto cols = browse::parseListFormat(def.format, &why);
        ASSERT_TRUE(cols) << def.engine.procedure << ": " << why;
        ASSERT_EQ(cols->size(), r.headers.size()) << def.engine.procedure;
        // The list shows the displayed columns of the engine's buffer, one each.
        EXPECT_EQ(def.engine.shown.size(), cols->size()) << def.engine.procedure;
        for (size_t i = 0; i < cols->size(); ++i) {
            EXPECT_EQ((*cols)[i].header, r.headers[i]) << def.engine.procedure;
            EXPECT_EQ((*cols)[i].width, r.widths[i]) << def.engine.procedure;
            EXPECT_EQ((*cols)[i].picture, r.pictures[i]) << def.engine.procedure;
            EXPECT_TRUE((*cols)[i].rightBorder && (*cols)[i].resizable);
        }
    }
    // The amount column: right-aligned with an indent of 2, its header centred; the nominal
    // code decimal-aligned at 22 with its header centred without indent.
    auto outlays = *browse::parseListFormat(browse::listWindowDef(ListWindow::DocOutlays).format);
    EXPECT_EQ(outlays[0].align, browse::Align::Left);
    EXPECT_EQ(outlays[0].indent, 2);
    EXPECT_EQ(outlays[0].headerAlign, browse::Align::Left);
    EXPECT_EQ(outlays[2].align, browse::Align::Right);
    EXPECT_EQ(outlays[2].headerAlign, browse::Align::Centre);
    EXPECT_EQ(outlays[3].align, browse::Align::Decimal);
    EXPECT_EQ(outlays[3].indent, 22);
    EXPECT_EQ(outlays[3].headerAlign, browse::Align::Centre);
    EXPECT_EQ(outlays[3].headerIndent, 0);
}

TEST(ListFormat, BadFormatsAreRefused) {
    for (const char* bad : {"", "L(2)~A~@s4@", "20X~A~@s4@", "20L(2~A~@s4@", "20L~A@s4@", "20L~A~@s4", "20L~A~", "20L~A~@@"})
        EXPECT_FALSE(browse::parseListFormat(bad)) << bad;
    // A column without a header is allowed.
    auto cols = browse::parseListFormat("20R@n8.2@");
    ASSERT_TRUE(cols);
    EXPECT_EQ((*cols)[0].header, "");
    EXPECT_EQ((*cols)[0].headerAlign, browse::Align::Right);
}

// Rows with equal keys follow the secondary order and then the row identity: every
// secondary order names a column of its key, so the key order with the row identity (what
// the data layer reads in, on every backend) is that order.
TEST(ListConfig, SecondaryOrdersLieWithinTheirKeys) {
    for (ListWindow w : browse::allListWindows()) {
        const auto& e = browse::listWindowDef(w).engine;
        for (const auto& s : e.sorts) {
            ASSERT_EQ(s.secondaryOrder.substr(0, 1), "+");
            const std::string label = s.secondaryOrder.substr(1);
            const TableDecl& t = decl(e.primary);
            const int column = t.columnIndex(label.substr(label.find(':') + 1));
            ASSERT_GE(column, 0) << label;
            bool inKey = t.numberedColumn() == column;
            for (const KeyComponent& k : t.keys[s.key.index].components) inKey |= k.column == column;
            EXPECT_TRUE(inKey) << e.procedure << " " << label;
            EXPECT_EQ(t.keys[s.key.index].components.front().column, s.searchColumn.column) << e.procedure;
        }
    }
}

// ---- paging ------------------------------------------------------------------------------

TEST_F(Browse, PagingDownAndUpShowsEveryRowOnceInKeyOrder) {
    charges(names(1, 23));
    BrowseHarness h(db, ListWindow::DocOutlays, 5);
    h.open();
    EXPECT_EQ(h.firstColumn(), names(1, 5));
    EXPECT_EQ(h.engine->currentChoice(), 1);
    EXPECT_TRUE(h.changeDelete);
    EXPECT_TRUE(h.scrollBar);

    Table& t = h.ctx.table(TableId::DocumentCharges);
    struct Step {
        Scroll action;
        int first, last;        // the page shown
        std::string highlight;
        int thumb;
    };
    const Step steps[] = {
        {Scroll::PageDown, 6, 10, "D06", 50},
        {Scroll::PageDown, 11, 15, "D11", 50},
        {Scroll::PageDown, 16, 20, "D16", 50},
        // three rows left: the page ends at the last row, the highlight moves on by the two
        // rows that could not be fetched
        {Scroll::PageDown, 19, 23, "D21", 100},
        {Scroll::PageDown, 19, 23, "D23", 100},   // at the end: to the last entry, not past it
        {Scroll::PageUp, 14, 18, "D18", 50},
        {Scroll::PageUp, 9, 13, "D13", 50},
        {Scroll::PageUp, 4, 8, "D08", 50},
        {Scroll::PageUp, 1, 5, "D03", 0},         // stopped 2 short: the highlight goes up 2
        {Scroll::PageUp, 1, 5, "D01", 0},         // not above entry 1
        {Scroll::Bottom, 19, 23, "D23", 100},
        {Scroll::Top, 1, 5, "D01", 0},
    };
    // Thumb drags: to 100 is the bottom, to 1 or less the top, anywhere else nothing.
    h.engine->scrollDrag(100);
    h.pump();
    EXPECT_EQ(h.highlighted(), "D23");
    h.engine->scrollDrag(50);
    h.pump();
    EXPECT_EQ(h.highlighted(), "D23");
    h.engine->scrollDrag(1);
    h.pump();
    EXPECT_EQ(h.highlighted(), "D01");
    for (const Step& s : steps) {
        const uint64_t before = t.rowsRead();
        h.scroll(s.action);
        h.engine->refreshWindow();
        EXPECT_EQ(h.firstColumn(), names(s.first, s.last)) << static_cast<int>(s.action) << " to " << s.highlight;
        EXPECT_EQ(h.highlighted(), s.highlight);
        EXPECT_EQ(h.thumb, s.thumb) << s.highlight;
        // A page reads at most the page and the row it restarts from (and the highlighted
        // row again when it is taken over).
        EXPECT_LE(t.rowsRead() - before, 5u + 1u + 1u) << s.highlight;
    }
}

TEST_F(Browse, OneRowScrollsMoveTheHighlightThenReadOneRow) {
    charges(names(1, 7));
    BrowseHarness h(db, ListWindow::DocOutlays, 5);
    h.open();
    for (int i = 0; i < 4; ++i) h.scroll(Scroll::Down);
    EXPECT_EQ(h.highlighted(), "D05");
    EXPECT_EQ(h.firstColumn(), names(1, 5));
    Table& t = h.ctx.table(TableId::DocumentCharges);
    const uint64_t before = t.rowsRead();
    h.scroll(Scroll::Down);  // past the last entry: one row is read, the highlight stays at the bottom
    EXPECT_LE(t.rowsRead() - before, 3u);
    EXPECT_EQ(h.firstColumn(), names(2, 6));
    EXPECT_EQ(h.engine->currentChoice(), 5);
    h.scroll(Scroll::Down);
    h.scroll(Scroll::Down);  // at the end of the table nothing changes
    EXPECT_EQ(h.firstColumn(), names(3, 7));
    EXPECT_EQ(h.highlighted(), "D07");
    EXPECT_EQ(h.engine->currentScroll(), 100);
    for (int i = 0; i < 6; ++i) h.scroll(Scroll::Up);
    EXPECT_EQ(h.firstColumn(), names(1, 5));
    EXPECT_EQ(h.highlighted(), "D01");
    EXPECT_EQ(h.engine->currentScroll(), 50);  // the top is not known until a read finds it
    h.scroll(Scroll::Up);
    EXPECT_EQ(h.highlighted(), "D01");
    EXPECT_EQ(h.engine->currentScroll(), 0);
}

TEST_F(Browse, FewerRowsThanTheListShows) {
    charges({"B", "A", "C"});
    BrowseHarness h(db, ListWindow::DocOutlays, 5);
    h.open();
    const std::vector<std::string> all = {"A", "B", "C"};
    EXPECT_EQ(h.firstColumn(), all);
    for (Scroll s : {Scroll::Bottom, Scroll::PageDown, Scroll::Top, Scroll::PageUp}) {
        h.scroll(s);
        EXPECT_EQ(h.firstColumn(), all);
        EXPECT_EQ(h.engine->currentScroll(), 0);
        EXPECT_FALSE(h.scrollBar);
    }
}

TEST_F(Browse, AnEmptyTableOffersOnlyInsert) {
    BrowseHarness h(db, ListWindow::DocOutlays, 5);
    h.open();
    EXPECT_EQ(h.engine->recordCount(), 0);
    EXPECT_EQ(h.engine->currentChoice(), 0);
    EXPECT_FALSE(h.changeDelete);
    h.scroll(Scroll::PageDown);  // nothing to scroll
    h.popupAnswer = 2;           // the greyed Change
    h.engine->newSelection(true, 0);
    EXPECT_EQ(h.menus, std::vector<std::string>{"&Insert|~&Change|~&Delete"});
    h.key(ListKey::Delete);
    h.key(ListKey::CtrlEnter);
    h.key(ListKey::DoubleClick);
    EXPECT_TRUE(h.accepted.empty());
    h.popupAnswer = 1;
    h.engine->newSelection(true, 0);
    h.key(ListKey::Insert);
    EXPECT_EQ(h.accepted, (std::vector<Button>{Button::Insert, Button::Insert}));
}

TEST_F(Browse, TheJoinedOutlayCodeIsCarriedAndBlankWithoutAMatch) {
    db.exec("INSERT INTO OutlayCode (Code, Description) VALUES ('POST', 'Postage')");
    charges({"A"}, "POST");
    charges({"B"}, "NONE");
    BrowseHarness h(db, ListWindow::DocOutlays, 5);
    h.open();
    EXPECT_EQ(h.ctx.trimmed(OUT::CODE), "POST");
    EXPECT_EQ(h.ctx.trimmed(DCH::DOCUMENTNAME), "A");
    h.scroll(Scroll::Down);
    EXPECT_EQ(h.ctx.trimmed(DCH::DOCUMENTNAME), "B");
    EXPECT_EQ(h.ctx.trimmed(OUT::CODE), "");
    EXPECT_EQ(h.engine->value(1, 2).dec.toString(2), "1.50");
}

// ---- searches ----------------------------------------------------------------------------

TEST_F(Browse, FirstLetterWalksThroughItsRowsThenStartsAgainAtTheLetter) {
    charges({"A1", "B1", "B2", "B3", "C1", "C2"});
    BrowseHarness h(db, ListWindow::DocOutlays, 3);
    h.open();
    const std::pair<char, std::string> steps[] = {
        {'b', "B1"}, {'b', "B2"}, {'B', "B3"},
        {'b', "B1"},  // the next row begins with C: back to the first row at or after "b"
        {'c', "C1"}, {'z', "C2"},  // past the last row: the last page, its last row
        {' ', "C2"},
    };
    for (const auto& [c, expected] : steps) {
        h.key(ListKey::Character, c);
        EXPECT_EQ(h.highlighted(), expected) << "typed " << c;
        EXPECT_EQ(h.ctx.trimmed(DCH::DOCUMENTNAME), expected) << "typed " << c;
    }
}

TEST_F(Browse, TypedTextSearchOfTheNominalLookup) {
    for (const char* c : {"1000", "2000", "4000", "4100", "4150", "4200", "5000", "6000"})
        db.exec(std::string("INSERT INTO Nominal (Code, \"Desc\") VALUES ('") + c + "', 'Account " + c + "')");
    auto ctx = db.context();
    ctx->set(NOM::CODE, "5000");  // what the form left in the key column
    BrowseHarness h(db, ListWindow::SelectNominal, 3, SelectRecord, ctx.get());
    h.open();
    EXPECT_EQ(h.highlighted(), "1000");
    const std::pair<ListKey, char> keys[] = {{ListKey::Character, '4'}, {ListKey::Character, '1'}, {ListKey::Backspace, 0},
                                             {ListKey::Backspace, 0}, {ListKey::Backspace, 0}, {ListKey::Character, '\t'}};
    const std::pair<std::string, std::string> expected[] = {{"4", "4000"}, {"41", "4100"}, {"4", "4000"}, {"", "1000"}, {"", "1000"}, {"", "1000"}};
    for (size_t i = 0; i < std::size(keys); ++i) {
        h.key(keys[i].first, keys[i].second);
        EXPECT_EQ(h.engine->locatorValue(), expected[i].first) << i;
        EXPECT_EQ(h.highlighted(), expected[i].second) << i;
    }
    h.key(ListKey::Character, '4');
    h.key(ListKey::Character, '2');
    EXPECT_EQ(h.firstColumn(), (std::vector<std::string>{"4200", "5000", "6000"}));
    h.scroll(Scroll::Up);  // a scroll empties the search text
    EXPECT_EQ(h.engine->locatorValue(), "");
    EXPECT_EQ(h.highlighted(), "4150");
    for (int i = 0; i < 35; ++i) h.key(ListKey::Character, '9');
    EXPECT_EQ(h.engine->locatorValue(), std::string(30, '9'));
    EXPECT_EQ(h.highlighted(), "6000");  // past the last code: the last page
}

TEST_F(Browse, TheTaskLookupOpensAtItsKeyValueAndSelects) {
    for (const char* c : {"ABC", "ADM", "ADV", "BIL", "COR"})
        db.exec(std::string("INSERT INTO TasksCodes (Code, \"Desc\") VALUES ('") + c + "', 'Task " + c + "')");
    auto ctx = db.context();
    ctx->set(TAS::CODE, "ADV");
    BrowseHarness h(db, ListWindow::SelectTask, 3, SelectRecord, ctx.get());
    h.open();
    EXPECT_EQ(h.highlighted(), "ADV");
    EXPECT_EQ(h.firstColumn(), (std::vector<std::string>{"ADV", "BIL", "COR"}));
    EXPECT_TRUE(h.engine->selectMode());
    h.key(ListKey::DoubleClick);
    EXPECT_EQ(h.accepted, std::vector<Button>{Button::Select});
    h.scroll(Scroll::Down);
    h.engine->selectPressed();
    EXPECT_TRUE(h.closed);
    EXPECT_EQ(h.engine->localResponse(), RequestCompleted);
    EXPECT_EQ(h.ctx.trimmed(TAS::DESC), "Task BIL");
}

TEST_F(Browse, ALookupCalledWithoutRequestFourDoesNotSelect) {
    for (const char* c : {"ABC", "ADM", "ADV"})
        db.exec(std::string("INSERT INTO TasksCodes (Code, \"Desc\") VALUES ('") + c + "', 'Task')");
    auto ctx = db.context();
    ctx->set(TAS::CODE, "ADV");
    BrowseHarness h(db, ListWindow::SelectTask, 3, NoRequest, ctx.get());
    h.open();
    EXPECT_EQ(h.highlighted(), "ABC");  // from the top, whatever the key column held
    EXPECT_FALSE(h.engine->selectMode());
    h.key(ListKey::DoubleClick);
    h.popupAnswer = 1;
    h.engine->newSelection(true, 1);
    EXPECT_EQ(h.menus, std::vector<std::string>{"~&Select"});
    EXPECT_TRUE(h.accepted.empty());
    h.engine->closePressed();
    EXPECT_EQ(h.engine->localResponse(), RequestCancelled);
}

// ---- update calls ------------------------------------------------------------------------

TEST_F(Browse, AfterAnInsertTheNewRowIsHighlightedInItsKeyOrder) {
    charges(names(1, 20));
    BrowseHarness h(db, ListWindow::DocOutlays, 5);
    h.open();
    h.form = [&](int request) {
        EXPECT_EQ(request, InsertRecord);
        EXPECT_EQ(h.ctx.globalRequest, InsertRecord);
        EXPECT_EQ(h.ctx.trimmed(DCH::DOCUMENTNAME), "");  // an insert starts from a clear buffer
        h.ctx.set(DCH::DOCUMENTNAME, "D15A");
        EXPECT_EQ(h.ctx.table(TableId::DocumentCharges).add(), 0);
        return static_cast<int>(RequestCompleted);
    };
    h.engine->buttonInsert();
    h.pump();
    EXPECT_EQ(h.highlighted(), "D15A");
    EXPECT_EQ(h.firstColumn(), (std::vector<std::string>{"D15A", "D16", "D17", "D18", "D19"}));

    // A cancelled insert leaves the page as it was.
    h.scroll(Scroll::Down);
    h.form = [](int) { return static_cast<int>(RequestCancelled); };
    h.engine->buttonInsert();
    h.pump();
    EXPECT_EQ(h.firstColumn(), (std::vector<std::string>{"D15A", "D16", "D17", "D18", "D19"}));
    EXPECT_EQ(h.highlighted(), "D16");
    EXPECT_EQ(h.engine->localResponse(), RequestCancelled);
}

TEST_F(Browse, AChangeMovesTheRowAndADeleteOfTheLastRowEmptiesTheList) {
    charges({"A", "B", "C"});
    BrowseHarness h(db, ListWindow::DocOutlays, 5);
    h.open();
    h.form = [&](int request) {
        if (request == ChangeRecord) {
            h.ctx.set(DCH::DOCUMENTNAME, "Z");
            EXPECT_EQ(h.ctx.table(TableId::DocumentCharges).put(), 0);  // the watched read of the list allows it
        } else {
            EXPECT_EQ(h.ctx.table(TableId::DocumentCharges).remove(), 0);
        }
        return static_cast<int>(RequestCompleted);
    };
    h.engine->buttonChange();  // A becomes Z
    h.pump();
    EXPECT_EQ(h.firstColumn(), (std::vector<std::string>{"B", "C", "Z"}));
    EXPECT_EQ(h.highlighted(), "Z");
    h.engine->buttonDelete();
    h.pump();
    EXPECT_EQ(h.firstColumn(), (std::vector<std::string>{"B", "C"}));
    EXPECT_EQ(h.highlighted(), "C");  // the last entry, once the highlighted row has gone
    h.engine->buttonDelete();
    h.engine->buttonDelete();
    h.pump();
    EXPECT_EQ(h.engine->recordCount(), 0);
    EXPECT_FALSE(h.changeDelete);
    EXPECT_EQ(db.count("SELECT count(*) FROM DocumentCharges"), 0);
    EXPECT_EQ(h.requests, (std::vector<int>{ChangeRecord, DeleteRecord, DeleteRecord, DeleteRecord}));
}

// ---- other stations and errors -------------------------------------------------------------

TEST_F(Browse, RowsAddedElsewhereAppearWhenTheListRegainsTheFocus) {
    charges(names(1, 9));
    BrowseHarness h(db, ListWindow::DocOutlays, 5);
    h.open();
    h.scroll(Scroll::Down);  // D02 highlighted
    charges({"D03A"});       // another station's row, just below the highlighted one
    db.exec("DELETE FROM DocumentCharges WHERE DocumentName = 'D04'");
    EXPECT_EQ(h.firstColumn(), names(1, 5));
    h.engine->gainedFocus();
    h.pump();
    EXPECT_EQ(h.firstColumn(), (std::vector<std::string>{"D02", "D03", "D03A", "D05", "D06"}));
    EXPECT_EQ(h.highlighted(), "D02");
}

TEST_F(Browse, AReadErrorShowsMessage35AndClosesTheList) {
    charges(names(1, 9));
    BrowseHarness h(db, ListWindow::DocOutlays, 3);
    h.open();
    db.exec("DROP TABLE DocumentCharges");
    h.scroll(Scroll::PageDown);
    ASSERT_EQ(h.ui.messages.size(), 1u);
    EXPECT_NE(h.ui.messages[0].text.find("from the DocumentCharges file"), std::string::npos) << h.ui.messages[0].text;
    EXPECT_TRUE(h.closePosted);
    EXPECT_EQ(h.firstColumn(), names(1, 3));  // the rows already shown stay until it closes
    h.scroll(Scroll::PageDown);
    EXPECT_EQ(h.ui.messages.size(), 1u);
}

TEST_F(Browse, FeeChargesKeepTheHighlightedRowAcrossTabsAndSearchTheTabsKey) {
    db.exec("INSERT INTO DocumentChargesFees (DocumentName, TaskChargeCode, RecordID) VALUES "
            "('A', 'T3', 1), ('B', 'T1', 2), ('C', 'T2', 3), ('D', 'T1', 4), ('E', 'F1', 5)");
    BrowseHarness h(db, ListWindow::DocFees, 3);
    h.open();
    EXPECT_EQ(h.engine->sortOrder(), 2);  // the first tab, "by Document"
    EXPECT_EQ(h.firstColumn(), (std::vector<std::string>{"A", "B", "C"}));
    h.scroll(Scroll::Down);
    h.scroll(Scroll::Down);
    EXPECT_EQ(h.highlighted(), "C");
    h.engine->tabChosen(1);  // "by Task": F1 E, T1 B, T1 D, T2 C, T3 A
    h.pump();
    EXPECT_EQ(h.engine->sortOrder(), 1);
    EXPECT_EQ(h.highlighted(), "C");
    EXPECT_EQ(h.firstColumn(), (std::vector<std::string>{"D", "C", "A"}));
    h.key(ListKey::Character, 't');  // C's task starts with T: one row down
    EXPECT_EQ(h.highlighted(), "A");
    h.key(ListKey::Character, 'f');  // jumps to the first task at or after "f"
    EXPECT_EQ(h.highlighted(), "E");
    EXPECT_EQ(h.firstColumn(), (std::vector<std::string>{"E", "B", "D"}));
}

}  // namespace
}  // namespace mg
