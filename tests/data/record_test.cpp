// Record buffers: the declared semantics of each column kind, the range checks that keep
// a value from being changed silently by the store, and what rows written by another
// program read as.

#include <gtest/gtest.h>

#include "data/context.h"
#include "data/dates.h"
#include "data/table.h"
#include "data/utf8.h"
#include "testdb.h"

namespace mg {
namespace {

Decimal D(const char* text) { return *Decimal::parse(text); }

TEST(RecordText, TextIsCutOrPaddedToItsLengthAndZTextKeepsRoomForItsTerminator) {
    Record r(decl(TableId::DocumentCharges));
    r.set(DCH::DOCUMENTNAME, "ABCDEFGHIJKLMNOP");  // text 10
    EXPECT_EQ(r.get(DCH::DOCUMENTNAME), "ABCDEFGHIJ");
    r.set(DCH::DOCUMENTNAME, "AB");
    EXPECT_EQ(r.get(DCH::DOCUMENTNAME), "AB        ");
    EXPECT_EQ(r.trimmed(DCH::DOCUMENTNAME), "AB");
    r.set(DCH::DOCUMENTNAME, "");
    EXPECT_EQ(r.get(DCH::DOCUMENTNAME), std::string(10, ' '));
    EXPECT_EQ(r.trimmed(DCH::DOCUMENTNAME), "");

    Record a(decl(TableId::DiaryAttachments));
    a.set(DAT::SOURCE, std::string(30, 'x'));  // ztext 21: at most 20 characters
    EXPECT_EQ(a.get(DAT::SOURCE), std::string(20, 'x'));
    a.set(DAT::SOURCE, "ab");  // ztext is not padded
    EXPECT_EQ(a.get(DAT::SOURCE), "ab");

    Record f(decl(TableId::FeesImported));
    f.set(FIMP::COMMENT, std::string(150, 'c'));  // ztext 101
    EXPECT_EQ(f.get(FIMP::COMMENT).size(), 100u);
}

TEST(RecordClear, BlanksAndZeroesEveryColumnOfEveryTable) {
    for (const TableDecl& t : allTables()) {
        Record r(t);
        for (size_t c = 0; c < t.columns.size(); ++c) {
            Slot& s = r.slot(static_cast<int>(c));
            s.text = "junk";
            s.dec = Decimal(7);
            s.i = 7;
            s.f = 7.5;
            s.date = 7;
            s.time = 7;
        }
        r.clear();
        for (size_t c = 0; c < t.columns.size(); ++c) {
            const ColumnDecl& col = t.columns[c];
            const Slot& s = r.slot(static_cast<int>(c));
            SCOPED_TRACE(t.columnLabel(static_cast<int>(c)));
            if (col.type == ColType::Text) EXPECT_EQ(s.text, std::string(static_cast<size_t>(col.size), ' '));
            else EXPECT_EQ(s.text, "");
            EXPECT_TRUE(s.dec.isZero());
            EXPECT_EQ(s.i, 0);
            EXPECT_EQ(s.f, 0);
            EXPECT_EQ(s.date, 0);
            EXPECT_EQ(s.time, 0);
        }
    }
}

TEST(RecordDecimal, ValuesAreRoundedHalfAwayFromZeroToTheColumnsPlaces) {
    Record r(decl(TableId::DocumentCharges));
    r.set(DCH::OUTLAYAMOUNT, D("2.345"));
    EXPECT_EQ(r.get(DCH::OUTLAYAMOUNT).toString(2), "2.35");
    r.set(DCH::OUTLAYAMOUNT, D("-2.345"));
    EXPECT_EQ(r.get(DCH::OUTLAYAMOUNT).toString(2), "-2.35");
    r.set(DCH::OUTLAYAMOUNT, D("2.3449"));
    EXPECT_EQ(r.get(DCH::OUTLAYAMOUNT).toString(2), "2.34");
    r.set(DCH::OUTLAYAMOUNT, D("0.005"));
    EXPECT_EQ(r.get(DCH::OUTLAYAMOUNT).toString(2), "0.01");

    // An amount converted at the control row's rate keeps 2 places.
    Record b(decl(TableId::BatchDetails));
    b.set(BAD::CURRENCYVALUE, D("12.50") * D("0.787564"));  // 9.84455
    EXPECT_EQ(b.get(BAD::CURRENCYVALUE), D("9.84"));
    b.set(BAD::CURRENCYVALUE, D("13.97") * D("0.787564"));  // 11.00226908
    EXPECT_EQ(b.get(BAD::CURRENCYVALUE), D("11.00"));

    // Whole-number decimals round too.
    Record d(decl(TableId::DiaryAttachments));
    d.set(DAT::TRACKREFERENCE, D("41.5"));
    EXPECT_EQ(d.get(DAT::TRACKREFERENCE), D("42"));
}

TEST(RecordRange, ValuesFitNamesTheFirstColumnOutOfRange) {
    Record b(decl(TableId::BatchH));
    std::string why;
    EXPECT_TRUE(b.valuesFit(&why));

    b.set(BAH::PERNO, 32767);
    EXPECT_TRUE(b.valuesFit(&why));
    b.set(BAH::PERNO, 32768);  // int16
    EXPECT_FALSE(b.valuesFit(&why));
    EXPECT_NE(why.find("BAH:PERNO"), std::string::npos) << why;
    EXPECT_NE(why.find("32768"), std::string::npos) << why;
    b.set(BAH::PERNO, -32769);
    EXPECT_FALSE(b.valuesFit(&why));
    b.set(BAH::PERNO, -32768);
    EXPECT_TRUE(b.valuesFit(&why));

    b.set(BAH::BATCHNO, int64_t{2147483648});  // int32
    EXPECT_FALSE(b.valuesFit(&why));
    EXPECT_NE(why.find("BAH:BATCHNO"), std::string::npos) << why;
    b.set(BAH::BATCHNO, int64_t{-2147483648LL});
    EXPECT_TRUE(b.valuesFit(&why));

    Record d(decl(TableId::Diary));
    d.set(DIA::TXMSENT, 256);  // uint8
    EXPECT_FALSE(d.valuesFit(&why));
    EXPECT_NE(why.find("DIA:TXMSENT"), std::string::npos) << why;
    d.set(DIA::TXMSENT, -1);
    EXPECT_FALSE(d.valuesFit(&why));
    d.set(DIA::TXMSENT, 255);
    EXPECT_TRUE(d.valuesFit(&why));

    Record c(decl(TableId::DocumentCharges));
    c.set(DCH::OUTLAYAMT2, D("99999.99"));  // decimal 7.2
    EXPECT_TRUE(c.valuesFit(&why));
    c.set(DCH::OUTLAYAMT2, D("100000.00"));
    EXPECT_FALSE(c.valuesFit(&why));
    EXPECT_NE(why.find("DCH:OUTLAYAMT2"), std::string::npos) << why;
    c.set(DCH::OUTLAYAMT2, D("-99999.995"));  // rounds to -100000.00
    EXPECT_FALSE(c.valuesFit(&why));
}

// Sizes count characters: a text is cut and padded by characters, never inside one, and
// bytes that are not UTF-8 count one character each without being lost or changed.
TEST(RecordText, TextsAreCutAndPaddedByCharactersNeverInsideOne) {
    const std::string e = "\xC3\xA9";          // é, 2 bytes
    const std::string euro = "\xE2\x82\xAC";  // €, 3 bytes
    const std::string face = "\xF0\x9F\x98\x80";  // 4 bytes
    auto times = [](const std::string& s, int n) {
        std::string out;
        for (int i = 0; i < n; ++i) out += s;
        return out;
    };
    struct Case {
        const char* what;
        TextCol column;
        std::string value;
        std::string buffer;  // what the record buffer holds
    };
    const Case cases[] = {
        {"30 characters, the last accented, in a text 30", TAS::DESC, std::string(29, 'a') + e, std::string(29, 'a') + e},
        {"31 characters, the 30th accented, in a text 30", TAS::DESC, std::string(29, 'a') + e + "b", std::string(29, 'a') + e},
        {"29 characters, 3 accented, padded to 30", TAS::DESC, std::string(26, 'a') + times(e, 3), std::string(26, 'a') + times(e, 3) + " "},
        {"accented only, cut to a text 10", DCH::DOCUMENTNAME, times(e, 11), times(e, 10)},
        {"3- and 4-byte characters in a ztext 21 (20 characters)", DAT::SOURCE, times(euro + face, 11), times(euro + face, 10)},
        {"ztext 101 keeps 100 characters", FIMP::COMMENT, times(e, 150), times(e, 100)},
        {"stray continuation bytes count one each", DCH::DOCUMENTNAME, std::string(12, '\x80'), std::string(10, '\x80')},
        {"a lead byte cut off at the end is kept", DCH::DOCUMENTNAME, "abc\xC3", "abc\xC3      "},
        {"a broken sequence then a character", DCH::DOCUMENTNAME, "\xE2\x82" + std::string(9, 'x'), "\xE2\x82" + std::string(8, 'x')},
        {"an overlong form is two characters", DCH::DOCUMENTNAME, "\xC0\xAF" + std::string(9, 'x'), "\xC0\xAF" + std::string(8, 'x')},
        {"empty text is all blanks", DCH::DOCUMENTNAME, "", std::string(10, ' ')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Record r(decl(c.column.table));
        r.set(c.column, c.value);
        EXPECT_EQ(r.get(c.column), c.buffer);
        if (utf8::wellFormed(c.value)) {
            EXPECT_TRUE(utf8::wellFormed(r.get(c.column)));
        }
    }
    // The helper itself on the cases a buffer never meets.
    EXPECT_EQ(utf8::length(""), 0u);
    EXPECT_EQ(utf8::length("a" + e + euro + face + "\xFF"), 5u);
    EXPECT_EQ(utf8::cut("a" + e, 0), "");
    EXPECT_EQ(utf8::padded(euro, 3), euro + "  ");
    EXPECT_EQ(utf8::charBytes("\xED\xA0\x80", 0), 1u);  // a surrogate is not a character
    EXPECT_EQ(utf8::charBytes("\xF4\x90\x80\x80", 0), 1u);  // beyond U+10FFFF
}

class RecordStore : public ::testing::Test {
protected:
    test::TempDatabase db;
    std::unique_ptr<Context> ctx = db.context();
};

TEST_F(RecordStore, AValueOutOfRangeFailsAddAndPutWith90AndWritesNothing) {
    Table& t = ctx->table(TableId::DocumentCharges);
    ASSERT_EQ(t.open(), 0);
    t.clear();
    t.rec().set(DCH::DOCUMENTNAME, "DOC");
    t.rec().set(DCH::OUTLAYAMT2, D("100000.00"));
    EXPECT_EQ(t.add(), FileSystemErr);
    EXPECT_EQ(ctx->errorCode(), 90);
    EXPECT_NE(ctx->fileError().find("DCH:OUTLAYAMT2"), std::string::npos) << ctx->fileError();
    EXPECT_EQ(db.count("SELECT count(*) FROM DocumentCharges"), 0);

    t.rec().set(DCH::OUTLAYAMT2, D("10.00"));
    ASSERT_EQ(t.add(), 0);
    t.rec().set(DCH::OUTLAYAMOUNT, D("5.00"));
    t.rec().set(DCH::RECORDID, int64_t{1} << 40);  // int32
    EXPECT_EQ(t.put(), FileSystemErr);
    EXPECT_NE(ctx->fileError().find("DCH:RECORDID"), std::string::npos) << ctx->fileError();
    EXPECT_EQ(db.scalar("SELECT OutlayAmount FROM DocumentCharges"), "0.00");
    EXPECT_EQ(db.scalar("SELECT RecordID FROM DocumentCharges"), "1");

    Table& b = ctx->table(TableId::BatchH);
    ASSERT_EQ(b.open(), 0);
    b.clear();
    b.rec().set(BAH::BATCHNO, 1);
    b.rec().set(BAH::YEAR, 70000);
    EXPECT_EQ(b.add(), FileSystemErr);
    EXPECT_NE(ctx->fileError().find("BAH:YEAR"), std::string::npos) << ctx->fileError();
    EXPECT_EQ(db.count("SELECT count(*) FROM BatchH"), 0);
}

TEST_F(RecordStore, ValuesAreStoredInTheFormOtherProgramsRead) {
    Table& d = ctx->table(TableId::DiaryAttachments);
    ASSERT_EQ(d.open(), 0);
    d.clear();
    d.rec().set(DAT::TRACKREFERENCE, D("12"));
    d.rec().set(DAT::DIARYID, D("5"));
    d.rec().set(DAT::CASECODE, "C1");
    d.rec().set(DAT::DATEENTERED_DATE, dates::dateFromMDY(2, 9, 2015));
    d.rec().set(DAT::DATEENTERED_TIME, dates::timeFromHMS(13, 45, 30));
    d.rec().set(DAT::LASTACCESSDATE_DATE, dates::dateFromMDY(2, 10, 2015));  // no time
    d.rec().set(DAT::SOURCE, "src  ");
    ASSERT_EQ(d.add(), 0);
    EXPECT_EQ(db.scalar("SELECT typeof(TrackReference) || ':' || TrackReference FROM DiaryAttachments"), "integer:12");
    EXPECT_EQ(db.scalar("SELECT CaseCode FROM DiaryAttachments"), "C1");
    EXPECT_EQ(db.scalar("SELECT DateEntered FROM DiaryAttachments"), "2015-02-09 13:45:30");
    EXPECT_EQ(db.scalar("SELECT LastAccessDate FROM DiaryAttachments"), "2015-02-10 00:00:00");
    EXPECT_EQ(db.scalar("SELECT Source FROM DiaryAttachments"), "src");
    EXPECT_EQ(db.scalar("SELECT quote(Name) FROM DiaryAttachments"), "''");
    EXPECT_EQ(db.count("SELECT count(*) FROM DiaryAttachments WHERE Fees = 0"), 1);

    Table& b = ctx->table(TableId::BatchH);
    ASSERT_EQ(b.open(), 0);
    b.clear();
    b.rec().set(BAH::BATCHNO, 7);
    b.rec().set(BAH::DATE, dates::dateFromMDY(2, 9, 2015));
    b.rec().set(BAH::VALUE, D("12.5"));
    b.rec().set(BAH::SUBTOT, D("-0.01"));
    b.rec().set(BAH::WRITEDOWN, -5);  // before the first day: no date
    ASSERT_EQ(b.add(), 0);
    EXPECT_EQ(db.scalar("SELECT typeof(WriteDown) FROM BatchH"), "null");
    EXPECT_EQ(db.scalar("SELECT Date FROM BatchH"), "2015-02-09");
    EXPECT_EQ(db.scalar("SELECT typeof(EntryDate) FROM BatchH"), "null");  // no date
    EXPECT_EQ(db.scalar("SELECT Value FROM BatchH"), "12.50");
    EXPECT_EQ(db.scalar("SELECT SubTot FROM BatchH"), "-0.01");
    EXPECT_EQ(db.scalar("SELECT OutlayTot FROM BatchH"), "0.00");
}

// A row of NULLs in every column of every table reads as blank, zero and no date.
TEST_F(RecordStore, NullInEveryKindOfColumnReadsBlankZeroOrNoDate) {
    for (const TableDecl& t : allTables()) {
        if (t.isView() || t.isResultTable()) continue;
        SCOPED_TRACE(std::string(t.label));
        db.exec("INSERT INTO \"" + std::string(t.storageName()) + "\" DEFAULT VALUES");
        Table& tab = ctx->table(t.id);
        ASSERT_EQ(tab.open(), 0);
        // Fill the buffer with junk first, so that a column the read forgets shows.
        for (size_t c = 0; c < t.columns.size(); ++c) {
            Slot& s = tab.rec().slot(static_cast<int>(c));
            s.text = "junk";
            s.dec = Decimal(9);
            s.i = 9;
            s.f = 9;
            s.date = 9;
            s.time = 9;
        }
        ASSERT_EQ(tab.setNatural(), 0);
        ASSERT_EQ(tab.next(), 0);
        for (size_t c = 0; c < t.columns.size(); ++c) {
            const ColumnDecl& col = t.columns[c];
            if (col.numbered) continue;
            SCOPED_TRACE(t.columnLabel(static_cast<int>(c)));
            const Slot& s = tab.rec().slot(static_cast<int>(c));
            switch (col.type) {
            case ColType::Text: EXPECT_EQ(s.text, std::string(static_cast<size_t>(col.size), ' ')); break;
            case ColType::ZText: EXPECT_EQ(s.text, ""); break;
            case ColType::Decimal: EXPECT_TRUE(s.dec.isZero()); break;
            case ColType::Float64: EXPECT_EQ(s.f, 0); break;
            case ColType::Date: EXPECT_EQ(s.date, 0); break;
            case ColType::Time: EXPECT_EQ(s.time, 0); break;
            case ColType::DateTime:
                EXPECT_EQ(s.date, 0);
                EXPECT_EQ(s.time, 0);
                break;
            default: EXPECT_EQ(s.i, 0);
            }
        }
        EXPECT_EQ(tab.next(), NotFoundErr);
        tab.close();
    }
}

TEST_F(RecordStore, DecimalsWrittenAsRealIntegerOrTextReadExactly) {
    db.exec("INSERT INTO DocumentCharges (RecordID, DocumentName, OutlayAmount, Band1, Band2, OutlayAmt2, Band3, Band4) VALUES "
            "(1, 'R', 12.5, 12, '12.5', 1234567.89, '  7.125 ', 0.1 + 0.2)");
    Table& t = ctx->table(TableId::DocumentCharges);
    ASSERT_EQ(t.open(), 0);
    t.rec().set(DCH::RECORDID, 1);
    ASSERT_EQ(t.get(DCH::PK_DOCUMENTCHARGES), 0);
    EXPECT_EQ(t.rec().get(DCH::OUTLAYAMOUNT).toString(2), "12.50");
    EXPECT_EQ(t.rec().get(DCH::BAND1).toString(2), "12.00");
    EXPECT_EQ(t.rec().get(DCH::BAND2).toString(2), "12.50");
    EXPECT_EQ(t.rec().get(DCH::OUTLAYAMT2).toString(2), "1234567.89");
    EXPECT_EQ(t.rec().get(DCH::BAND3).toString(2), "7.13");  // rounded to the column's places
    EXPECT_EQ(t.rec().get(DCH::BAND4).toString(2), "0.30");

    // Whole-number decimals and integers written as REAL or text.
    db.exec("INSERT INTO DiaryAttachments (TrackReference, DiaryID, Fees, Outlay) VALUES (3, 7.0, '2', 4.0)");
    Table& a = ctx->table(TableId::DiaryAttachments);
    ASSERT_EQ(a.open(), 0);
    a.rec().set(DAT::TRACKREFERENCE, D("3"));
    ASSERT_EQ(a.get(DAT::KEYTRACKREF), 0);
    EXPECT_EQ(a.rec().get(DAT::DIARYID), D("7"));
    EXPECT_EQ(a.rec().get(DAT::FEES), 2);
    EXPECT_EQ(a.rec().get(DAT::OUTLAY), 4);
}

TEST_F(RecordStore, TextsAndDatesWrittenByAnotherProgramReadInTheDeclaredForm) {
    db.exec("INSERT INTO DiaryAttachments (TrackReference, DiaryID, CaseCode, Name, Source, DateEntered, LastAccessDate) VALUES "
            "(1, 1, 'C1   ', 'A-VERY-LONG-NAME', 'ztext with blanks   ', '2015-02-09 13:45:30', '2015-02-10')");
    Table& a = ctx->table(TableId::DiaryAttachments);
    ASSERT_EQ(a.open(), 0);
    a.rec().set(DAT::TRACKREFERENCE, D("1"));
    ASSERT_EQ(a.get(DAT::KEYTRACKREF), 0);
    EXPECT_EQ(a.rec().get(DAT::CASECODE), "C1         ");
    EXPECT_EQ(a.rec().get(DAT::NAME), "A-VERY-LON");
    EXPECT_EQ(a.rec().get(DAT::DATEENTERED_DATE), dates::dateFromMDY(2, 9, 2015));
    EXPECT_EQ(a.rec().get(DAT::DATEENTERED_TIME), dates::timeFromHMS(13, 45, 30));
    EXPECT_EQ(a.rec().get(DAT::LASTACCESSDATE_DATE), dates::dateFromMDY(2, 10, 2015));
    EXPECT_EQ(a.rec().get(DAT::LASTACCESSDATE_TIME), 0);

    db.exec("INSERT INTO BatchH (BatchNo, Date, EntryDate) VALUES (1, '2015-2-9', '2015-02-09 10:00:00')");
    Table& b = ctx->table(TableId::BatchH);
    ASSERT_EQ(b.open(), 0);
    b.rec().set(BAH::BATCHNO, 1);
    ASSERT_EQ(b.get(BAH::BATCHH), 0);
    EXPECT_EQ(b.rec().get(BAH::DATE), dates::dateFromMDY(2, 9, 2015));
    EXPECT_EQ(b.rec().get(BAH::ENTRYDATE), dates::dateFromMDY(2, 9, 2015));
}

// A stored value that does not convert to its column's type fails the read with 90 and a
// text naming the table, the column and the value; the same value in a form that does
// convert reads exactly, and a blank reads as NULL does.
TEST_F(RecordStore, AStoredValueThatDoesNotConvertFailsTheReadWith90) {
    struct Case {
        const char* what;
        const char* table;
        const char* column;
        const char* stored;  // an SQL literal
        bool reads;
    };
    const Case cases[] = {
        {"thousands separator in a decimal", "Matters", "ORIGINALDEBT", "'1,200.00'", false},
        {"a currency sign in a decimal", "Matters", "ORIGINALDEBT", "'\xE2\x82\xAC" "12.00'", false},
        {"letters in a decimal", "Matters", "ORIGINALDEBT", "'n/a'", false},
        {"blanks around a decimal", "Matters", "ORIGINALDEBT", "' 1200.50 '", true},
        {"a decimal as REAL", "Matters", "ORIGINALDEBT", "1200.5", true},
        {"a blank decimal", "Matters", "ORIGINALDEBT", "''", true},
        {"a number with letters after it in an integer", "Matters", "FILENUM", "'12abc'", false},
        {"a fraction in an integer", "Matters", "FILENUM", "12.5", false},
        {"a whole REAL in an integer", "Matters", "FILENUM", "12.0", true},
        {"a whole number as text in an integer", "Matters", "FILENUM", "' 12 '", true},
        {"a date that does not exist", "Matters", "STARTED", "'2015-02-30'", false},
        {"a date written day first", "Matters", "STARTED", "'09/02/2015'", false},
        {"a date without leading zeros", "Matters", "STARTED", "'2015-2-9'", true},
        {"a date-time with a broken time", "DiaryAttachments", "DATEENTERED", "'2015-02-09 25:00:00'", false},
        {"a date-time", "DiaryAttachments", "DATEENTERED", "'2015-02-09 13:45:00'", true},
        {"words in a number", "TasksCodes", "DEFAULT", "'one and a half'", false},
        {"a number as text", "TasksCodes", "DEFAULT", "'1.5'", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const TableDecl& t = *findTable(c.table);
        ASSERT_GE(t.columnIndex(c.column), 0) << c.column;
        db.exec(std::string("DELETE FROM \"") + c.table + "\"");
        db.exec(std::string("INSERT INTO \"") + c.table + "\" (\"" + c.column + "\") VALUES (" + c.stored + ")");
        Table& tab = ctx->table(t.id);
        if (!tab.isOpen()) {
            ASSERT_EQ(tab.open(), 0);
        }
        // Both ways of reading: a start in natural order and a read of the row by its identity.
        const int rc = tab.setNatural() ? -1 : tab.next();
        if (c.reads) {
            EXPECT_EQ(rc, 0) << ctx->fileError();
            continue;
        }
        EXPECT_EQ(rc, FileSystemErr);
        EXPECT_EQ(ctx->errorCode(), 90);
        const std::string text = ctx->fileError();
        EXPECT_NE(text.find(std::string("column ") + c.column + " of table " + std::string(t.storageName())), std::string::npos) << text;
        const std::string value = db.scalar(std::string("SELECT \"") + c.column + "\" FROM \"" + c.table + "\"");
        EXPECT_NE(text.find("'" + value + "'"), std::string::npos) << text;
        EXPECT_TRUE(utf8::wellFormed(text)) << text;
        EXPECT_EQ(tab.next(), FileSystemErr) << "the read does not skip the row";
    }

    // In a read across pages the rows before the one that does not convert are read, then
    // the read stops at it; a key get of it fails the same way, and a pass-through row too.
    db.exec("DELETE FROM Matters");
    db.exec("INSERT INTO Matters (CODE, ORIGINALDEBT) VALUES ('M1', '1.00'), ('M2', '2.00'), ('M3', '1,200.00'), ('M4', '4.00')");
    Table& m = ctx->table(TableId::Matters);
    ASSERT_EQ(m.setStart(MAT::MATTERKEY), 0);
    ASSERT_EQ(m.next(), 0);
    EXPECT_EQ(m.rec().trimmed(MAT::CODE), "M1");
    ASSERT_EQ(m.next(), 0);
    EXPECT_EQ(m.rec().get(MAT::ORIGINALDEBT), D("2.00"));
    EXPECT_EQ(m.next(), FileSystemErr);
    m.rec().set(MAT::CODE, "M3");
    EXPECT_EQ(m.get(MAT::MATTERKEY), FileSystemErr);
    EXPECT_NE(ctx->fileError().find("'1,200.00'"), std::string::npos) << ctx->fileError();
    Table& r = ctx->table(TableId::SQLResultD);
    ASSERT_EQ(r.open(), 0);
    ASSERT_EQ(r.setSql("Select OriginalDebt from Matters Where Code = 'M3'"), 0);
    EXPECT_EQ(r.next(), FileSystemErr);
    EXPECT_NE(ctx->fileError().find("'1,200.00'"), std::string::npos) << ctx->fileError();
}

}  // namespace
}  // namespace mg
