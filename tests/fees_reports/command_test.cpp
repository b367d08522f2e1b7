// marrowgate report: the CSV file against the database's own rows, the PDF's texts, the
// database left as it was, and the arguments it refuses.

#include <cstdlib>

#include "report_fixture.h"
#include "shell/report_command.h"

namespace mg::fees::test {
namespace {

using Strings = std::vector<std::string>;

// The rows of a CSV text, with quoted cells undone.
std::vector<Strings> parseCsv(const std::string& text) {
    std::vector<Strings> rows;
    Strings row;
    std::string cell;
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') cell += '"', ++i;
            else if (c == '"') quoted = false;
            else cell += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            row.push_back(cell), cell.clear();
        } else if (c == '\n') {
            row.push_back(cell), cell.clear();
            rows.push_back(row), row.clear();
        } else if (c != '\r') {
            cell += c;
        }
    }
    return rows;
}

Strings sqlColumn(const mg::test::TempDatabase& db, const std::string& sql) {
    sqlite3* h = nullptr;
    sqlite3_open_v2(db.path().c_str(), &h, SQLITE_OPEN_READWRITE, nullptr);  // never makes a file
    sqlite3_stmt* st = nullptr;
    Strings out;
    if (sqlite3_prepare_v2(h, sql.c_str(), -1, &st, nullptr) == SQLITE_OK) {
        while (sqlite3_step(st) == SQLITE_ROW) {
            std::string line;
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                const unsigned char* t = sqlite3_column_text(st, i);
                line += (i ? "|" : "") + std::string(t ? reinterpret_cast<const char*>(t) : "");
            }
            out.push_back(line);
        }
    }
    sqlite3_finalize(st);
    sqlite3_close(h);
    return out;
}

// Runs the command; what it wrote to standard output and standard error, when asked for.
int runCommand(const mg::test::TempDatabase& db, Strings args, std::string* out = nullptr, std::string* err = nullptr) {
    args.insert(args.begin(), "report");
    std::FILE* o = std::tmpfile();
    std::FILE* e = std::tmpfile();
    const int rc = shell::runReportCommand(args, db.settings(), "test settings", o, e);
    auto take = [](std::FILE* f, std::string* into) {
        if (into) {
            into->clear();
            std::rewind(f);
            char buf[4096];
            for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) into->append(buf, n);
        }
        std::fclose(f);
    };
    take(o, out);
    take(e, err);
    return rc;
}

TEST_F(FeeReportTest, TheCsvOfEachReportHoldsTheDatabaseRowsInKeyOrderWithTheirCountsAndWritesNothing) {
    const std::string before = readFile(db.path());
    const auto dir = db.folder();
    ASSERT_EQ(runCommand(db, {"fees-to-import", "--csv", (dir / "waiting.csv").string()}), 0);
    ASSERT_EQ(runCommand(db, {"fees-imported", "--date", "2024-03-14", "--csv", (dir / "imported.csv").string()}), 0);
    EXPECT_EQ(readFile(db.path()), before);

    // Fees to import: every waiting row with its lookups, as the database joins them.
    const Strings expected = sqlColumn(
        db, "SELECT f.FNCODE, IFNULL(h.NAME,''), f.CASECODE, IFNULL(m.DESCRIPTION,''), f.NAME, IFNULL(t.NAME,''), f.DIARYID "
            "FROM DiaryAttFees f LEFT JOIN Handlers h ON h.CODE = f.FNCODE LEFT JOIN Matters m ON m.CODE = f.CASECODE "
            "LEFT JOIN TemplateDocuments t ON t.CODE = f.NAME ORDER BY f.FNCODE, f.CASECODE, f.DIARYID, f.NAME");
    std::vector<Strings> rows = parseCsv(readFile(dir / "waiting.csv"));
    Strings details, counts;
    for (const Strings& r : rows) {
        ASSERT_EQ(r.size(), 9u);
        if (r[0] == "Detail") details.push_back(r[1] + "|" + r[2] + "|" + r[3] + "|" + r[4] + "|" + r[5] + "|" + r[6] + "|" + r[7]);
        else if (r[0] != "Line") counts.push_back(r[0] + "|" + r[1] + "|" + r[8]);
    }
    EXPECT_EQ(details, expected);
    Strings expectedCounts;
    for (const std::string& c : sqlColumn(db, "SELECT 'Count', FNCODE, count(*) FROM DiaryAttFees GROUP BY FNCODE ORDER BY FNCODE"))
        expectedCounts.push_back(c);
    expectedCounts.push_back("Total||" + sqlColumn(db, "SELECT count(*) FROM DiaryAttFees")[0]);
    EXPECT_EQ(counts, expectedCounts);

    // Fees imported: that date's rows of the log, nothing of another date.
    const Strings log = sqlColumn(db, "SELECT FE, MATTER, CHARGE, TRACKREF FROM FeesImported WHERE DATEIMPORTED = '2024-03-14' "
                                      "ORDER BY FE, MATTER");
    Strings printed;
    for (const Strings& r : parseCsv(readFile(dir / "imported.csv")))
        if (r[0] == "Detail") printed.push_back(r[1] + "|" + r[3] + "|" + r[8] + "|" + r[9]);
    EXPECT_EQ(printed, log);
}

TEST_F(FeeReportTest, ThePdfHoldsThePrintedPages) {
    const auto pdf = db.folder() / "waiting.pdf";
    ASSERT_EQ(runCommand(db, {"fees-to-import", "--pdf", pdf.string()}), 0);
    const auto txt = db.folder() / "waiting.txt";
    ASSERT_EQ(std::system(("pdftotext -layout '" + pdf.string() + "' '" + txt.string() + "'").c_str()), 0);
    const std::string text = readFile(txt);
    for (const char* expected : {"Fees To Import ...", "Handler:", "Alice Brennan", "Kelly - sale of 12 Main Street",
                                 "Number of Document Fees ...", "15/03/2024"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected;
}

// "--pdf -" is standard output, as "--csv -" is; a date without rows still prints the
// imported-fees report's total line with 0.
TEST_F(FeeReportTest, ThePdfGoesToStandardOutputAndAnEmptyDateShowsItsTotal) {
    std::string pdf;
    ASSERT_EQ(runCommand(db, {"fees-imported", "--date", "2024-03-01", "--pdf", "-"}, &pdf), 0);
    ASSERT_EQ(pdf.rfind("%PDF", 0), 0u);
    EXPECT_FALSE(std::filesystem::exists("-"));
    const auto file = db.folder() / "empty.pdf";
    std::ofstream(file, std::ios::binary) << pdf;
    const auto txt = db.folder() / "empty.txt";
    ASSERT_EQ(std::system(("pdftotext -layout '" + file.string() + "' '" + txt.string() + "'").c_str()), 0);
    const std::string text = readFile(txt);
    EXPECT_NE(text.find("Total Number of Document Fees.."), std::string::npos) << text;
    EXPECT_NE(text.find("Document Fees Imported :"), std::string::npos) << text;
}

TEST_F(FeeReportTest, TheCommandRefusesWhatItCannotDo) {
    const std::string out = (db.folder() / "x.csv").string();
    struct Case {
        Strings args;
        int status;
    };
    const Case cases[] = {
        {{}, 1},
        {{"fees-waiting"}, 1},
        {{"fees-imported"}, 1},                                  // no date
        {{"fees-imported", "--date", "2024-02-30"}, 1},          // no such day
        {{"fees-imported", "--date", "14/03/2024"}, 1},          // not YYYY-MM-DD
        {{"fees-to-import", "--date", "2024-03-14"}, 1},         // takes no date
        {{"fees-to-import", "--csv"}, 1},                        // no file
        {{"fees-to-import", "--xls", out}, 1},
        {{"fees-to-import", "--pdf", "-", "--csv", "-"}, 1},    // both to standard output
        {{"fees-imported", "--date", "2024-03-01", "--csv", out}, 0},  // a date without rows is no error
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const auto& a : c.args) shown += a + " ";
        EXPECT_EQ(runCommand(db, c.args), c.status) << shown;
    }
    // What a wrong use is told, in the program's words only.
    struct Told {
        Strings args;
        std::string says;
    };
    const Told told[] = {
        {{"fees-imported", "--date", "2026-02-29"}, "marrowgate: report: \"2026-02-29\" is not a date (usage: "},
        {{"fees-imported", "--date", "14/03/2024"}, "marrowgate: report: \"14/03/2024\" is not a date of the form YYYY-MM-DD (usage: "},
        {{"fees-to-import", "--pdf", (db.folder() / "no-such-folder" / "x.pdf").string()},
         "marrowgate: report: cannot write " + (db.folder() / "no-such-folder" / "x.pdf").string()},
    };
    for (const Told& t : told) {
        std::string err;
        EXPECT_EQ(runCommand(db, t.args, nullptr, &err), 1);
        EXPECT_EQ(err.rfind(t.says, 0), 0u) << err;
        EXPECT_EQ(err.find("QPainter"), std::string::npos) << err;
    }
    // The date without rows still gives the titles and the total of 0.
    std::vector<Strings> rows = parseCsv(readFile(out));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1][0], "Total");
    EXPECT_EQ(rows[1].back(), "0");
}

}  // namespace
}  // namespace mg::fees::test
