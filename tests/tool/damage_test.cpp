/* verify against damaged packages: a flipped byte in every member, stored
 * and packed; truncation; a damaged record or block; and what must not count
 * as damage (bytes after the payload, a package without a record). */
#include "package_block.h"
#include "tool_test_support.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <random>

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

std::string noise(size_t count, unsigned seed)
{
    std::mt19937 generator(seed);
    std::string bytes(count, '\0');
    for (char &b : bytes)
        b = char(generator() % 7 == 0 ? generator() : 'a' + generator() % 4); /* compressible, not trivial */
    return bytes;
}

class DamagedPackage : public ToolTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override
    {
        ToolTest::SetUp();
        std::vector<std::string> args = {"build", "-o", path("p.exe"), "--stub", stub(),
                                         "--lead", write("lead.dll", noise(30000, 1)),
                                         "--saver", write("saver.scr", noise(25000, 2)),
                                         "--append", write("a1.bin", noise(900, 3)),
                                         "--append", write("a2.bin", noise(12000, 4)),
                                         "--tail", write("tail.txt", noise(15000, 5))};
        if (GetParam())
            args.push_back("--stored");
        RunResult built = runQuorbell(args);
        ASSERT_EQ(built.exitCode, 0) << built.err;
        report_ = json::parse(runQuorbell({"info", path("p.exe"), "--json"}).out);
        package_ = readBytes(path("p.exe"));
    }

    RunResult verifyWith(const std::string &bytes)
    {
        write("damaged.exe", bytes);
        return runQuorbell({"verify", path("damaged.exe")});
    }

    std::string withBlock(const std::function<void(PackageConfig &)> &change)
    {
        std::string bytes = package_;
        uint64_t at = findBlocks(bytes, bytes.size()).at(0);
        unsigned char *block = reinterpret_cast<unsigned char *>(&bytes[size_t(at)]);
        PackageConfig config = decodeBlock(block);
        change(config);
        encodeBlock(config, block);
        return bytes;
    }

    json report_;
    std::string package_;
};

TEST_P(DamagedPackage, AFlippedByteInAnyMemberIsCaughtAndNamed)
{
    for (const json &member : report_["members"]) {
        uint64_t offset = member["offset"];
        bool packed = member["mode"] == "packed";
        uint64_t length = packed ? member["packedLength"].get<uint64_t>() : member["size"].get<uint64_t>();
        std::string role = member["role"];
        /* Past the first block of a packed stream, into its coded data. */
        uint64_t target = offset + (packed ? 10 + 6 + (length - 16) / 2 : length / 2);
        std::string bytes = package_;
        bytes[size_t(target)] ^= 0x10;
        RunResult verified = verifyWith(bytes);
        EXPECT_EQ(verified.exitCode, 1) << role;
        EXPECT_NE(verified.out.find(role + " '"), std::string::npos) << role << ": " << verified.out;
        EXPECT_EQ(verified.out.find("sound"), std::string::npos) << verified.out;
        EXPECT_NE(verified.out.find(packed ? "does not decode" : "differ from the digest record"), std::string::npos)
            << verified.out;
    }
}

TEST_P(DamagedPackage, ATruncatedFileFails)
{
    for (size_t cut : {size_t(1), size_t(5000), package_.size() - size_t(report_["config"]["payloadOffset"]) - 1}) {
        RunResult verified = verifyWith(package_.substr(0, package_.size() - cut));
        EXPECT_EQ(verified.exitCode, 1) << cut;
        EXPECT_FALSE(verified.out.empty());
        RunResult extracted = runQuorbell({"extract", path("damaged.exe"), "-C", path("x")});
        EXPECT_EQ(extracted.exitCode, 1) << cut;
        EXPECT_TRUE(fs::is_empty(path("x"))) << "extract wrote from a damaged package";
    }
}

TEST_P(DamagedPackage, BytesAfterThePayloadChangeNothing)
{
    /* A file system that rounds sizes up pads with zeros. */
    std::string padded = package_ + std::string(4096 - package_.size() % 4096, '\0');
    RunResult verified = verifyWith(padded);
    EXPECT_EQ(verified.exitCode, 0) << verified.out;
    EXPECT_NE(verified.out.find(std::to_string(padded.size() - package_.size()) + " bytes after the payload"),
              std::string::npos)
        << verified.out;
    RunResult extracted = runQuorbell({"extract", path("damaged.exe"), "-C", path("x")});
    ASSERT_EQ(extracted.exitCode, 0) << extracted.err;
    EXPECT_EQ(readBytes(path("x/tail.txt")), readBytes(path("tail.txt")));
}

TEST_P(DamagedPackage, WithoutARecordOnlyTheFramingIsChecked)
{
    std::string foreign = withBlock([](PackageConfig &c) { std::memset(c.producerRecord, 0, sizeof c.producerRecord); });
    RunResult verified = verifyWith(foreign);
    EXPECT_EQ(verified.exitCode, 0) << verified.out;
    EXPECT_NE(verified.out.find("no digest record (another producer): framing and lengths checked only"),
              std::string::npos)
        << verified.out;

    std::string damagedRecord = withBlock([](PackageConfig &c) { c.producerRecord[13] ^= 1; });
    verified = verifyWith(damagedRecord);
    EXPECT_EQ(verified.exitCode, 1);
    EXPECT_NE(verified.out.find("digest record is damaged"), std::string::npos) << verified.out;
}

TEST_P(DamagedPackage, ABlockThatContradictsThePayloadFails)
{
    struct Case {
        const char *label;
        std::function<void(PackageConfig &)> change;
        const char *expected;
    };
    const Case cases[] = {
        {"saver size", [](PackageConfig &c) { c.saverSize += 1; }, "saver 'saver.scr'"},
        {"payload offset", [](PackageConfig &c) { c.payloadOffset += 3; }, "lead 'lead.dll'"},
        {"offset past the end", [](PackageConfig &c) { c.payloadOffset = 0x7FFFFFF0; }, "lies outside the file"},
        {"unterminated name", [](PackageConfig &c) { std::memset(c.tailName, 'x', sizeof c.tailName); },
         "tailName fills all 64 bytes"},
        {"climbing name", [](PackageConfig &c) { setFieldText(c.saverName, "..\\win.ini"); }, "'..' component"},
        {"control in text", [](PackageConfig &c) { setFieldText(c.confirmText, "beep\a"); }, "control character"},
        {"same names", [](PackageConfig &c) { setFieldText(c.tailName, "SAVER.SCR"); }, "the same file"},
    };
    for (const Case &c : cases) {
        RunResult verified = verifyWith(withBlock(c.change));
        EXPECT_EQ(verified.exitCode, 1) << c.label;
        EXPECT_NE(verified.out.find(c.expected), std::string::npos) << c.label << ": " << verified.out;
    }
}

TEST_P(DamagedPackage, ExtractRefusesNamesThatLeaveItsDirectory)
{
    const char *const names[] = {"..\\evil.scr", "../evil.scr", "/tmp/evil.scr", "\\evil.scr", "C:evil.scr",
                                 "c:\\evil.scr", "sub/../../evil.scr"};
    for (const char *name : names) {
        write("damaged.exe", withBlock([name](PackageConfig &c) { setFieldText(c.saverName, name); }));
        RunResult extracted = runQuorbell({"extract", path("damaged.exe"), "-C", path("x/y")});
        EXPECT_EQ(extracted.exitCode, 1) << name;
        EXPECT_NE(extracted.err.find("refusing to extract"), std::string::npos) << extracted.err;
        EXPECT_NE(extracted.err.find("saverName"), std::string::npos) << extracted.err;
        EXPECT_FALSE(fs::exists(path("x/evil.scr")) || fs::exists(path("evil.scr")) || fs::exists("/tmp/evil.scr"));
        EXPECT_TRUE(fs::is_empty(path("x/y"))) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, DamagedPackage, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool> &info) { return info.param ? "Stored" : "Packed"; });

TEST_F(ToolTest, FilesThatAreNoPackageAreSaidToBeSo)
{
    struct Case {
        std::string bytes;
        const char *expected;
    };
    const Case cases[] = {
        {"just some text\n", "not a Windows executable (no MZ header)"},
        {syntheticStub(0), "not a Quorbell package"},
        {syntheticStub(2), "occurs 2 times"},
        {syntheticStub(1), "payloadOffset is 0: an installer without a package"},
    };
    for (const Case &c : cases) {
        write("x.exe", c.bytes);
        const std::vector<std::string> commands[] = {
            {"verify", path("x.exe")}, {"info", path("x.exe")}, {"extract", path("x.exe"), "-C", path("out")}};
        for (const std::vector<std::string> &command : commands) {
            RunResult result = runQuorbell(command);
            EXPECT_EQ(result.exitCode, 1) << command[0] << " " << c.expected;
            EXPECT_NE((result.out + result.err).find(c.expected), std::string::npos)
                << command[0] << ": " << result.out << result.err;
        }
    }
    EXPECT_EQ(runQuorbell({"verify", path("missing.exe")}).exitCode, 1);
}

} // namespace
