#include "byte_io.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>
#include <zlib.h>

namespace fs = std::filesystem;

uint64_t regularFileSize(const std::string &path, int exitCode)
{
    std::error_code error;
    fs::file_status status = fs::status(fs::u8path(path), error);
    if (error || !fs::exists(status))
        throw ToolError(exitCode, path + ": no such file");
    if (!fs::is_regular_file(status))
        throw ToolError(exitCode, path + ": not a regular file");
    uint64_t size = fs::file_size(fs::u8path(path), error);
    std::ifstream probe(fs::u8path(path), std::ios::binary);
    if (error || !probe)
        throw ToolError(exitCode, path + ": cannot be read");
    return size;
}

std::string readFileRange(const std::string &path, uint64_t offset, uint64_t count)
{
    std::ifstream in(fs::u8path(path), std::ios::binary);
    std::string bytes;
    if (!in || !in.seekg(static_cast<std::streamoff>(offset)))
        return bytes;
    bytes.resize(static_cast<size_t>(count));
    in.read(&bytes[0], static_cast<std::streamsize>(count));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

std::string readWholeFile(const std::string &path, int exitCode)
{
    uint64_t size = regularFileSize(path, exitCode);
    std::string bytes = readFileRange(path, 0, size);
    if (bytes.size() != size)
        throw ToolError(exitCode, path + ": cannot be read");
    return bytes;
}

uint32_t crcOfFileRange(const std::string &path, uint64_t offset, uint64_t count, unsigned char key,
                        bool *complete)
{
    const size_t CHUNK_BYTES = 1 << 16;
    std::ifstream in(fs::u8path(path), std::ios::binary);
    uLong crc = crc32(0L, Z_NULL, 0);
    *complete = in && in.seekg(static_cast<std::streamoff>(offset));
    std::vector<unsigned char> chunk(CHUNK_BYTES);
    while (*complete && count > 0) {
        size_t want = count < CHUNK_BYTES ? size_t(count) : CHUNK_BYTES;
        in.read(reinterpret_cast<char *>(chunk.data()), static_cast<std::streamsize>(want));
        size_t got = static_cast<size_t>(in.gcount());
        for (size_t i = 0; i < got; ++i)
            chunk[i] ^= key;
        crc = crc32(crc, chunk.data(), static_cast<uInt>(got));
        count -= got;
        if (got < want)
            *complete = false;
    }
    return static_cast<uint32_t>(crc);
}

std::string randomSuffix()
{
    static std::mt19937_64 generator(std::random_device{}() ^ static_cast<uint64_t>(
        std::chrono::steady_clock::now().time_since_epoch().count()));
    char digits[17];
    std::snprintf(digits, sizeof digits, "%08llx",
                  static_cast<unsigned long long>(generator() & 0xFFFFFFFFu));
    return digits;
}
