/* Where Windows paths land on the host, and the 8.3 names of the drive.
 * Windows compares names without regard to case and accepts a file's short
 * name wherever its long one goes; the host folder keeps each name exactly as
 * it was created, so every lookup resolves component by component. */
#include "sim_internal.h"

#include <cctype>
#include <cstring>
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

namespace sim {
namespace detail {

namespace {

bool exists(const std::string &path)
{
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

std::string lowerCase(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

/* Characters FAT allows in a short name besides letters and digits. */
bool isShortNameSymbol(unsigned char c) { return c && std::strchr("!#$%&'()-@^_`{}~", c); }

bool isShortNamePart(const std::string &part, size_t longest)
{
    if (part.empty() || part.size() > longest)
        return false;
    for (unsigned char c : part)
        if (!(c < 0x80 && std::isalnum(c)) && !isShortNameSymbol(c))
            return false;
    return true;
}

/* A short-name part made from a long one: spaces and dots dropped, other
 * characters FAT refuses replaced by '_', upper-cased, cut to `longest`. */
std::string shortPart(const std::string &part, size_t longest)
{
    std::string out;
    for (unsigned char c : part) {
        if (out.size() == longest)
            break;
        if (c == ' ' || c == '.')
            continue;
        bool allowed = (c < 0x80 && std::isalnum(c)) || isShortNameSymbol(c);
        out += allowed ? static_cast<char>(std::toupper(c)) : '_';
    }
    return out;
}

/* The short name of the entry `name` of host folder `folder`, "" when the
 * long name is itself a short one. */
std::string shortNameOf(const Desktop &d, const std::string &folder, const std::string &name)
{
    auto chosen = d.shortNames.find(lowerCase(folder + "/" + name));
    if (chosen != d.shortNames.end())
        return chosen->second;
    return generatedShortName(name);
}

/* The entry of folder whose long or short name equals name ignoring case, or
 * name itself when there is none (a file about to be created keeps its case). */
std::string matchEntry(const Desktop &d, const std::string &folder, const std::string &name)
{
    if (exists(folder + "/" + name))
        return name;
    DIR *dir = opendir(folder.c_str());
    if (!dir)
        return name;
    std::string found = name, byShortName;
    while (struct dirent *entry = readdir(dir)) {
        if (strcasecmp(entry->d_name, name.c_str()) == 0) {
            found = entry->d_name;
            break;
        }
        if (byShortName.empty() && name.find('~') != std::string::npos &&
            strcasecmp(shortNameOf(d, folder, entry->d_name).c_str(), name.c_str()) == 0)
            byShortName = entry->d_name;
    }
    closedir(dir);
    return found == name && !byShortName.empty() ? byShortName : found;
}

/* Windows ignores trailing dots and spaces of a path component. */
std::string trimComponent(std::string name)
{
    if (name == "." || name == "..")
        return name;
    while (!name.empty() && (name.back() == '.' || name.back() == ' '))
        name.pop_back();
    return name;
}

} // namespace

bool isDrivePath(const std::string &path)
{
    return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

std::string pathKey(const std::string &windowsPath)
{
    std::string host = hostPath(windowsPath);
    return isDrivePath(windowsPath) ? lowerCase(host) : host;
}

std::string generatedShortName(const std::string &longName)
{
    size_t dot = longName.rfind('.');
    if (dot == std::string::npos || dot == 0) {
        if (isShortNamePart(longName, 8))
            return "";
        dot = longName.size();
    } else if (isShortNamePart(longName.substr(0, dot), 8) && isShortNamePart(longName.substr(dot + 1), 3)) {
        return "";
    }
    std::string extension = dot < longName.size() ? shortPart(longName.substr(dot + 1), 3) : "";
    return shortPart(longName.substr(0, dot), 6) + "~1" + (extension.empty() ? "" : "." + extension);
}

std::string shortNameOfHostPath(const std::string &hostPath)
{
    size_t slash = hostPath.rfind('/');
    std::string folder = slash == std::string::npos ? "." : hostPath.substr(0, slash);
    std::string name = slash == std::string::npos ? hostPath : hostPath.substr(slash + 1);
    Desktop *d = desktop();
    return d ? shortNameOf(*d, folder, name) : generatedShortName(name);
}

} // namespace detail

/* Each drive letter is a folder of the desktop's temporary folder; only C:
 * exists, so paths on other drives fail like a missing drive. */
std::string hostPath(const std::string &windowsPath)
{
    detail::Desktop *d = detail::desktop();
    if (!d || !detail::isDrivePath(windowsPath))
        return windowsPath;
    const std::string root =
        d->tempFolder + "/" + static_cast<char>(std::toupper(static_cast<unsigned char>(windowsPath[0])));
    std::string path = root;
    size_t at = 2;
    while (at <= windowsPath.size()) {
        size_t end = windowsPath.find_first_of("\\/", at);
        if (end == std::string::npos)
            end = windowsPath.size();
        std::string name = detail::trimComponent(windowsPath.substr(at, end - at));
        at = end + 1;
        if (name.empty() || name == ".")
            continue;
        if (name == "..") {
            if (path.size() > root.size())
                path.erase(path.rfind('/'));
            continue;
        }
        path += "/" + detail::matchEntry(*d, path, name);
    }
    return path;
}

} // namespace sim
