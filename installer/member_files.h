/* Member files in the Windows directory: their paths, the saver's short
 * path, creating them, and copying stored members out of the package. */
#ifndef QUORBELL_MEMBER_FILES_H
#define QUORBELL_MEMBER_FILES_H

#include "platform.h"

#include <cstdint>

constexpr unsigned char LEAD_KEY = 0x9D;
constexpr unsigned char SAVER_KEY = 0xC6;
constexpr unsigned char TAIL_KEY = 0x7E;

constexpr uint32_t COPY_BUFFER_BYTES = 16384;

/* Up to 259 characters of Windows directory, a backslash, a 63-character
 * name and the NUL. */
constexpr unsigned MEMBER_PATH_BYTES = MAX_PATH + 1 + 64;

/* A path buffer; `valid` is false when the Windows directory does not fit
 * the buffer, and such a path must never reach the file system. */
struct MemberPath {
    char text[MEMBER_PATH_BYTES];
    bool valid;
};

MemberPath windowsPath(const char *name);
MemberPath shortWindowsPath(const char *name);

/* Whether `name` passes the 8.3 scan unchanged (no file system lookup). */
bool looksLikeShortName(const char *name);

HANDLE createMemberFile(const MemberPath &path);
bool copyStoredMember(HANDLE package, uint32_t size, const MemberPath &path, unsigned char key);
void xorBytes(unsigned char *bytes, uint32_t count, unsigned char key);

/* Writes all `count` bytes or reports failure: a short write is a full disk. */
bool writeAll(HANDLE file, const void *bytes, DWORD count);

#endif
