/* The installer core, on the simulated desktop, installs packages that the
 * tool built, as they are and after signing: the tool's layout is the one
 * the installer reads. */
#include "install_run.h"
#include "installer_state.h"
#include "package_block.h"
#include "sim_desktop.h"
#include "tool_test_support.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

const char PACKAGE_ON_DRIVE[] = "C:\\Downloads\\setup.exe";

class ToolPackageInstall : public ToolTest, public ::testing::WithParamInterface<bool> {
protected:
    /* Plants the package's block in the installer, as the loader would map
     * it, puts the file on the drive and runs the installer from there. */
    void install(const std::string &package)
    {
        std::string bytes = readBytes(package);
        std::vector<uint64_t> blocks = findBlocks(bytes, bytes.size());
        ASSERT_EQ(blocks.size(), 1u);
        resetInstallerState();
        std::memcpy(&packageConfig, bytes.data() + blocks[0], CONFIG_BYTES);
        sim::writeFile(PACKAGE_ON_DRIVE, bytes);
        programPath = PACKAGE_ON_DRIVE;
        EXPECT_EQ(installMain(), 0);
    }

    std::vector<std::string> messages()
    {
        std::vector<std::string> texts;
        for (const sim::MessageBoxRecord &box : sim::messageBoxes())
            texts.push_back(box.text);
        return texts;
    }
};

TEST_P(ToolPackageInstall, SignedAndUnsignedInstallTheSameFiles)
{
    bool stored = GetParam();
    std::string lead = write("helper.dll", std::string(3000, 'L') + "lead end");
    std::string saver = write("Aurora.scr", readBytes(QB_TEST_TEXT));
    std::string append = write("extra.bin", std::string(20000, 'x'));
    std::string tail = write("Aurora.txt", "Read me.\r\n");
    std::vector<std::string> args = {"build", "-o", path("p.exe"), "--stub", stub(), "--lead", lead, "--saver", saver,
                                     "--append", append, "--tail", tail, "--success", "Installed Aurora.",
                                     "--progress", "Installing..."};
    if (stored)
        args.push_back("--stored");
    RunResult built = runQuorbell(args);
    ASSERT_EQ(built.exitCode, 0) << built.err;

    std::vector<std::string> packages = {path("p.exe")};
    if (canSign()) {
        RunResult signing = sign(path("p.exe"), "signed.exe");
        ASSERT_EQ(signing.exitCode, 0) << signing.out;
        packages.push_back(path("signed.exe"));
    }
    for (const std::string &package : packages) {
        install(package);
        EXPECT_EQ(sim::readFile("C:\\WINDOWS\\helper.dll"), readBytes(lead)) << package;
        EXPECT_EQ(sim::readFile("C:\\WINDOWS\\Aurora.scr"), readBytes(saver) + readBytes(append)) << package;
        EXPECT_EQ(sim::readFile("C:\\WINDOWS\\Aurora.txt"), readBytes(tail)) << package;
        EXPECT_EQ(messages(), std::vector<std::string>{"Installed Aurora."}) << package;
        EXPECT_TRUE(sim::screenSaverActivated()) << package;
    }
    if (!canSign())
        GTEST_SKIP() << "installed unsigned only: osslsigncode or openssl not installed";
}

INSTANTIATE_TEST_SUITE_P(Modes, ToolPackageInstall, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool> &info) { return info.param ? "Stored" : "Packed"; });

} // namespace
