#include "member_files.h"

#include "install_run.h"

#include <cstring>

namespace {

const char FALLBACK_WINDOWS_DIRECTORY[] = "c:\\win95";
const char DISPLAY_PROPERTIES_TITLE[] = "Display Properties";
const DWORD QUIT_GRACE_MILLISECONDS = 1000;

unsigned char copyBuffer[COPY_BUFFER_BYTES];

bool isShortNameCharacter(unsigned char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

/* The directory's length, or 0 when it does not fit a MAX_PATH buffer. */
unsigned readWindowsDirectory(char (&directory)[MAX_PATH])
{
    UINT length = GetWindowsDirectoryA(directory, MAX_PATH);
    if (length == 0) {
        std::memcpy(directory, FALLBACK_WINDOWS_DIRECTORY, sizeof FALLBACK_WINDOWS_DIRECTORY);
        return sizeof FALLBACK_WINDOWS_DIRECTORY - 1;
    }
    /* A directory too long for the buffer reports the size it needs instead;
     * the buffer then holds nothing usable. */
    if (length >= MAX_PATH)
        return 0;
    return length;
}

} // namespace

MemberPath windowsPath(const char *name)
{
    MemberPath path;
    char directory[MAX_PATH];
    unsigned length = readWindowsDirectory(directory);
    path.valid = length != 0;
    if (!path.valid) {
        path.text[0] = '\0';
        return path;
    }
    std::memcpy(path.text, directory, length);
    if (path.text[length - 1] != '\\')
        path.text[length++] = '\\';
    /* Names come from 64-byte fields ending in NUL, so they always fit. */
    size_t nameLength = strnlen(name, MEMBER_PATH_BYTES - 1 - length);
    std::memcpy(path.text + length, name, nameLength);
    path.text[length + nameLength] = '\0';
    return path;
}

bool looksLikeShortName(const char *name)
{
    int budget = 8;
    bool separatorSeen = false;
    for (const unsigned char *c = reinterpret_cast<const unsigned char *>(name); *c; ++c) {
        if (!isShortNameCharacter(*c)) {
            if (*c < 0x2E || *c > 0x7F || separatorSeen)
                return false;
            separatorSeen = true;
            budget = 4;
        }
        if (--budget < 0)
            return false;
    }
    return true;
}

MemberPath shortWindowsPath(const char *name)
{
    MemberPath longPath = windowsPath(name);
    if (!longPath.valid || looksLikeShortName(name))
        return longPath;

    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(longPath.text, &found);
    if (search == INVALID_HANDLE_VALUE)
        return longPath;
    FindClose(search);
    found.cAlternateFileName[sizeof found.cAlternateFileName - 1] = '\0';
    if (found.cAlternateFileName[0] == '\0')
        return longPath;
    return windowsPath(found.cAlternateFileName);
}

HANDLE createMemberFile(const MemberPath &path)
{
    if (!path.valid)
        return INVALID_HANDLE_VALUE;
    HANDLE file = CreateFileA(path.text, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE)
        return file;

    /* The display control panel may hold the current saver open. */
    HWND displayProperties = FindWindowA(nullptr, DISPLAY_PROPERTIES_TITLE);
    if (displayProperties == nullptr)
        return INVALID_HANDLE_VALUE;
    PostMessageA(displayProperties, WM_QUIT, 0, 0);
    Sleep(QUIT_GRACE_MILLISECONDS);
    return CreateFileA(path.text, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

void xorBytes(unsigned char *bytes, uint32_t count, unsigned char key)
{
    for (uint32_t i = 0; i < count; ++i)
        bytes[i] ^= key;
}

bool writeAll(HANDLE file, const void *bytes, DWORD count)
{
    DWORD written = 0;
    return WriteFile(file, bytes, count, &written, nullptr) && written == count;
}

bool copyStoredMember(HANDLE package, uint32_t size, const MemberPath &path, unsigned char key)
{
    currentMemberFile = createMemberFile(path);
    if (currentMemberFile == INVALID_HANDLE_VALUE)
        return false;

    while (size > 0) {
        DWORD chunk = size < COPY_BUFFER_BYTES ? size : COPY_BUFFER_BYTES;
        size -= chunk;
        DWORD got = 0;
        ReadFile(package, copyBuffer, chunk, &got, nullptr);
        /* A package that ends inside the member fails it: only bytes that were
         * read are ever written. */
        if (got != chunk)
            return false;
        xorBytes(copyBuffer, got, key);
        if (!writeAll(currentMemberFile, copyBuffer, chunk))
            return false;
    }
    return true;
}
