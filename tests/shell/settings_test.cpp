#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "shell/settings.h"
#include "shell_support.h"

namespace mg::shell {
namespace {

using test::TempFolder;
using test::writeFile;

ConnectionSettings settingsFrom(const TempFolder& dir, const std::string& ini) {
    const std::string path = dir.file("vorn.ini");
    writeFile(path, ini);
    return readConnectionSettings(path);
}

TEST(ConnectionString, MissingIniFileGivesTheDefaultsWithTheBuiltInLogin) {
    TempFolder dir;
    ConnectionSettings s = readConnectionSettings(dir.file("vorn.ini"));
    EXPECT_EQ(s.dbOwner, "(local),tallowby,tallowby,7kub3");
    EXPECT_EQ(s.db.driver, "odbc");
    EXPECT_EQ(s.db.server, "(local)");
    EXPECT_EQ(s.db.database, "tallowby");
    EXPECT_TRUE(s.db.builtInLogin);
}

TEST(ConnectionString, MissingKeysTakeTheirDefaultsOneByOne) {
    TempFolder dir;
    EXPECT_EQ(settingsFrom(dir, "[database]\nserver=KBSERVER\\SQLEXPRESS\n").dbOwner,
              "KBSERVER\\SQLEXPRESS,tallowby,tallowby,7kub3");
    EXPECT_EQ(settingsFrom(dir, "[database]\ndatabase=Practice\n").dbOwner, "(local),Practice,tallowby,7kub3");
    // Another section does not count.
    EXPECT_EQ(settingsFrom(dir, "[other]\nserver=X\nlogon=sa\n").dbOwner, "(local),tallowby,tallowby,7kub3");
}

TEST(ConnectionString, OnlyTheLogonTallowbyUsesTheBuiltInLogin) {
    TempFolder dir;
    ConnectionSettings sa = settingsFrom(dir, "[database]\nserver=KB01\ndatabase=Practice\nlogon=sa\n");
    EXPECT_EQ(sa.dbOwner, "KB01,Practice");
    EXPECT_FALSE(sa.db.builtInLogin);

    // A blank value is a value: it is not the default.
    EXPECT_EQ(settingsFrom(dir, "[database]\nlogon=\n").dbOwner, "(local),tallowby");
    // The comparison is exact, case included.
    EXPECT_EQ(settingsFrom(dir, "[database]\nlogon=tallowby\n").dbOwner, "(local),tallowby");
    EXPECT_EQ(settingsFrom(dir, "[database]\nlogon=TALLOWBY\n").dbOwner, "(local),tallowby");
    ConnectionSettings built = settingsFrom(dir, "[database]\nlogon=Tallowby\n");
    EXPECT_EQ(built.dbOwner, "(local),tallowby,tallowby,7kub3");
    EXPECT_TRUE(built.db.builtInLogin);
}

TEST(ConnectionString, AWindowsWrittenFileReadsTheSame) {
    TempFolder dir;
    ConnectionSettings s =
        settingsFrom(dir, "; written by the practice's installer\r\n[Database]\r\nServer = KB01\\LAW \r\nDATABASE = Practice\r\n"
                          "Logon = Tallowby\r\n");
    EXPECT_EQ(s.dbOwner, "KB01\\LAW,Practice,tallowby,7kub3");
    EXPECT_EQ(s.db.server, "KB01\\LAW");
    EXPECT_EQ(s.db.database, "Practice");
}

TEST(ConnectionString, IsCutTo200Characters) {
    TempFolder dir;
    const std::string longServer(250, 's');
    ConnectionSettings s = settingsFrom(dir, "[database]\nserver=" + longServer + "\n");
    EXPECT_EQ(s.dbOwner, std::string(200, 's'));

    const std::string longDatabase(190, 'd');
    s = settingsFrom(dir, "[database]\nserver=KB01\ndatabase=" + longDatabase + "\n");
    ASSERT_EQ(s.dbOwner.size(), 200u);
    EXPECT_EQ(s.dbOwner, ("KB01," + longDatabase + ",tallowby,7kub3").substr(0, 200));

    // Each step is cut at 200 before the next trims it: a blank that the first cut leaves
    // at the end is trimmed away before the login is appended.
    EXPECT_EQ(makeDbOwner(std::string(195, 'a'), "xyz abc", "Tallowby"), std::string(195, 'a') + ",xyz,");
    EXPECT_EQ(makeDbOwner(std::string(195, 'a'), "xyz abc", "sa"), std::string(195, 'a') + ",xyz");
}

TEST(ConnectionString, ServerTrailingBlanksAreTrimmedBeforeTheComma) {
    EXPECT_EQ(makeDbOwner("KB01   ", "Practice", "sa"), "KB01,Practice");
    EXPECT_EQ(makeDbOwner("", "", "sa"), ",");
}

TEST(ConnectionDriver, SqliteTakesTheDatabaseRelativeToTheIniFolder) {
    TempFolder dir;
    ConnectionSettings s = settingsFrom(dir, "[database]\ndriver=sqlite\ndatabase=data/practice.db\n");
    EXPECT_EQ(s.db.driver, "sqlite");
    EXPECT_EQ(std::filesystem::path(s.db.database), (dir.path() / "data" / "practice.db").lexically_normal());
    // The connection string is built all the same.
    EXPECT_EQ(s.dbOwner, "(local),data/practice.db,tallowby,7kub3");

    s = settingsFrom(dir, "[database]\nDriver=SQLite\ndatabase=/srv/law/practice.db\n");
    EXPECT_EQ(s.db.driver, "sqlite");
    EXPECT_EQ(s.db.database, "/srv/law/practice.db");

    s = settingsFrom(dir, "[database]\ndriver=odbc\ndatabase=Practice\n");
    EXPECT_EQ(s.db.driver, "odbc");
    EXPECT_EQ(s.db.database, "Practice");
}

// The README's sample vorn.ini, copied as it stands, gives the settings its comments describe.
TEST(ConnectionDriver, TheReadmeSampleWorksAsCopied) {
    std::ifstream readme(MG_SOURCE_DIR "/README.md");
    ASSERT_TRUE(readme) << "README.md not found";
    std::string line;
    while (std::getline(readme, line) && line.find("reads `vorn.ini`") == std::string::npos) {
    }
    std::string sample;
    while (std::getline(readme, line) && (line.empty() ? sample.empty() : line.starts_with("    "))) {
        if (!line.empty()) sample += line.substr(4) + "\n";
    }
    ASSERT_NE(sample.find("[database]"), std::string::npos) << sample;

    TempFolder dir;
    ConnectionSettings s = settingsFrom(dir, sample);
    EXPECT_EQ(s.db.driver, "sqlite");
    EXPECT_EQ(std::filesystem::path(s.db.database), (dir.path() / "practice.db").lexically_normal());
    EXPECT_EQ(s.db.server, "(local)");
    EXPECT_TRUE(s.db.builtInLogin);
    EXPECT_EQ(s.dbOwner, "(local),practice.db,tallowby,7kub3");
}

TEST(LastTrackRef, MissingFileOrKeyReadsZero) {
    TempFolder dir;
    EXPECT_EQ(readLastTrackRef(dir.file("Quillerton.ini")), 0);
    writeFile(dir.file("Quillerton.ini"), "[DocumentOutlays]\nOther=5\n");
    EXPECT_EQ(readLastTrackRef(dir.file("Quillerton.ini")), 0);
}

TEST(LastTrackRef, IsWrittenInDecimalDigitsAndKeepsTheRestOfTheFile) {
    TempFolder dir;
    const std::string path = dir.file("Quillerton.ini");
    writeFile(path, "[Printing]\nCopies=2\n[documentoutlays]\nlasttrackref=17\n");
    EXPECT_EQ(readLastTrackRef(path), 17);
    ASSERT_TRUE(writeLastTrackRef(path, 4294967296LL));
    EXPECT_EQ(readLastTrackRef(path), 4294967296LL);
    const std::string text = test::readFile(path);
    EXPECT_NE(text.find("=4294967296"), std::string::npos) << text;
    EXPECT_NE(text.find("Copies=2"), std::string::npos) << text;
    ASSERT_TRUE(writeLastTrackRef(path, 20020));
    EXPECT_EQ(readLastTrackRef(path), 20020);
}

// Runs in the folder given and comes back.
class InFolder {
public:
    explicit InFolder(const std::filesystem::path& p) : old_(std::filesystem::current_path()) { std::filesystem::current_path(p); }
    ~InFolder() { std::filesystem::current_path(old_); }

private:
    std::filesystem::path old_;
};

TEST(IniFiles, AreInTheCurrentDirectory) {
    TempFolder dir;
    InFolder in(dir.path());
    const std::filesystem::path here = std::filesystem::current_path();
    EXPECT_EQ(std::filesystem::path(connectionIniPath()), here / "vorn.ini");
    EXPECT_EQ(std::filesystem::path(productIniPath()), here / "Quillerton.ini");

    writeFile("Quillerton.ini", "[DocumentOutlays]\nLastTrackRef=812\n");
    EXPECT_EQ(readLastTrackRef(), 812);
    ASSERT_TRUE(writeLastTrackRef(813));
    EXPECT_EQ(readLastTrackRef(dir.file("Quillerton.ini")), 813);
}

TEST(Globals, AreSetOnceAtStartUp) {
    TempFolder dir;
    writeFile(dir.file("vorn.ini"), "[database]\nserver=KB01\ndatabase=Practice\nlogon=sa\n");
    writeFile(dir.file("other.ini"), "[database]\nserver=ELSEWHERE\n");
    EXPECT_FALSE(globals().started);
    EXPECT_EQ(globals().dbOwner(), "");
    const Globals& g = startUp(dir.file("vorn.ini"));
    EXPECT_TRUE(g.started);
    EXPECT_EQ(g.dbOwner(), "KB01,Practice");
    EXPECT_EQ(g.connectionIni, dir.file("vorn.ini"));
    // A second start-up changes nothing.
    EXPECT_EQ(startUp(dir.file("other.ini")).dbOwner(), "KB01,Practice");
    EXPECT_EQ(globals().dbOwner(), "KB01,Practice");
}

}  // namespace
}  // namespace mg::shell
