#pragma once
// The user's journey with the run history, on whatever database a folder's vorn.ini names:
// import, take back, import again, for outlays and for fees; a take-back refused because a
// batch was posted meanwhile; a fresh folder on a practice with history.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "shell/demo.h"
#include "shell_support.h"

namespace mg::test {

// Sorted rows of a query, columns joined by '|'; a statement that changes rows.
using RowsOf = std::function<std::vector<std::string>(const std::string& sql)>;
using Exec = std::function<void(const std::string& sql)>;

inline bool has(const std::string& s, const std::string& part) { return s.find(part) != std::string::npos; }

// `station` holds vorn.ini and Quillerton.ini of the demo; `fresh` a vorn.ini for the same
// database and nothing else.
inline void historyJourney(const std::filesystem::path& station, const std::filesystem::path& fresh, const RowsOf& rows,
                           const Exec& exec) {
    // The books without the numbers the database and the control row give.
    const auto outlayBooks = [&] {
        std::vector<std::string> b = rows("SELECT CODE, REF, VALUE, CURRENCYVALUE, POSTED, NARR FROM BatchH");
        for (const std::string& l : rows("SELECT MATTER, VALUE, CURRENCYVALUE, OUTLAYCODE, CODE, NARR, FEE FROM BatchDetails"))
            b.push_back("line " + l);
        return b;
    };
    const auto feeBooks = [&] {
        std::vector<std::string> b = rows("SELECT MATTER, FEEEARN, CHARGE, TASK, TRACKREF FROM TimeDayBook");
        for (const std::string& l : rows("SELECT MATTER, FE, CHARGE, TASK, TRACKREF FROM FeesImported")) b.push_back("imported " + l);
        for (const std::string& l : rows("SELECT TRACKREFERENCE, FEES FROM DiaryAttachments")) b.push_back("attachment " + l);
        return b;
    };

    // A fresh folder on a practice that holds outlay lines but no run history: nothing posted.
    const std::vector<std::string> start = outlayBooks();
    ProgramRun r = runProgram(fresh, {"import-outlays"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(has(r.err, "starting from 0 would post every attachment again (" + std::to_string(shell::demo::kAttachments) +
                                " attachments)"))
        << r.err;
    EXPECT_EQ(outlayBooks(), start);

    for (const bool outlays : {true, false}) {
        SCOPED_TRACE(outlays ? "outlays" : "fees");
        const auto books = outlays ? std::function<std::vector<std::string>()>(outlayBooks) : feeBooks;
        const char* command = outlays ? "import-outlays" : "import-fees";
        const std::vector<std::string> before = books();
        r = runProgram(station, {command});
        ASSERT_EQ(r.status, 0) << r.err;
        const std::vector<std::string> once = books();
        ASSERT_NE(once, before);
        r = runProgram(station, {"undo-run", "--dry-run"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(has(r.out, outlays ? "delete line " : "delete time day book entry ")) << r.out;
        EXPECT_EQ(books(), once) << "a dry run changes nothing";
        r = runProgram(station, {"undo-run"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(books(), before) << r.out << r.err;
        r = runProgram(station, {command});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(books(), once) << "taken back and imported again: the books of a single import";
    }

    // The other station's fresh folder now starts where the history ends: nothing again.
    const std::vector<std::string> posted = outlayBooks();
    r = runProgram(fresh, {"import-outlays"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(outlayBooks(), posted);

    // A batch of the latest outlay run is posted meanwhile: its undo is refused, naming it.
    const std::vector<std::string> batches = rows("SELECT BATCHNO FROM BatchH WHERE POSTED = 'N'");
    ASSERT_FALSE(batches.empty());
    exec("UPDATE BatchH SET POSTED = 'Y' WHERE BATCHNO = " + batches.back());
    const std::vector<std::string> withPosted = outlayBooks();
    // The latest outlay run is the fresh folder's, with nothing in it: it is taken back first.
    EXPECT_EQ(runProgram(station, {"undo-run", "4"}).status, 1) << "a run taken back already";
    r = runProgram(station, {"undo-run", "7"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    r = runProgram(station, {"undo-run", "3"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(has(r.err, "batch " + batches.back() + " is posted: line ")) << r.err;
    EXPECT_TRUE(has(r.err, "Nothing was changed.")) << r.err;
    EXPECT_EQ(outlayBooks(), withPosted);

    r = runProgram(station, {"runs"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r.out, "completed (taken back by run 2)")) << r.out;
}

}  // namespace mg::test
