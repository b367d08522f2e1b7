// Reads in key order: ascending and descending components, equal keys, NULLs in key
// columns, text without regard to case, pages of growing size, direction changes, set
// and setStart, positions. The reference order is the database's own ORDER BY over the
// key's columns (NULL first, text without regard to case), ties broken by row identity.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "data/context.h"
#include "data/dates.h"
#include "data/ddl.h"
#include "data/table.h"
#include "testdb.h"

namespace mg {
namespace {

Decimal D(const char* text) { return *Decimal::parse(text); }

// The rows of a table in the order of one of its keys, as row identities.
std::vector<int64_t> expectedOrder(const test::TempDatabase& db, const TableDecl& t, int key) {
    std::string order;
    for (const KeyComponent& k : t.keys[key].components) {
        order += ddl::keyTerm(t.columns[k.column], db::SqlDialect::Sqlite);
        order += k.descending ? " DESC, " : ", ";
    }
    std::vector<int64_t> out;
    for (const std::string& s : db.column("SELECT rowid FROM \"" + std::string(t.storageName()) + "\" ORDER BY " + order + "rowid"))
        out.push_back(std::stoll(s));
    return out;
}

int64_t rowOf(const Table& t) { return t.currentRow().value_or(-1); }

// Reads the whole table forward and then backward, expecting every row exactly once
// each way.
void readBothWays(Table& t, Key key, const std::vector<int64_t>& expected) {
    ASSERT_EQ(t.setStart(key), 0);
    std::vector<int64_t> got;
    while (t.next() == 0) got.push_back(rowOf(t));
    EXPECT_EQ(got, expected) << "forward";
    got.clear();
    while (t.previous() == 0) got.push_back(rowOf(t));
    std::vector<int64_t> rev(expected.rbegin(), expected.rend());
    EXPECT_EQ(got, rev) << "backward after the end";
    got.clear();
    ASSERT_EQ(t.setStart(key), 0);
    while (t.previous() == 0) got.push_back(rowOf(t));
    EXPECT_EQ(got, rev) << "backward from setStart";
}

// Moves at random through the key order, checking each row against a model of the read:
// next from row i gives row i+1, previous row i-1; at either end 33, after which a turn
// gives the last (or first) row again; a reset at a position gives that row both ways.
void randomWalk(Table& t, Key key, const std::vector<int64_t>& expected, unsigned seed, int runs) {
    std::mt19937 rng(seed);
    const long n = static_cast<long>(expected.size());
    // The position of every row, taken on a first read.
    std::vector<std::string> positions;
    ASSERT_EQ(t.setStart(key), 0);
    while (t.next() == 0) positions.push_back(t.position(key));
    ASSERT_EQ(static_cast<long>(positions.size()), n);
    ASSERT_EQ(t.setStart(key), 0);
    enum { Start, At, Reset } state = Start;
    long cur = 0;
    for (int run = 0; run < runs; ++run) {
        int what = static_cast<int>(rng() % 10);
        if (what == 0) {
            ASSERT_EQ(t.setStart(key), 0);
            state = Start;
            continue;
        }
        if (what == 1 && n > 0) {
            long target = static_cast<long>(rng() % n);
            t.rec().clear();
            ASSERT_EQ(t.reset(key, positions[target]), 0);
            state = Reset;
            cur = target;
            continue;
        }
        bool forward = rng() % 2;
        int len = 1 + static_cast<int>(rng() % (what < 5 ? 5 : 300));
        for (int i = 0; i < len; ++i) {
            long want;
            if (state == Start) want = forward ? 0 : n - 1;
            else if (state == Reset) want = cur;
            else want = forward ? cur + 1 : cur - 1;
            int rc = forward ? t.next() : t.previous();
            if (want < 0 || want >= n) {
                ASSERT_EQ(rc, NotFoundErr) << "run " << run << " step " << i << (forward ? " next" : " previous");
                cur = want < 0 ? -1 : n;
                state = At;
                break;
            }
            ASSERT_EQ(rc, 0) << "run " << run << " step " << i << " want index " << want;
            ASSERT_EQ(rowOf(t), expected[want]) << "run " << run << " step " << i << (forward ? " next" : " previous")
                                                << " want index " << want;
            cur = want;
            state = At;
        }
    }
}

class KeyOrder : public ::testing::Test {
protected:
    test::TempDatabase db;
    std::unique_ptr<Context> ctx = db.context();

    void seedBatches(int rows, unsigned seed) {
        std::mt19937 rng(seed);
        std::vector<int> numbers(rows);
        for (int i = 0; i < rows; ++i) numbers[i] = i + 1;
        std::shuffle(numbers.begin(), numbers.end(), rng);
        const char* posted[] = {"'Y'", "'N'", "'y'", "NULL", "''"};
        const char* dates[] = {"'2015-02-09'", "'2015-02-10'", "NULL", "'2014-12-31'", "NULL"};
        const char* codes[] = {"'4100'", "'4200'", "NULL", "'abc'", "'ABC'", "'Abd'"};
        std::string sql = "BEGIN;";
        for (int i = 0; i < rows; ++i) {
            sql += "INSERT INTO BatchH (BatchNo, Posted, EntryDate, PerNo, Year, Code, RecNo) VALUES (" + std::to_string(numbers[i]) + ", " +
                   posted[rng() % 5] + ", " + dates[rng() % 5] + ", " + std::to_string(rng() % 3) + ", " +
                   (rng() % 4 ? std::to_string(2014 + rng() % 2) : std::string("NULL")) + ", " + codes[rng() % 6] + ", " +
                   (rng() % 5 ? std::to_string(rng() % 4) : std::string("NULL")) + ");";
        }
        db.exec(sql + "COMMIT;");
    }
};

TEST_F(KeyOrder, DescendingComponentListsACasesAttachmentsHighestTrackingReferenceFirst) {
    db.exec("INSERT INTO DiaryAttachments (TrackReference, DiaryID, CaseCode) VALUES "
            "(5, 1, 'C1'), (9, 1, 'C1'), (7, 2, 'c1'), (3, 3, 'C0'), (4, 3, 'C0'), (8, 4, 'C2'), (1, 4, 'C2')");
    Table& t = ctx->table(TableId::DiaryAttachments);
    ASSERT_EQ(t.open(), 0);
    auto read = [&](bool forward) {
        std::vector<std::string> out;
        while ((forward ? t.next() : t.previous()) == 0)
            out.push_back(std::string(t.rec().trimmed(DAT::CASECODE)) + "/" + t.rec().get(DAT::TRACKREFERENCE).toString());
        return out;
    };
    ASSERT_EQ(t.setStart(DAT::KEYCASECODE), 0);
    EXPECT_EQ(read(true), (std::vector<std::string>{"C0/4", "C0/3", "C1/9", "c1/7", "C1/5", "C2/8", "C2/1"}));

    // set at a case and a tracking reference above all: that case's highest first.
    t.rec().clear();
    t.rec().set(DAT::CASECODE, "c1");
    t.rec().set(DAT::TRACKREFERENCE, D("9999999"));
    ASSERT_EQ(t.set(DAT::KEYCASECODE), 0);
    EXPECT_EQ(read(true), (std::vector<std::string>{"C1/9", "c1/7", "C1/5", "C2/8", "C2/1"}));

    // set at (C1, 7): at or after it in key order is 7 and then the lower references.
    t.rec().set(DAT::CASECODE, "C1");
    t.rec().set(DAT::TRACKREFERENCE, D("7"));
    ASSERT_EQ(t.set(DAT::KEYCASECODE), 0);
    ASSERT_EQ(t.next(), 0);
    EXPECT_EQ(t.rec().get(DAT::TRACKREFERENCE), D("7"));
    // and previous from the same set: 7, then 9 (at or before it)
    ASSERT_EQ(t.set(DAT::KEYCASECODE), 0);
    EXPECT_EQ(read(false), (std::vector<std::string>{"c1/7", "C1/9", "C0/3", "C0/4"}));

    // set between two rows: (C1, 6) starts at 5 going forward and at 7 going back.
    t.rec().set(DAT::CASECODE, "C1");
    t.rec().set(DAT::TRACKREFERENCE, D("6"));
    ASSERT_EQ(t.set(DAT::KEYCASECODE), 0);
    ASSERT_EQ(t.next(), 0);
    EXPECT_EQ(t.rec().get(DAT::TRACKREFERENCE), D("5"));
    t.rec().set(DAT::CASECODE, "C1");
    t.rec().set(DAT::TRACKREFERENCE, D("6"));
    ASSERT_EQ(t.set(DAT::KEYCASECODE), 0);
    ASSERT_EQ(t.previous(), 0);
    EXPECT_EQ(t.rec().get(DAT::TRACKREFERENCE), D("7"));

    // setStart then previous gives the last row.
    ASSERT_EQ(t.setStart(DAT::KEYCASECODE), 0);
    ASSERT_EQ(t.previous(), 0);
    EXPECT_EQ(t.rec().get(DAT::TRACKREFERENCE), D("1"));
}

TEST_F(KeyOrder, TextKeysCompareWithoutRegardToCase) {
    Table& t = ctx->table(TableId::DocumentCharges);
    ASSERT_EQ(t.open(), 0);
    for (const char* name : {"abc", "ABD", "Abe", "ab", "AC"}) {
        t.clear();
        t.rec().set(DCH::DOCUMENTNAME, name);
        ASSERT_EQ(t.add(), 0);
    }
    std::vector<std::string> got;
    ASSERT_EQ(t.setStart(DCH::KEYDOCUMENTNAME), 0);
    while (t.next() == 0) got.emplace_back(t.rec().trimmed(DCH::DOCUMENTNAME));
    EXPECT_EQ(got, (std::vector<std::string>{"ab", "abc", "ABD", "Abe", "AC"}));

    t.clear();
    t.rec().set(DCH::DOCUMENTNAME, "ABC");
    EXPECT_EQ(t.get(DCH::KEYDOCUMENTNAME), NoRecErr);  // RECORDID 0 is a component too
    t.rec().set(DCH::RECORDID, 1);
    ASSERT_EQ(t.get(DCH::KEYDOCUMENTNAME), 0);
    EXPECT_EQ(t.rec().trimmed(DCH::DOCUMENTNAME), "abc");
    t.clear();
    t.rec().set(DCH::DOCUMENTNAME, "ABD");
    ASSERT_EQ(t.set(DCH::KEYDOCUMENTNAME), 0);
    ASSERT_EQ(t.next(), 0);
    EXPECT_EQ(t.rec().trimmed(DCH::DOCUMENTNAME), "ABD");
    t.clear();
    t.rec().set(DCH::DOCUMENTNAME, "aBd");
    ASSERT_EQ(t.set(DCH::KEYDOCUMENTNAME), 0);
    ASSERT_EQ(t.next(), 0);
    EXPECT_EQ(t.rec().trimmed(DCH::DOCUMENTNAME), "ABD");
}

TEST_F(KeyOrder, EqualKeysComeInAStableOrderAcrossPages) {
    Table& t = ctx->table(TableId::DocumentCharges);
    ASSERT_EQ(t.open(), 0);
    for (int i = 0; i < 90; ++i) {
        t.clear();
        t.rec().set(DCH::DOCUMENTNAME, "D" + std::to_string(i));
        t.rec().set(DCH::NOMINALCODE, i % 3 == 0 ? "4100" : i % 3 == 1 ? "4000" : "4100 ");
        ASSERT_EQ(t.add(), 0);
    }
    std::vector<int64_t> want = expectedOrder(db, t.decl(), DCH::KEYNOMINALCODE.index);
    readBothWays(t, DCH::KEYNOMINALCODE, want);
    // The same order twice.
    std::vector<int64_t> a, b;
    ASSERT_EQ(t.setStart(DCH::KEYNOMINALCODE), 0);
    while (t.next() == 0) a.push_back(rowOf(t));
    ASSERT_EQ(t.setStart(DCH::KEYNOMINALCODE), 0);
    while (t.next() == 0) b.push_back(rowOf(t));
    EXPECT_EQ(a, b);
}

TEST_F(KeyOrder, EveryRowOnceEachWayAcrossPagesInEveryKeyWithNulls) {
    seedBatches(400, 11);
    Table& t = ctx->table(TableId::BatchH);
    ASSERT_EQ(t.open(), 0);
    for (size_t k = 0; k < t.decl().keys.size(); ++k) {
        SCOPED_TRACE(std::string(t.decl().keys[k].name));
        Key key{TableId::BatchH, static_cast<uint16_t>(k)};
        std::vector<int64_t> want = expectedOrder(db, t.decl(), static_cast<int>(k));
        ASSERT_EQ(want.size(), 400u);
        readBothWays(t, key, want);
    }
}

TEST_F(KeyOrder, RandomWalksWithDirectionChangesAndResetsFollowTheKeyOrder) {
    seedBatches(600, 5);
    Table& t = ctx->table(TableId::BatchH);
    ASSERT_EQ(t.open(), 0);
    for (Key key : {BAH::BATCHH, BAH::BPOSTED, BAH::BATCHAUDIT, BAH::BRECON}) {
        SCOPED_TRACE(std::string(t.decl().keys[key.index].name));
        std::vector<int64_t> want = expectedOrder(db, t.decl(), key.index);
        randomWalk(t, key, want, 100 + key.index, 120);
    }
}

TEST_F(KeyOrder, MixedDirectionKeysWithNullsReadEveryRowOnce) {
    std::mt19937 rng(3);
    std::string sql = "BEGIN;";
    const char* cases[] = {"'C1'", "'c1'", "'C2'", "NULL", "''", "'B'"};
    const char* dates[] = {"'2015-02-09 10:00:00'", "'2015-02-09 00:00:00'", "NULL", "'2015-02-10 08:30:00'"};
    const char* teams[] = {"'T1'", "'t1'", "NULL", "'T2'"};
    for (int i = 0; i < 400; ++i) {
        std::string track = rng() % 20 ? std::to_string(i * 3 % 1000 + 1) : std::string("NULL");
        sql += "INSERT INTO DiaryAttachments (TrackReference, DiaryID, CaseCode) VALUES (" + track + ", " + std::to_string(i) + ", " +
               cases[rng() % 6] + ");";
        sql += "INSERT INTO diary (ActionID, CaseCode, TeamCode, Status, Date, DyStartTime) VALUES (" +
               (rng() % 15 ? std::to_string((i * 7919) % 1000) : std::string("NULL")) + ", " + cases[rng() % 6] + ", " + teams[rng() % 4] + ", " +
               (rng() % 6 ? std::to_string(rng() % 3) : std::string("NULL")) + ", " + dates[rng() % 4] + ", " +
               (rng() % 3 ? "'09:00'" : "NULL") + ");";
    }
    db.exec(sql + "COMMIT;");
    Table& a = ctx->table(TableId::DiaryAttachments);
    ASSERT_EQ(a.open(), 0);
    for (Key key : {DAT::KEYCASECODE, DAT::KEYTRACKREF, DAT::KEYNAME}) {
        SCOPED_TRACE(std::string(a.decl().keys[key.index].name));
        std::vector<int64_t> want = expectedOrder(db, a.decl(), key.index);
        readBothWays(a, key, want);
        randomWalk(a, key, want, 7 + key.index, 60);
    }
    Table& d = ctx->table(TableId::Diary);
    ASSERT_EQ(d.open(), 0);
    for (Key key : {DIA::KEYTEAMCODE, DIA::KEYCASESTATUS, DIA::KEYHIGHLIGHTED, DIA::KEYCASE}) {
        SCOPED_TRACE(std::string(d.decl().keys[key.index].name));
        std::vector<int64_t> want = expectedOrder(db, d.decl(), key.index);
        readBothWays(d, key, want);
        randomWalk(d, key, want, 17 + key.index, 60);
    }
}

TEST_F(KeyOrder, SetAtValuesWithNullComponentsStartsAtTheFirstRowAtOrAfter) {
    db.exec("INSERT INTO BatchH (BatchNo, Posted, EntryDate) VALUES "
            "(1, 'N', NULL), (2, 'N', '2015-02-09'), (3, 'N', NULL), (4, 'Y', NULL), (5, 'Y', '2015-01-01'), (6, NULL, NULL), (7, 'N', '2015-03-01')");
    Table& t = ctx->table(TableId::BatchH);
    ASSERT_EQ(t.open(), 0);
    auto batches = [&](bool forward) {
        std::vector<int64_t> out;
        while ((forward ? t.next() : t.previous()) == 0) out.push_back(t.rec().get(BAH::BATCHNO));
        return out;
    };
    // The reads overwrite the buffer: the values are placed before each set.
    auto setAt = [&](int32_t entryDate) {
        t.clear();
        t.rec().set(BAH::POSTED, "N");
        t.rec().set(BAH::ENTRYDATE, entryDate);  // 0: no date, the lowest
        ASSERT_EQ(t.set(BAH::BPOSTED), 0);
    };
    setAt(0);
    EXPECT_EQ(batches(true), (std::vector<int64_t>{1, 3, 2, 7, 4, 5}));
    setAt(0);
    EXPECT_EQ(batches(false), (std::vector<int64_t>{3, 1, 6}));
    setAt(dates::dateFromMDY(2, 10, 2015));
    EXPECT_EQ(batches(true), (std::vector<int64_t>{7, 4, 5}));
    setAt(dates::dateFromMDY(2, 10, 2015));
    EXPECT_EQ(batches(false), (std::vector<int64_t>{2, 3, 1, 6}));
}

TEST_F(KeyOrder, PositionRegetAndReset) {
    seedBatches(50, 2);
    Table& t = ctx->table(TableId::BatchH);
    ASSERT_EQ(t.open(), 0);
    std::vector<int64_t> want = expectedOrder(db, t.decl(), BAH::BPOSTED.index);
    ASSERT_EQ(t.setStart(BAH::BPOSTED), 0);
    for (int i = 0; i <= 20; ++i) ASSERT_EQ(t.next(), 0);
    ASSERT_EQ(rowOf(t), want[20]);
    const int64_t batch = t.rec().get(BAH::BATCHNO);
    const std::string pos = t.position(BAH::BPOSTED);
    EXPECT_LE(pos.size(), 512u);
    for (int i = 0; i < 10; ++i) ASSERT_EQ(t.next(), 0);

    t.clear();
    ASSERT_EQ(t.reget(BAH::BPOSTED, pos), 0);
    EXPECT_EQ(t.rec().get(BAH::BATCHNO), batch);
    // reget does not move the read
    ASSERT_EQ(t.next(), 0);
    EXPECT_EQ(rowOf(t), want[31]);

    ASSERT_EQ(t.reset(BAH::BPOSTED, pos), 0);
    ASSERT_EQ(t.next(), 0);
    EXPECT_EQ(rowOf(t), want[20]);
    ASSERT_EQ(t.next(), 0);
    EXPECT_EQ(rowOf(t), want[21]);
    ASSERT_EQ(t.reset(BAH::BPOSTED, pos), 0);
    ASSERT_EQ(t.previous(), 0);
    EXPECT_EQ(rowOf(t), want[20]);
    ASSERT_EQ(t.previous(), 0);
    EXPECT_EQ(rowOf(t), want[19]);

    // A position of a row that is gone reads 35; a position that is not one, likewise.
    db.exec("DELETE FROM BatchH WHERE BatchNo = " + std::to_string(batch));
    EXPECT_EQ(t.reget(BAH::BPOSTED, pos), NoRecErr);
    EXPECT_EQ(t.reget(BAH::BPOSTED, "not a position"), NoRecErr);
}

TEST_F(KeyOrder, APositionOfLongKeyValuesStaysWithin512BytesAndStillPlacesTheRead) {
    Table& t = ctx->table(TableId::Handlers);
    ASSERT_EQ(t.open(), 0);
    // EXCHANGEALIAS is text 256; the '|' and '\' in it need escaping in a position, which
    // takes some positions beyond 512 bytes of key values.
    for (int i = 0; i < 8; ++i) {
        t.clear();
        t.rec().set(HAN::CODE, "H" + std::to_string(i));
        t.rec().set(HAN::EXCHANGEALIAS, std::string(i < 4 ? 250 : 256, i % 2 ? '|' : '\\') + std::to_string(i));
        ASSERT_EQ(t.add(), 0);
    }
    std::vector<int64_t> want = expectedOrder(db, t.decl(), HAN::KEYEXCHANGE.index);
    std::vector<std::string> positions;
    ASSERT_EQ(t.setStart(HAN::KEYEXCHANGE), 0);
    while (t.next() == 0) positions.push_back(t.position(HAN::KEYEXCHANGE));
    ASSERT_EQ(positions.size(), 8u);
    for (size_t i = 0; i < positions.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_LE(positions[i].size(), 512u);
        ASSERT_EQ(t.reset(HAN::KEYEXCHANGE, positions[i]), 0);
        ASSERT_EQ(t.next(), 0);
        EXPECT_EQ(rowOf(t), want[i]);
        if (i + 1 < want.size()) {
            ASSERT_EQ(t.next(), 0);
            EXPECT_EQ(rowOf(t), want[i + 1]);
        }
        ASSERT_EQ(t.reset(HAN::KEYEXCHANGE, positions[i]), 0);
        ASSERT_EQ(t.previous(), 0);
        EXPECT_EQ(rowOf(t), want[i]);
        if (i > 0) {
            ASSERT_EQ(t.previous(), 0);
            EXPECT_EQ(rowOf(t), want[i - 1]);
        }
        t.clear();
        ASSERT_EQ(t.reget(HAN::KEYEXCHANGE, positions[i]), 0);
        EXPECT_EQ(rowOf(t), want[i]);
    }
}

TEST_F(KeyOrder, KeyValuesStoredInAnotherFormByAnotherProgramKeepTheirPlace) {
    // Text with trailing blanks, dates without leading zeros, next to the usual forms.
    db.exec("INSERT INTO BatchH (BatchNo, Posted, EntryDate) VALUES (1, 'N', '2015-02-09'), (2, 'N ', '2015-02-09'), (3, 'N', '2015-2-9'), "
            "(4, 'N', '2015-02-09 00:00:00'), (5, NULL, '2015-02-09'), (6, '', NULL), (7, 'n', '2015-02-09'), (8, 'N ', '2015-2-9')");
    Table& t = ctx->table(TableId::BatchH);
    ASSERT_EQ(t.open(), 0);
    std::vector<int64_t> want = expectedOrder(db, t.decl(), BAH::BPOSTED.index);
    readBothWays(t, BAH::BPOSTED, want);
    ASSERT_EQ(t.setStart(BAH::BPOSTED), 0);
    std::vector<std::string> positions;
    while (t.next() == 0) positions.push_back(t.position(BAH::BPOSTED));
    ASSERT_EQ(positions.size(), want.size());
    for (size_t i = 0; i < positions.size(); ++i) {
        ASSERT_EQ(t.reset(BAH::BPOSTED, positions[i]), 0);
        ASSERT_EQ(t.next(), 0);
        EXPECT_EQ(rowOf(t), want[i]) << i;
        ASSERT_EQ(t.reset(BAH::BPOSTED, positions[i]), 0);
        ASSERT_EQ(t.previous(), 0);
        EXPECT_EQ(rowOf(t), want[i]) << i;
    }
    randomWalk(t, BAH::BPOSTED, want, 99, 80);
}

// Codes stored padded or not, in either case, are one value of the key: they take their
// place by the next component (descending here) and the row identity, in every direction,
// across pages and from positions.
TEST_F(KeyOrder, TextKeysStoredPaddedOrNotAreOneValue) {
    db.exec("INSERT INTO DiaryAttachments (TrackReference, DiaryID, CaseCode) VALUES "
            "(5, 1, 'TB1'), (7, 1, 'TB1   '), (6, 1, 'tb1'), (4, 1, 'TB1 '), (1, 1, 'TA9  '), (2, 1, 'TB10'), (9, 1, 'TB1  ')");
    Table& t = ctx->table(TableId::DiaryAttachments);
    ASSERT_EQ(t.open(), 0);
    const std::vector<int64_t> want{5, 7, 2, 3, 1, 4, 6};
    readBothWays(t, DAT::KEYCASECODE, want);
    ASSERT_EQ(t.setStart(DAT::KEYCASECODE), 0);
    std::vector<std::string> positions;
    while (t.next() == 0) positions.push_back(t.position(DAT::KEYCASECODE));
    ASSERT_EQ(positions.size(), want.size());
    for (size_t i = 0; i < positions.size(); ++i) {
        ASSERT_EQ(t.reset(DAT::KEYCASECODE, positions[i]), 0);
        ASSERT_EQ(t.next(), 0);
        EXPECT_EQ(rowOf(t), want[i]) << i;
        ASSERT_EQ(t.reset(DAT::KEYCASECODE, positions[i]), 0);
        ASSERT_EQ(t.previous(), 0);
        EXPECT_EQ(rowOf(t), want[i]) << i;
    }
    // A start at a code reads its rows whatever their blanks, from the first.
    t.rec().set(DAT::CASECODE, "tb1");
    t.rec().set(DAT::TRACKREFERENCE, Decimal(100));
    ASSERT_EQ(t.set(DAT::KEYCASECODE), 0);
    ASSERT_EQ(t.next(), 0);
    EXPECT_EQ(rowOf(t), 7);
    randomWalk(t, DAT::KEYCASECODE, want, 7, 80);

    // Equal codes and nothing else in the key: the row identity orders them.
    db.exec("INSERT INTO BatchH (BatchNo, Matter) VALUES (1, 'M1  '), (2, 'M1'), (3, 'm1 '), (4, 'M0'), (5, 'M1 '), (6, 'M10')");
    Table& b = ctx->table(TableId::BatchH);
    ASSERT_EQ(b.open(), 0);
    readBothWays(b, BAH::BHMATTER, {4, 1, 2, 3, 5, 6});
}

TEST_F(KeyOrder, KeyValuesStoredAsRealsByAnotherProgramKeepTheirPlace) {
    // An INTEGER column keeps a REAL that is not whole; positions must carry it exactly.
    db.exec("INSERT INTO DiaryAttachments (TrackReference, DiaryID) VALUES (1, 1), (2.1, 1), (2.1000000000000005, 1), (2.2, 1), (3, 1)");
    Table& t = ctx->table(TableId::DiaryAttachments);
    ASSERT_EQ(t.open(), 0);
    std::vector<int64_t> want = expectedOrder(db, t.decl(), DAT::KEYDIARYID.index);
    readBothWays(t, DAT::KEYDIARYID, want);
    ASSERT_EQ(t.setStart(DAT::KEYDIARYID), 0);
    std::vector<std::string> positions;
    while (t.next() == 0) positions.push_back(t.position(DAT::KEYDIARYID));
    for (size_t i = 0; i < positions.size(); ++i) {
        ASSERT_EQ(t.reset(DAT::KEYDIARYID, positions[i]), 0);
        ASSERT_EQ(t.next(), 0);
        EXPECT_EQ(rowOf(t), want[i]) << i;
    }
}

TEST_F(KeyOrder, RowsAddedDuringAReadAreSeenOnceInTheirPlace) {
    Table& t = ctx->table(TableId::BatchH);
    ASSERT_EQ(t.open(), 0);
    for (int i = 1; i <= 40; i += 2) {
        t.clear();
        t.rec().set(BAH::BATCHNO, i);
        ASSERT_EQ(t.add(), 0);
    }
    ASSERT_EQ(t.setStart(BAH::BATCHH), 0);
    std::vector<int64_t> seen;
    for (int i = 0; i < 6; ++i) {  // the first page and into the second
        ASSERT_EQ(t.next(), 0);
        seen.push_back(t.rec().get(BAH::BATCHNO));
    }
    // Rows added behind and ahead of the read: the read goes on after the last row it
    // gave, so the one ahead shows in its place and the one behind does not.
    for (int b : {2, 14, 100}) {
        t.clear();
        t.rec().set(BAH::BATCHNO, b);
        ASSERT_EQ(t.add(), 0);
    }
    while (t.next() == 0) seen.push_back(t.rec().get(BAH::BATCHNO));
    std::vector<int64_t> want;
    for (int i = 1; i <= 40; i += 2) want.push_back(i);
    want.insert(want.begin() + 7, 14);  // after 13
    want.push_back(100);
    EXPECT_EQ(seen, want);
}

}  // namespace
}  // namespace mg

namespace mg {
namespace {

TEST_F(KeyOrder, PagesStartSmallAndGrowToTheirLargestSizeOneStatementEach) {
    std::string sql = "BEGIN;";
    for (int i = 1; i <= 600; ++i) sql += "INSERT INTO BatchH (BatchNo, Posted) VALUES (" + std::to_string(i) + ", " + (i % 7 ? "'N'" : "NULL") + ");";
    db.exec(sql + "COMMIT;");
    Table& t = ctx->table(TableId::BatchH);
    ASSERT_EQ(t.open(), 0);
    for (Key key : {BAH::BATCHH, BAH::BPOSTED}) {
        SCOPED_TRACE(std::string(t.decl().keys[key.index].name));
        ASSERT_EQ(t.setStart(key), 0);
        uint64_t before = ctx->statementsSent();
        std::vector<uint64_t> statementsAt;  // statements sent after row n
        for (int i = 0; i < 600; ++i) {
            ASSERT_EQ(t.next(), 0);
            statementsAt.push_back(ctx->statementsSent() - before);
        }
        EXPECT_EQ(t.next(), NotFoundErr);
        // pages of 4, 16, 64, 256, 256 and the last 4 rows: six statements, and none for the 33
        EXPECT_EQ(statementsAt[3], 1u);
        EXPECT_EQ(statementsAt[4], 2u);
        EXPECT_EQ(statementsAt[19], 2u);
        EXPECT_EQ(statementsAt[20], 3u);
        EXPECT_EQ(statementsAt[84], 4u);
        EXPECT_EQ(statementsAt[340], 5u);
        EXPECT_EQ(statementsAt[599], 6u);
        EXPECT_EQ(ctx->statementsSent() - before, 6u);
    }
    // QUICKSCAN reads the largest pages from the start.
    ASSERT_EQ(t.sendOption("QUICKSCAN=on"), 0);
    EXPECT_TRUE(t.quickScan());
    ASSERT_EQ(t.setStart(BAH::BATCHH), 0);
    uint64_t before = ctx->statementsSent();
    for (int i = 0; i < 256; ++i) ASSERT_EQ(t.next(), 0);
    EXPECT_EQ(ctx->statementsSent() - before, 1u);
    ASSERT_EQ(t.sendOption("QUICKSCAN=off"), 0);
    EXPECT_FALSE(t.quickScan());
}

}  // namespace
}  // namespace mg
