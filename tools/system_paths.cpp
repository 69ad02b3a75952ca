#include "system_paths.h"

#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

std::string executableDirectory()
{
#ifdef _WIN32
    wchar_t path[32768];
    DWORD length = GetModuleFileNameW(nullptr, path, sizeof path / sizeof path[0]);
    if (length == 0 || length >= sizeof path / sizeof path[0])
        return std::string();
    return fs::path(path).parent_path().u8string();
#else
    std::error_code error;
    fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? std::string() : self.parent_path().u8string();
#endif
}

bool replaceFile(const std::string &from, const std::string &to)
{
#ifdef _WIN32
    /* Spelled out: a plain rename refuses an existing target here. */
    return MoveFileExW(fs::u8path(from).c_str(), fs::u8path(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
    std::error_code error;
    fs::rename(fs::u8path(from), fs::u8path(to), error);
    return !error;
#endif
}
