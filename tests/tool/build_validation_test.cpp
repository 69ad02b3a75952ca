/* Every way build refuses its inputs: exit 2, one line naming the fault, no
 * output file, nothing left behind, and an existing output untouched. */
#include "tool_test_support.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

struct Refusal {
    const char *label;
    std::vector<std::string> extra; /* arguments after the valid base ones; "@name" is a path in the test dir */
    const char *expected;           /* part of the one line on stderr */
};

std::string repeated(const std::string &piece, int times)
{
    std::string text;
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}

class BuildRefuses : public ToolTest {
protected:
    void SetUp() override
    {
        ToolTest::SetUp();
        write("saver.scr", "saver");
        write("tail.txt", "tail");
        write("empty.bin", "");
        write("ab:c.scr", "odd name");
        write("CON", "device");
        write("text.exe", "not an executable at all");
        write("none.exe", syntheticStub(0));
        write("two.exe", syntheticStub(2));
        write("trailing.exe", syntheticStub() + "overlay");
        fs::create_directories(path("folder"));
        /* Sparse files: sized, never read, since sizes are checked first. */
        write("huge.bin", "");
        fs::resize_file(path("huge.bin"), 0x100000000ull);
        write("big.bin", "");
        fs::resize_file(path("big.bin"), 0xC0000000ull);
        write("hugestub.exe", syntheticStub());
        fs::resize_file(path("hugestub.exe"), 0x80000000ull);
        RunResult built = runQuorbell({"build", "-o", path("built.exe"), "--stub", stub(), "--saver", path("saver.scr"),
                                       "--tail", path("tail.txt")});
        ASSERT_EQ(built.exitCode, 0) << built.err;
    }

    std::vector<std::string> expand(const std::vector<std::string> &args) const
    {
        std::vector<std::string> out;
        for (const std::string &arg : args)
            out.push_back(!arg.empty() && arg[0] == '@' ? path(arg.substr(1)) : arg);
        return out;
    }
};

TEST_F(BuildRefuses, EachFaultWithOneLineAndNoOutput)
{
    const std::string longName(60, 'n');
    const Refusal cases[] = {
        {"missing saver", {"--saver", "@nope.scr"}, "nope.scr: no such file"},
        {"missing tail", {"--tail", "@nope.txt"}, "nope.txt: no such file"},
        {"directory as input", {"--tail", "@folder"}, "folder: not a regular file"},
        {"missing lead", {"--lead", "@nope.dll"}, "nope.dll: no such file"},
        {"missing append", {"--append", "@nope.bin"}, "nope.bin: no such file"},
        {"name of 64 bytes", {"--saver-name", longName + ".scr"}, "--saver-name is 64 bytes"},
        {"name of 65 bytes in 1252", {"--tail-name", std::string(64, 'x') + "\xC3\xA9"}, "--tail-name is 65 bytes"},
        {"text of 64 bytes", {"--confirm", std::string(64, 'c')}, "--confirm is 64 bytes"},
        {"text of 64 accented bytes", {"--progress", repeated("\xC3\xA9", 64)}, "--progress is 64 bytes"},
        {"text outside 1252", {"--success", "\xE4\xB8\xAD\xE6\x96\x87"}, "not representable in Windows-1252 (U+4E2D)"},
        {"name outside 1252", {"--tail-name", "check\xE2\x9C\x93.txt"}, "(U+2713)"},
        {"argument not UTF-8", {"--failure", "\xE9t\xE9"}, "invalid UTF-8 at byte 1"},
        {"control in text", {"--confirm", "ring\x07"}, "--confirm text has a control character"},
        {"empty name", {"--saver-name", ""}, "--saver-name \"\" is empty"},
        {"absolute name", {"--saver-name", "/x.scr"}, "is an absolute path"},
        {"backslash absolute name", {"--tail-name", "\\x.txt"}, "is an absolute path"},
        {"drive letter", {"--saver-name", "C:\\x.scr"}, "has a drive letter"},
        {"dot-dot", {"--saver-name", "..\\x.scr"}, "has a '..' component"},
        {"dot-dot forward", {"--tail-name", "a/../../x.txt"}, "has a '..' component"},
        {"subdirectory", {"--saver-name", "sub\\x.scr"}, "has a directory separator"},
        {"forbidden character", {"--saver-name", "what?.scr"}, "which Windows forbids"},
        {"forbidden character from the file name", {"--saver", "@ab:c.scr"}, "--saver-name \"ab:c.scr\" has the character ':'"},
        {"device name", {"--tail", "@CON"}, "is a Windows device name"},
        {"trailing dot", {"--saver-name", "x.scr."}, "ends in a dot or space"},
        {"same names", {"--saver-name", "X.SCR", "--tail-name", "x.scr"}, "member names must differ"},
        {"lead named like the tail", {"--lead", "@saver.scr", "--lead-name", "tail.txt"}, "member names must differ"},
        {"member of 4 GiB", {"--saver", "@huge.bin"}, "holds at most 4 GiB - 1"},
        {"stored package past 2 GiB", {"--saver", "@big.bin", "--stored"}, "the package is too large: the tail would start at"},
        {"stub too large for payloadOffset", {"--stub", "@hugestub.exe"}, "payloadOffset would not fit a signed 32-bit value"},
        {"stub without block", {"--stub", "@none.exe"}, "the configuration block was found 0 times, not once"},
        {"stub with two blocks", {"--stub", "@two.exe"}, "the configuration block was found 2 times, not once"},
        {"stub with a payload", {"--stub", "@built.exe"}, "already carries a payload (payloadOffset"},
        {"stub with an overlay", {"--stub", "@trailing.exe"}, "already carries a payload (7 bytes after its image)"},
        {"stub not an executable", {"--stub", "@text.exe"}, "is not a Windows executable (no MZ header)"},
        {"missing stub", {"--stub", "@nostub.exe"}, "nostub.exe does not exist"},
        {"three appends", {"--append", "@saver.scr", "--append", "@saver.scr", "--append", "@tail.txt"},
         "--append given 3 times; a package holds at most 2"},
        {"empty lead", {"--lead", "@empty.bin"}, "is empty; an empty lead or appended stream cannot be stored"},
        {"empty append", {"--append", "@empty.bin"}, "is empty; an empty lead or appended stream cannot be stored"},
        {"lead name alone", {"--lead-name", "x.dll"}, "--lead-name needs --lead"},
        {"unknown option", {"--pack-harder"}, "--pack-harder"},
    };
    for (const Refusal &c : cases) {
        write("out.exe", "an earlier package");
        /* The valid base, less the options the case gives itself. */
        std::vector<std::string> args = {"build", "-o", path("out.exe")};
        for (const auto &[option, value] : std::vector<std::pair<std::string, std::string>>{
                 {"--stub", stub()}, {"--saver", path("saver.scr")}, {"--tail", path("tail.txt")}})
            if (std::find(c.extra.begin(), c.extra.end(), option) == c.extra.end())
                args.insert(args.end(), {option, value});
        for (const std::string &arg : expand(c.extra))
            args.push_back(arg);
        std::vector<std::string> before = listing();
        RunResult result = runQuorbell(args);
        EXPECT_EQ(result.exitCode, 2) << c.label << ": " << result.err;
        EXPECT_NE(result.err.find(c.expected), std::string::npos) << c.label << ": " << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << c.label << ": " << result.err;
        EXPECT_TRUE(result.out.empty()) << c.label << ": " << result.out;
        EXPECT_EQ(readBytes(path("out.exe")), "an earlier package") << c.label;
        EXPECT_EQ(listing(), before) << c.label;
    }
}

TEST_F(BuildRefuses, MissingOutputDirectoryAndRequiredOptions)
{
    RunResult noDirectory = runQuorbell({"build", "-o", path("no/such/dir/out.exe"), "--stub", stub(), "--saver",
                                         path("saver.scr"), "--tail", path("tail.txt")});
    EXPECT_EQ(noDirectory.exitCode, 2);
    EXPECT_NE(noDirectory.err.find("does not exist"), std::string::npos) << noDirectory.err;
    EXPECT_FALSE(fs::exists(path("no")));

    for (const char *left : {"-o", "--saver", "--tail"}) {
        std::vector<std::string> args = {"build"};
        for (const auto &[option, value] : std::vector<std::pair<std::string, std::string>>{
                 {"-o", path("fresh.exe")}, {"--saver", path("saver.scr")}, {"--tail", path("tail.txt")}})
            if (option != left)
                args.insert(args.end(), {option, value});
        args.insert(args.end(), {"--stub", stub()});
        RunResult result = runQuorbell(args);
        EXPECT_EQ(result.exitCode, 2) << left;
        EXPECT_NE(result.err.find("is required"), std::string::npos) << result.err;
        EXPECT_FALSE(fs::exists(path("fresh.exe")));
    }
}

TEST_F(BuildRefuses, NothingButAWarningForProgressWithoutAWindow)
{
    for (const char *mode : {"--stored", "--quiet"}) {
        RunResult result = runQuorbell({"build", "-o", path("p.exe"), "--stub", stub(), "--saver", path("saver.scr"),
                                        "--tail", path("tail.txt"), "--progress", "Working", mode});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_NE(result.err.find("note: --progress has no effect"), std::string::npos) << result.err;
        EXPECT_EQ(runQuorbell({"verify", path("p.exe")}).exitCode, 0);
    }
}

} // namespace
