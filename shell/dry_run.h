#pragma once
// The place a dry run works in: a temporary folder holding a snapshot of the embedded
// database and copies of the product INI file and its posting journal. The import runs on
// these exactly as it would on the real ones (same statements, same messages, every
// attachment seeing the batches and numbers the earlier ones created), and the folder is
// removed when the run ends, Ctrl+C included. A process killed outright leaves the folder
// behind in the temporary directory (the next dry run removes it), never a change to the
// real files.
//
// Other stations do not wait on a dry run: the snapshot is one read of the database file,
// which in WAL mode holds back no writer, and nothing else of the run touches the real file.
//
// On a server database (the ODBC backend) the folder holds instead a copy, in a new embedded
// database, of the tables the import reads and writes (data/copy_tables.h), and the import
// runs on it as above: the same steps and messages, its statements in the embedded
// database's dialect. The copy only reads the server. On PostgreSQL it reads from one
// snapshot in a read-only transaction and takes no row lock at all; on SQL Server it reads
// page by page under READ COMMITTED, each page's share locks held only while that page is
// read (none with READ_COMMITTED_SNAPSHOT on), so no station ever waits on a dry run for
// longer than the read of one page of rows (and the tables are copied one after another, not
// from one snapshot). The server's application lock of the outlay import is not taken: a dry
// run runs beside a real import, and lists what would be posted from the state it copied.

#include <filesystem>
#include <string>
#include <vector>

#include "data/backend.h"
#include "data/copy_tables.h"
#include "data/errors.h"

namespace mg::shell {

class DryRunSpace {
public:
    DryRunSpace() = default;
    ~DryRunSpace();
    DryRunSpace(const DryRunSpace&) = delete;
    DryRunSpace& operator=(const DryRunSpace&) = delete;

    // Makes the folder, copies the database of `settings` into it (a snapshot of an embedded
    // database; of a server database the rows `serverTables` names) and copies `productIni`
    // and its journal (those that exist). False with `error` set when any of it fails (the
    // folder is then removed).
    bool make(const db::Settings& settings, const std::vector<db::TableRows>& serverTables, const std::string& productIni,
              const std::string& journalSuffix, std::string& error);

    // The embedded database the dry run works on.
    const std::string& database() const { return database_; }
    const std::string& productIni() const { return productIni_; }
    const std::filesystem::path& folder() const { return folder_; }

    // Removes the folder and everything in it.
    void remove();

private:
    bool copyDatabase(const db::Settings& settings, const std::vector<db::TableRows>& serverTables, std::string& error);

    std::filesystem::path folder_;
    std::string database_;
    std::string productIni_;
};

}  // namespace mg::shell
