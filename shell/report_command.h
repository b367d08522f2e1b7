#pragma once
// marrowgate report fees-to-import | fees-imported --date YYYY-MM-DD  [--pdf FILE] [--csv FILE]
//
// Runs one of the fee reports without windows and writes its pages as a PDF (the pages the
// printer would get) and/or its lines as CSV (one row per detail line with the group's fee
// earner and name, then a count row per fee earner and the total row). Without --pdf or
// --csv the CSV goes to standard output. The database is only read.

#include <cstdio>
#include <string>
#include <vector>

#include "data/backend.h"

namespace mg::shell {

// `args` starts with "report". Reads the connection settings of the working folder.
int reportCommand(const std::vector<std::string>& args);

// The same on `settings`; `settingsFile` names them in the error line when the database
// cannot be opened.
int runReportCommand(const std::vector<std::string>& args, const db::Settings& settings, std::string_view settingsFile,
                     std::FILE* out = stdout, std::FILE* err = stderr);

// The usage line of the command.
inline constexpr const char* kReportUsage =
    "marrowgate report fees-to-import | fees-imported --date YYYY-MM-DD [--pdf FILE] [--csv FILE]; marrowgate report --help";

}  // namespace mg::shell
