#include "sim_test_support.h"

#include <cstdio>
#include <fstream>
#include <unistd.h>

namespace {

class FilesTest : public DesktopTest {};

TEST_F(FilesTest, DrivePathsLieUnderTheDriveRootWhateverTheCaseAndSlash)
{
    sim::writeFile("C:\\WINDOWS\\Saver.scr", "abc");
    const std::string expected = sim::driveRoot() + "/WINDOWS/Saver.scr";
    for (const char *spelling : {"C:\\WINDOWS\\Saver.scr", "c:\\windows\\SAVER.SCR", "C:/Windows/saver.scr",
                                 "c:\\WINDOWS\\.\\x\\..\\saver.scr"}) {
        SCOPED_TRACE(spelling);
        EXPECT_EQ(sim::hostPath(spelling), expected);
        HANDLE file = openForReading(spelling);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        EXPECT_EQ(readBytes(file, 10), "abc");
        CloseHandle(file);
    }
}

TEST_F(FilesTest, NewFilesKeepTheCaseTheyWereCreatedWith)
{
    HANDLE file = createForWriting("c:\\windows\\My Saver.SCR");
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    EXPECT_EQ(sim::hostPath("C:\\WINDOWS\\MY SAVER.scr"), sim::driveRoot() + "/WINDOWS/My Saver.SCR");
}

TEST_F(FilesTest, PathsWithoutADriveAreHostPaths)
{
    char folder[] = "/tmp/qb-host-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string path = std::string(folder) + "/Host.bin";
    EXPECT_EQ(sim::hostPath(path), path);
    EXPECT_EQ(sim::hostPath("relative/Name.txt"), "relative/Name.txt");
    HANDLE file = createForWriting(path);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(writeBytes(file, "host"), 4u);
    CloseHandle(file);
    EXPECT_EQ(sim::readFile(path), "host");
    EXPECT_TRUE(DeleteFileA(path.c_str()));
    rmdir(folder);
}

TEST_F(FilesTest, OtherDrivesDoNotExist)
{
    EXPECT_EQ(createForWriting("D:\\a.txt"), INVALID_HANDLE_VALUE);
}

TEST_F(FilesTest, CreateAlwaysTruncatesAnExistingFile)
{
    sim::writeFile("C:\\a.txt", "a long old content");
    HANDLE file = createForWriting("C:\\A.TXT");
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(writeBytes(file, "new"), 3u);
    CloseHandle(file);
    EXPECT_EQ(sim::readFile("C:\\a.txt"), "new");
}

TEST_F(FilesTest, FailedOpensReturnTheInvalidHandle)
{
    sim::writeFile("C:\\Folder\\inside.txt", "x");
    struct Case {
        const char *path;
        DWORD disposition;
    };
    const Case cases[] = {
        {"C:\\missing.txt", OPEN_EXISTING},          /* no such file */
        {"C:\\Folder", OPEN_EXISTING},               /* a directory */
        {"C:\\Folder", CREATE_ALWAYS},               /* a directory */
        {"C:\\No Folder\\new.txt", CREATE_ALWAYS},   /* no such folder */
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(openFile(c.path, GENERIC_READ, FILE_SHARE_READ, c.disposition), INVALID_HANDLE_VALUE);
    }
    EXPECT_FALSE(sim::fileExists("C:\\missing.txt"));
}

TEST_F(FilesTest, SharingFollowsBothShareModes)
{
    const DWORD RW = GENERIC_READ | GENERIC_WRITE, SHARE_RW = FILE_SHARE_READ | FILE_SHARE_WRITE;
    struct Case {
        DWORD firstAccess, firstShare, secondAccess, secondShare;
        bool secondOpens;
    };
    const Case cases[] = {
        {GENERIC_READ, FILE_SHARE_READ, GENERIC_READ, FILE_SHARE_READ, true},
        {GENERIC_READ, FILE_SHARE_READ, GENERIC_WRITE, SHARE_RW, false},   /* no FILE_SHARE_WRITE */
        {GENERIC_READ, SHARE_RW, GENERIC_WRITE, SHARE_RW, true},
        {GENERIC_WRITE, 0, GENERIC_READ, SHARE_RW, false},                 /* share 0 blocks all */
        {GENERIC_READ, 0, GENERIC_READ, SHARE_RW, false},
        {GENERIC_WRITE, SHARE_RW, GENERIC_READ, FILE_SHARE_READ, false},   /* second refuses a writer */
        {RW, SHARE_RW, RW, SHARE_RW, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << c.firstAccess << "/" << c.firstShare << " then "
                                          << c.secondAccess << "/" << c.secondShare);
        sim::writeFile("C:\\shared.bin", "data");
        HANDLE first = openFile("C:\\shared.bin", c.firstAccess, c.firstShare, OPEN_EXISTING);
        ASSERT_NE(first, INVALID_HANDLE_VALUE);
        HANDLE second = openFile("c:\\SHARED.BIN", c.secondAccess, c.secondShare, OPEN_EXISTING);
        EXPECT_EQ(second != INVALID_HANDLE_VALUE, c.secondOpens);
        if (second != INVALID_HANDLE_VALUE)
            CloseHandle(second);
        CloseHandle(first);
        HANDLE after = openFile("C:\\shared.bin", c.secondAccess, c.secondShare, OPEN_EXISTING);
        EXPECT_NE(after, INVALID_HANDLE_VALUE) << "closing ends the sharing conflict";
        CloseHandle(after);
    }
}

TEST_F(FilesTest, SetFilePointerMovesFromEachOrigin)
{
    sim::writeFile("C:\\ten.bin", "0123456789");
    HANDLE file = openForReading("C:\\ten.bin");
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(SetFilePointer(file, 4, nullptr, FILE_BEGIN), 4u);
    EXPECT_EQ(readBytes(file, 2), "45");
    EXPECT_EQ(SetFilePointer(file, -3, nullptr, FILE_CURRENT), 3u);
    EXPECT_EQ(SetFilePointer(file, -1, nullptr, FILE_END), 9u);
    EXPECT_EQ(readBytes(file, 5), "9");
    EXPECT_EQ(readBytes(file, 5), "") << "reading at the end gives zero bytes, not failure";
    EXPECT_EQ(SetFilePointer(file, -20, nullptr, FILE_END), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_CURRENT), 10u) << "a failed move leaves the position";
    CloseHandle(file);
}

TEST_F(FilesTest, AHandleOnlyDoesWhatItWasOpenedFor)
{
    sim::writeFile("C:\\a.bin", "abc");
    HANDLE reader = openForReading("C:\\a.bin");
    DWORD count = 99;
    EXPECT_FALSE(WriteFile(reader, "x", 1, &count, nullptr));
    EXPECT_EQ(count, 0u);
    CloseHandle(reader);
    HANDLE writer = openFile("C:\\a.bin", GENERIC_WRITE, 0, OPEN_EXISTING);
    char byte;
    EXPECT_FALSE(ReadFile(writer, &byte, 1, &count, nullptr));
    CloseHandle(writer);
    EXPECT_FALSE(CloseHandle(writer)) << "a handle closes once";
    EXPECT_EQ(sim::readFile("C:\\a.bin"), "abc");
}

TEST_F(FilesTest, DeleteFailsOnMissingOpenAndFolders)
{
    sim::writeFile("C:\\Folder\\doomed.txt", "x");
    EXPECT_FALSE(DeleteFileA("C:\\missing.txt"));
    EXPECT_FALSE(DeleteFileA("C:\\Folder"));
    HANDLE open = openForReading("C:\\folder\\doomed.txt");
    EXPECT_FALSE(DeleteFileA("C:\\Folder\\DOOMED.TXT"));
    CloseHandle(open);
    EXPECT_TRUE(DeleteFileA("C:\\Folder\\DOOMED.TXT"));
    EXPECT_FALSE(sim::fileExists("C:\\Folder\\doomed.txt"));
}

TEST_F(FilesTest, ResetStartsAnEmptyDriveAndRemovesTheOldOne)
{
    sim::writeFile("C:\\left.txt", "x");
    HANDLE stillOpen = openForReading("C:\\left.txt");
    ASSERT_NE(stillOpen, INVALID_HANDLE_VALUE);
    const std::string oldRoot = sim::driveRoot();
    sim::reset();
    EXPECT_NE(sim::driveRoot(), oldRoot);
    EXPECT_NE(access(oldRoot.c_str(), F_OK), 0);
    EXPECT_FALSE(sim::fileExists("C:\\left.txt"));
    EXPECT_EQ(access((sim::driveRoot() + "/WINDOWS").c_str(), F_OK), 0);
    EXPECT_TRUE(sim::trace().empty());
}

/* Before any reset, and after closeDesktop, the calls are plain host file
 * calls: no drive mapping, no trace. */
TEST(PassThroughTest, FileCallsWorkOnHostPathsWithoutTrace)
{
    sim::closeDesktop();
    char folder[] = "/tmp/qb-pass-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string path = std::string(folder) + "/big.bin";
    const std::string block(1 << 20, 'q');

    HANDLE file = createForWriting(path);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(writeBytes(file, block), block.size());
    CloseHandle(file);

    file = openForReading(path);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_END), 3u << 20);
    EXPECT_EQ(SetFilePointer(file, (2 << 20) + 5, nullptr, FILE_BEGIN), (2u << 20) + 5);
    EXPECT_EQ(readBytes(file, 1 << 21).size(), (1u << 20) - 5);
    HANDLE writer = openFile(path, GENERIC_WRITE, 0, OPEN_EXISTING);
    EXPECT_NE(writer, INVALID_HANDLE_VALUE) << "no sharing rules on the host";
    CloseHandle(writer);
    CloseHandle(file);
    EXPECT_EQ(openForReading(std::string(folder) + "/missing"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(openForReading(folder), INVALID_HANDLE_VALUE);
    EXPECT_TRUE(DeleteFileA(path.c_str()));
    EXPECT_FALSE(DeleteFileA(path.c_str()));
    EXPECT_TRUE(sim::trace().empty());
    rmdir(folder);
}

} // namespace
