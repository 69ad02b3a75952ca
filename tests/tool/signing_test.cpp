/* An Authenticode signature lands after the payload; the package must stay
 * sound and extract the same members. */
#include "tool_test_support.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

class SignedPackage : public ToolTest, public ::testing::WithParamInterface<bool> {};

TEST_P(SignedPackage, StillVerifiesAndExtracts)
{
    if (!canSign())
        GTEST_SKIP() << "osslsigncode or openssl not installed";
    std::string saver = write("s.scr", readBytes(QB_TEST_TEXT));
    std::string append = write("a.bin", std::string(5000, 'a') + "end");
    std::string tail = write("t.txt", "tail\r\n");
    std::vector<std::string> args = {"build", "-o", path("p.exe"), "--stub", stub(), "--saver", saver,
                                     "--append", append, "--tail", tail};
    if (GetParam())
        args.push_back("--stored");
    ASSERT_EQ(runQuorbell(args).exitCode, 0);

    RunResult signing = sign(path("p.exe"), "signed.exe");
    ASSERT_EQ(signing.exitCode, 0) << signing.out;
    uint64_t unsignedSize = fs::file_size(path("p.exe"));
    ASSERT_GT(fs::file_size(path("signed.exe")), unsignedSize);

    RunResult verified = runQuorbell({"verify", path("signed.exe")});
    EXPECT_EQ(verified.exitCode, 0) << verified.out << verified.err;
    EXPECT_NE(verified.out.find("bytes after the payload"), std::string::npos) << verified.out;

    json report = json::parse(runQuorbell({"info", path("signed.exe"), "--json"}).out);
    EXPECT_EQ(report["payloadEnd"], unsignedSize);
    EXPECT_GE(report["image"]["certificateOffset"].get<uint64_t>(), unsignedSize);
    EXPECT_GT(report["image"]["certificateSize"].get<uint64_t>(), 0u);

    ASSERT_EQ(runQuorbell({"extract", path("signed.exe"), "-C", path("x")}).exitCode, 0);
    EXPECT_EQ(readBytes(path("x/s.scr")), readBytes(saver) + readBytes(append));
    EXPECT_EQ(readBytes(path("x/t.txt")), readBytes(tail));

    /* The signature itself covers our layout: osslsigncode accepts it. */
    int checked = runShell("'" + std::string(QB_OSSLSIGNCODE) + "' verify -CAfile '" + path("cert.pem") + "' -in '" +
                           path("signed.exe") + "' >/dev/null 2>&1");
    EXPECT_EQ(checked, 0);
}

INSTANTIATE_TEST_SUITE_P(Modes, SignedPackage, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool> &info) { return info.param ? "Stored" : "Packed"; });

} // namespace
