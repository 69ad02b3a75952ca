#include "tool_test_support.h"

#include "package_block.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

void put16(std::string &s, size_t at, uint16_t v)
{
    s[at] = char(v & 0xFF);
    s[at + 1] = char(v >> 8);
}

void put32(std::string &s, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s[at + i] = char((v >> (8 * i)) & 0xFF);
}

std::string shellQuote(const std::string &arg)
{
    std::string quoted = "'";
    for (char c : arg)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::vector<std::string> splitList(const std::string &list)
{
    std::vector<std::string> items;
    std::stringstream in(list);
    std::string item;
    while (std::getline(in, item, '|'))
        if (!item.empty() && fs::exists(item))
            items.push_back(item);
    return items;
}

} // namespace

std::string readBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeBytes(const std::string &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

PackageConfig bareConfig()
{
    PackageConfig config;
    std::memset(&config, 0, sizeof config);
    std::memcpy(config.signature, CONFIG_SIGNATURE, CONFIG_SIGNATURE_BYTES);
    return config;
}

std::string syntheticStub(int blocks)
{
    const uint32_t FILE_ALIGNMENT = 0x200, SECTION_ALIGNMENT = 0x1000;
    const uint32_t HEADERS = 0x200, DATA_RAW = 0x800;
    const size_t PE_AT = 0x40, COFF_AT = PE_AT + 4, OPTIONAL_AT = COFF_AT + 20, OPTIONAL_BYTES = 224;
    const size_t SECTION_AT = OPTIONAL_AT + OPTIONAL_BYTES;
    std::string image(HEADERS + DATA_RAW, '\0');
    image[0] = 'M', image[1] = 'Z';
    put32(image, 0x3C, PE_AT);
    image.replace(PE_AT, 4, std::string("PE\0\0", 4));
    put16(image, COFF_AT, 0x14C);      /* i386 */
    put16(image, COFF_AT + 2, 1);      /* one section */
    put16(image, COFF_AT + 16, OPTIONAL_BYTES);
    put16(image, COFF_AT + 18, 0x0102); /* executable, 32-bit */
    put16(image, OPTIONAL_AT, 0x10B);  /* PE32 */
    put32(image, OPTIONAL_AT + 16, SECTION_ALIGNMENT);      /* entry point */
    put32(image, OPTIONAL_AT + 28, 0x400000);               /* image base */
    put32(image, OPTIONAL_AT + 32, SECTION_ALIGNMENT);
    put32(image, OPTIONAL_AT + 36, FILE_ALIGNMENT);
    put16(image, OPTIONAL_AT + 40, 4);                      /* OS version */
    put16(image, OPTIONAL_AT + 48, 4);                      /* subsystem version */
    put32(image, OPTIONAL_AT + 56, 2 * SECTION_ALIGNMENT);  /* image size */
    put32(image, OPTIONAL_AT + 60, HEADERS);
    put16(image, OPTIONAL_AT + 68, 2);                      /* GUI */
    put32(image, OPTIONAL_AT + 72, 0x100000);
    put32(image, OPTIONAL_AT + 76, 0x1000);
    put32(image, OPTIONAL_AT + 80, 0x100000);
    put32(image, OPTIONAL_AT + 84, 0x1000);
    put32(image, OPTIONAL_AT + 92, 16);                     /* data directories */
    image.replace(SECTION_AT, 5, ".data");
    put32(image, SECTION_AT + 8, DATA_RAW);
    put32(image, SECTION_AT + 12, SECTION_ALIGNMENT);
    put32(image, SECTION_AT + 16, DATA_RAW);
    put32(image, SECTION_AT + 20, HEADERS);
    put32(image, SECTION_AT + 36, 0xC0000040); /* initialized data, read/write */

    unsigned char block[CONFIG_BYTES];
    encodeBlock(bareConfig(), block);
    for (int i = 0; i < blocks; ++i)
        image.replace(HEADERS + 0x40 + i * 0x300, CONFIG_BYTES, reinterpret_cast<const char *>(block), CONFIG_BYTES);
    return image;
}

int runShell(const std::string &command)
{
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

RunResult runQuorbell(const std::vector<std::string> &args, const std::string &program)
{
    std::string base = (fs::temp_directory_path() / ("quorbell-run-" + std::to_string(std::random_device{}()))).string();
    std::string command = shellQuote(program);
    for (const std::string &arg : args)
        command += " " + shellQuote(arg);
    command += " >" + shellQuote(base + ".out") + " 2>" + shellQuote(base + ".err") + " </dev/null";
    RunResult result;
    result.exitCode = runShell(command);
    result.out = readBytes(base + ".out");
    result.err = readBytes(base + ".err");
    fs::remove(base + ".out");
    fs::remove(base + ".err");
    return result;
}

std::vector<std::string> realPeFiles() { return splitList(QB_TEST_PE_FILES); }

std::string convertProgram() { return QB_CONVERT; }

bool canSign() { return std::string(QB_OSSLSIGNCODE).size() > 0 && std::string(QB_OPENSSL).size() > 0; }

std::string realStubPath()
{
    std::string path = QB_TEST_STUB;
    return !path.empty() && fs::exists(path) ? path : std::string();
}

void ToolTest::SetUp()
{
    const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    std::replace(name.begin(), name.end(), '/', '_');
    dir_ = (fs::temp_directory_path() / ("quorbell-tool-test-" + std::to_string(std::random_device{}()) + "-" + name))
               .string();
    fs::create_directories(dir_);
}

void ToolTest::TearDown() { fs::remove_all(dir_); }

std::string ToolTest::path(const std::string &name) const { return (fs::path(dir_) / name).string(); }

std::string ToolTest::write(const std::string &name, const std::string &bytes)
{
    writeBytes(path(name), bytes);
    return path(name);
}

std::string ToolTest::stub()
{
    if (!fs::exists(path("stub.exe")))
        write("stub.exe", syntheticStub());
    return path("stub.exe");
}

std::vector<std::string> ToolTest::listing() const
{
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(dir_))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string ToolTest::makeBmp(const std::string &name)
{
    if (convertProgram().empty())
        return std::string();
    std::string out = path(name);
    std::string command = "'" + convertProgram() + "' -size 61x37 gradient:navy-gold -fill red -draw 'circle 30,18 30,4' 'BMP3:" +
                          out + "' 2>/dev/null";
    return runShell(command) == 0 && fs::exists(out) ? out : std::string();
}

RunResult ToolTest::sign(const std::string &package, const std::string &signedName)
{
    RunResult result{-1, "", ""};
    if (!fs::exists(path("key.pem"))) {
        std::string makeCertificate = shellQuote(QB_OPENSSL) + " req -x509 -newkey rsa:2048 -nodes -days 2 -subj " +
                                      "'/CN=Quorbell test signer' -keyout " + shellQuote(path("key.pem")) + " -out " +
                                      shellQuote(path("cert.pem")) + " >/dev/null 2>&1";
        if (runShell(makeCertificate) != 0)
            return result;
    }
    std::string log = path("sign.log");
    std::string command = shellQuote(QB_OSSLSIGNCODE) + " sign -certs " + shellQuote(path("cert.pem")) + " -key " +
                          shellQuote(path("key.pem")) + " -n 'Quorbell test' -in " + shellQuote(package) + " -out " +
                          shellQuote(path(signedName)) + " >" + shellQuote(log) + " 2>&1";
    result.exitCode = runShell(command);
    result.out = readBytes(log);
    fs::remove(log);
    return result;
}
