/* Windows-1252 conversion and the rules for member names and texts. */
#include "byte_io.h"
#include "member_names.h"
#include "win1252.h"

#include <gtest/gtest.h>

namespace {

struct Conversion {
    const char *utf8;
    const char *ansi; /* nullptr: must be refused */
    const char *badCharacter;
};

class Utf8ToWin1252 : public ::testing::TestWithParam<Conversion> {};

TEST_P(Utf8ToWin1252, ConvertsOrNamesTheOffender)
{
    const Conversion &c = GetParam();
    std::string bad;
    std::optional<std::string> ansi = utf8ToWin1252(c.utf8, &bad);
    if (c.ansi) {
        ASSERT_TRUE(ansi.has_value()) << bad;
        EXPECT_EQ(*ansi, c.ansi);
    } else {
        EXPECT_FALSE(ansi.has_value());
        EXPECT_EQ(bad, c.badCharacter);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Utf8ToWin1252,
    ::testing::Values(Conversion{"plain ASCII", "plain ASCII", ""},
                      Conversion{"Caf\xC3\xA9 \xC3\xBF", "Caf\xE9 \xFF", ""},                    /* Latin-1 range */
                      Conversion{"\xE2\x82\xAC \xE2\x84\xA2 \xC5\xA0", "\x80 \x99 \x8A", ""},   /* euro, TM, S caron */
                      Conversion{"\xE2\x80\x9Cq\xE2\x80\x9D", "\x93q\x94", ""},                 /* curly quotes */
                      Conversion{"", "", ""},
                      Conversion{"\xE4\xB8\xAD", nullptr, "U+4E2D"},                            /* CJK */
                      Conversion{"ok \xF0\x9F\x98\x80", nullptr, "U+1F600"},                   /* emoji */
                      Conversion{"\xC2\x81", nullptr, "U+0081"},              /* C1 control, not 0x81's meaning */
                      Conversion{"ab\xC3", nullptr, "invalid UTF-8 at byte 3"},                /* truncated */
                      Conversion{"\xC0\xAF", nullptr, "invalid UTF-8 at byte 1"},              /* overlong '/' */
                      Conversion{"\xED\xA0\x80", nullptr, "invalid UTF-8 at byte 1"},          /* surrogate */
                      Conversion{"\xE9t\xE9", nullptr, "invalid UTF-8 at byte 1"}));           /* already 1252 */

TEST(Win1252, EveryDefinedByteSurvivesTheRoundTrip)
{
    for (int byte = 1; byte < 256; ++byte) {
        std::string ansi(1, char(byte));
        std::string utf8 = win1252ToUtf8(ansi);
        if (isUndefinedInWin1252(static_cast<unsigned char>(byte))) {
            EXPECT_EQ(utf8, "\xEF\xBF\xBD") << byte;
            EXPECT_FALSE(utf8ToWin1252(utf8).has_value()) << byte;
        } else {
            std::optional<std::string> back = utf8ToWin1252(utf8);
            ASSERT_TRUE(back.has_value()) << byte;
            EXPECT_EQ(*back, ansi) << byte;
        }
    }
}

TEST(ConfigText, SixtyThreeBytesFitAndSixtyFourDoNot)
{
    EXPECT_EQ(configTextFromUtf8(std::string(63, 'x'), "--confirm").size(), 63u);
    /* 32 two-byte UTF-8 characters are 32 bytes in 1252: the limit counts
     * the stored bytes. */
    std::string eAcute;
    for (int i = 0; i < 63; ++i)
        eAcute += "\xC3\xA9";
    EXPECT_EQ(configTextFromUtf8(eAcute, "--confirm").size(), 63u);
    try {
        configTextFromUtf8(std::string(64, 'x'), "--confirm");
        FAIL() << "64 bytes accepted";
    } catch (const ToolError &e) {
        EXPECT_EQ(e.exitCode, 2);
        EXPECT_NE(std::string(e.what()).find("--confirm is 64 bytes"), std::string::npos) << e.what();
    }
}

struct NameCase {
    const char *name;
    const char *problem; /* nullptr: a valid name */
};

class MemberName : public ::testing::TestWithParam<NameCase> {};

TEST_P(MemberName, IsJudgedAsWindowsWould)
{
    std::optional<std::string> problem = memberNameProblem(GetParam().name);
    if (!GetParam().problem) {
        EXPECT_FALSE(problem.has_value()) << *problem;
    } else {
        ASSERT_TRUE(problem.has_value());
        EXPECT_NE(problem->find(GetParam().problem), std::string::npos) << *problem;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, MemberName,
    ::testing::Values(NameCase{"MYSAVER.SCR", nullptr}, NameCase{"My Long Saver.scr", nullptr},
                      NameCase{"caf\xE9.dll", nullptr}, NameCase{"..x", nullptr}, NameCase{"a..b", nullptr},
                      NameCase{"CONSOLE.TXT", nullptr}, NameCase{"", "empty"},
                      NameCase{"/etc/passwd", "absolute"}, NameCase{"\\Windows\\x.scr", "absolute"},
                      NameCase{"C:x.scr", "drive letter"}, NameCase{"c:\\x.scr", "drive letter"},
                      NameCase{"..", "'..' component"}, NameCase{"../x.scr", "'..' component"},
                      NameCase{"sub\\..\\..\\x.scr", "'..' component"}, NameCase{"sub/x.scr", "separator"},
                      NameCase{"a:b", "drive letter"}, NameCase{"ab:c", "':'"}, NameCase{"what?.scr", "'?'"}, NameCase{"a*b", "'*'"},
                      NameCase{"a<b>", "'<'"}, NameCase{"a|b", "'|'"}, NameCase{"say\"hi\"", "'\"'"},
                      NameCase{"tab\there", "control character"}, NameCase{"x.scr.", "dot or space"},
                      NameCase{"x.scr ", "dot or space"}, NameCase{"CON", "device name"},
                      NameCase{"nul.txt", "device name"}, NameCase{"Com7.scr", "device name"},
                      NameCase{"LPT1", "device name"}, NameCase{"bad\x81.scr", "undefined"}));

TEST(MemberName, SameFileIgnoresCaseAsWindowsDoes)
{
    EXPECT_TRUE(sameWindowsName("Saver.SCR", "saver.scr"));
    EXPECT_TRUE(sameWindowsName("\xE9t\xE9.scr", "\xC9T\xC9.SCR"));
    EXPECT_TRUE(sameWindowsName("\x9A.dll", "\x8A.DLL"));
    EXPECT_FALSE(sameWindowsName("a.scr", "b.scr"));
    EXPECT_FALSE(sameWindowsName("\xF7", "\xD7")); /* division and multiplication signs */
}

TEST(MessageText, AllowsLineBreaksButNoOtherControls)
{
    EXPECT_FALSE(textProblem("Install?\r\nIt takes a second.").has_value());
    EXPECT_FALSE(textProblem("\x80 \xFF").has_value());
    EXPECT_TRUE(textProblem(std::string("bell\a")).has_value());
    EXPECT_TRUE(textProblem("del\x7F").has_value());
    EXPECT_TRUE(textProblem("undefined \x9D").has_value());
}

} // namespace
