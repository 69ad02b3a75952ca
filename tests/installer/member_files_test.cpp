#include "install_fixture.h"

#include "install_run.h"
#include "member_files.h"

namespace {

class MemberFilesTest : public InstallTest {};

struct ShortNameCase {
    const char *name;
    bool unchanged;
};

const ShortNameCase SHORT_NAME_CASES[] = {
    {"MYSAVER.SCR", true}, {"A.B", true},           {"NAME_1", true},
    {"AB~CD", true},       {"ABCDEFGH.XYZ", true},  {"MY SAVER.SCR", false},
    {"LONGNAMED.SCR", false}, {"A.B.C", false},     {"NAME.HTML", false},
    {"ABCDEFGHI", false},  {"caf\xe9.scr", false},
};

TEST_F(MemberFilesTest, ShortNamesPassUnchangedAndLongOnesAreLookedUp)
{
    for (const ShortNameCase &c : SHORT_NAME_CASES) {
        SCOPED_TRACE(c.name);
        sim::reset();
        std::string longPath = windowsFile(c.name);
        sim::writeFile(longPath, "saver");
        sim::setShortName(longPath, "SHORT~1.SCR");

        EXPECT_EQ(looksLikeShortName(c.name), c.unchanged);
        std::string expected = c.unchanged ? longPath : windowsFile("SHORT~1.SCR");
        EXPECT_EQ(shortWindowsPath(c.name).text, expected);
        EXPECT_EQ(sim::callsNamed("FindFirstFileA").size(), c.unchanged ? 0u : 1u);
        EXPECT_EQ(sim::callsNamed("FindClose").size(), c.unchanged ? 0u : 1u);
    }
}

TEST_F(MemberFilesTest, LongNameWithoutShortFormKeepsTheLongPath)
{
    EXPECT_EQ(shortWindowsPath("NOT THERE.SCR").text, windowsFile("NOT THERE.SCR"));
    EXPECT_TRUE(sim::callsNamed("FindClose").empty());
}

TEST_F(MemberFilesTest, WindowsPathJoinsWithOneBackslash)
{
    const std::pair<const char *, const char *> cases[] = {
        {"C:\\WINDOWS", "C:\\WINDOWS\\A.SCR"},
        {"C:\\WINDOWS\\", "C:\\WINDOWS\\A.SCR"},
        {"D:\\", "D:\\A.SCR"},
    };
    for (const auto &[directory, joined] : cases) {
        sim::setWindowsDirectory(directory);
        MemberPath path = windowsPath("A.SCR");
        EXPECT_TRUE(path.valid);
        EXPECT_STREQ(path.text, joined);
    }
}

TEST_F(MemberFilesTest, OverlongWindowsDirectoryGivesNoPath)
{
    sim::setWindowsDirectory("C:\\" + std::string(256, 'w'));  /* 259 characters */
    EXPECT_TRUE(windowsPath("A.SCR").valid);
    sim::setWindowsDirectory("C:\\" + std::string(257, 'w'));
    EXPECT_FALSE(windowsPath("A.SCR").valid);
    EXPECT_EQ(createMemberFile(windowsPath("A.SCR")), INVALID_HANDLE_VALUE);
    EXPECT_TRUE(sim::callsNamed("CreateFileA").empty());
}

TEST_F(MemberFilesTest, LockedFileIsRetriedOnceAfterAskingDisplayPropertiesToQuit)
{
    std::string path = windowsFile("MYSAVER.SCR");
    HWND display = sim::createWindow("Display Properties");
    sim::lockFile(path);
    sim::unlockOnQuit(path, display);

    HANDLE file = createMemberFile(windowsPath("MYSAVER.SCR"));
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    EXPECT_TRUE(sim::receivedQuit(display));
    std::vector<std::string> names;
    for (const sim::Call &call : sim::trace())
        names.push_back(call.name);
    const std::vector<std::string> expected = {"GetWindowsDirectoryA", "CreateFileA",
                                               "FindWindowA", "PostMessageA", "Sleep",
                                               "CreateFileA", "CloseHandle"};
    EXPECT_EQ(names, expected);
    EXPECT_EQ(sim::callsNamed("Sleep")[0].args, std::vector<std::string>{"1000"});
}

TEST_F(MemberFilesTest, NoRetryWithoutDisplayProperties)
{
    sim::lockFile(windowsFile("MYSAVER.SCR"));
    EXPECT_EQ(createMemberFile(windowsPath("MYSAVER.SCR")), INVALID_HANDLE_VALUE);
    EXPECT_EQ(sim::callsNamed("CreateFileA").size(), 1u);
    EXPECT_TRUE(sim::callsNamed("Sleep").empty());
}

TEST_F(MemberFilesTest, StoredMemberIsCopiedInChunksOf16384)
{
    const std::string plain = patternBytes(40000, 7);
    std::string stored = plain;
    xorBytes(reinterpret_cast<unsigned char *>(&stored[0]), uint32_t(stored.size()), SAVER_KEY);
    sim::writeFile(PACKAGE_PATH, stored);
    HANDLE package = CreateFileA(PACKAGE_PATH, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);

    EXPECT_TRUE(copyStoredMember(package, 40000, windowsPath("MYSAVER.SCR"), SAVER_KEY));
    EXPECT_TRUE(closeMemberFile());
    CloseHandle(package);
    EXPECT_EQ(contents("MYSAVER.SCR"), plain);

    std::vector<std::string> reads, writes;
    for (const sim::Call &call : sim::callsNamed("ReadFile"))
        reads.push_back(call.args.at(0));
    for (const sim::Call &call : sim::callsNamed("WriteFile"))
        writes.push_back(call.args.at(0));
    const std::vector<std::string> chunks = {"16384", "16384", "7232"};
    EXPECT_EQ(reads, chunks);
    EXPECT_EQ(writes, chunks);
}

TEST_F(MemberFilesTest, EmptyStoredMemberCreatesAnEmptyFile)
{
    sim::writeFile(PACKAGE_PATH, "");
    HANDLE package = CreateFileA(PACKAGE_PATH, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_TRUE(copyStoredMember(package, 0, windowsPath("EMPTY.DAT"), TAIL_KEY));
    closeMemberFile();
    CloseHandle(package);
    EXPECT_TRUE(exists("EMPTY.DAT"));
    EXPECT_EQ(contents("EMPTY.DAT"), "");
    EXPECT_TRUE(sim::callsNamed("ReadFile").empty());
}

TEST_F(MemberFilesTest, ShortPackageFailsTheMemberWithoutStaleBytes)
{
    /* A first chunk fills the buffer; the package then ends 100 bytes into
     * the second, whose rest must not come from the buffer. */
    std::string stored = patternBytes(16384 + 100, 3);
    sim::writeFile(PACKAGE_PATH, stored);
    HANDLE package = CreateFileA(PACKAGE_PATH, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_FALSE(copyStoredMember(package, 40000, windowsPath("LEAD.DLL"), 0));
    closeMemberFile();
    CloseHandle(package);
    std::string written = contents("LEAD.DLL");
    EXPECT_LE(written.size(), stored.size());
    EXPECT_EQ(written, stored.substr(0, written.size()));
}

TEST_F(MemberFilesTest, FullDiskFailsTheMember)
{
    for (bool writeShort : {false, true}) {
        SCOPED_TRACE(writeShort ? "short write" : "failed write");
        sim::reset();
        sim::writeFile(PACKAGE_PATH, std::string(20000, 'p'));
        sim::limitDiskSpace(10000, writeShort);
        HANDLE package = CreateFileA(PACKAGE_PATH, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_FALSE(copyStoredMember(package, 20000, windowsPath("MYSAVER.SCR"), 0));
        closeMemberFile();
        CloseHandle(package);
    }
}

} // namespace
