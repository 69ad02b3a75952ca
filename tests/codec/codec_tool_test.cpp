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

struct Run {
    int exitCode;
    std::string out;
    std::string err;
};

std::string quoted(const std::string &arg) { return "'" + arg + "'"; }

std::string fileText(const std::string &path)
{
    Bytes bytes = readBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

Run quorbell(const std::string &args)
{
    std::string out = tempPath("tool.stdout"), err = tempPath("tool.stderr");
    std::string command = quoted(QUORBELL_TOOL) + " " + args + " >" + quoted(out) + " 2>" + quoted(err) + " </dev/null";
    int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, fileText(out), fileText(err)};
}

bool exists(const std::string &path) { return std::filesystem::exists(path); }

size_t lineCount(const std::string &text) { return size_t(std::count(text.begin(), text.end(), '\n')); }

TEST(CodecTool, EncodeWritesTheStreamAFreshProcessWrites)
{
    /* Encoded in-process after other streams, and by the tool in a process
     * of its own: the same bytes. */
    encodeBytes(textBytes(20000));
    const Bytes plain = Bytes{'a', 'b', 'c', 'a', 'b'};
    std::string in = tempPath("five.txt"), out = tempPath("five.qbs");
    writeBytes(in, plain);
    Run r = quorbell("encode " + quoted(in) + " " + quoted(out));
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
    Run r = quorbell("decode " + quoted(in) + " " + quoted(out) + " --offset 123");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "consumed " + std::to_string(stream.size()) + "\n");
    EXPECT_EQ(readBytes(out), plain);
}

TEST(CodecTool, RoundTripThroughTheTool)
{
    const Bytes plain = randomBytes(50000, 2) + textBytes(50000);
    std::string in = tempPath("plain.bin"), packed = tempPath("plain.qbs"), back = tempPath("plain.back");
    writeBytes(in, plain);
    ASSERT_EQ(quorbell("encode " + quoted(in) + " " + quoted(packed)).exitCode, 0);
    Run r = quorbell("decode " + quoted(packed) + " " + quoted(back));
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
    Run r = quorbell("decode " + quoted(in) + " " + quoted(out));
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
        "encode " + quoted(tempPath("missing.txt")) + " " + quoted(out),
        "decode " + quoted(tempPath("missing.qbs")) + " " + quoted(out),
        "decode " + quoted(stream) + " " + quoted(out) + " --offset 100000",
        "decode " + quoted(stream) + " " + quoted(stream),
        "encode " + quoted(folder) + " " + quoted(out),
        "decode " + quoted(stream),
        "decode " + quoted(stream) + " " + quoted(out) + " --offset x",
        "encode",
    };
    for (const std::string &args : cases) {
        Run r = quorbell(args);
        EXPECT_EQ(r.exitCode, 2) << args;
        EXPECT_EQ(lineCount(r.err), 1u) << args << ": " << r.err;
        EXPECT_FALSE(exists(out)) << args;
    }
    EXPECT_EQ(readBytes(stream), encodeBytes(textBytes(100)));
}

} // namespace
