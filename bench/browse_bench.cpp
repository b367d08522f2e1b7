// Browse benchmark: the document outlay list (BROWSEDOCOUTLAYS's engine, 20 rows shown)
// pages down and then up through dbo.DocumentCharges of 1,000 and of 1,000,000 rows, from
// a row in the middle. Prints per page the time, the rows of dbo.DocumentCharges read, the
// rows of the joined dbo.OutlayCode read and the statements sent, and the ratio of the two
// sizes. A page must cost the same at both sizes and read no more rows than it holds plus
// the one it restarts from.
//
//   mg_browse_bench [large rows] [pages each way]

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "bench_support.h"
#include "data/context.h"
#include "data/database.h"
#include "data/table.h"
#include "maintenance/browse_engine.h"
#include "maintenance/browse_lists.h"

using namespace mg;

namespace {

constexpr int kRows = 20;
constexpr int kNames = 5000;  // document codes repeat: equal keys are ordered by record id

bool fill(const std::string& path, int rows) {
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return false;
    bench::exec(db, "PRAGMA synchronous=OFF; BEGIN");
    bench::exec(db, "INSERT INTO OutlayCode (Code, Description) VALUES ('POST', 'Postage'), ('COPY', 'Copying'), ('SRCH', 'Search')");
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO DocumentCharges (DocumentName, OutlayCode, OutlayAmount, NominalCode) VALUES (?1, ?2, ?3, ?4)", -1,
                       &st, nullptr);
    std::mt19937 rng(7);
    const char* outlays[] = {"POST", "COPY", "SRCH", "NONE"};
    for (int i = 1; i <= rows; ++i) {
        char name[16], amount[16];
        std::snprintf(name, sizeof name, "DOC%05u", static_cast<unsigned>(rng() % kNames));
        std::snprintf(amount, sizeof amount, "%u.%02u", static_cast<unsigned>(rng() % 500), static_cast<unsigned>(rng() % 100));
        sqlite3_bind_text(st, 1, name, -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, outlays[rng() % 4], -1, SQLITE_STATIC);
        sqlite3_bind_text(st, 3, amount, -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 4, "4100", -1, SQLITE_STATIC);
        if (sqlite3_step(st) != SQLITE_DONE) return false;
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    // Checkpointed as a database in use is: a million rows still in the write-ahead log
    // would make every read look them up there.
    bench::exec(db, "COMMIT; ANALYZE; PRAGMA wal_checkpoint(TRUNCATE)");
    sqlite3_close(db);
    return true;
}

struct Figures {
    double microsPerPage = 0;
    double rowsPerPage = 0;
    double joinedPerPage = 0;
    double statementsPerPage = 0;
    int maxRowsOnePage = 0;
};

struct Run {
    Context& ctx;
    bench::QuietUi ui;
    std::unique_ptr<browse::BrowseEngine> engine;
    int posted = 0;
    explicit Run(Context& c) : ctx(c) {
        browse::BrowseHooks h;
        h.rowsShown = [] { return kRows; };
        h.postNewSelection = [this] { ++posted; };
        engine = std::make_unique<browse::BrowseEngine>(Session{ctx, ui}, browse::listWindowDef(browse::ListWindow::DocOutlays).engine,
                                                        0, h);
        engine->windowShown();
        pump();
    }
    // The list control's new-selection events, as the window delivers them.
    void pump() {
        while (posted > 0) {
            --posted;
            engine->newSelection(false, engine->currentChoice());
        }
    }
};

Figures measure(Context& ctx, int pagesEachWay) {
    Run run(ctx);
    // From the middle of the table: the first row of the middle document code.
    ctx.set(DCH::DOCUMENTNAME, "DOC02500");
    ctx.set(DCH::RECORDID, 0);
    run.engine->locateMode = 2;
    run.engine->locateRecord();
    run.pump();
    Table& dch = ctx.table(TableId::DocumentCharges);
    Table& out = ctx.table(TableId::OutlayCode);
    Figures f;
    const uint64_t rows0 = dch.rowsRead(), joined0 = out.rowsRead(), st0 = ctx.statementsSent();
    auto start = std::chrono::steady_clock::now();
    for (int dir = 0; dir < 2; ++dir)
        for (int p = 0; p < pagesEachWay; ++p) {
            const uint64_t before = dch.rowsRead();
            run.engine->processScroll(dir == 0 ? browse::Scroll::PageDown : browse::Scroll::PageUp);
            run.pump();
            f.maxRowsOnePage = std::max(f.maxRowsOnePage, static_cast<int>(dch.rowsRead() - before));
            if (run.engine->recordCount() != kRows || run.engine->itemsToFill() != 0) {
                std::fprintf(stderr, "a page came back short\n");
                std::exit(1);
            }
        }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double pages = 2.0 * pagesEachWay;
    f.microsPerPage = seconds * 1e6 / pages;
    f.rowsPerPage = static_cast<double>(dch.rowsRead() - rows0) / pages;
    f.joinedPerPage = static_cast<double>(out.rowsRead() - joined0) / pages;
    f.statementsPerPage = static_cast<double>(ctx.statementsSent() - st0) / pages;
    return f;
}

// The same walk as plain SQLite: each page one keyset query of the page and one row more,
// read to the end, over every column, from the row the page before ended on. What the
// database itself costs per page at this size, without the engine.
// `db` stays open from round to round, as the list's own connection does.
double rawMicrosPerPage(sqlite3* db, int pagesEachWay) {
    const char* sql[2] = {
        "SELECT rowid, * FROM DocumentCharges WHERE (DocumentName, RecordID) >= (?1, ?2) ORDER BY DocumentName, RecordID LIMIT 21",
        "SELECT rowid, * FROM DocumentCharges WHERE (DocumentName, RecordID) <= (?1, ?2) ORDER BY DocumentName DESC, RecordID DESC LIMIT 21"};
    sqlite3_stmt* st[2];
    for (int i = 0; i < 2; ++i) sqlite3_prepare_v2(db, sql[i], -1, &st[i], nullptr);
    std::string name = "DOC02500";
    int64_t id = 0;
    auto start = std::chrono::steady_clock::now();
    for (int dir = 0; dir < 2; ++dir)
        for (int p = 0; p < pagesEachWay; ++p) {
            sqlite3_bind_text(st[dir], 1, name.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int64(st[dir], 2, id);
            while (sqlite3_step(st[dir]) == SQLITE_ROW) {
                for (int c = 0; c < sqlite3_column_count(st[dir]); ++c) sqlite3_column_text(st[dir], c);
                name = reinterpret_cast<const char*>(sqlite3_column_text(st[dir], 1));
                id = sqlite3_column_int64(st[dir], 0);
            }
            sqlite3_reset(st[dir]);
        }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    for (sqlite3_stmt* s : st) sqlite3_finalize(s);
    return seconds * 1e6 / (2.0 * pagesEachWay);
}

}  // namespace

int main(int argc, char** argv) {
    const int large = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int pagesEachWay = argc > 2 ? std::atoi(argv[2]) : 20;
    const int sizes[] = {1000, large};
    // MG_BENCH_DIR: a folder whose databases are kept and used again by the next run.
    const char* keepIn = std::getenv("MG_BENCH_DIR");
    const auto folder = keepIn ? std::filesystem::path(keepIn)
                               : std::filesystem::temp_directory_path() / ("mg-browse-bench-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(folder);
    std::unique_ptr<Context> contexts[2];
    std::string paths[2];
    for (int s = 0; s < 2; ++s) {
        const std::string path = paths[s] = (folder / ("charges-" + std::to_string(sizes[s]) + ".db")).string();
        const bool kept = keepIn && std::filesystem::exists(path + ".filled");
        auto start = std::chrono::steady_clock::now();
        if (!kept) {
            for (const char* end : {"", "-wal", "-shm"}) std::filesystem::remove(path + end);
            if (Error e = db::createDatabase(path)) {
                std::fprintf(stderr, "cannot make %s: %s\n", path.c_str(), e.driverText.c_str());
                return 1;
            }
            if (!fill(path, sizes[s])) return 1;
            if (keepIn) std::fclose(std::fopen((path + ".filled").c_str(), "w"));
        }
        std::printf(kept ? "%d rows kept from an earlier run (%.1f s)\n" : "%d rows written in %.1f s\n", sizes[s], std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        std::fflush(stdout);
        db::Settings settings;
        settings.driver = "sqlite";
        settings.database = path;
        contexts[s] = std::make_unique<Context>(settings);
        for (TableId t : {TableId::DocumentCharges, TableId::OutlayCode})
            if (contexts[s]->table(t).open() != 0) {
                std::fprintf(stderr, "open failed: %s\n", contexts[s]->errorText().c_str());
                return 1;
            }
    }
    // The pages of 1,000 rows do not reach the ends of the table.
    const int pages = std::min(pagesEachWay, 1000 / 2 / kRows - 5);
    Figures best[2];
    double raw[2] = {0, 0};
    sqlite3* rawDb[2];
    for (int s = 0; s < 2; ++s)
        if (sqlite3_open(paths[s].c_str(), &rawDb[s]) != SQLITE_OK) return 1;
    for (int round = 0; round < 60; ++round)
        for (int s = 0; s < 2; ++s) {
            Figures f = measure(*contexts[s], pages);
            if (round == 0 || f.microsPerPage < best[s].microsPerPage) best[s] = f;
            const double r = rawMicrosPerPage(rawDb[s], pages);
            if (round == 0 || r < raw[s]) raw[s] = r;
        }
    for (sqlite3* d : rawDb) sqlite3_close(d);
    contexts[0].reset();
    contexts[1].reset();
    if (!keepIn) std::filesystem::remove_all(folder);

    std::printf("BROWSEDOCOUTLAYS, %d rows shown: %d pages down then %d up from the middle of dbo.DocumentCharges (best of 60 rounds)\n", kRows,
                pages, pages);
    std::printf("%-10s %12s %12s %11s %12s %12s %11s\n", "rows", "per page", "raw SQLite", "rows read", "most in one", "joined read",
                "statements");
    for (int s = 0; s < 2; ++s)
        std::printf("%-10d %9.1f us %9.1f us %11.2f %12d %12.2f %11.2f\n", sizes[s], best[s].microsPerPage, raw[s], best[s].rowsPerPage,
                    best[s].maxRowsOnePage, best[s].joinedPerPage, best[s].statementsPerPage);
    std::printf("ratio of time per page (large / 1,000): %.2f (goal <= 1.5); raw SQLite's own ratio %.2f\n",
                best[1].microsPerPage / best[0].microsPerPage, raw[1] / raw[0]);
    std::printf("engine's time beyond raw SQLite per page: %.1f us and %.1f us\n", best[0].microsPerPage - raw[0],
                best[1].microsPerPage - raw[1]);
    std::printf("rows read per page at most %d (goal <= %d)\n", std::max(best[0].maxRowsOnePage, best[1].maxRowsOnePage), kRows + 1);
    return 0;
}
