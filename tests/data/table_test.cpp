// Table operations other than the reads in key order: open and close, get by key, adds
// numbered by the database, duplicate keys, watched reads and the writes they guard.

#include <gtest/gtest.h>

#include <fstream>

#include "data/context.h"
#include "data/dates.h"
#include "data/table.h"
#include "testdb.h"

namespace mg {
namespace {

Decimal D(const char* text) { return *Decimal::parse(text); }

class TableOps : public ::testing::Test {
protected:
    test::TempDatabase db;
    std::unique_ptr<Context> ctx = db.context();

    Table& opened(TableId id, Context* c = nullptr) {
        Table& t = (c ? *c : *ctx).table(id);
        EXPECT_EQ(t.open(), 0);
        return t;
    }
    void addCharge(Table& t, const char* doc, const char* nominal, const char* amount) {
        t.clear();
        t.rec().set(DCH::DOCUMENTNAME, doc);
        t.rec().set(DCH::NOMINALCODE, nominal);
        t.rec().set(DCH::OUTLAYAMOUNT, D(amount));
        ASSERT_EQ(t.add(), 0);
    }
};

TEST_F(TableOps, OpenTwiceIs52AndOperationsOnAClosedTableFail) {
    Table& t = opened(TableId::BatchH);
    EXPECT_EQ(t.open(), IsOpenErr);
    EXPECT_EQ(ctx->errorCode(), 52);
    EXPECT_TRUE(t.isOpen());
    EXPECT_EQ(t.close(), 0);
    EXPECT_FALSE(t.isOpen());
    t.rec().set(BAH::BATCHNO, 1);
    EXPECT_NE(t.add(), 0);
    EXPECT_NE(t.get(BAH::BATCHH), 0);
    EXPECT_NE(t.setStart(BAH::BATCHH), 0);
    EXPECT_EQ(db.count("SELECT count(*) FROM BatchH"), 0);
    // Each context opens its own instance.
    auto other = db.context();
    EXPECT_FALSE(other->table(TableId::BatchH).isOpen());
}

TEST_F(TableOps, GetByKeyReadsTheFirstMatchingRowOr35) {
    db.exec("INSERT INTO BatchH (BatchNo, Code, Narr, Value) VALUES (10, '4100', 'ten', '1.50'), (11, '4100', 'eleven', '2.00'), (12, '4200', 'twelve', '3')");
    Table& t = opened(TableId::BatchH);
    t.clear();
    t.rec().set(BAH::BATCHNO, 11);
    ASSERT_EQ(t.get(BAH::BATCHH), 0);
    EXPECT_EQ(t.rec().trimmed(BAH::NARR), "eleven");
    EXPECT_EQ(t.rec().get(BAH::VALUE), D("2"));
    t.rec().set(BAH::BATCHNO, 99);
    EXPECT_EQ(t.get(BAH::BATCHH), NoRecErr);
    EXPECT_EQ(ctx->errorCode(), 35);
    // A failed get leaves the buffer as it was.
    EXPECT_EQ(t.rec().trimmed(BAH::NARR), "eleven");
    // Duplicates key: the first in key order (the lowest row).
    t.clear();
    t.rec().set(BAH::CODE, "4100");
    ASSERT_EQ(t.get(BAH::BHNOM), 0);
    EXPECT_EQ(t.rec().get(BAH::BATCHNO), 10);
    // get does not start or move a read
    ASSERT_EQ(t.setStart(BAH::BATCHH), 0);
    ASSERT_EQ(t.next(), 0);
    t.rec().set(BAH::BATCHNO, 12);
    ASSERT_EQ(t.get(BAH::BATCHH), 0);
    ASSERT_EQ(t.next(), 0);
    EXPECT_EQ(t.rec().get(BAH::BATCHNO), 11);
}

TEST_F(TableOps, AddNumbersTheDatabaseNumberedColumnsAndReadsTheNumberBack) {
    for (TableId id : {TableId::DocumentCharges, TableId::DocumentChargesFees, TableId::FeesImported, TableId::TimeDayBook,
                       TableId::BatchDetails}) {
        Table& t = opened(id);
        const int col = t.decl().numberedColumn();
        ASSERT_GE(col, 0);
        SCOPED_TRACE(t.decl().columnLabel(col));
        const bool isDecimal = t.decl().columns[col].type == ColType::Decimal;
        auto number = [&] { return isDecimal ? t.rec().slot(col).dec.toInt64() : t.rec().slot(col).i; };
        for (int i = 1; i <= 3; ++i) {
            t.clear();
            ASSERT_EQ(t.add(), 0);
            EXPECT_EQ(number(), i);
        }
        // A number given is kept; the next one numbered follows it.
        t.clear();
        if (isDecimal) t.rec().slot(col).dec = Decimal(50);
        else t.rec().slot(col).i = 50;
        ASSERT_EQ(t.add(), 0);
        EXPECT_EQ(number(), 50);
        t.clear();
        ASSERT_EQ(t.add(), 0);
        EXPECT_EQ(number(), 51);
        // A number is never handed out twice, even when the highest row is deleted.
        ASSERT_EQ(t.remove(), 0);
        t.clear();
        ASSERT_EQ(t.add(), 0);
        EXPECT_EQ(number(), 52);
        const std::string name(t.decl().storageName()), column(t.decl().columns[col].name);
        EXPECT_EQ(db.column("SELECT " + column + " FROM " + name + " ORDER BY 1"),
                  (std::vector<std::string>{"1", "2", "3", "50", "52"}));
        // The added row is current: a put writes to it.
        t.rec().slot(col).i = t.rec().slot(col).i;  // unchanged
        EXPECT_EQ(t.put(), 0);
    }
}

TEST_F(TableOps, DuplicateKeysFailWith40AndDuplicatesKeysAllowThem) {
    db.exec("INSERT INTO BatchH (BatchNo, Narr) VALUES (7, 'first')");
    Table& b = opened(TableId::BatchH);
    b.clear();
    b.rec().set(BAH::BATCHNO, 7);
    b.rec().set(BAH::NARR, "second");
    EXPECT_TRUE(b.duplicate(BAH::BATCHH));
    EXPECT_FALSE(b.duplicate(BAH::BHNOM));  // a duplicates key: never a duplicate
    EXPECT_EQ(b.duplicateKey(), BAH::BATCHH.index);
    EXPECT_EQ(b.add(), DupKeyErr);
    EXPECT_EQ(ctx->errorCode(), 40);
    EXPECT_EQ(db.column("SELECT Narr FROM BatchH"), std::vector<std::string>{"first"});
    b.rec().set(BAH::BATCHNO, 8);
    EXPECT_FALSE(b.duplicate(BAH::BATCHH));
    EXPECT_EQ(b.duplicateKey(), -1);
    ASSERT_EQ(b.add(), 0);
    // The row in the buffer is not a duplicate of itself (a put keeps its own key) ...
    EXPECT_FALSE(b.duplicate(BAH::BATCHH));
    EXPECT_EQ(b.duplicateKey(), -1);
    // ... but taking another row's key is, and the put fails and changes nothing.
    b.rec().set(BAH::BATCHNO, 7);
    EXPECT_TRUE(b.duplicate(BAH::BATCHH));
    EXPECT_EQ(b.put(), DupKeyErr);
    EXPECT_EQ(db.column("SELECT BatchNo FROM BatchH ORDER BY 1"), (std::vector<std::string>{"7", "8"}));

    db.exec("INSERT INTO DocumentCharges (DocumentName, RecordID) VALUES ('LETTER', 5)");
    Table& c = opened(TableId::DocumentCharges);
    c.clear();
    c.rec().set(DCH::DOCUMENTNAME, "OTHER");
    c.rec().set(DCH::RECORDID, 5);
    EXPECT_EQ(c.duplicateKey(), DCH::PK_DOCUMENTCHARGES.index);
    EXPECT_EQ(c.add(), DupKeyErr);
    // The same when the clashing row is the one last read (a form filled from it, then added).
    c.clear();
    c.rec().set(DCH::RECORDID, 5);
    ASSERT_EQ(c.get(DCH::PK_DOCUMENTCHARGES), 0);
    c.rec().set(DCH::DOCUMENTNAME, "NEWDOC");
    EXPECT_EQ(c.duplicateKey(), DCH::PK_DOCUMENTCHARGES.index);
    EXPECT_EQ(c.add(), DupKeyErr);
    // Two rows of one document: the document key allows duplicates.
    c.clear();
    c.rec().set(DCH::DOCUMENTNAME, "LETTER");
    EXPECT_FALSE(c.duplicate(DCH::KEYNOMINALCODE));
    EXPECT_EQ(c.duplicateKey(), -1);  // RECORDID 0: numbered by the database
    ASSERT_EQ(c.add(), 0);
    EXPECT_EQ(db.count("SELECT count(*) FROM DocumentCharges WHERE DocumentName = 'LETTER'"), 2);

    Table& f = opened(TableId::FeesImported);
    f.clear();
    f.rec().set(FIMP::RECORDID, 3);
    ASSERT_EQ(f.add(), 0);
    f.clear();
    f.rec().set(FIMP::RECORDID, 3);
    EXPECT_EQ(f.add(), DupKeyErr);

    Table& cf = opened(TableId::DocumentChargesFees);
    cf.clear();
    cf.rec().set(DCHF::RECORDID, 3);
    ASSERT_EQ(cf.add(), 0);
    cf.clear();
    cf.rec().set(DCHF::RECORDID, 3);
    EXPECT_EQ(cf.add(), DupKeyErr);
}

TEST_F(TableOps, PutAndRemoveWriteTheCurrentRow) {
    Table& c = opened(TableId::DocumentCharges);
    addCharge(c, "A", "4100", "1.00");
    addCharge(c, "B", "4100", "2.00");
    addCharge(c, "C", "4100", "3.00");
    c.clear();
    c.rec().set(DCH::RECORDID, 2);
    ASSERT_EQ(c.get(DCH::PK_DOCUMENTCHARGES), 0);
    c.rec().set(DCH::OUTLAYAMOUNT, D("2.50"));
    ASSERT_EQ(c.put(), 0);
    EXPECT_EQ(db.column("SELECT OutlayAmount FROM DocumentCharges ORDER BY RecordID"),
              (std::vector<std::string>{"1.00", "2.50", "3.00"}));
    ASSERT_EQ(c.remove(), 0);
    EXPECT_EQ(db.column("SELECT DocumentName FROM DocumentCharges ORDER BY RecordID"), (std::vector<std::string>{"A", "C"}));
    // Nothing current any more.
    EXPECT_NE(c.put(), 0);
    EXPECT_NE(c.remove(), 0);
    EXPECT_EQ(db.count("SELECT count(*) FROM DocumentCharges"), 2);
    // A row deleted by another station meanwhile: the put finds nothing to write.
    c.rec().set(DCH::RECORDID, 3);
    ASSERT_EQ(c.get(DCH::PK_DOCUMENTCHARGES), 0);
    db.exec("DELETE FROM DocumentCharges WHERE RecordID = 3");
    EXPECT_NE(c.put(), 0);
    EXPECT_EQ(db.count("SELECT count(*) FROM DocumentCharges"), 1);
}

TEST_F(TableOps, AWatchedReadGuardsTheNextPutAndRemove) {
    auto other = db.context();
    Table& mine = opened(TableId::DocumentCharges);
    Table& theirs = opened(TableId::DocumentCharges, other.get());
    addCharge(mine, "LETTER", "4100", "10.00");

    // Changed by the other station after my watched read: 89, and nothing of mine written.
    mine.rec().set(DCH::RECORDID, 1);
    mine.watch();
    ASSERT_EQ(mine.get(DCH::PK_DOCUMENTCHARGES), 0);
    theirs.rec().set(DCH::RECORDID, 1);
    ASSERT_EQ(theirs.get(DCH::PK_DOCUMENTCHARGES), 0);
    theirs.rec().set(DCH::OUTLAYAMOUNT, D("20.00"));
    ASSERT_EQ(theirs.put(), 0);
    mine.rec().set(DCH::OUTLAYAMOUNT, D("30.00"));
    EXPECT_EQ(mine.put(), RecordChangedErr);
    EXPECT_EQ(ctx->errorCode(), 89);
    EXPECT_EQ(db.scalar("SELECT OutlayAmount FROM DocumentCharges"), "20.00");
    EXPECT_EQ(mine.remove(), RecordChangedErr);
    EXPECT_EQ(db.count("SELECT count(*) FROM DocumentCharges"), 1);
    EXPECT_EQ(ctx->transactionDepth(), 0);

    // Unchanged since the watched read: the put writes, and a second put after it too.
    mine.watch();
    ASSERT_EQ(mine.get(DCH::PK_DOCUMENTCHARGES), 0);
    mine.rec().set(DCH::OUTLAYAMOUNT, D("30.00"));
    ASSERT_EQ(mine.put(), 0);
    mine.rec().set(DCH::OUTLAYAMOUNT, D("31.00"));
    ASSERT_EQ(mine.put(), 0);
    EXPECT_EQ(db.scalar("SELECT OutlayAmount FROM DocumentCharges"), "31.00");
    // ... and the other station's change after my put is caught again.
    db.exec("UPDATE DocumentCharges SET NominalCode = '4200'");
    mine.rec().set(DCH::OUTLAYAMOUNT, D("32.00"));
    EXPECT_EQ(mine.put(), RecordChangedErr);
    EXPECT_EQ(db.scalar("SELECT OutlayAmount FROM DocumentCharges"), "31.00");

    // A watched row deleted by another station: 89 on put and on remove.
    mine.watch();
    ASSERT_EQ(mine.get(DCH::PK_DOCUMENTCHARGES), 0);
    db.exec("DELETE FROM DocumentCharges");
    EXPECT_EQ(mine.put(), RecordChangedErr);
    EXPECT_EQ(mine.remove(), RecordChangedErr);

    // Unchanged: the remove goes through.
    addCharge(mine, "MEMO", "4100", "1.00");
    mine.watch();
    ASSERT_EQ(mine.get(DCH::PK_DOCUMENTCHARGES), 0);
    ASSERT_EQ(mine.remove(), 0);
    EXPECT_EQ(db.count("SELECT count(*) FROM DocumentCharges"), 0);
}

TEST_F(TableOps, ASecondPutAfterAWatchedPutSucceedsWhateverTheColumnKinds) {
    // A ztext with trailing blanks and a date-time without a time are stored in a form
    // that reads back a little differently; the second put must not take that for a
    // change by another station.
    Table& a = opened(TableId::DiaryAttachments);
    a.clear();
    a.rec().set(DAT::TRACKREFERENCE, D("1"));
    ASSERT_EQ(a.add(), 0);
    a.watch();
    ASSERT_EQ(a.get(DAT::KEYTRACKREF), 0);
    a.rec().set(DAT::SOURCE, "scan  ");
    a.rec().set(DAT::DATEENTERED_DATE, dates::dateFromMDY(2, 9, 2015));
    a.rec().set(DAT::LASTACCESSDATE_DATE, dates::dateFromMDY(2, 9, 2015));
    a.rec().set(DAT::LASTACCESSDATE_TIME, dates::timeFromHMS(10, 0, 0, 55));
    ASSERT_EQ(a.put(), 0);
    a.rec().set(DAT::NAME, "LETTER");
    EXPECT_EQ(a.put(), 0);
    EXPECT_EQ(db.scalar("SELECT Name FROM DiaryAttachments"), "LETTER");

    Table& f = opened(TableId::FeesImported);
    f.clear();
    ASSERT_EQ(f.add(), 0);
    f.watch();
    ASSERT_EQ(f.get(FIMP::PK_FEESIMPORTED), 0);
    f.rec().set(FIMP::COMMENT, "comment ");
    ASSERT_EQ(f.put(), 0);
    f.rec().set(FIMP::TASK, "T1");
    EXPECT_EQ(f.put(), 0);
}

// A table keyed by a code, which a server gives no row identity (it is then read in one go),
// reads both ways from the key values it was set to or from a row's position, as any
// table does: forward from the first row at or after them, backward from the last row at
// or before them, turning round at the row last read.
TEST_F(TableOps, ACodeTableReadsBothWaysFromWhereItWasSetOrReset) {
    db.exec("INSERT INTO OutlayCode (CODE, DESCRIPTION) VALUES ('A', 'a'), ('C', 'c'), ('E', 'e'), ('G', 'g')");
    Table& t = opened(TableId::OutlayCode);
    t.rec().set(OUT::CODE, "E");
    ASSERT_EQ(t.get(OUT::KEYCODE), 0);
    const std::string atE = t.position(OUT::KEYCODE);
    const auto walk = [&](bool forward, int n) {
        std::string s;
        for (int i = 0; i < n; ++i) {
            if ((forward ? t.next() : t.previous()) != 0) return s + "|";
            s += t.rec().trimmed(OUT::CODE);
        }
        return s;
    };
    struct Case {
        const char* from;  // key values to set to, or "@E" for the position of row E
        std::vector<std::pair<bool, int>> reads;  // forward?, how many
        std::string expected;
    };
    const Case cases[] = {
        {"D", {{true, 5}}, "EG|"},
        {"D", {{false, 5}}, "CA|"},
        {"E", {{false, 5}}, "ECA|"},
        {"", {{false, 2}}, "|"},
        {"C", {{true, 2}, {false, 5}}, "CECA|"},
        {"@E", {{false, 5}}, "ECA|"},
        {"@E", {{true, 5}}, "EG|"},
        {"@E", {{true, 1}, {false, 1}, {true, 5}}, "ECEG|"},
    };
    for (const Case& c : cases) {
        if (c.from[0] == '@') {
            ASSERT_EQ(t.reset(OUT::KEYCODE, atE), 0);
        } else {
            t.rec().set(OUT::CODE, c.from);
            ASSERT_EQ(t.set(OUT::KEYCODE), 0);
        }
        std::string got;
        for (const auto& [forward, n] : c.reads) got += walk(forward, n);
        EXPECT_EQ(got, c.expected) << "from " << c.from;
    }
}

TEST_F(TableOps, RecordsCountsTheRows) {
    Table& c = opened(TableId::DocumentCharges);
    EXPECT_EQ(c.records(), 0);
    addCharge(c, "A", "1", "1");
    addCharge(c, "B", "1", "1");
    EXPECT_EQ(c.records(), 2);
}

}  // namespace
}  // namespace mg

namespace mg {
namespace {

TEST(TablePut, WritesOnlyTheColumnsThatChangedSinceTheRead) {
    test::TempDatabase db;
    db.exec("INSERT INTO BatchH (BATCHNO, CODE, VALUE, NARR) VALUES (7, '4100', '10.00', 'Court Stamp Fee')");
    auto ctx = db.context();
    Table& bah = ctx->table(TableId::BatchH);
    ASSERT_EQ(bah.open(), 0);
    ctx->set(BAH::BATCHNO, 7);
    ASSERT_EQ(bah.get(BAH::BATCHH), 0);
    // Another station changes the narrative meanwhile; this one adds to the total.
    db.exec("UPDATE BatchH SET NARR = 'Changed elsewhere' WHERE BATCHNO = 7");
    ctx->set(BAH::VALUE, ctx->get(BAH::VALUE) + Decimal(5));
    std::string trace = (db.folder() / "trace.sql").string();
    db::setTraceFile(trace);
    ASSERT_EQ(bah.put(), 0);
    db::setTraceFile("");
    EXPECT_EQ(db.scalar("SELECT VALUE || ' ' || NARR FROM BatchH"), "15.00 Changed elsewhere");
    std::ifstream in(trace);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("UPDATE \"BatchH\" SET \"VALUE\" = ? WHERE rowid = ?"), std::string::npos) << text;
    // A second put writes what changed since the first.
    ctx->set(BAH::CURRENCYVALUE, Decimal(3));
    ASSERT_EQ(bah.put(), 0);
    EXPECT_EQ(db.scalar("SELECT VALUE || ' ' || CURRENCYVALUE || ' ' || NARR FROM BatchH"), "15.00 3.00 Changed elsewhere");
    // Nothing changed: the row is still written, and a row that is gone is still reported.
    ASSERT_EQ(bah.put(), 0);
    db.exec("DELETE FROM BatchH");
    EXPECT_EQ(bah.put(), NotFoundErr);
}

}  // namespace
}  // namespace mg
