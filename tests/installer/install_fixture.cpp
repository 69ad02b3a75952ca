#include "install_fixture.h"

#include "block_stream.h"
#include "install_run.h"
#include "installer_state.h"
#include "member_files.h"
#include "progress_window.h"
#include "stream_encoder.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <unistd.h>

const char *const PACKAGE_PATH = "C:\\Downloads\\setup.exe";

namespace {

std::string hostTempFile(const std::string &bytes)
{
    char name[] = "/tmp/qb-installer-test-XXXXXX";
    int fd = mkstemp(name);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    close(fd);
    return name;
}

std::string readHostFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

std::string scrambled(std::string bytes, unsigned char key)
{
    for (char &c : bytes)
        c = char(c ^ key);
    return bytes;
}

} // namespace

std::string patternBytes(size_t count, unsigned seed)
{
    std::string bytes(count, '\0');
    uint32_t state = seed * 2654435761u + 1;
    for (char &c : bytes) {
        state = state * 1103515245u + 12345u;
        c = char(state >> 24);
    }
    return bytes;
}

std::string packStream(const std::string &plain)
{
    std::string inPath = hostTempFile(plain);
    std::string outPath = hostTempFile("");
    HANDLE in = CreateFileA(inPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE out = CreateFileA(outPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(in, INVALID_HANDLE_VALUE);
    EXPECT_NE(out, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(encodeStream(in, out, uint32_t(plain.size())));
    CloseHandle(in);
    CloseHandle(out);
    std::string packed = readHostFile(outPath);
    unlink(inPath.c_str());
    unlink(outPath.c_str());
    return packed;
}

TestPackage::TestPackage()
{
    saver = patternBytes(3000, 1);
    tail = "Read me.\r\n";
    setText(config.saverName, "MYSAVER.SCR");
    setText(config.tailName, "README.TXT");
    setText(config.leadName, "LEAD.DLL");
    setText(config.failureText, "Installation failed.");
    setText(config.successText, "Installed.");
}

void TestPackage::setText(char (&field)[CONFIG_TEXT_BYTES], const std::string &text)
{
    std::memset(field, 0, CONFIG_TEXT_BYTES);
    std::memcpy(field, text.data(), std::min(text.size(), CONFIG_TEXT_BYTES));
}

std::string TestPackage::payload() const
{
    bool packed = (config.flags & PKG_PACKED) != 0;
    auto member = [packed](const std::string &plain, unsigned char key) {
        return packed ? packStream(plain) : scrambled(plain, key);
    };
    std::string bytes;
    if (hasLead)
        bytes += member(lead, LEAD_KEY);
    bytes += member(saver, SAVER_KEY);
    if (!append1.empty())
        bytes += packStream(append1);
    if (!append2.empty())
        bytes += packStream(append2);
    bytes += member(tail, TAIL_KEY);
    return bytes;
}

void TestPackage::install(const char *path)
{
    config.payloadOffset = int32_t(image.size());
    config.leadSize = hasLead ? uint32_t(lead.size()) : 0;
    config.saverSize = uint32_t(saver.size());
    config.tailSize = uint32_t(tail.size());
    config.appendSize1 = uint32_t(append1.size());
    config.appendSize2 = uint32_t(append2.size());
    sim::writeFile(path, image + payload());
    plantConfig();
}

void TestPackage::plantConfig() const
{
    std::memcpy(&packageConfig, &config, sizeof config);
    unsigned char *bytes = reinterpret_cast<unsigned char *>(&packageConfig);
    for (size_t i = 0; i < CONFIG_BYTES; ++i)
        bytes[i] ^= CONFIG_KEY;
}

void InstallTest::SetUp()
{
    resetInstallerState();
}

void InstallTest::TearDown()
{
    onTick = nullptr;
    onProgress = nullptr;
}

int InstallTest::run(const char *argument0)
{
    programPath = argument0;
    return installMain();
}

std::string InstallTest::windowsFile(const std::string &name)
{
    return "C:\\WINDOWS\\" + name;
}

std::vector<std::string> InstallTest::messageTexts()
{
    std::vector<std::string> texts;
    for (const sim::MessageBoxRecord &box : sim::messageBoxes())
        texts.push_back(box.text);
    return texts;
}

std::string InstallTest::systemIni()
{
    return sim::fileExists(windowsFile("system.ini")) ? sim::readFile(windowsFile("system.ini")) : "";
}
