#include "install_fixture.h"

#include <algorithm>

namespace {

class StoredInstallTest : public InstallTest {
protected:
    void SetUp() override
    {
        InstallTest::SetUp();
        package.hasLead = true;
        package.lead = patternBytes(500, 2);
        package.saver = patternBytes(40000, 4);
        package.tail = patternBytes(700, 5);
        package.setText(package.config.saverName, "My Saver.scr");
        package.setText(package.config.leadName, "LEAD.DLL");
    }

    void expectRegistered(bool registered)
    {
        EXPECT_EQ(sim::screenSaverActivated(), registered);
        EXPECT_EQ(systemIni().find("SCRNSAVE.EXE") != std::string::npos, registered);
    }
};

TEST_F(StoredInstallTest, InstallsRegistersAndReports)
{
    package.install();
    sim::setShortName(windowsFile("My Saver.scr"), "MYSAVE~1.SCR");
    sim::writeFile(windowsFile("system.ini"), "[drivers]\r\nwave=mmdrv.dll\r\n[boot]\r\nshell=progman.exe\r\n");
    HWND display = sim::createWindow("Display Properties");

    EXPECT_EQ(run(), 0);
    EXPECT_EQ(contents("LEAD.DLL"), package.lead);
    EXPECT_EQ(contents("My Saver.scr"), package.saver);
    EXPECT_EQ(contents("README.TXT"), package.tail);
    std::string ini = systemIni();
    EXPECT_NE(ini.find("wave=mmdrv.dll"), std::string::npos);
    EXPECT_NE(ini.find("shell=progman.exe"), std::string::npos);
    EXPECT_NE(ini.find("SCRNSAVE.EXE=C:\\WINDOWS\\MYSAVE~1.SCR"), std::string::npos);
    EXPECT_TRUE(sim::screenSaverActivated());
    EXPECT_TRUE(sim::receivedQuit(display));
    ASSERT_EQ(sim::messageBoxes().size(), 1u);
    EXPECT_EQ(sim::messageBoxes()[0].text, "Installed.");
    EXPECT_EQ(sim::messageBoxes()[0].caption, "Quorbell");
    EXPECT_EQ(sim::messageBoxes()[0].type, UINT(MB_OK));

    const std::vector<std::string> registration = {"WritePrivateProfileStringA",
                                                   "SystemParametersInfoA", "FindWindowA",
                                                   "PostMessageA", "MessageBoxA", "CloseHandle"};
    std::vector<std::string> lastCalls;
    for (const sim::Call &call : sim::trace())
        lastCalls.push_back(call.name);
    lastCalls.erase(lastCalls.begin(), lastCalls.end() - registration.size());
    EXPECT_EQ(lastCalls, registration);
    EXPECT_EQ(sim::callsNamed("WritePrivateProfileStringA")[0].args,
              (std::vector<std::string>{"boot", "SCRNSAVE.EXE", "C:\\WINDOWS\\MYSAVE~1.SCR",
                                        "system.ini"}));
}

TEST_F(StoredInstallTest, InstallMainAsksInitialisesAndReturnsZero)
{
    package.setText(package.config.confirmText, "Install the saver?");
    package.install();
    sim::queueAnswer(IDYES);
    EXPECT_EQ(run(), 0);
    const std::vector<sim::Call> &calls = sim::trace();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0].name, "InitCommonControlsEx");
    EXPECT_EQ(calls[1].name, "MessageBoxA");
    EXPECT_EQ(sim::messageBoxes()[0].text, "Install the saver?");
    EXPECT_EQ(sim::messageBoxes()[0].type, UINT(MB_YESNO));
    EXPECT_EQ(contents("My Saver.scr"), package.saver);
}

TEST_F(StoredInstallTest, AnswerNoChangesNothing)
{
    package.setText(package.config.confirmText, "Install the saver?");
    package.install();
    sim::queueAnswer(IDNO);
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(sim::messageBoxes().size(), 1u);
    EXPECT_TRUE(sim::callsNamed("CreateFileA").empty());
    EXPECT_FALSE(exists("My Saver.scr"));
    expectRegistered(false);
}

TEST_F(StoredInstallTest, QuietModeShowsNoResultButStillAsks)
{
    package.config.flags = PKG_QUIET;
    package.setText(package.config.confirmText, "Install?");
    for (bool breakSaver : {false, true}) {
        SCOPED_TRACE(breakSaver ? "failure" : "success");
        SetUp();
        package.config.flags = PKG_QUIET;
        package.setText(package.config.confirmText, "Install?");
        package.install();
        if (breakSaver)
            sim::failCreateFile(windowsFile("My Saver.scr"), 1);
        sim::queueAnswer(IDYES);
        EXPECT_EQ(run(), 0);
        EXPECT_EQ(messageTexts(), std::vector<std::string>{"Install?"});
        EXPECT_EQ(exists("My Saver.scr"), !breakSaver);
    }
}

TEST_F(StoredInstallTest, EmptyFailureTextIsStillShown)
{
    package.setText(package.config.failureText, "");
    package.install();
    sim::failCreateFile(windowsFile("LEAD.DLL"), 1);
    run();
    ASSERT_EQ(sim::messageBoxes().size(), 1u);
    EXPECT_EQ(sim::messageBoxes()[0].text, "");
    EXPECT_EQ(sim::messageBoxes()[0].caption, "Quorbell");
}

/* What survives each failing step. A saver of that name that the run never
 * created stays, so a failed upgrade keeps the installed saver. */
enum class Fault { CreateLead, CreateSaver, CorruptAppend, CreateTail, TruncateTail };

struct FailureCase {
    const char *what;
    Fault fault;
    bool leadExists, oldSaverStays, tailExists;
};

const FailureCase FAILURE_CASES[] = {
    {"lead cannot be created", Fault::CreateLead, false, true, false},
    {"saver cannot be created", Fault::CreateSaver, true, true, false},
    {"appended stream corrupt", Fault::CorruptAppend, true, false, false},
    {"tail cannot be created", Fault::CreateTail, true, false, false},
    {"package ends inside the tail", Fault::TruncateTail, true, false, false},
};

TEST_F(StoredInstallTest, FailureTable)
{
    for (const FailureCase &c : FAILURE_CASES) {
        SCOPED_TRACE(c.what);
        SetUp();
        if (c.fault == Fault::CorruptAppend)
            package.append1 = patternBytes(100, 9);
        package.install();
        std::string bytes = sim::readFile(PACKAGE_PATH);
        if (c.fault == Fault::CorruptAppend) {
            /* Damage the appended stream's data, which follows the saver. */
            size_t streamStart = package.image.size() + package.lead.size() + package.saver.size();
            bytes[streamStart + 20] = char(bytes[streamStart + 20] ^ 0x40);
        }
        if (c.fault == Fault::TruncateTail)
            bytes.resize(bytes.size() - 1);
        sim::writeFile(PACKAGE_PATH, bytes);
        sim::writeFile(windowsFile("My Saver.scr"), "old");
        const char *failing = c.fault == Fault::CreateLead    ? "LEAD.DLL"
                              : c.fault == Fault::CreateSaver ? "My Saver.scr"
                              : c.fault == Fault::CreateTail  ? "README.TXT"
                                                              : nullptr;
        if (failing)
            sim::failCreateFile(windowsFile(failing), 1);

        EXPECT_EQ(run(), 0);
        EXPECT_EQ(messageTexts(), std::vector<std::string>{"Installation failed."});
        EXPECT_EQ(exists("LEAD.DLL"), c.leadExists);
        if (c.leadExists) {
            EXPECT_EQ(contents("LEAD.DLL"), package.lead);
        }
        EXPECT_EQ(exists("My Saver.scr"), c.oldSaverStays);
        if (c.oldSaverStays) {
            EXPECT_EQ(contents("My Saver.scr"), "old");
        }
        EXPECT_EQ(exists("README.TXT"), c.tailExists);
        expectRegistered(false);
    }
}

TEST_F(StoredInstallTest, UnopenablePackageWritesNothing)
{
    package.install();
    run("C:\\Elsewhere\\gone.exe");
    EXPECT_EQ(messageTexts(), std::vector<std::string>{"Installation failed."});
    EXPECT_EQ(sim::callsNamed("CreateFileA").size(), 2u);
    EXPECT_FALSE(exists("LEAD.DLL"));
    expectRegistered(false);
}

TEST_F(StoredInstallTest, PackagePathFallsBackToExeSuffix)
{
    const struct {
        const char *argument0;
        const char *secondTry;
    } cases[] = {
        {"C:\\Downloads\\setup", "C:\\Downloads\\setup.exe"},
        {"abcd", "abcd"},
        {"C:\\Downloads\\SETUP.EXE", "C:\\Downloads\\SETUP.EXE"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.argument0);
        SetUp();
        package.install("C:\\Downloads\\setup.exe");
        sim::failCreateFile(c.argument0, 1);
        run(c.argument0);
        std::vector<sim::Call> opens = sim::callsNamed("CreateFileA");
        ASSERT_GE(opens.size(), 2u);
        EXPECT_EQ(opens[0].args.at(0), c.argument0);
        EXPECT_EQ(opens[1].args.at(0), c.secondTry);
    }
    EXPECT_EQ(sim::callsNamed("CreateFileA")[1].args.at(1), "GENERIC_READ");
}

TEST_F(StoredInstallTest, WithoutLeadOnlySaverAndTailAreWritten)
{
    package.hasLead = false;
    package.install();
    run();
    EXPECT_FALSE(exists("LEAD.DLL"));
    EXPECT_EQ(contents("My Saver.scr"), package.saver);
    EXPECT_EQ(contents("README.TXT"), package.tail);
}

TEST_F(StoredInstallTest, ShortPackageFailsInsteadOfWritingStaleBytes)
{
    package.install();
    std::string bytes = sim::readFile(PACKAGE_PATH);
    sim::writeFile(PACKAGE_PATH, bytes.substr(0, package.image.size() + 500 + 20000));
    run();
    EXPECT_EQ(messageTexts(), std::vector<std::string>{"Installation failed."});
    EXPECT_FALSE(exists("My Saver.scr"));
    expectRegistered(false);
}

TEST_F(StoredInstallTest, FullDiskFailsTheRun)
{
    package.install();
    sim::limitDiskSpace(20000, true);
    run();
    EXPECT_EQ(messageTexts(), std::vector<std::string>{"Installation failed."});
    EXPECT_FALSE(exists("My Saver.scr"));
    expectRegistered(false);
}

TEST_F(StoredInstallTest, OverlongWindowsDirectoryFailsCleanly)
{
    package.install();
    sim::setWindowsDirectory("C:\\" + std::string(300, 'w'));
    run();
    EXPECT_EQ(messageTexts(), std::vector<std::string>{"Installation failed."});
    for (const sim::Call &call : sim::callsNamed("CreateFileA"))
        EXPECT_EQ(call.args.at(0), PACKAGE_PATH);
    EXPECT_TRUE(sim::callsNamed("WritePrivateProfileStringA").empty());
}

TEST_F(StoredInstallTest, PayloadOffsetOutsideThePackageFailsBeforeAnyMember)
{
    for (int32_t offset : {-1, INT32_MIN, 1 << 30}) {
        SCOPED_TRACE(offset);
        SetUp();
        package.install();
        package.config.payloadOffset = offset;
        package.plantConfig();
        run();
        EXPECT_EQ(messageTexts(), std::vector<std::string>{"Installation failed."});
        EXPECT_EQ(sim::callsNamed("CreateFileA").size(), 1u);
        EXPECT_TRUE(sim::callsNamed("DeleteFileA").empty());
    }
}

} // namespace
