#include "data/ini.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>
#include <signal.h>
#ifdef _WIN32
#include <process.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

// Whether a file's permissions keep this process out: not for root, and not on Windows, where
// they only set the read-only attribute.
bool permissionsHoldUsBack() {
#ifdef _WIN32
    return false;
#else
    return ::geteuid() != 0;
#endif
}

namespace {

class IniTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() /
               ("mg-ini-" + std::to_string(::getpid()) + "-" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir_, ec);
    }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    void write(const std::string& name, const std::string& bytes) const {
        std::ofstream out(dir_ / name, std::ios::binary);
        out << bytes;
    }
    std::string read(const std::string& name) const {
        std::ifstream in(dir_ / name, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    // Every entry of the test folder other than the ones named: a leftover temporary shows here.
    int entries() const {
        int n = 0;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir_)) ++n;
        return n;
    }

    fs::path dir_;
};

// Sets an environment variable for one test and restores it afterwards.
class EnvGuard {
public:
    EnvGuard(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        set(name, value.c_str());
    }
    ~EnvGuard() { set(name_, old_ ? old_->c_str() : nullptr); }

private:
    static void set(const char* name, const char* value) {
#ifdef _WIN32
        _putenv_s(name, value ? value : "");  // "" removes it
#else
        if (value) ::setenv(name, value, 1);
        else ::unsetenv(name);
#endif
    }
    const char* name_;
    std::optional<std::string> old_;
};

TEST_F(IniTest, NamesAreComparedWithoutRegardToCase) {
    write("vorn.ini", "[Database]\nServer=PRACTICE01\nDATABASE=Suite\nLogon=jb\n");
    const std::string f = path("vorn.ini");
    EXPECT_EQ(mg::ini::get(f, "database", "server"), "PRACTICE01");
    EXPECT_EQ(mg::ini::get(f, "DATABASE", "Database"), "Suite");
    EXPECT_EQ(mg::ini::get(f, "dAtAbAsE", "LOGON"), "jb");
    // Values keep their case.
    EXPECT_EQ(mg::ini::get(f, "database", "server"), "PRACTICE01");
}

TEST_F(IniTest, CrlfAndBlanksAroundTheEqualsSignReadTheSame) {
    write("vorn.ini",
          "[database]\r\nServer = SQL01 \r\n  database\t=\tLaw Data  \r\nlogon=\r\n"
          "[DocumentOutlays]\r\nLastTrackRef = 104233\r\n");
    const std::string f = path("vorn.ini");
    EXPECT_EQ(mg::ini::get(f, "database", "server"), "SQL01");
    EXPECT_EQ(mg::ini::get(f, "database", "database"), "Law Data");  // inner blank kept
    EXPECT_EQ(mg::ini::get(f, "database", "logon", "dflt"), "");      // present but empty
    EXPECT_EQ(mg::ini::getInt(f, "DocumentOutlays", "LastTrackRef"), 104233);
    EXPECT_EQ(mg::ini::getInt(f, "database", "logon", 7), 7);  // blank is the default
}

TEST_F(IniTest, MissingFileSectionOrKeyGivesTheDefault) {
    write("Quillerton.ini", "[DocumentOutlays]\nOther=1\n");
    const std::string f = path("Quillerton.ini");
    EXPECT_EQ(mg::ini::get(path("nope.ini"), "database", "server", "(none)"), "(none)");
    EXPECT_EQ(mg::ini::getInt(path("nope.ini"), "DocumentOutlays", "LastTrackRef"), 0);
    EXPECT_EQ(mg::ini::get(f, "Elsewhere", "Other", "d"), "d");
    EXPECT_EQ(mg::ini::getInt(f, "DocumentOutlays", "LastTrackRef", 42), 42);
    // A folder where the file should be reads as missing too.
    fs::create_directory(dir_ / "folder.ini");
    EXPECT_EQ(mg::ini::get(path("folder.ini"), "a", "b", "d"), "d");
}

TEST_F(IniTest, GetIntTakesTheLeadingInteger) {
    write("n.ini",
          "[n]\na=12abc\nb=-5\nc=abc\nd=   \ne=+8\nf=99999999999999999999999\ng=-\n"
          "h=1234567890123\n");
    const std::string f = path("n.ini");
    EXPECT_EQ(mg::ini::getInt(f, "n", "a", 3), 12);
    EXPECT_EQ(mg::ini::getInt(f, "n", "b", 3), -5);
    EXPECT_EQ(mg::ini::getInt(f, "n", "c", 3), 0);
    EXPECT_EQ(mg::ini::getInt(f, "n", "d", 3), 3);
    EXPECT_EQ(mg::ini::getInt(f, "n", "e", 3), 8);
    EXPECT_EQ(mg::ini::getInt(f, "n", "f", 3), LLONG_MAX);  // saturates, never wraps
    EXPECT_EQ(mg::ini::getInt(f, "n", "g", 3), 0);
    EXPECT_EQ(mg::ini::getInt(f, "n", "h", 3), 1234567890123LL);  // beyond 32 bits
    EXPECT_EQ(mg::ini::getInt(f, "n", "missing", -9), -9);
}

TEST_F(IniTest, ARepeatedKeyReadsAsItsFirstOccurrenceAndIsWrittenThere) {
    write("r.ini", "[s]\nk=first\n[other]\nk=x\n[S]\nk=second\n");
    const std::string f = path("r.ini");
    EXPECT_EQ(mg::ini::get(f, "s", "k"), "first");
    ASSERT_TRUE(mg::ini::put(f, "s", "k", "changed"));
    EXPECT_EQ(mg::ini::get(f, "s", "k"), "changed");
    EXPECT_EQ(read("r.ini"), "[s]\nk=changed\n[other]\nk=x\n[S]\nk=second\n");
}

TEST_F(IniTest, WriteChangesOnlyItsKeyAndKeepsEverythingElse) {
    const std::string before =
        "; Marrowgate product settings\n"
        "\n"
        "[General]\n"
        "# old style comment\n"
        "Title=Quillerton\n"
        "\n"
        "[DocumentOutlays]\n"
        "; last tracking reference imported\n"
        "LastTrackRef = 100\n"
        "Mode=Fast\n"
        "\n"
        "[Zeta]\n"
        "a=1\n";
    write("Quillerton.ini", before);
    const std::string f = path("Quillerton.ini");

    ASSERT_TRUE(mg::ini::put(f, "documentoutlays", "LASTTRACKREF", "104233"));
    std::string expected = before;
    expected.replace(expected.find("LastTrackRef = 100"), 18, "LastTrackRef = 104233");
    EXPECT_EQ(read("Quillerton.ini"), expected);  // key spelling and blanks kept
    EXPECT_EQ(mg::ini::getInt(f, "DocumentOutlays", "LastTrackRef"), 104233);
    EXPECT_EQ(entries(), 1);  // no temporary left behind

    // A shorter value, an empty value.
    ASSERT_TRUE(mg::ini::put(f, "DocumentOutlays", "LastTrackRef", "7"));
    ASSERT_TRUE(mg::ini::put(f, "General", "Title", ""));
    EXPECT_EQ(mg::ini::get(f, "DocumentOutlays", "LastTrackRef"), "7");
    EXPECT_EQ(mg::ini::get(f, "General", "Title", "d"), "");
    EXPECT_EQ(mg::ini::get(f, "DocumentOutlays", "Mode"), "Fast");
    EXPECT_EQ(mg::ini::get(f, "Zeta", "a"), "1");
    EXPECT_NE(read("Quillerton.ini").find("; last tracking reference imported\n"),
              std::string::npos);
}

TEST_F(IniTest, WriteAddsAMissingKeyAtTheEndOfItsSection) {
    write("s.ini", "[database]\nserver=A\n\n; about the next\n[other]\nx=1\n");
    const std::string f = path("s.ini");
    ASSERT_TRUE(mg::ini::put(f, "Database", "driver", "sqlite"));
    EXPECT_EQ(read("s.ini"),
              "[database]\nserver=A\ndriver=sqlite\n\n; about the next\n[other]\nx=1\n");
    EXPECT_EQ(mg::ini::get(f, "database", "driver"), "sqlite");
    EXPECT_EQ(mg::ini::get(f, "other", "driver", "none"), "none");
}

// A new file has the platform's line ends.
#ifdef _WIN32
constexpr const char* kNewLine = "\r\n";
#else
constexpr const char* kNewLine = "\n";
#endif

std::string lines(std::string text) {
    for (size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += std::string_view(kNewLine).size())
        text.replace(at, 1, kNewLine);
    return text;
}

TEST_F(IniTest, WriteCreatesTheFileAndTheSection) {
    const std::string f = path("new.ini");
    ASSERT_TRUE(mg::ini::put(f, "DocumentOutlays", "LastTrackRef", "5"));
    EXPECT_EQ(read("new.ini"), lines("[DocumentOutlays]\nLastTrackRef=5\n"));
    ASSERT_TRUE(mg::ini::put(f, "Styler", "ColorDepth", "3"));
    EXPECT_EQ(read("new.ini"), lines("[DocumentOutlays]\nLastTrackRef=5\n\n[Styler]\nColorDepth=3\n"));
    EXPECT_EQ(mg::ini::getInt(f, "styler", "colordepth"), 3);
    EXPECT_EQ(mg::ini::getInt(f, "DocumentOutlays", "LastTrackRef"), 5);

    // A last line without its line end gets one before the new section.
    write("tail.ini", "[a]\nx=1");
    ASSERT_TRUE(mg::ini::put(path("tail.ini"), "a", "y", "2"));
    EXPECT_EQ(read("tail.ini"), "[a]\nx=1\ny=2\n");
}

TEST_F(IniTest, WriteKeepsCrlfLineEnds) {
    write("w.ini", "[database]\r\nserver = A\r\n\r\n[more]\r\nk=v\r\n");
    const std::string f = path("w.ini");
    ASSERT_TRUE(mg::ini::put(f, "database", "server", "B"));
    ASSERT_TRUE(mg::ini::put(f, "database", "logon", "me"));
    ASSERT_TRUE(mg::ini::put(f, "New", "k", "1"));
    EXPECT_EQ(read("w.ini"),
              "[database]\r\nserver = B\r\nlogon=me\r\n\r\n[more]\r\nk=v\r\n\r\n[New]\r\nk=1\r\n");
}

TEST_F(IniTest, WriteRejectsNamesAndValuesThatWouldBreakTheFile) {
    write("b.ini", "[a]\nk=1\n");
    const std::string f = path("b.ini");
    EXPECT_FALSE(mg::ini::put(f, "a", "k", "two\nlines"));
    EXPECT_FALSE(mg::ini::put(f, "a", "k=x", "1"));
    EXPECT_FALSE(mg::ini::put(f, "a]", "k", "1"));
    EXPECT_FALSE(mg::ini::put(f, "", "k", "1"));
    EXPECT_FALSE(mg::ini::put(f, "a", "  ", "1"));
    EXPECT_EQ(read("b.ini"), "[a]\nk=1\n");
}

TEST_F(IniTest, AFailedWriteLeavesTheOldFileIntact) {
    const std::string before = "[DocumentOutlays]\nLastTrackRef=100\n";
    write("Quillerton.ini", before);
    const std::string f = path("Quillerton.ini");
    // Something that is not a file already sits where the temporary would go, so it cannot
    // be created: the write must fail and change nothing.
    const fs::path temp = dir_ / ("Quillerton.ini.tmp-" + std::to_string(::getpid()));
    fs::create_directory(temp);
    fs::create_directory(temp / "inside");
    EXPECT_FALSE(mg::ini::put(f, "DocumentOutlays", "LastTrackRef", "999"));
    EXPECT_EQ(read("Quillerton.ini"), before);
    EXPECT_TRUE(fs::is_directory(temp / "inside"));
    fs::remove_all(temp);

    // A folder that cannot be written (meaningful only when permissions apply to us).
    if (permissionsHoldUsBack()) {
        fs::permissions(dir_, fs::perms::owner_write, fs::perm_options::remove);
        EXPECT_FALSE(mg::ini::put(f, "DocumentOutlays", "LastTrackRef", "999"));
        fs::permissions(dir_, fs::perms::owner_write, fs::perm_options::add);
        EXPECT_EQ(read("Quillerton.ini"), before);
    }

    // And the next write, with the way clear, succeeds.
    EXPECT_TRUE(mg::ini::put(f, "DocumentOutlays", "LastTrackRef", "999"));
    EXPECT_EQ(mg::ini::getInt(f, "DocumentOutlays", "LastTrackRef"), 999);
    EXPECT_EQ(entries(), 1);
}

TEST_F(IniTest, ALeftoverTemporaryFileOfAnEarlierRunIsNoObstacle) {
    write("x.ini", "[a]\nk=1\n");
    write("x.ini.tmp-" + std::to_string(::getpid()), "half a fi");
    ASSERT_TRUE(mg::ini::put(path("x.ini"), "a", "k", "2"));
    EXPECT_EQ(read("x.ini"), "[a]\nk=2\n");
    EXPECT_EQ(entries(), 1);
}

TEST_F(IniTest, AGarbledFileReadsAsMissingAndIsNotOverwritten) {
    std::string binary = "MZ\x90";
    binary += std::string("\0\x03\0\0\0\x04\0", 7);
    binary += "[database]\nserver=X\n";
    write("bin.ini", binary);
    EXPECT_EQ(mg::ini::get(path("bin.ini"), "database", "server", "d"), "d");
    EXPECT_EQ(mg::ini::getInt(path("bin.ini"), "database", "server", 4), 4);
    EXPECT_FALSE(mg::ini::put(path("bin.ini"), "database", "server", "Y"));
    EXPECT_EQ(read("bin.ini"), binary);

    // Text that is not INI at all gives defaults without complaint.
    write("junk.ini", "]]]][[[[ = = =\n[unclosed\n=novalue\n;;\n\xff\xfe garbage ===\n");
    EXPECT_EQ(mg::ini::get(path("junk.ini"), "unclosed", "x", "d"), "d");
    EXPECT_EQ(mg::ini::get(path("junk.ini"), "database", "server", "d"), "d");
    // ...and such a file can still take a setting.
    EXPECT_TRUE(mg::ini::put(path("junk.ini"), "database", "server", "S"));
    EXPECT_EQ(mg::ini::get(path("junk.ini"), "database", "server"), "S");

    write("empty.ini", "");
    EXPECT_EQ(mg::ini::get(path("empty.ini"), "a", "b", "d"), "d");
}

TEST_F(IniTest, AUtf8SignatureIsNotPartOfTheFirstSection) {
    write("bom.ini", "\xEF\xBB\xBF[database]\nserver=A\n");
    EXPECT_EQ(mg::ini::get(path("bom.ini"), "database", "server"), "A");
    ASSERT_TRUE(mg::ini::put(path("bom.ini"), "database", "server", "B"));
    EXPECT_EQ(read("bom.ini"), "\xEF\xBB\xBF[database]\nserver=B\n");
}

// UTF-8 text as UTF-16 in the given byte order, with its mark.
std::string utf16(const std::string& utf8, bool bigEndian) {
    std::u16string units;
    for (size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        char32_t cp;
        int n;
        if (c < 0x80) { cp = c; n = 1; }
        else if (c < 0xE0) { cp = c & 0x1F; n = 2; }
        else if (c < 0xF0) { cp = c & 0x0F; n = 3; }
        else { cp = c & 0x07; n = 4; }
        for (int k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += static_cast<size_t>(n);
        if (cp >= 0x10000) {
            units += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            units += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            units += static_cast<char16_t>(cp);
        }
    }
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t u : units) {
        const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    }
    return out;
}

// The same settings saved by Notepad as ANSI, UTF-8, "Unicode" and "Unicode big endian" read
// alike, and a write keeps the file's encoding, its mark and its line ends.
TEST_F(IniTest, EveryEncodingNotepadSavesReadsAndIsWrittenBackInKind) {
    const std::string before = "; settings\r\n[DocumentOutlays]\r\nLastTrackRef=104233\r\nHandler=Ren\xC3\xA9\r\n";
    const std::string after = "; settings\r\n[DocumentOutlays]\r\nLastTrackRef=104300\r\nHandler=Ren\xC3\xA9\r\n";
    struct Case {
        const char* name;
        std::string (*encode)(const std::string&);
    };
    const Case cases[] = {
        {"ANSI", [](const std::string& t) { return t; }},
        {"UTF-8", [](const std::string& t) { return "\xEF\xBB\xBF" + t; }},
        {"UTF-16LE", [](const std::string& t) { return utf16(t, false); }},
        {"UTF-16BE", [](const std::string& t) { return utf16(t, true); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        write("Quillerton.ini", c.encode(before));
        const std::string f = path("Quillerton.ini");
        EXPECT_EQ(mg::ini::getInt(f, "documentoutlays", "lasttrackref"), 104233);
        EXPECT_EQ(mg::ini::get(f, "DocumentOutlays", "Handler"), "Ren\xC3\xA9");
        EXPECT_EQ(mg::ini::lookup(f, "DocumentOutlays", "LastTrackRef").file, mg::ini::FileStatus::Read);
        ASSERT_TRUE(mg::ini::put(f, "DocumentOutlays", "LastTrackRef", "104300"));
        EXPECT_EQ(read("Quillerton.ini"), c.encode(after));
        ASSERT_TRUE(mg::ini::stage(f, "DocumentOutlays", "LastTrackRef", "104301").publish());
        EXPECT_EQ(mg::ini::getInt(f, "DocumentOutlays", "LastTrackRef"), 104301);
        EXPECT_EQ(entries(), 1);
    }

    // A new key and section land in the UTF-16 file as UTF-16, characters beyond the first
    // plane included.
    write("u.ini", utf16("[a]\r\nk=1\r\n", false));
    ASSERT_TRUE(mg::ini::put(path("u.ini"), "b", "note", "\xF0\x9F\x93\x8E clip"));
    EXPECT_EQ(read("u.ini"), utf16("[a]\r\nk=1\r\n\r\n[b]\r\nnote=\xF0\x9F\x93\x8E clip\r\n", false));
    EXPECT_EQ(mg::ini::get(path("u.ini"), "b", "note"), "\xF0\x9F\x93\x8E clip");
    // A value that is not UTF-8 cannot go into it unchanged: the write is refused, the file kept.
    EXPECT_FALSE(mg::ini::put(path("u.ini"), "a", "k", "Ren\xE9"));
    EXPECT_EQ(mg::ini::get(path("u.ini"), "a", "k"), "1");
}

// A file that is there but cannot be used is told apart from a missing file or key, so a
// caller that must not start from a default can stop; get() still gives the default.
TEST_F(IniTest, LookupTellsAnUnusableFileFromAMissingKey) {
    using mg::ini::FileStatus;
    std::string oddUtf16 = utf16("[a]\r\nk=1\r\n", false);
    oddUtf16.pop_back();
    std::string loneSurrogate = utf16("[a]\r\nk=1\r\n", false);
    loneSurrogate += std::string("\x00\xD8", 2);  // a high surrogate with nothing after it
    std::string noMark = utf16("[a]\r\nk=1\r\n", false).substr(2);
    struct Case {
        const char* name;
        std::optional<std::string> bytes;  // nullopt: no file
        FileStatus status;
        std::optional<std::string> value;
    };
    const std::vector<Case> cases = {
        {"no file", std::nullopt, FileStatus::Missing, std::nullopt},
        {"no key", "[a]\nother=2\n", FileStatus::Read, std::nullopt},
        {"blank key", "[a]\nk=\n", FileStatus::Read, ""},
        {"key", "[a]\nk=1\n", FileStatus::Read, "1"},
        {"UTF-16 odd length", oddUtf16, FileStatus::Garbled, std::nullopt},
        {"UTF-16 lone surrogate", loneSurrogate, FileStatus::Garbled, std::nullopt},
        {"UTF-16 without its mark", noMark, FileStatus::Garbled, std::nullopt},
        {"binary", std::string("MZ\x90\0\x03", 5), FileStatus::Garbled, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(dir_ / "c.ini");
        if (c.bytes) write("c.ini", *c.bytes);
        const mg::ini::Lookup l = mg::ini::lookup(path("c.ini"), "A", "K");
        EXPECT_EQ(l.file, c.status);
        EXPECT_EQ(l.value, c.value);
        EXPECT_EQ(l.unusable(), c.status == FileStatus::Garbled);
        EXPECT_EQ(mg::ini::fileStatus(path("c.ini")), c.status);
        EXPECT_EQ(mg::ini::getInt(path("c.ini"), "a", "k", -7), c.value && !c.value->empty() ? 1 : -7);
        if (c.status == FileStatus::Garbled) {
            EXPECT_FALSE(mg::ini::put(path("c.ini"), "a", "k", "2")) << "an unusable file is never overwritten";
            EXPECT_EQ(read("c.ini"), *c.bytes);
        }
    }
    fs::create_directory(dir_ / "folder.ini");
    EXPECT_EQ(mg::ini::lookup(path("folder.ini"), "a", "k").file, FileStatus::Unreadable);
    EXPECT_TRUE(mg::ini::lookup(path("folder.ini"), "a", "k").unusable());
    if (permissionsHoldUsBack()) {
        write("locked.ini", "[a]\nk=1\n");
        fs::permissions(dir_ / "locked.ini", fs::perms::none);
        EXPECT_EQ(mg::ini::lookup(path("locked.ini"), "a", "k").file, FileStatus::Unreadable);
        EXPECT_EQ(mg::ini::get(path("locked.ini"), "a", "k", "d"), "d");
    }
}

TEST_F(IniTest, QuotedValuesReadWithoutTheirQuotesAndInlineCommentsStay) {
    write("q.ini",
          "[s]\nspaced=\"  two words  \"\nempty=\"\"\nlone=\"\ninner=a \"b\" c\nhalf=\"x\"y\n"
          "single='kept'\ncomment=sqlite   ; or odbc\nquotedComment=\"sqlite\" ; note\n");
    const std::string f = path("q.ini");
    const std::pair<const char*, const char*> cases[] = {
        {"spaced", "  two words  "}, {"empty", ""},        {"lone", "\""},
        {"inner", "a \"b\" c"},       {"half", "\"x\"y"},  {"single", "'kept'"},
        {"comment", "sqlite   ; or odbc"}, {"quotedComment", "\"sqlite\" ; note"},
    };
    for (const auto& [key, expected] : cases) EXPECT_EQ(mg::ini::get(f, "s", key, "default"), expected) << key;
}

TEST_F(IniTest, TheDefaultIniFileHonoursTheOverride) {
    const std::string f = path("defaults.ini");
    EnvGuard guard("MARROWGATE_DEFAULT_INI", f);
    EXPECT_EQ(mg::ini::defaultIniPath(), f);
    write("defaults.ini", "[Marrowgate]\nEnabled=0\n");
    EXPECT_EQ(mg::ini::getInt("", "Marrowgate", "Enabled", 1), 0);
    EXPECT_EQ(mg::ini::getInt("", "Styler", "ColorDepth", 0), 0);
    ASSERT_TRUE(mg::ini::put("", "Styler", "ColorDepth", "3"));
    EXPECT_EQ(mg::ini::getInt(f, "Styler", "ColorDepth"), 3);
}

TEST_F(IniTest, TheDefaultIniFileLivesInTheUserConfigFolder) {
    EnvGuard noOverride("MARROWGATE_DEFAULT_INI", "");
#ifdef _WIN32
    EnvGuard appData("APPDATA", (dir_ / "roaming").string());
    EXPECT_EQ(mg::ini::defaultIniPath(), (dir_ / "roaming" / "Marrowgate" / "marrowgate.ini").string());
    ASSERT_TRUE(mg::ini::put("", "Marrowgate", "Enabled", "1"));
    EXPECT_EQ(read("roaming/Marrowgate/marrowgate.ini"), "[Marrowgate]\r\nEnabled=1\r\n");
#else
    {
        EnvGuard xdg("XDG_CONFIG_HOME", (dir_ / "cfg").string());
        EXPECT_EQ(mg::ini::defaultIniPath(), (dir_ / "cfg" / "marrowgate" / "marrowgate.ini").string());
        // The folder is created by the first write.
        ASSERT_TRUE(mg::ini::put("", "Marrowgate", "Enabled", "1"));
        EXPECT_EQ(read("cfg/marrowgate/marrowgate.ini"), "[Marrowgate]\nEnabled=1\n");
    }
    {
        EnvGuard xdg("XDG_CONFIG_HOME", "");
        EnvGuard home("HOME", (dir_ / "home").string());
        EXPECT_EQ(mg::ini::defaultIniPath(),
                  (dir_ / "home" / ".config" / "marrowgate" / "marrowgate.ini").string());
    }
#endif
}

}  // namespace

namespace mg::ini {
namespace {

class StagedIniTest : public ::testing::Test {
protected:
    fs::path dir_ = fs::temp_directory_path() / ("mg-staged-" + std::to_string(::getpid()));
    void SetUp() override {
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string file() const { return (dir_ / "Quillerton.ini").string(); }
    int entries() const {
        int n = 0;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir_)) ++n;
        return n;
    }
};

TEST_F(StagedIniTest, AStagedWriteTakesEffectOnlyWhenPublished) {
    ASSERT_TRUE(put(file(), "DocumentOutlays", "LastTrackRef", "10"));
    StagedWrite w = stage(file(), "DocumentOutlays", "LastTrackRef", "11");
    ASSERT_TRUE(w.ready());
    EXPECT_EQ(get(file(), "DocumentOutlays", "LastTrackRef"), "10") << "not yet in place";
    EXPECT_TRUE(w.publish());
    EXPECT_FALSE(w.ready());
    EXPECT_EQ(get(file(), "DocumentOutlays", "LastTrackRef"), "11");
    EXPECT_EQ(entries(), 1) << "no temporary left behind";
    EXPECT_FALSE(w.publish()) << "a write is published once";
}

TEST_F(StagedIniTest, AnAbandonedOrDroppedWriteLeavesTheOldFileAndNoTemporary) {
    ASSERT_TRUE(put(file(), "DocumentOutlays", "LastTrackRef", "10"));
    {
        StagedWrite w = stage(file(), "DocumentOutlays", "LastTrackRef", "11");
        ASSERT_TRUE(w.ready());
        EXPECT_EQ(entries(), 2);
    }
    StagedWrite w = stage(file(), "DocumentOutlays", "LastTrackRef", "12");
    w.abandon();
    EXPECT_EQ(get(file(), "DocumentOutlays", "LastTrackRef"), "10");
    EXPECT_EQ(entries(), 1);
}

#ifndef _WIN32
// The id of a process that has ended.
pid_t endedProcess() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

void makeOld(const fs::path& p) {
    fs::last_write_time(p, fs::file_time_type::clock::now() - std::chrono::minutes(5));
}

// Processes killed while they held a staged write leave their temporaries; the next write
// removes them, but never a temporary of a running process, of another file, or one written
// moments ago (another computer sharing the folder may be writing it).
TEST_F(StagedIniTest, TemporariesOfKilledProcessesAreRemovedByTheNextWrite) {
    ASSERT_TRUE(put(file(), "DocumentOutlays", "LastTrackRef", "10"));
    for (int i = 0; i < 8; ++i) {
        const pid_t child = ::fork();
        if (child == 0) {
            StagedWrite w = stage(file(), "DocumentOutlays", "LastTrackRef", std::to_string(20 + i));
            ::kill(::getpid(), SIGKILL);
        }
        ::waitpid(child, nullptr, 0);
    }
    EXPECT_EQ(entries(), 9) << "eight killed writers left their temporaries";
    for (const auto& e : fs::directory_iterator(dir_)) makeOld(e.path());

    const std::string prefix = (dir_ / "Quillerton.ini.tmp-").string();
    const auto touch = [](const std::string& p) { std::ofstream(p) << "x"; };
    const std::string live = prefix + std::to_string(::getppid());
    const std::string fresh = prefix + std::to_string(endedProcess());
    const std::string other = (dir_ / "vorn.ini.tmp-").string() + std::to_string(endedProcess());
    const std::string notOurs = prefix + "backup";
    for (const std::string& p : {live, fresh, other, notOurs}) touch(p);
    makeOld(live);
    makeOld(other);
    makeOld(notOurs);

    ASSERT_TRUE(put(file(), "DocumentOutlays", "LastTrackRef", "11"));
    EXPECT_EQ(get(file(), "DocumentOutlays", "LastTrackRef"), "11");
    for (const std::string& p : {live, fresh, other, notOurs}) EXPECT_TRUE(fs::exists(p)) << p;
    EXPECT_EQ(entries(), 5) << "the eight are gone";

    // A minute on, the fresh one counts as stale too; a staged write cleans up like put.
    makeOld(fresh);
    StagedWrite w = stage(file(), "DocumentOutlays", "LastTrackRef", "12");
    ASSERT_TRUE(w.ready());
    EXPECT_FALSE(fs::exists(fresh));
    EXPECT_TRUE(w.publish());
    EXPECT_EQ(entries(), 4);
}
#endif  // the killed writers are forked processes

TEST_F(StagedIniTest, AWriteThatCannotBePreparedIsNotReady) {
    fs::create_directories(dir_ / ("Quillerton.ini.tmp-" + std::to_string(::getpid())));
    StagedWrite w = stage(file(), "DocumentOutlays", "LastTrackRef", "11");
    EXPECT_FALSE(w.ready());
    EXPECT_FALSE(w.publish());
    EXPECT_EQ(get(file(), "DocumentOutlays", "LastTrackRef", "none"), "none");
}

}  // namespace
}  // namespace mg::ini
