#include "sim_test_support.h"

namespace {

class FaultsTest : public DesktopTest {};

TEST_F(FaultsTest, FailCreateFileFailsTheNthAttemptOfThatPathOnly)
{
    sim::failCreateFile("C:\\WINDOWS\\a.scr", 2);
    std::vector<bool> opened;
    for (int attempt = 1; attempt <= 3; attempt++) {
        HANDLE file = createForWriting(attempt == 3 ? "c:\\windows\\A.SCR" : "C:\\WINDOWS\\a.scr");
        opened.push_back(file != INVALID_HANDLE_VALUE);
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        HANDLE other = createForWriting("C:\\WINDOWS\\b.scr");
        EXPECT_NE(other, INVALID_HANDLE_VALUE);
        CloseHandle(other);
    }
    EXPECT_EQ(opened, (std::vector<bool>{true, false, true}));
}

TEST_F(FaultsTest, FailedAttemptsCountToo)
{
    sim::failCreateFile("C:\\missing.txt", 2);
    sim::writeFile("C:\\later.txt", "x");
    EXPECT_EQ(openForReading("C:\\missing.txt"), INVALID_HANDLE_VALUE);  /* attempt 1: missing */
    sim::writeFile("C:\\missing.txt", "now here");
    EXPECT_EQ(openForReading("C:\\missing.txt"), INVALID_HANDLE_VALUE);  /* attempt 2: injected */
    HANDLE third = openForReading("C:\\missing.txt");
    EXPECT_NE(third, INVALID_HANDLE_VALUE);
    CloseHandle(third);
}

TEST_F(FaultsTest, DiskLimitCutsTheWriteThatPassesIt)
{
    for (bool writeShort : {true, false}) {
        SCOPED_TRACE(writeShort ? "short write" : "failed write");
        sim::reset();
        sim::limitDiskSpace(10, writeShort);
        HANDLE a = createForWriting("C:\\a.bin");
        HANDLE b = createForWriting("C:\\b.bin");
        DWORD done = 0;
        EXPECT_TRUE(WriteFile(a, "123456", 6, &done, nullptr));
        EXPECT_EQ(done, 6u);
        EXPECT_EQ(WriteFile(b, "abcdef", 6, &done, nullptr), writeShort ? TRUE : FALSE)
            << "the limit counts the bytes of every file";
        EXPECT_EQ(done, 4u);
        EXPECT_EQ(WriteFile(b, "z", 1, &done, nullptr), writeShort ? TRUE : FALSE);
        EXPECT_EQ(done, 0u);
        CloseHandle(a);
        CloseHandle(b);
        EXPECT_EQ(sim::readFile("C:\\b.bin"), "abcd");
    }
}

TEST_F(FaultsTest, PackageReadsEndAtTheLimitedOffset)
{
    sim::writeFile("C:\\package.exe", "0123456789");
    sim::limitPackageReads("C:\\PACKAGE.EXE", 6);
    HANDLE package = openForReading("C:\\package.exe");
    EXPECT_EQ(readBytes(package, 4), "0123");
    EXPECT_EQ(readBytes(package, 4), "45");
    EXPECT_EQ(readBytes(package, 4), "");
    SetFilePointer(package, 8, nullptr, FILE_BEGIN);
    EXPECT_EQ(readBytes(package, 4), "");
    CloseHandle(package);
    sim::writeFile("C:\\other.bin", "0123456789");
    HANDLE other = openForReading("C:\\other.bin");
    EXPECT_EQ(readBytes(other, 10), "0123456789");
    CloseHandle(other);
}

TEST_F(FaultsTest, ALockedFileCannotBeOpenedOrDeletedUntilItsWindowQuits)
{
    sim::writeFile("C:\\WINDOWS\\old.scr", "old");
    HWND display = sim::createWindow("Display Properties");
    sim::lockFile("C:\\WINDOWS\\old.scr");
    sim::unlockOnQuit("C:\\WINDOWS\\OLD.SCR", display);
    EXPECT_EQ(createForWriting("C:\\WINDOWS\\old.scr"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(openForReading("C:\\WINDOWS\\old.scr"), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(DeleteFileA("C:\\WINDOWS\\old.scr"));
    PostMessageA(display, WM_CLOSE, 0, 0);
    EXPECT_EQ(openForReading("C:\\WINDOWS\\old.scr"), INVALID_HANDLE_VALUE) << "only WM_QUIT releases it";

    PostMessageA(display, WM_QUIT, 0, 0);
    HANDLE file = createForWriting("C:\\WINDOWS\\old.scr");
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
}

TEST_F(FaultsTest, ALockWithoutAQuitWindowStays)
{
    HWND display = sim::createWindow("Display Properties");
    sim::lockFile("C:\\WINDOWS\\a.scr");
    PostMessageA(display, WM_QUIT, 0, 0);
    EXPECT_EQ(createForWriting("C:\\WINDOWS\\a.scr"), INVALID_HANDLE_VALUE);
}

} // namespace
