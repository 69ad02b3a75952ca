/* System settings of the simulated desktop: the Windows directory, profile
 * (INI) files, the screensaver switch, and Sleep, which only records. */
#include "sim_internal.h"

#include <cstring>
#include <fstream>
#include <sstream>
#include <strings.h>
#include <sys/stat.h>

using namespace sim::detail;

namespace {

std::string trimmed(const std::string &text)
{
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return "";
    size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool sameName(const std::string &a, const std::string &b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }

/* The section a "[name]" line opens; false for any other line. */
bool sectionOf(const std::string &line, std::string *name)
{
    std::string text = trimmed(line);
    if (text.size() < 2 || text.front() != '[')
        return false;
    size_t close = text.find(']');
    if (close == std::string::npos)
        return false;
    *name = trimmed(text.substr(1, close - 1));
    return true;
}

/* The key of a "key=value" line; false for any other line. */
bool keyOf(const std::string &line, std::string *key)
{
    size_t equals = line.find('=');
    if (equals == std::string::npos)
        return false;
    *key = trimmed(line.substr(0, equals));
    return true;
}

std::vector<std::string> readLines(const std::string &hostFile)
{
    std::ifstream in(hostFile, std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool writeLines(const std::string &hostFile, const std::vector<std::string> &lines)
{
    std::ofstream out(hostFile, std::ios::binary | std::ios::trunc);
    for (const std::string &line : lines)
        out << line << "\r\n";
    out.close();
    return !out.fail();
}

/* Sets, replaces or (value null) removes key in section; a null key removes
 * the whole section. A missing section is added at the end. */
void editProfile(std::vector<std::string> &lines, const std::string &section, const char *key, const char *value)
{
    size_t begin = lines.size(), end = lines.size();
    std::string name;
    for (size_t i = 0; i < lines.size(); i++) {
        if (!sectionOf(lines[i], &name))
            continue;
        if (begin != lines.size()) {
            end = i;
            break;
        }
        if (sameName(name, section))
            begin = i;
    }
    if (begin == lines.size()) {
        if (key && value) {
            lines.push_back("[" + section + "]");
            lines.push_back(std::string(key) + "=" + value);
        }
        return;
    }
    if (!key) {
        lines.erase(lines.begin() + begin, lines.begin() + end);
        return;
    }
    size_t last = begin;  /* the section's last non-blank line */
    for (size_t i = begin + 1; i < end; i++) {
        if (keyOf(lines[i], &name) && sameName(name, key)) {
            if (value)
                lines[i] = name + "=" + value;
            else
                lines.erase(lines.begin() + i);
            return;
        }
        if (!trimmed(lines[i]).empty())
            last = i;
    }
    if (value)
        lines.insert(lines.begin() + last + 1, std::string(key) + "=" + value);
}

/* A bare file name means a file in the Windows directory. */
std::string profilePath(const Desktop &d, const char *file)
{
    if (std::strpbrk(file, "\\/") || isDrivePath(file))
        return file;
    const std::string &directory = d.windowsDirectory;
    return directory + (!directory.empty() && directory.back() == '\\' ? "" : "\\") + file;
}

} // namespace

/* The buffer gets the directory only when it fits with its NUL; otherwise
 * the result is the size needed, NUL included, and nothing is written. */
UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT size)
{
    Desktop *d = desktop();
    const std::string directory = d ? d->windowsDirectory : "C:\\WINDOWS";
    if (d)
        record("GetWindowsDirectoryA", {decimal(size)});
    if (!buffer || directory.size() + 1 > size)
        return static_cast<UINT>(directory.size() + 1);
    std::memcpy(buffer, directory.c_str(), directory.size() + 1);
    return static_cast<UINT>(directory.size());
}

BOOL WINAPI WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file)
{
    Desktop &d = desk();
    auto text = [](LPCSTR s) { return s ? std::string(s) : std::string("NULL"); };
    record("WritePrivateProfileStringA", {text(section), text(key), text(value), text(file)});
    if (!section || !file || !*file)
        return FALSE;
    std::string host = sim::hostPath(profilePath(d, file));
    struct stat info;
    if (stat(host.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
        return FALSE;
    std::vector<std::string> lines = readLines(host);
    editProfile(lines, section, key, value);
    return writeLines(host, lines);
}

BOOL WINAPI SystemParametersInfoA(UINT action, UINT uiParam, LPVOID pvParam, UINT winIni)
{
    Desktop &d = desk();
    record("SystemParametersInfoA",
           {action == SPI_SETSCREENSAVEACTIVE ? "SPI_SETSCREENSAVEACTIVE" : hexWord(action), decimal(uiParam),
            pvParam ? handleName(pvParam) : "NULL", winIni == SPIF_UPDATEINIFILE ? "SPIF_UPDATEINIFILE" : decimal(winIni)});
    if (action != SPI_SETSCREENSAVEACTIVE)
        return FALSE;
    d.screenSaverActive = uiParam != 0;
    return TRUE;
}

void WINAPI Sleep(DWORD milliseconds)
{
    if (desktop())
        record("Sleep", {decimal(milliseconds)});
}
