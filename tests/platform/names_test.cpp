#include "sim_test_support.h"

#include <cstring>

namespace {

class NamesTest : public DesktopTest {};

TEST_F(NamesTest, FindFirstFileReportsTheLongAndShortName)
{
    struct Case {
        const char *name;
        const char *alternate;
    };
    const Case cases[] = {
        {"MYSAVER.SCR", ""},           /* already 8.3 */
        {"lower.scr", ""},             /* 8.3 once upper-cased */
        {"A.B", ""},
        {"NAME_1", ""},
        {"LongNamed.scr", "LONGNA~1.SCR"},
        {"My Saver.scr", "MYSAVE~1.SCR"},   /* spaces dropped */
        {"A.B.C", "AB~1.C"},
        {"NAME.HTML", "NAME~1.HTM"},
        {"ABCDEFGHI", "ABCDEF~1"},
        {"a+b.txt", "A_B~1.TXT"},           /* characters FAT refuses become '_' */
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = std::string("C:\\WINDOWS\\") + c.name;
        sim::writeFile(path, "12345");
        WIN32_FIND_DATAA data;
        std::memset(&data, 0x55, sizeof data);
        HANDLE find = FindFirstFileA(path.c_str(), &data);
        ASSERT_NE(find, INVALID_HANDLE_VALUE);
        EXPECT_STREQ(data.cFileName, c.name);
        EXPECT_STREQ(data.cAlternateFileName, c.alternate);
        EXPECT_EQ(data.nFileSizeLow, 5u);
        EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_NORMAL);
        EXPECT_TRUE(FindClose(find));
    }
}

TEST_F(NamesTest, FindFirstFileReportsTheNameAsStoredAndAChosenShortName)
{
    sim::writeFile("C:\\WINDOWS\\My Long Saver.scr", "x");
    sim::setShortName("c:\\windows\\MY LONG SAVER.SCR", "MY_L~JEL.SCR");
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA("C:\\windows\\my long saver.SCR", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, "My Long Saver.scr");
    EXPECT_STREQ(data.cAlternateFileName, "MY_L~JEL.SCR");
    FindClose(find);
}

TEST_F(NamesTest, FindFirstFileFailsOnMissingFilesAndWildcards)
{
    sim::writeFile("C:\\WINDOWS\\here.txt", "x");
    WIN32_FIND_DATAA data;
    for (const char *path : {"C:\\WINDOWS\\gone.txt", "C:\\WINDOWS\\*.txt", "C:\\WINDOWS\\here.txt\\"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(FindFirstFileA(path, &data), INVALID_HANDLE_VALUE);
    }
}

TEST_F(NamesTest, FindCloseTakesEachSearchHandleOnce)
{
    sim::writeFile("C:\\a.txt", "x");
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA("C:\\a.txt", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(FindClose(find));
    EXPECT_FALSE(FindClose(find));
}

TEST_F(NamesTest, AFileOpensUnderItsShortName)
{
    sim::writeFile("C:\\WINDOWS\\Long Saver Name.scr", "saver");
    sim::writeFile("C:\\WINDOWS\\Chosen Name.scr", "chosen");
    sim::setShortName("C:\\WINDOWS\\Chosen Name.scr", "PICKED~7.SCR");
    for (const char *path : {"C:\\WINDOWS\\LONGSA~1.SCR", "C:\\WINDOWS\\picked~7.scr"}) {
        SCOPED_TRACE(path);
        HANDLE file = openForReading(path);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        CloseHandle(file);
    }
    EXPECT_EQ(sim::readFile("C:\\WINDOWS\\LONGSA~1.SCR"), "saver");
    EXPECT_EQ(sim::readFile("C:\\WINDOWS\\PICKED~7.SCR"), "chosen");
}

} // namespace
