#include "member_names.h"

#include "byte_io.h"
#include "package_config.h"
#include "win1252.h"

#include <cstring>
#include <vector>

namespace {

const char FORBIDDEN_IN_NAMES[] = "<>:\"|?*";

bool isSlash(char c) { return c == '/' || c == '\\'; }

bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::string upperAscii(std::string s)
{
    for (char &c : s)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return s;
}

/* Windows compares file names without case; in Windows-1252 that pairs the
 * ASCII letters, the Latin-1 letters 0xE0..0xFE (not 0xF7) with 0xC0..0xDE,
 * and the four pairs in 0x8A..0x9F. */
std::string foldCase(const std::string &name)
{
    std::string folded = upperAscii(name);
    for (char &c : folded) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (byte >= 0xE0 && byte <= 0xFE && byte != 0xF7)
            c = static_cast<char>(byte - 0x20);
        else if (byte == 0x9A || byte == 0x9C || byte == 0x9E)
            c = static_cast<char>(byte - 0x10);
        else if (byte == 0xFF)
            c = static_cast<char>(0x9F);
    }
    return folded;
}

std::vector<std::string> components(const std::string &name)
{
    std::vector<std::string> parts(1);
    for (char c : name) {
        if (isSlash(c))
            parts.emplace_back();
        else
            parts.back() += c;
    }
    return parts;
}

/* CON, PRN, AUX, NUL, COM1..9 and LPT1..9 name devices whatever extension
 * follows them. */
bool isDeviceName(const std::string &name)
{
    std::string stem = upperAscii(name.substr(0, name.find('.')));
    while (!stem.empty() && stem.back() == ' ')
        stem.pop_back();
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL")
        return true;
    return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
           stem[3] >= '1' && stem[3] <= '9';
}

} // namespace

std::optional<std::string> memberNameProblem(const std::string &name)
{
    if (name.empty())
        return std::string("is empty");
    if (isSlash(name[0]))
        return std::string("is an absolute path");
    if (name.size() >= 2 && isAsciiLetter(name[0]) && name[1] == ':')
        return std::string("has a drive letter");
    for (const std::string &part : components(name))
        if (part == "..")
            return std::string("has a '..' component");
    for (char c : name) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (isSlash(c))
            return std::string("has a directory separator");
        if (byte < 0x20)
            return std::string("has a control character");
        if (std::strchr(FORBIDDEN_IN_NAMES, c))
            return std::string("has the character '") + c + "', which Windows forbids in file names";
        if (isUndefinedInWin1252(byte))
            return std::string("has a byte undefined in Windows-1252");
    }
    if (name.back() == '.' || name.back() == ' ')
        return std::string("ends in a dot or space, which Windows drops");
    if (isDeviceName(name))
        return std::string("is a Windows device name");
    return std::nullopt;
}

std::optional<std::string> textProblem(const std::string &text)
{
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\t' && c != '\n' && c != '\r') || byte == 0x7F)
            return std::string("has a control character");
        if (isUndefinedInWin1252(byte))
            return std::string("has a byte undefined in Windows-1252");
    }
    return std::nullopt;
}

std::string configTextFromUtf8(const std::string &utf8, const std::string &what)
{
    std::string bad;
    std::optional<std::string> ansi = utf8ToWin1252(utf8, &bad);
    if (!ansi)
        throw usageError(what + " \"" + utf8 + "\" is not representable in Windows-1252 (" + bad + ")");
    if (ansi->size() > CONFIG_TEXT_BYTES - 1)
        throw usageError(what + " is " + std::to_string(ansi->size()) + " bytes in Windows-1252; at most " +
                         std::to_string(CONFIG_TEXT_BYTES - 1) + " fit");
    return *ansi;
}

bool sameWindowsName(const std::string &a, const std::string &b)
{
    return foldCase(a) == foldCase(b);
}
