#include "install_fixture.h"

#include "member_files.h"

namespace {

class PackedInstallTest : public InstallTest {
protected:
    void SetUp() override
    {
        InstallTest::SetUp();
        package.config.flags = PKG_PACKED;
        package.lead = patternBytes(12000, 2);
        package.saver = std::string(30000, 'S') + patternBytes(20000, 3);
        package.tail = "Quorbell sample\r\n";
    }

    std::string installedSaver() { return contents("MYSAVER.SCR"); }
};

struct LayoutCase {
    const char *what;
    bool lead;
    size_t append1, append2;
};

const LayoutCase LAYOUT_CASES[] = {
    {"saver and tail", false, 0, 0},
    {"lead, saver and tail", true, 0, 0},
    {"first appended stream", false, 5000, 0},
    {"second appended stream only", false, 0, 7000},
    {"lead and both appended streams", true, 25000, 3},
};

TEST_F(PackedInstallTest, InstallsEveryLayout)
{
    for (const LayoutCase &c : LAYOUT_CASES) {
        SCOPED_TRACE(c.what);
        SetUp();
        package.hasLead = c.lead;
        package.append1 = patternBytes(c.append1, 11);
        package.append2 = std::string(c.append2, 'z');
        package.install();
        EXPECT_EQ(run(), 0);
        EXPECT_EQ(messageTexts(), std::vector<std::string>{"Installed."});
        EXPECT_EQ(exists("LEAD.DLL"), c.lead);
        if (c.lead) {
            EXPECT_EQ(contents("LEAD.DLL"), package.lead);
        }
        EXPECT_EQ(installedSaver(), package.saver + package.append1 + package.append2);
        EXPECT_EQ(contents("README.TXT"), package.tail);
        EXPECT_TRUE(sim::screenSaverActivated());
    }
}

TEST_F(PackedInstallTest, EachStreamIsFoundAtTheEndOfTheOneBefore)
{
    package.append1 = patternBytes(100, 4);
    package.install();
    run();
    const size_t saverStream = packStream(package.saver).size();
    const size_t appendStream = packStream(package.append1).size();
    std::vector<std::string> seeks;
    for (const sim::Call &call : sim::callsNamed("SetFilePointer"))
        if (call.args.at(2) == "FILE_BEGIN")
            seeks.push_back(call.args.at(1));
    const std::vector<std::string> expected = {
        std::to_string(package.image.size()),
        std::to_string(package.image.size() + saverStream),
        std::to_string(package.image.size() + saverStream + appendStream)};
    EXPECT_EQ(seeks, expected);
    EXPECT_EQ(contents("README.TXT"), package.tail);
}

TEST_F(PackedInstallTest, StoredPackageWithAppendedStreamFindsTheStoredTail)
{
    package.config.flags = 0;
    package.hasLead = true;
    package.append1 = patternBytes(9000, 6);
    package.install();
    run();
    const size_t consumed = packStream(package.append1).size();
    std::vector<sim::Call> seeks = sim::callsNamed("SetFilePointer");
    ASSERT_FALSE(seeks.empty());
    EXPECT_EQ(seeks.back().args.at(1),
              std::to_string(package.image.size() + package.lead.size() + package.saver.size() +
                             consumed));
    EXPECT_EQ(installedSaver(), package.saver + package.append1);
    EXPECT_EQ(contents("README.TXT"), package.tail);
}

TEST_F(PackedInstallTest, LastStreamEndingTheFileInstalls)
{
    /* Ends in a long match, so a reader going by the declared length alone
     * would look past the end of the file. */
    package.tail = patternBytes(200, 8) + std::string(200, 't');
    package.install();
    run();
    EXPECT_EQ(contents("README.TXT"), package.tail);
    EXPECT_EQ(messageTexts(), std::vector<std::string>{"Installed."});
}

TEST_F(PackedInstallTest, TrailingBytesAfterThePayloadChangeNothing)
{
    package.install();
    sim::writeFile(PACKAGE_PATH, sim::readFile(PACKAGE_PATH) + std::string(4096, '\0'));
    run();
    EXPECT_EQ(contents("README.TXT"), package.tail);
    EXPECT_EQ(messageTexts(), std::vector<std::string>{"Installed."});
}

/* A corrupted block in each member in turn: the lead's file stays, as it
 * always does, the saver and tail go, nothing is registered. */
TEST_F(PackedInstallTest, CorruptedBlockInEachMemberFailsTheRun)
{
    for (size_t corrupt = 0; corrupt < 4; ++corrupt) {
        SCOPED_TRACE(corrupt);
        SetUp();
        package.hasLead = true;
        package.append1 = patternBytes(3000, 5);
        package.install();

        std::string bytes = sim::readFile(PACKAGE_PATH);
        const std::string streams[] = {packStream(package.lead), packStream(package.saver),
                                       packStream(package.append1), packStream(package.tail)};
        size_t offset = package.image.size();
        for (size_t i = 0; i < corrupt; ++i)
            offset += streams[i].size();
        bytes[offset + 18] = char(bytes[offset + 18] ^ 0x01); /* in the first data block */
        sim::writeFile(PACKAGE_PATH, bytes);

        EXPECT_EQ(run(), 0);
        EXPECT_EQ(messageTexts(), std::vector<std::string>{"Installation failed."});
        EXPECT_TRUE(exists("LEAD.DLL"));
        EXPECT_FALSE(exists("MYSAVER.SCR"));
        EXPECT_FALSE(exists("README.TXT"));
        EXPECT_FALSE(sim::screenSaverActivated());
        EXPECT_TRUE(sim::callsNamed("WritePrivateProfileStringA").empty());
    }
}

TEST_F(PackedInstallTest, FullDiskFailsTheRunAndStopsDecoding)
{
    for (bool writeShort : {false, true}) {
        SCOPED_TRACE(writeShort ? "short write" : "failed write");
        SetUp();
        package.saver = patternBytes(200000, 3);
        package.install();
        /* Room for one output buffer beyond what packing the package took. */
        uint64_t writtenSoFar = 0;
        for (const sim::Call &call : sim::callsNamed("WriteFile"))
            writtenSoFar += std::stoull(call.args.at(1));
        const size_t writesSoFar = sim::callsNamed("WriteFile").size();
        sim::limitDiskSpace(writtenSoFar + 15000, writeShort);
        run();
        EXPECT_EQ(messageTexts(), std::vector<std::string>{"Installation failed."});
        EXPECT_FALSE(exists("MYSAVER.SCR"));
        EXPECT_FALSE(sim::screenSaverActivated());
        /* One whole buffer, the one that fell short, the last partial one. */
        EXPECT_EQ(sim::callsNamed("WriteFile").size() - writesSoFar, 3u);
    }
}

TEST_F(PackedInstallTest, TruncatedPackageFails)
{
    package.install();
    std::string bytes = sim::readFile(PACKAGE_PATH);
    sim::writeFile(PACKAGE_PATH, bytes.substr(0, bytes.size() - 3));
    run();
    EXPECT_EQ(messageTexts(), std::vector<std::string>{"Installation failed."});
    EXPECT_FALSE(exists("MYSAVER.SCR"));
    EXPECT_FALSE(exists("README.TXT"));
}

} // namespace
