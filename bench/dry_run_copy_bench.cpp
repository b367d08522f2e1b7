// What a dry run on a server database costs before the import starts: the copy of the tables
// the import reads into an embedded database, for a practice of some size (attachments,
// diary entries and matters as given, ten years of batch lines and time entries that the copy
// leaves out). Rows copied per second, and the time, for each import's copy.
//
//     scripts/pg.sh mg_dry_run_copy_bench [attachments]     (default 200,000)
//
// Needs the PostgreSQL test server of scripts/pg.sh.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "data/copy_tables.h"
#include "fees/import_fees.h"
#include "outlays/outlay_import.h"

#include "server_replay.h"

int main(int argc, char** argv) {
    using namespace mg;
    if (!bench::serverAtHand()) {
        std::fprintf(stderr, "mg_dry_run_copy_bench needs the PostgreSQL test server: run it through scripts/pg.sh\n");
        return 2;
    }
    const long attachments = argc > 1 ? std::atol(argv[1]) : 200000;
    const std::string name = bench::makeServerDatabase("mgcopy");
    {
        auto c = bench::serverConnection(name);
        const std::string n = std::to_string(attachments);
        bench::serverExec(*c, "INSERT INTO control (name, outlay, year, curper, lastbatch, lastpref, next_doc_no) "
                              "VALUES ('Bench', '7100', 2026, 12, 100000, 5000000, 1)");
        bench::serverExec(*c, "INSERT INTO matters (code, clientcode, originaldebt, filenum) SELECT 'M' || lpad(i::text, 6, '0'), "
                              "'C' || i, i * 7, i FROM generate_series(1, " + std::to_string(attachments / 10) + ") i");
        bench::serverExec(*c, "INSERT INTO diary (actionid, casecode, fncode) SELECT i, 'M' || lpad((1 + i % " +
                                  std::to_string(attachments / 10) + ")::text, 6, '0'), 'JMK' FROM generate_series(1, " +
                                  std::to_string(attachments / 4) + ") i");
        bench::serverExec(*c, "INSERT INTO diaryattachments (diaryid, trackreference, casecode, name, fees) SELECT 1 + i % " +
                                  std::to_string(attachments / 4) + ", i, 'M000001', 'DOC' || (i % 40), CASE WHEN i % 100 = 0 THEN 0 "
                                  "ELSE 1 END FROM generate_series(1, " + n + ") i");
        bench::serverExec(*c, "INSERT INTO batchh (batchno, code, pref, ref, date, posted, value) SELECT i, '4100', i, 'AutoOutlay', "
                              "'2020-01-01', 'Y', 100 FROM generate_series(1, 50000) i");
        bench::serverExec(*c, "INSERT INTO batchdetails (batchno, type, code, pref, ref, date, value, matter, outlaycode) SELECT "
                              "1 + i / 20, 'P', '7100', 100000 + i, 'Doc Outlay', '2021-01-01', 5, 'M000001', 'CSF' "
                              "FROM generate_series(1, 1000000) i");
        bench::serverExec(*c, "INSERT INTO timedaybook (matter, feeearn, rate, charge) SELECT 'M000001', 'JMK', 60, 60 "
                              "FROM generate_series(1, 500000) i");
        bench::serverExec(*c, "ANALYZE");
    }
    std::printf("practice: %ld attachments, %ld diary entries, %ld matters, 1,000,000 batch lines, 500,000 time entries\n",
                attachments, attachments / 4, attachments / 10);
    const auto folder = std::filesystem::temp_directory_path() / ("mg-copy-bench-" + name);
    std::filesystem::create_directories(folder);
    struct Plan {
        const char* what;
        std::vector<db::TableRows> tables;
    } plans[] = {{"outlay import", outlays::tablesToCopy("")}, {"fee import", fees::tablesToCopy()}};
    int status = 0;
    for (const Plan& p : plans) {
        auto source = bench::serverConnection(name);
        const std::string target = (folder / (std::string(p.what) + ".db")).string();
        int64_t rows = 0;
        const auto start = std::chrono::steady_clock::now();
        Error e = db::copyTables(*source, target, p.tables, &rows);
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (e) {
            std::fprintf(stderr, "%s: %s\n", p.what, e.driverText.c_str());
            status = 1;
            continue;
        }
        std::printf("%-14s copy: %9lld rows in %6.2f s, %8.0f rows/s, file %lld MB\n", p.what, static_cast<long long>(rows), s,
                    rows / s, static_cast<long long>(std::filesystem::file_size(target) >> 20));
    }
    std::filesystem::remove_all(folder);
    bench::dropServerDatabase(name);
    return status;
}
