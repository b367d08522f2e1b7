// The posting journal: its lines, and what the next run makes of what a dead run left in it
// (an attachment committed but not yet counted in the INI file is not posted again; one rolled
// back is posted; a line cut short is no entry).

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "outlay_fixture.h"
#include "outlays/outlay_import.h"
#include "outlays/posting_journal.h"

namespace mg::test {
namespace {

using outlays::JournalEntry;

TEST(JournalLines, ReadBackAsWrittenAndGarbledLinesAreNoEntry) {
    JournalEntry e;
    e.trackRef = 4000000001LL;
    e.matter = "O'BRIEN 7|x";
    e.lines = {{5002, 101}, {5004, 102}};
    e.headers = {{101, 5001}, {102, 5003}};
    const std::string line = outlays::formatEntry(e);
    std::optional<JournalEntry> back = outlays::parseEntry(line);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->trackRef, e.trackRef);
    EXPECT_EQ(back->matter, e.matter);
    ASSERT_EQ(back->lines.size(), 2u);
    EXPECT_EQ(back->lines[1].pref, 5004);
    EXPECT_EQ(back->lines[1].batchNo, 102);
    ASSERT_EQ(back->headers.size(), 2u);
    EXPECT_EQ(back->headers[0].batchNo, 101);
    EXPECT_EQ(back->headers[0].pref, 5001);

    std::string changedDigit = line;
    changedDigit[changedDigit.find("5004")] = '6';
    for (const std::string& bad : {line.substr(0, line.size() - 1), line.substr(0, line.size() / 2), changedDigit, std::string(),
                                   std::string("T=1 M= L= H= S=zzzzzzzz")})
        EXPECT_FALSE(outlays::parseEntry(bad)) << bad;
}

// The attachments a run is told were settled from the journal.
struct SettledRefs : outlays::OutlayObserver {
    std::vector<int64_t> refs;
    void line(const outlays::OutlayLine&) override {}
    void exception(outlays::OutlayException, const std::string&, const std::string&) override {}
    void settled(int64_t ref) override { refs.push_back(ref); }
};

class Settle : public OutlayFixture {
protected:
    std::string journal = ini + ".journal";

    void SetUp() override {
        OutlayFixture::SetUp();
        outlayCode("CSF", "Court Stamp Fee");
        charge("DOC1", "CSF", "4100", "10.00");
        diary(77, "JMK");
        for (int i = 1; i <= 3; ++i) {
            matter("M" + std::to_string(i), "100.00");
            attachment(i, 77, "M" + std::to_string(i), "DOC1");
        }
    }
    // The journal entry of attachment `ref` as its posting wrote it (from the database).
    JournalEntry entryOf(int ref) {
        JournalEntry e;
        e.trackRef = ref;
        e.matter = "M" + std::to_string(ref);
        for (const std::string& row : db.column("SELECT PREF || ':' || BATCHNO FROM BatchDetails WHERE MATTER = '" + e.matter + "'")) {
            const size_t colon = row.find(':');
            e.lines.push_back({std::stoi(row.substr(0, colon)), std::stoi(row.substr(colon + 1)), 0, Decimal()});
        }
        return e;
    }
    // What a run killed after the journal flush and before its commit leaves: the attachment's
    // entry with the numbers it would have taken, none of them in the database.
    JournalEntry rolledBack(int ref) {
        JournalEntry e;
        e.trackRef = ref;
        e.matter = "M" + std::to_string(ref);
        e.lines = {{9001, 101}};
        return e;
    }
    void writeJournal(const std::vector<std::string>& lines, bool lastLineEnded = true) {
        std::ofstream out(journal, std::ios::binary | std::ios::trunc);
        for (size_t i = 0; i < lines.size(); ++i) out << lines[i] << (i + 1 < lines.size() || lastLineEnded ? "\n" : "");
    }
    long long linesOf(int ref) { return count("BatchDetails", "MATTER = 'M" + std::to_string(ref) + "'"); }
};

// A dry run on a server copies of the batch lines only those the journal names: the lines
// the start of the run looks up to settle what a dead run left.
TEST(JournalLines, ADryRunsCopyTakesTheBatchLinesTheJournalNames) {
    const auto batchLines = [](const std::string& journal) {
        for (const db::TableRows& t : outlays::tablesToCopy(journal))
            if (t.table == TableId::BatchDetails) return t;
        return db::TableRows::all(TableId::Count);
    };
    const std::string path =
        (std::filesystem::temp_directory_path() / ("mg-journal-copy-test-" + std::to_string(::getpid()) + ".journal")).string();
    std::filesystem::remove(path);
    db::TableRows none = batchLines(path);
    EXPECT_EQ(none.column, BAD::PREF.index);
    EXPECT_TRUE(none.values.empty()) << "no journal: no batch line";

    JournalEntry a, b;
    a.trackRef = 7;
    a.lines = {{5002, 101}, {5004, 102}};
    b.trackRef = 8;
    b.headers = {{103, 5005}};  // a header without lines: nothing of the lines to look up
    std::ofstream(path, std::ios::binary) << outlays::formatEntry(a) << "\n" << outlays::formatEntry(b) << "\n";
    db::TableRows named = batchLines(path);
    EXPECT_EQ(named.column, BAD::PREF.index);
    EXPECT_EQ(named.values, (std::vector<int64_t>{5002, 5004}));
    std::filesystem::remove(path);
}

TEST_F(Settle, WhatADeadRunLeftIsCountedOnceAndNeverPostedAgain) {
    // Attachments 1 and 2 are committed, 3 is not; the INI file may lag behind the commits.
    run(0);
    auto forget3 = [&] {
        db.exec("DELETE FROM BatchDetails WHERE MATTER = 'M3'");
        db.exec("UPDATE BatchH SET VALUE = '20.00', CURRENCYVALUE = '15.75'");
        db.exec("UPDATE control SET LASTPREF = (SELECT max(PREF) FROM BatchDetails)");
        // The books without attachment 3 are books the run history would not know: this is
        // the journal's world, a database whose login keeps no run history.
        db.exec("DELETE FROM MG_ImportRunRows");
        db.exec("DELETE FROM MG_ImportRuns");
    };
    forget3();
    const JournalEntry two = entryOf(2);
    ASSERT_EQ(two.lines.size(), 1u);
    JournalEntry reused = two;  // attachment 3's entry, its numbers found on attachment 2's line
    reused.trackRef = 3;
    reused.matter = "M3";
    JournalEntry headerOf2;  // attachment 2 made a header and its line failed
    headerOf2.trackRef = 2;
    headerOf2.headers = {{101, 5001}};
    JournalEntry headerOf3 = headerOf2;  // a header that was rolled back
    headerOf3.trackRef = 3;
    headerOf3.headers = {{102, 5999}};
    JournalEntry bogus2 = rolledBack(2);
    const std::string line2 = outlays::formatEntry(two), line3 = outlays::formatEntry(rolledBack(3));

    struct Case {
        const char* what;
        long long iniValue;
        std::vector<std::string> lines;
        bool lastLineEnded = true;
    } cases[] = {
        {"the last entry committed, the INI file behind", 1, {line2}},
        {"the last entry rolled back", 2, {line3}},
        {"an entry before the last is committed, not looked up", 1, {outlays::formatEntry(bogus2), line3}},
        {"its numbers found on another matter's line", 2, {outlays::formatEntry(reused)}},
        {"a header the entry made, committed", 1, {outlays::formatEntry(headerOf2)}},
        {"a header the entry made, rolled back", 2, {outlays::formatEntry(headerOf3)}},
        {"the last line cut short by the kill", 1, {line2, line3.substr(0, line3.size() - 3)}, false},
        {"a last line without its line end", 1, {line2, line3}, false},
        {"a garbled line ends what is read", 1, {line2, "T=3 M=4d33 L=9001:101 H= S=00000000", line3}},
        {"an empty journal", 2, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(ini::put(ini, "DocumentOutlays", "LastTrackRef", std::to_string(c.iniValue)));
        writeJournal(c.lines, c.lastLineEnded);
        auto ctx = db.context();
        Session s{*ctx, ui};
        outlays::OutlayImport import(s, ui, static_cast<int32_t>(c.iniValue), ini);
        // The attachment an earlier run committed past its INI value is told, to be counted.
        SettledRefs settled;
        import.setObserver(&settled);
        ASSERT_TRUE(import.prepare());
        EXPECT_EQ(settled.refs, c.iniValue == 1 ? std::vector<int64_t>{2} : std::vector<int64_t>{});
        EXPECT_EQ(iniLastTrackRef(), 2) << "stored before anything is posted";
        EXPECT_EQ(std::filesystem::file_size(journal), 0u) << "the journal is emptied once settled";
        import.opened();
        while (!import.ended()) import.cycle();
        import.finish();
        EXPECT_EQ(import.attachmentsPosted(), 1);
        EXPECT_EQ(linesOf(1), 1);
        EXPECT_EQ(linesOf(2), 1);
        EXPECT_EQ(linesOf(3), 1);
        EXPECT_EQ(iniLastTrackRef(), 3);
        forget3();
    }
}

// Where the run history sets the start, what the journal shows committed past the INI file's
// value is still named, so that the run's summary and log line count it.
TEST_F(Settle, UnderARunHistoryTheAttachmentsSettledAreNamed) {
    run(0);  // 1 to 3 posted, and recorded in the run history
    ASSERT_TRUE(ini::put(ini, "DocumentOutlays", "LastTrackRef", "1"));
    writeJournal({outlays::formatEntry(entryOf(2)), outlays::formatEntry(entryOf(3))});
    auto ctx = db.context();
    Session s{*ctx, ui};
    outlays::OutlayImport import(s, ui, 1, ini);
    SettledRefs settled;
    import.setObserver(&settled);
    ASSERT_TRUE(import.prepare());
    EXPECT_EQ(settled.refs, (std::vector<int64_t>{2, 3}));
    import.opened();
    while (!import.ended()) import.cycle();
    import.finish();
    EXPECT_EQ(import.attachmentsPosted(), 0) << "nothing posted twice";
    EXPECT_EQ(iniLastTrackRef(), 3);
}

}  // namespace
}  // namespace mg::test
