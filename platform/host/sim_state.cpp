/* The desktop's lifetime and its drive folder, and the test-side controls
 * that only arrange state for the calls to meet. */
#include "sim_internal.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace sim {
namespace detail {

namespace {

std::unique_ptr<Desktop> current;

/* Closes what the desktop still holds open and removes its folder. */
void discard()
{
    if (!current)
        return;
    for (const auto &entry : current->files)
        ::close(entry.first);
    std::error_code ignored;
    fs::remove_all(current->tempFolder, ignored);
    current.reset();
}

} // namespace

Desktop *desktop() { return current.get(); }

Desktop &desk()
{
    if (!current)
        reset();
    return *current;
}

} // namespace detail

using detail::Desktop;
using detail::desk;

void reset()
{
    static bool cleanupRegistered = false;
    if (!cleanupRegistered) {
        std::atexit(detail::discard);
        cleanupRegistered = true;
    }
    detail::discard();

    std::string pattern = (fs::temp_directory_path() / "qb-desktop-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::perror("simulated desktop: mkdtemp");
        std::abort();
    }
    detail::current = std::make_unique<Desktop>();
    detail::current->tempFolder = pattern;
    fs::create_directories(driveRoot() + "/WINDOWS");
}

void closeDesktop() { detail::discard(); }

std::string driveRoot() { return detail::desktop() ? detail::desktop()->tempFolder + "/C" : std::string(); }

void writeFile(const std::string &windowsPath, const std::string &bytes)
{
    fs::path host = hostPath(windowsPath);
    if (host.has_parent_path())
        fs::create_directories(host.parent_path());
    std::ofstream out(host, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readFile(const std::string &windowsPath)
{
    std::ifstream in(hostPath(windowsPath), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool fileExists(const std::string &windowsPath)
{
    struct stat info;
    return stat(hostPath(windowsPath).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

void setWindowsDirectory(const std::string &windowsPath)
{
    Desktop &d = desk();
    d.windowsDirectory = windowsPath;
    if (detail::isDrivePath(windowsPath) && windowsPath.size() < MAX_PATH) {
        std::error_code ignored;
        fs::create_directories(hostPath(windowsPath), ignored);
    }
}

void setShortName(const std::string &windowsPath, const std::string &shortName)
{
    desk().shortNames[detail::pathKey(windowsPath)] = shortName;
}

void failCreateFile(const std::string &windowsPath, int nth) { desk().failOpens[detail::pathKey(windowsPath)].insert(nth); }

void limitDiskSpace(uint64_t bytes, bool writeShort)
{
    Desktop &d = desk();
    d.diskLimited = true;
    d.diskLimit = bytes;
    d.writeShort = writeShort;
}

void limitPackageReads(const std::string &windowsPath, uint64_t bytes)
{
    desk().readLimits[detail::pathKey(windowsPath)] = bytes;
}

void lockFile(const std::string &windowsPath) { desk().locked.insert(detail::pathKey(windowsPath)); }

void unlockOnQuit(const std::string &windowsPath, HWND window)
{
    desk().unlockOnQuit.emplace_back(window, detail::pathKey(windowsPath));
}

bool screenSaverActivated() { return detail::desktop() && detail::desktop()->screenSaverActive; }

} // namespace sim
