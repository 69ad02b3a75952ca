#include "sim_test_support.h"

#include <cstring>

namespace {

class ProfileTest : public DesktopTest {};

TEST_F(ProfileTest, GetWindowsDirectoryCopiesOnlyWhatFitsWithItsNul)
{
    const std::string longDirectory = "C:\\" + std::string(300, 'w');
    struct Case {
        std::string directory;
        UINT size;
        UINT result;
        bool copied;
    };
    const Case cases[] = {
        {"C:\\WINDOWS", MAX_PATH, 10, true},       /* the default */
        {"C:\\WINDOWS", 11, 10, true},             /* exactly fits with NUL */
        {"C:\\WINDOWS", 10, 11, false},            /* one short: size needed */
        {"C:\\WIN\\", MAX_PATH, 7, true},          /* trailing backslash kept */
        {longDirectory, MAX_PATH, 304, false},     /* longer than 259 */
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.directory.substr(0, 20) + " in " + std::to_string(c.size));
        sim::reset();
        if (c.directory != "C:\\WINDOWS")
            sim::setWindowsDirectory(c.directory);
        char buffer[MAX_PATH + 64];
        std::memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(GetWindowsDirectoryA(buffer, c.size), c.result);
        if (c.copied)
            EXPECT_EQ(std::string(buffer), c.directory);
        else
            EXPECT_EQ(buffer[0], '#') << "nothing is written when it does not fit";
    }
}

TEST_F(ProfileTest, SetWindowsDirectoryCreatesTheFolder)
{
    sim::setWindowsDirectory("C:\\WINNT\\");
    sim::writeFile("C:\\winnt\\probe", "");
    EXPECT_EQ(sim::hostPath("C:\\WINNT\\probe"), sim::driveRoot() + "/WINNT/probe");
}

TEST_F(ProfileTest, WritingAProfileKeepsOtherSectionsAndKeys)
{
    sim::writeFile("C:\\WINDOWS\\system.ini", "[drivers]\r\nwave=mmdrv.dll\r\n\r\n[Boot]\r\nshell=progman.exe\r\n"
                                              "scrnsave.exe=C:\\OLD.SCR\r\n\r\n[mci]\r\ncdaudio=mcicda.drv\r\n");
    struct Case {
        const char *section, *key, *value, *expected;
    };
    const Case cases[] = {
        /* replacing a key, matched ignoring case, keeps its place and spelling */
        {"boot", "SCRNSAVE.EXE", "C:\\WINDOWS\\NEW.SCR",
         "[drivers]\r\nwave=mmdrv.dll\r\n\r\n[Boot]\r\nshell=progman.exe\r\nscrnsave.exe=C:\\WINDOWS\\NEW.SCR\r\n"
         "\r\n[mci]\r\ncdaudio=mcicda.drv\r\n"},
        /* a new key goes after the section's last entry */
        {"BOOT", "fonts.fon", "vgasys.fon",
         "[drivers]\r\nwave=mmdrv.dll\r\n\r\n[Boot]\r\nshell=progman.exe\r\nscrnsave.exe=C:\\WINDOWS\\NEW.SCR\r\n"
         "fonts.fon=vgasys.fon\r\n\r\n[mci]\r\ncdaudio=mcicda.drv\r\n"},
        /* a new section goes at the end */
        {"desktop", "Wallpaper", "(None)",
         "[drivers]\r\nwave=mmdrv.dll\r\n\r\n[Boot]\r\nshell=progman.exe\r\nscrnsave.exe=C:\\WINDOWS\\NEW.SCR\r\n"
         "fonts.fon=vgasys.fon\r\n\r\n[mci]\r\ncdaudio=mcicda.drv\r\n[desktop]\r\nWallpaper=(None)\r\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        EXPECT_TRUE(WritePrivateProfileStringA(c.section, c.key, c.value, "system.ini"));
        EXPECT_EQ(sim::readFile("C:\\WINDOWS\\system.ini"), c.expected);
    }
}

TEST_F(ProfileTest, AProfileIsCreatedWhereverItsPathPoints)
{
    sim::setWindowsDirectory("C:\\WIN\\");
    EXPECT_TRUE(WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", "C:\\WIN\\A.SCR", "system.ini"));
    EXPECT_EQ(sim::readFile("C:\\WIN\\system.ini"), "[boot]\r\nSCRNSAVE.EXE=C:\\WIN\\A.SCR\r\n");
    EXPECT_TRUE(WritePrivateProfileStringA("s", "k", "v", "C:\\other.ini"));
    EXPECT_EQ(sim::readFile("C:\\other.ini"), "[s]\r\nk=v\r\n");
    EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "v", "C:\\No Folder\\x.ini"));
}

TEST_F(ProfileTest, NullValueRemovesAKeyAndNullKeyASection)
{
    sim::writeFile("C:\\WINDOWS\\win.ini", "[a]\r\nx=1\r\ny=2\r\n[b]\r\nz=3\r\n");
    EXPECT_TRUE(WritePrivateProfileStringA("a", "X", nullptr, "win.ini"));
    EXPECT_EQ(sim::readFile("C:\\WINDOWS\\win.ini"), "[a]\r\ny=2\r\n[b]\r\nz=3\r\n");
    EXPECT_TRUE(WritePrivateProfileStringA("A", nullptr, nullptr, "win.ini"));
    EXPECT_EQ(sim::readFile("C:\\WINDOWS\\win.ini"), "[b]\r\nz=3\r\n");
}

TEST_F(ProfileTest, ScreenSaverSwitchFollowsTheLastSetting)
{
    EXPECT_FALSE(sim::screenSaverActivated());
    EXPECT_TRUE(SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr, SPIF_UPDATEINIFILE));
    EXPECT_TRUE(sim::screenSaverActivated());
    EXPECT_TRUE(SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, FALSE, nullptr, SPIF_UPDATEINIFILE));
    EXPECT_FALSE(sim::screenSaverActivated());
}

} // namespace
