/* libFuzzer target for decodeStream: any bytes as a package holding one
 * stream at offset 0. Checks what the decoder promises its callers:
 *   - no access outside its buffers (AddressSanitizer, UBSan);
 *   - `consumed` never runs past the input;
 *   - output never runs past the declared length;
 *   - true only for intact framing, with `consumed` its exact size and
 *     exactly the declared length written.
 * The framing is judged here independently, by the writer's layout: a
 * 10-byte length block, then blocks while the previous one was full. */
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "block_stream.h"
#include "platform.h"
#include "stream_decoder.h"

namespace {

/* After a failed block the decoder runs on to the declared length by
 * design; inputs that would make it write more than this are skipped so
 * runs stay fast. Intact streams are never skipped: their output is bounded
 * by their coded data. */
constexpr uint32_t RUN_ON_LIMIT = 1u << 20;

struct Framing {
    bool lengthBlockIntact = false;
    bool intact = false;
    uint32_t declared = 0;
    uint64_t size = 0;  /* sum of the block lengths, when intact */
};

uint16_t le16(const uint8_t *p) { return uint16_t(p[0] | p[1] << 8); }

/* Whether a block of the given read size passes its checks. */
bool blockIntact(const uint8_t *block, size_t got, size_t readSize, uint16_t &length)
{
    if (got < BLOCK_HEADER_BYTES || le16(block) != BLOCK_MAGIC)
        return false;
    length = le16(block + 4);
    if (length < BLOCK_HEADER_BYTES || length > got)
        return false;
    if (readSize == FIRST_READ_BYTES && length != FIRST_READ_BYTES)
        return false;
    uint16_t sum = CHECKSUM_SEED;
    for (size_t i = BLOCK_HEADER_BYTES; i < length; ++i)
        sum = uint16_t(sum + block[i]);
    return sum == le16(block + 2);
}

Framing judge(const uint8_t *data, size_t size)
{
    Framing f;
    uint16_t length;
    if (!blockIntact(data, size < FIRST_READ_BYTES ? size : FIRST_READ_BYTES, FIRST_READ_BYTES, length))
        return f;
    f.lengthBlockIntact = true;
    f.declared = uint32_t(data[6] | data[7] << 8 | data[8] << 16 | uint32_t(data[9]) << 24);
    f.size = FIRST_READ_BYTES;
    for (size_t at = FIRST_READ_BYTES;; at += BLOCK_BYTES) {
        size_t got = size - at < BLOCK_BYTES ? size - at : BLOCK_BYTES;
        if (!blockIntact(data + at, got, BLOCK_BYTES, length))
            return f;
        f.size += length;
        if (length < BLOCK_BYTES)
            break;
    }
    f.intact = true;
    return f;
}

void check(bool condition, const char *promise)
{
    if (!condition) {
        std::fprintf(stderr, "decode_fuzz: broken promise: %s\n", promise);
        std::abort();
    }
}

/* This process's two scratch files, in TMPDIR (run-fuzz.sh gives each run
 * a folder of its own and removes it). */
std::string scratch(const char *suffix)
{
    static const std::string base = [] {
        const char *folder = std::getenv("TMPDIR");
        return std::string(folder ? folder : "/tmp") + "/qb-decode-fuzz-" + std::to_string(getpid());
    }();
    return base + suffix;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Framing f = judge(data, size);
    if (f.lengthBlockIntact && !f.intact && f.declared > RUN_ON_LIMIT)
        return -1;

    std::string inPath = scratch(".in"), outPath = scratch(".out");
    FILE *file = std::fopen(inPath.c_str(), "wb");
    check(file && std::fwrite(data, 1, size, file) == size && std::fclose(file) == 0, "scratch file written");
    HANDLE in = CreateFileA(inPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE out = CreateFileA(outPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    check(in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE, "scratch files open");
    bool ok = decodeStream(in, out);
    CloseHandle(in);
    CloseHandle(out);
    struct stat written;
    check(stat(outPath.c_str(), &written) == 0, "output exists");
    uint64_t outSize = uint64_t(written.st_size);

    check(blockStream.consumed <= size, "consumed within the input");
    check(outSize <= f.declared, "output within the declared length");
    if (ok) {
        check(f.intact, "true only for intact framing");
        check(blockStream.consumed == f.size, "consumed is the stream's size");
        check(outSize == f.declared, "exactly the declared length written");
    }
    return 0;
}
