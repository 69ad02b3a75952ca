/* Little-endian fields and whole-file helpers shared by the package code. */
#ifndef QUORBELL_BYTE_IO_H
#define QUORBELL_BYTE_IO_H

#include <cstdint>
#include <stdexcept>
#include <string>

/* A user-caused failure: bad arguments, unreadable files, corrupt input.
 * `exitCode` is what the command ends with (2 usage/validation, 1 a failed
 * check); `what()` is the one line the user sees. */
struct ToolError : std::runtime_error {
    int exitCode;
    ToolError(int code, const std::string &message) : std::runtime_error(message), exitCode(code) {}
};

inline ToolError usageError(const std::string &message) { return ToolError(2, message); }
inline ToolError checkError(const std::string &message) { return ToolError(1, message); }

inline uint16_t readLe16(const unsigned char *p) { return uint16_t(p[0] | (p[1] << 8)); }

inline uint32_t readLe32(const unsigned char *p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

inline void writeLe32(unsigned char *p, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(value >> (8 * i));
}

inline const unsigned char *bytesOf(const std::string &s)
{
    return reinterpret_cast<const unsigned char *>(s.data());
}

/* Size of a regular file; throws ToolError(exitCode) when it cannot be read. */
uint64_t regularFileSize(const std::string &path, int exitCode);

/* Up to `count` bytes at `offset`; fewer where the file ends. */
std::string readFileRange(const std::string &path, uint64_t offset, uint64_t count);

std::string readWholeFile(const std::string &path, int exitCode);

/* CRC-32 (zlib's) of `count` bytes at `offset`, each XOR `key` first; sets
 * `complete` false when the file ends early. */
uint32_t crcOfFileRange(const std::string &path, uint64_t offset, uint64_t count, unsigned char key,
                        bool *complete);



/* Random hex digits for names of temporary files and directories. */
std::string randomSuffix();

#endif
