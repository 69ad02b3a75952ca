/* build -> info -> verify -> extract on real files, stored and packed, with
 * and without lead and appended streams, and with empty members: what
 * extract writes must equal what went in. */
#include "tool_test_support.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

enum Sample { PE_A, PE_B, BMP, TEXT, EMPTY, NONE };

struct RoundTrip {
    const char *label;
    bool stored;
    Sample lead, saver, append1, append2, tail;
};

class PackageRoundTrip : public ToolTest, public ::testing::WithParamInterface<RoundTrip> {
protected:
    /* Sample files under distinct names, so each member has its own file. */
    std::string sample(Sample kind, const std::string &name)
    {
        std::vector<std::string> pe = realPeFiles();
        switch (kind) {
        case PE_A:
        case PE_B:
            if (pe.empty())
                return std::string();
            return write(name, readBytes(pe[kind == PE_A ? 0 : pe.size() - 1]));
        case BMP:
            return makeBmp(name);
        case TEXT:
            return write(name, readBytes(QB_TEST_TEXT));
        case EMPTY:
            return write(name, "");
        case NONE:
            break;
        }
        return std::string();
    }
};

const char *const ROLES[] = {"lead", "saver", "append1", "append2", "tail"};

TEST_P(PackageRoundTrip, ExtractsWhatWasBuilt)
{
    const RoundTrip &c = GetParam();
    const Sample kinds[] = {c.lead, c.saver, c.append1, c.append2, c.tail};
    const char *const names[] = {"helper.dll", "Aurora.scr", "extra1.bin", "extra2.bin", "Aurora.txt"};
    std::string inputs[5];
    for (int i = 0; i < 5; ++i) {
        if (kinds[i] == NONE)
            continue;
        inputs[i] = sample(kinds[i], std::string("in-") + names[i]);
        if (inputs[i].empty())
            GTEST_SKIP() << "sample file unavailable (mingw-w64 DLLs or ImageMagick convert)";
    }

    std::vector<std::string> args = {"build", "-o", path("out.exe"), "--stub", stub(),
                                     "--saver", inputs[1], "--saver-name", names[1],
                                     "--tail", inputs[4], "--tail-name", names[4],
                                     "--confirm", "Install \xC2\xAB" "Aurora\xC2\xBB?",
                                     "--success", "Done \xE2\x80\x94 enjoy.", "--failure", "No luck \xE2\x82\xAC"};
    if (!inputs[0].empty())
        args.insert(args.end(), {"--lead", inputs[0], "--lead-name", names[0]});
    for (int i : {2, 3})
        if (!inputs[i].empty())
            args.insert(args.end(), {"--append", inputs[i]});
    if (c.stored)
        args.push_back("--stored");
    else
        args.insert(args.end(), {"--progress", "Installing Aurora\xE2\x80\xA6"});
    RunResult built = runQuorbell(args);
    ASSERT_EQ(built.exitCode, 0) << built.err;
    EXPECT_NE(built.out.find(c.stored ? "stored package" : "packed package"), std::string::npos) << built.out;
    for (const std::string &name : listing())
        EXPECT_EQ(name.find(".tmp-"), std::string::npos) << "left behind: " << name;

    RunResult info = runQuorbell({"info", path("out.exe"), "--json"});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    json report = json::parse(info.out);
    const json &config = report["config"];
    EXPECT_EQ(config["signature"], "Quorbell package v1");
    EXPECT_EQ(config["flagNames"], c.stored ? json::array() : json::array({"PKG_PACKED"}));
    EXPECT_EQ(config["confirmText"], "Install \xC2\xAB" "Aurora\xC2\xBB?");
    EXPECT_EQ(config["successText"], "Done \xE2\x80\x94 enjoy.");
    EXPECT_EQ(config["failureText"], "No luck \xE2\x82\xAC");
    EXPECT_EQ(config["progressText"], c.stored ? "" : "Installing Aurora\xE2\x80\xA6");
    EXPECT_EQ(config["saverName"], names[1]);
    EXPECT_EQ(config["tailName"], names[4]);
    EXPECT_EQ(config["leadName"], inputs[0].empty() ? "" : names[0]);
    const char *const sizeFields[] = {"leadSize", "saverSize", "appendSize1", "appendSize2", "tailSize"};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(config[sizeFields[i]], inputs[i].empty() ? 0 : fs::file_size(inputs[i])) << sizeFields[i];
    EXPECT_EQ(report["digestRecord"]["state"], "present");
    EXPECT_EQ(report["problems"], json::array());

    /* Members lie back to back from payloadOffset to the end of the file. */
    uint64_t at = config["payloadOffset"];
    EXPECT_EQ(at, report["image"]["imageEnd"]);
    size_t row = 0;
    for (int i = 0; i < 5; ++i) {
        if (inputs[i].empty())
            continue;
        ASSERT_LT(row, report["members"].size());
        const json &m = report["members"][row++];
        EXPECT_EQ(m["role"], ROLES[i]);
        bool packed = !c.stored || i == 2 || i == 3;
        EXPECT_EQ(m["mode"], packed ? "packed" : "stored") << ROLES[i];
        EXPECT_EQ(m["offset"], at) << ROLES[i];
        EXPECT_EQ(m["decodes"], true) << ROLES[i];
        EXPECT_EQ(m["crcMatches"], true) << ROLES[i];
        at += packed ? m["packedLength"].get<uint64_t>() : m["size"].get<uint64_t>();
    }
    EXPECT_EQ(row, report["members"].size());
    EXPECT_EQ(report["payloadEnd"], at);
    EXPECT_EQ(report["fileSize"], at);
    EXPECT_EQ(report["bytesAfterPayload"], 0);

    RunResult text = runQuorbell({"info", path("out.exe")});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_NE(text.out.find("\"Install \xC2\xAB" "Aurora\xC2\xBB?\""), std::string::npos) << text.out;

    RunResult verified = runQuorbell({"verify", path("out.exe")});
    ASSERT_EQ(verified.exitCode, 0) << verified.out << verified.err;
    EXPECT_EQ(std::count(verified.out.begin(), verified.out.end(), '\n'), 1) << verified.out;
    EXPECT_NE(verified.out.find("sound"), std::string::npos);
    EXPECT_NE(verified.out.find("match the digest record"), std::string::npos);

    RunResult extracted = runQuorbell({"extract", path("out.exe"), "-C", path("x")});
    ASSERT_EQ(extracted.exitCode, 0) << extracted.err;
    std::string saver = readBytes(inputs[1]);
    for (int i : {2, 3})
        if (!inputs[i].empty())
            saver += readBytes(inputs[i]);
    std::vector<std::string> expected = {names[1], names[4]};
    EXPECT_EQ(readBytes(path("x/Aurora.scr")), saver);
    EXPECT_EQ(readBytes(path("x/Aurora.txt")), readBytes(inputs[4]));
    if (!inputs[0].empty()) {
        EXPECT_EQ(readBytes(path("x/helper.dll")), readBytes(inputs[0]));
        expected.push_back(names[0]);
    }
    std::vector<std::string> written;
    for (const auto &entry : fs::directory_iterator(path("x")))
        written.push_back(entry.path().filename().string());
    std::sort(written.begin(), written.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(written, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PackageRoundTrip,
    ::testing::Values(RoundTrip{"PackedSaverAndTail", false, NONE, PE_A, NONE, NONE, TEXT},
                      RoundTrip{"StoredSaverAndTail", true, NONE, PE_A, NONE, NONE, TEXT},
                      RoundTrip{"PackedEverything", false, PE_B, BMP, TEXT, PE_A, BMP},
                      RoundTrip{"StoredEverything", true, PE_B, BMP, TEXT, PE_A, BMP},
                      RoundTrip{"PackedOneAppend", false, NONE, BMP, PE_A, NONE, TEXT},
                      RoundTrip{"StoredLeadAndOneAppend", true, TEXT, PE_A, BMP, NONE, EMPTY},
                      RoundTrip{"PackedEmptySaverAndTail", false, TEXT, EMPTY, NONE, NONE, EMPTY},
                      RoundTrip{"StoredEmptySaverAndTail", true, NONE, EMPTY, NONE, NONE, EMPTY},
                      RoundTrip{"PackedEmptySaverWithAppends", false, NONE, EMPTY, TEXT, BMP, EMPTY}),
    [](const ::testing::TestParamInfo<RoundTrip> &info) { return std::string(info.param.label); });

TEST_F(ToolTest, DefaultStubIsTheOneBesideTheTool)
{
    fs::create_directories(path("bin"));
    fs::copy_file(QB_QUORBELL, path("bin/quorbell"));
    write("bin/quorbell-setup.exe", syntheticStub());
    std::string saver = write("s.scr", "saver bytes"), tail = write("t.txt", "tail bytes");

    RunResult built = runQuorbell({"build", "-o", path("p.exe"), "--saver", saver, "--tail", tail}, path("bin/quorbell"));
    ASSERT_EQ(built.exitCode, 0) << built.err;
    EXPECT_EQ(readBytes(path("p.exe")).substr(0, 0x200), syntheticStub().substr(0, 0x200));
    EXPECT_EQ(runQuorbell({"verify", path("p.exe")}).exitCode, 0);

    fs::remove(path("bin/quorbell-setup.exe"));
    RunResult missing = runQuorbell({"build", "-o", path("q.exe"), "--saver", saver, "--tail", tail}, path("bin/quorbell"));
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_NE(missing.err.find("quorbell-setup.exe does not exist"), std::string::npos) << missing.err;
    EXPECT_FALSE(fs::exists(path("q.exe")));
}

TEST_F(ToolTest, RealStubBuildsASoundPackage)
{
    if (realStubPath().empty())
        GTEST_SKIP() << "no quorbell-setup.exe at QB_TEST_STUB (build the win32 preset)";
    std::string saver = write("s.scr", readBytes(QB_TEST_TEXT)), tail = write("t.txt", "tail");
    RunResult built = runQuorbell({"build", "-o", path("p.exe"), "--stub", realStubPath(), "--saver", saver,
                                   "--tail", tail, "--progress", "Installing"});
    ASSERT_EQ(built.exitCode, 0) << built.err;
    RunResult verified = runQuorbell({"verify", path("p.exe")});
    EXPECT_EQ(verified.exitCode, 0) << verified.out;
    json report = json::parse(runQuorbell({"info", path("p.exe"), "--json"}).out);
    EXPECT_EQ(report["config"]["payloadOffset"], fs::file_size(realStubPath()));
}

} // namespace
