#pragma once
// A small practice to try the program on: an embedded database with every table and a
// handful of clients, matters, diary entries and documents, set up so that both imports
// have work to do and every per-document message of each shows at least once.

#include <string>

#include "data/backend.h"
#include "data/errors.h"

namespace mg::shell {

// Creates the database file at `path` (which must not exist) and fills it with the demo
// practice. On failure nothing is left behind at `path`.
Error makeDemoDatabase(const std::string& path);
// Makes every table in the (empty) server database of the settings and fills it with the
// demo practice.
Error makeDemoDatabase(const db::Settings& settings);

// The station folder of the demo practice: Quillerton.ini in `folder` says that the outlays
// the practice posted before (the batch lines it already holds) end at the tracking reference
// before the demo's first attachment. A Quillerton.ini already there is left alone.
bool writeDemoProductIni(const std::string& folder);

// A few facts about the demo practice that a user (or a test) may want to rely on.
namespace demo {
inline constexpr int kFirstTrackRef = 20001;
inline constexpr int kLastTrackRef = 20021;
inline constexpr int kAttachments = 21;
inline constexpr const char* kMissingMatter = "QUI007-0003";   // an attachment's matter not in dbo.Matters
inline constexpr int kMissingDiaryId = 59999;                   // an attachment's diary entry not in dbo.diary
inline constexpr const char* kNoArrangementMatter = "WAL003-0001";  // neither matter nor client has a charge arrangement
}  // namespace demo

}  // namespace mg::shell
