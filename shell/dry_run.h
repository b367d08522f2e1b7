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
// On a server database (the ODBC backend) there is no file to copy. A dry run there would
// run each attachment (or diary entry) in its transaction as usual and roll it back instead of
// committing it, keeping the numbers it took in memory for the next one. It would then hold,
// for the length of one attachment and no longer, what a real run holds for it: the update
// lock on the control row, and the row locks of the headers, lines and time entries it
// wrote (on the open batch headers it totals, too). The lock "outlay-import" is taken for
// the run as a real run takes it, so a real import and a dry run do not run together.
// That mode is not built: a dry run on a server is refused.

#include <filesystem>
#include <string>

#include "data/errors.h"

namespace mg::shell {

class DryRunSpace {
public:
    DryRunSpace() = default;
    ~DryRunSpace();
    DryRunSpace(const DryRunSpace&) = delete;
    DryRunSpace& operator=(const DryRunSpace&) = delete;

    // Makes the folder, snapshots `database` and copies `productIni` and its journal (those
    // that exist). False with `error` set when any of it fails (the folder is then removed).
    bool make(const std::string& database, const std::string& productIni, const std::string& journalSuffix, std::string& error);

    const std::string& database() const { return database_; }
    const std::string& productIni() const { return productIni_; }
    const std::filesystem::path& folder() const { return folder_; }

    // Removes the folder and everything in it.
    void remove();

private:
    std::filesystem::path folder_;
    std::string database_;
    std::string productIni_;
};

}  // namespace mg::shell
