// The outlay import on a server locks only the rows it writes: another station holding a
// matter, an outlay code and a document charge row (as an editing form does) does not hold
// it up, and a login with nothing but SELECT on the tables the import only reads (INSERT
// and UPDATE where it writes) posts every attachment. The trace holds what the server
// receives. Server only: the embedded database has no row locks and no logins.

#include <algorithm>
#include <fstream>

#include "data/backend.h"
#include "outlay_fixture.h"

namespace mg::test {
namespace {

class ServerLocks : public OutlayFixture {
protected:
    void SetUp() override {
        if (!onServer()) GTEST_SKIP() << "row locks and grants are the server's";
        OutlayFixture::SetUp();
    }
};

TEST_F(ServerLocks, ReadTablesHeldByAnotherStationAndASelectOnlyLoginDoNotStopTheImport) {
    matter("M0001", "500.00");
    matter("M0002", "7000.00");
    outlayCode("CSF", "Court Stamp Fee");
    outlayCode("SRCH", "Land Registry Search");
    charge("DOC1", "CSF", "4100", "10.00");
    charge("DOC2", "CSF", "4100", "10.00");
    charge("DOC2", "SRCH", "4200", "25.00");
    diary(77, "JMK");
    for (int i = 1; i <= 6; ++i) attachment(i, 77, i % 2 ? "M0001" : "M0002", i % 3 ? "DOC1" : "DOC2");
    // Another station holds rows of every table the import only reads, for longer than the
    // import's lock wait (2 seconds): until the import has ended.
    Error err;
    auto station = db::connect(db.settings(), err);
    ASSERT_TRUE(station) << err.driverText;
    ASSERT_FALSE(station->begin(30));
    for (const char* held : {"SELECT * FROM matters WHERE code = 'M0001' FOR UPDATE", "SELECT * FROM outlaycode FOR UPDATE",
                             "SELECT * FROM documentcharges FOR UPDATE", "SELECT * FROM diary FOR UPDATE",
                             "SELECT * FROM diaryattachments WHERE trackreference = 3 FOR UPDATE"})
        ASSERT_FALSE(station->exec(held)) << held;
    // The usual grant of a practice's login: read what the import reads, write only where it writes.
    db.exec("REVOKE ALL ON matters, outlaycode, documentcharges, diary, diaryattachments FROM CURRENT_USER;"
            "GRANT SELECT ON matters, outlaycode, documentcharges, diary, diaryattachments TO CURRENT_USER;"
            "REVOKE ALL ON batchh, batchdetails, control FROM CURRENT_USER;"
            "GRANT SELECT, INSERT, UPDATE ON batchh, batchdetails, control TO CURRENT_USER");

    Result r = run(0);
    station->rollback();
    EXPECT_EQ(r.posted, 6);
    EXPECT_EQ(ui.texts(), std::vector<std::string>{"Import Complete!"});
    EXPECT_EQ(count("BatchDetails"), 8);
    // Priced by each matter's debt, the held one's too.
    EXPECT_EQ(q("SELECT sum(value) FROM batchdetails WHERE matter = 'M0001'"), "55.00");
    EXPECT_EQ(q("SELECT sum(value) FROM batchdetails WHERE matter = 'M0002'"), "120.00");
    EXPECT_EQ(iniLastTrackRef(), 6);
    expectBooksBalance();
}

// The trace is what the server receives: the application lock and the name that tells other
// stations who holds it, the lock wait, each transaction's BEGIN and COMMIT; the lock wait
// is sent once, not around every attachment.
TEST_F(ServerLocks, TheTraceHoldsWhatTheServerReceives) {
    matter("M0001", "500.00");
    outlayCode("CSF", "Court Stamp Fee");
    charge("DOC1", "CSF", "4100", "10.00");
    diary(77, "JMK");
    for (int i = 1; i <= 4; ++i) attachment(i, 77, "M0001", "DOC1");
    const std::string file = (db.folder() / "trace.sql").string();
    db::setTraceFile(file);
    Result r = run(0);
    db::setTraceFile("");
    EXPECT_EQ(r.posted, 4);
    std::vector<std::string> lines;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    const auto has = [&](const std::string& start) {
        return std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(start, 0) == 0; });
    };
    EXPECT_EQ(has("SELECT CASE WHEN pg_try_advisory_lock(hashtext(?)) THEN 1 ELSE 0 END  -- 'marrowgate.outlay-import'"), 1);
    EXPECT_EQ(has("SET application_name = 'marrowgate|"), 1);
    EXPECT_EQ(has("SELECT pg_advisory_unlock(hashtext(?))  -- 'marrowgate.outlay-import'"), 1);
    // The four attachments, and the run's own row in the run history at its start and end.
    EXPECT_EQ(has("BEGIN"), 4 + 2);
    EXPECT_EQ(has("COMMIT"), 4 + 2);
    EXPECT_EQ(has("SET lock_timeout = 2000"), 1) << "the attachments' lock wait, once";
    // Between the first attachment's commit and the last one's, nothing but the attachments.
    const auto first = std::find(lines.begin(), lines.end(), "COMMIT");
    const auto last = std::find(lines.rbegin(), lines.rend(), "COMMIT").base();
    EXPECT_EQ(std::count_if(first, last, [](const std::string& l) { return l.find("lock_timeout") != std::string::npos; }), 0);
    // The tables the import only reads are read without a lock.
    for (const char* table : {"\"matters\"", "\"outlaycode\"", "\"documentcharges\""})
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [&](const std::string& l) { return l.find(table) != std::string::npos && l.find("FOR UPDATE") != std::string::npos; }),
                  0)
            << table;
}

}  // namespace
}  // namespace mg::test
