#pragma once
// A fresh embedded database in a temporary folder for one test, made from the table
// declarations, and contexts on it.

#include <filesystem>
#include <memory>
#include <string>

#include "data/backend.h"
#include "data/context.h"

namespace mg::test {

class TempDatabase {
public:
    TempDatabase();
    ~TempDatabase();
    const std::string& path() const { return path_; }
    const std::filesystem::path& folder() const { return folder_; }
    db::Settings settings() const;
    // A new context on the database (as a new thread of the program would have).
    std::unique_ptr<Context> context() const;
    // Runs SQL directly against the file (seeding rows, checking what was written).
    void exec(const std::string& sql) const;
    // The first column of the first row of a query, as text ("" when no row).
    std::string scalar(const std::string& sql) const;
    long long count(const std::string& sql) const { return std::stoll("0" + scalar(sql)); }

private:
    std::filesystem::path folder_;
    std::string path_;
};

}  // namespace mg::test
