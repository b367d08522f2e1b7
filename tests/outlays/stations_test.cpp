// The outlay import as two stations run it: each in a folder of its own with its own
// Quillerton.ini, on one database. While one runs, the other is refused, with a message that
// says where the first runs; and a LastTrackRef that cannot be written ends the command
// line's run with a failing exit status.

#include <filesystem>
#include <fstream>
#include <sstream>

#include "outlay_fixture.h"
#include "program.h"

namespace mg::test {
namespace {

#ifdef MG_MARROWGATE_BINARY

class Stations : public OutlayFixture {
protected:
    void SetUp() override {
        OutlayFixture::SetUp();
        outlayCode("CSF", "Court Stamp Fee");
        charge("DOC1", "CSF", "4100", "10.00");
        diary(77, "JMK");
        matter("M0001", "100.00");
        db.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1200) "
                "INSERT INTO DiaryAttachments (DIARYID, TRACKREFERENCE, CASECODE, NAME) SELECT 77, i, 'M0001', 'DOC1' FROM n");
    }
    std::filesystem::path station(const std::string& name) {
        std::filesystem::path f = db.folder() / name;
        std::filesystem::create_directory(f);
        writeConnectionIni(f, db.path());
        return f;
    }
    static std::string messages(const std::filesystem::path& folder) {
        std::ifstream in(folder / "messages.txt");
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
};

TEST_F(Stations, TwoStationsRacingGetOneRunAndOneClearRefusal) {
    const auto a = station("station-a"), b = station("station-b");
    const pid_t pa = startProgram(MG_MARROWGATE_BINARY, a, {"import-outlays"});
    const pid_t pb = startProgram(MG_MARROWGATE_BINARY, b, {"import-outlays"});
    const int sa = waitProgram(pa), sb = waitProgram(pb);
    ASSERT_TRUE((sa == 0) != (sb == 0)) << "exit statuses " << sa << " and " << sb;
    const auto& ran = sa == 0 ? a : b;
    const auto& refused = sa == 0 ? b : a;
    const std::string said = messages(refused);
    EXPECT_NE(said.find("Another outlay import is running on this database, on "), std::string::npos) << said;
    EXPECT_NE(said.find(" in " + ran.string() + " (process " + std::to_string(sa == 0 ? pa : pb) + ") since "), std::string::npos)
        << said;
    EXPECT_EQ(said.find("Import Complete!"), std::string::npos) << "the refused import did not run";
    EXPECT_EQ(ini::getInt((refused / "Quillerton.ini").string(), "DocumentOutlays", "LastTrackRef", -1), -1);
    EXPECT_EQ(ini::getInt((ran / "Quillerton.ini").string(), "DocumentOutlays", "LastTrackRef", -1), 1200);
    EXPECT_EQ(count("BatchDetails"), 1200) << "every attachment posted once";
    expectBooksBalance();
}

TEST_F(Stations, ALastTrackRefThatCannotBeWrittenFailsTheCommandLine) {
    const auto a = station("station-a");
    const std::filesystem::path iniFile = a / "Quillerton.ini";
    std::ofstream(iniFile) << "[DocumentOutlays]\nLastTrackRef=1000\n";
    std::filesystem::permissions(iniFile, std::filesystem::perms::owner_read);
    EXPECT_NE(waitProgram(startProgram(MG_MARROWGATE_BINARY, a, {"import-outlays"})), 0);
    EXPECT_EQ(count("BatchDetails"), 0);
    EXPECT_NE(messages(a).find("LastTrackRef 1000 cannot be written to "), std::string::npos) << messages(a);
}

#else

TEST(Stations, TwoStationsRacingGetOneRunAndOneClearRefusal) { GTEST_SKIP() << "the marrowgate program is not part of this build"; }

#endif

}  // namespace
}  // namespace mg::test
