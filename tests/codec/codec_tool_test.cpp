/* `quorbell encode` and `quorbell decode`, run as a user would. */
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>

#include "codec_test_support.h"
#include "reference_coder.h"

namespace {

struct ToolRun {
    int exitCode;
    std::string out;
    std::string err;
};

std::string shellQuoted(const std::string &arg) { return "'" + arg + "'"; }

std::string fileText(const std::string &path)
{
    Bytes bytes = readBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

ToolRun quorbell(const std::string &args)
{
    std::string out = tempPath("tool.stdout"), err = tempPath("tool.stderr");
    std::string command = shellQuoted(QUORBELL_TOOL) + " " + args + " >" + shellQuoted(out) + " 2>" + shellQuoted(err) + " </dev/null";
    int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, fileText(out), fileText(err)};
}

bool exists(const std::string &path) { return std::filesystem::exists(path); }

size_t lineCount(const std::string &text) { return size_t(std::count(text.begin(), text.end(), '\n')); }

TEST(CodecTool, EncodeWritesTheStreamAFreshProcessWrites)
{
    /* Encoded in-process after other streams, and by the tool in a process
     * of its own: the same bytes. */
    const Bytes plain = {'X', 'Y', 'Z', '1', 'X', 'Y', 'Z', '2', 'X', 'Y', 'Z'};
    encodeBytes(plain + Bytes{'2'});
    std::string in = tempPath("five.txt"), out = tempPath("five.qbs");
    writeBytes(in, plain);
    ToolRun r = quorbell("encode " + shellQuoted(in) + " " + shellQuoted(out));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(readBytes(out), encodeBytes(plain));
    EXPECT_EQ(readBytes(out), reference::encode(plain));
}

TEST(CodecTool, DecodeAtAnOffsetPrintsConsumed)
{
    const Bytes plain = textBytes(30000);
    const Bytes stream = encodeBytes(plain);
    std::string in = tempPath("package.bin"), out = tempPath("member.txt");
    writeBytes(in, randomBytes(123, 1) + stream + encodeBytes(textBytes(10)));
    ToolRun r = quorbell("decode " + shellQuoted(in) + " " + shellQuoted(out) + " --offset 123");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "consumed " + std::to_string(stream.size()) + "\n");
    EXPECT_EQ(readBytes(out), plain);
}

TEST(CodecTool, RoundTripThroughTheTool)
{
    const Bytes plain = randomBytes(50000, 2) + textBytes(50000);
    std::string in = tempPath("plain.bin"), packed = tempPath("plain.qbs"), back = tempPath("plain.back");
    writeBytes(in, plain);
    ASSERT_EQ(quorbell("encode " + shellQuoted(in) + " " + shellQuoted(packed)).exitCode, 0);
    ToolRun r = quorbell("decode " + shellQuoted(packed) + " " + shellQuoted(back));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "consumed " + std::to_string(readBytes(packed).size()) + "\n");
    EXPECT_EQ(readBytes(back), plain);
}

TEST(CodecTool, DamagedStreamExitsOneAndLeavesNoOutput)
{
    Bytes stream = encodeBytes(textBytes(30000));
    stream[blockOffsets(stream)[1] + 2] ^= 0x40;
    std::string in = tempPath("damaged.qbs"), out = tempPath("damaged.out");
    writeBytes(in, stream);
    ToolRun r = quorbell("decode " + shellQuoted(in) + " " + shellQuoted(out));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(lineCount(r.err), 1u) << r.err;
    EXPECT_TRUE(r.out.empty());
    EXPECT_FALSE(exists(out));
}

TEST(CodecTool, UserErrorsExitTwoWithOneLine)
{
    std::string stream = tempPath("small.qbs"), out = tempPath("never.out"), folder = tempPath("folder");
    std::filesystem::create_directory(folder);
    writeBytes(stream, encodeBytes(textBytes(100)));
    const std::string cases[] = {
        "encode " + shellQuoted(tempPath("missing.txt")) + " " + shellQuoted(out),
        "decode " + shellQuoted(tempPath("missing.qbs")) + " " + shellQuoted(out),
        "decode " + shellQuoted(stream) + " " + shellQuoted(out) + " --offset 100000",
        "decode " + shellQuoted(stream) + " " + shellQuoted(stream),
        "encode " + shellQuoted(folder) + " " + shellQuoted(out),
        "decode " + shellQuoted(stream),
        "decode " + shellQuoted(stream) + " " + shellQuoted(out) + " --offset x",
        "encode",
    };
    for (const std::string &args : cases) {
        ToolRun r = quorbell(args);
        EXPECT_EQ(r.exitCode, 2) << args;
        EXPECT_EQ(lineCount(r.err), 1u) << args << ": " << r.err;
        EXPECT_FALSE(exists(out)) << args;
    }
    EXPECT_EQ(readBytes(stream), encodeBytes(textBytes(100)));
}

} // namespace
