#include "stream_framing.h"

#include "block_stream.h"
#include "byte_io.h"

#include <filesystem>
#include <fstream>
#include <vector>

namespace {

const uint32_t LENGTH_BLOCK_BYTES = BLOCK_HEADER_BYTES + 4;

struct BlockReader {
    std::ifstream in;
    uint64_t fileSize;
    std::vector<unsigned char> bytes;

    /* Reads the block at `at` and checks its magic, length and checksum;
     * an empty result is sound. */
    std::string readBlock(uint64_t at, uint32_t *length)
    {
        if (at + BLOCK_HEADER_BYTES > fileSize)
            return "ends at the end of the file without a last block";
        bytes.resize(BLOCK_BYTES);
        in.seekg(static_cast<std::streamoff>(at));
        in.read(reinterpret_cast<char *>(bytes.data()), BLOCK_HEADER_BYTES);
        if (readLe16(bytes.data()) != BLOCK_MAGIC)
            return "block at " + std::to_string(at) + " has no block magic";
        *length = readLe16(bytes.data() + 4);
        if (*length < BLOCK_HEADER_BYTES || *length > BLOCK_BYTES)
            return "block at " + std::to_string(at) + " has the impossible length " + std::to_string(*length);
        if (at + *length > fileSize)
            return "block at " + std::to_string(at) + " runs past the end of the file";
        in.read(reinterpret_cast<char *>(bytes.data()) + BLOCK_HEADER_BYTES, *length - BLOCK_HEADER_BYTES);
        if (!in)
            return "block at " + std::to_string(at) + " cannot be read";
        if (blockChecksum(bytes.data() + BLOCK_HEADER_BYTES, *length - BLOCK_HEADER_BYTES) !=
            readLe16(bytes.data() + 2))
            return "block at " + std::to_string(at) + " fails its checksum";
        return std::string();
    }
};

} // namespace

StreamFraming walkStreamFraming(const std::string &path, uint64_t offset, uint64_t fileSize)
{
    StreamFraming framing{false, std::string(), 0, 0, 0};
    BlockReader reader{std::ifstream(std::filesystem::u8path(path), std::ios::binary), fileSize, {}};
    uint32_t length = 0;
    framing.problem = reader.readBlock(offset, &length);
    if (framing.problem.empty() && length != LENGTH_BLOCK_BYTES)
        framing.problem = "first block is " + std::to_string(length) + " bytes, not " +
                          std::to_string(LENGTH_BLOCK_BYTES);
    if (!framing.problem.empty())
        return framing;
    framing.declaredLength = readLe32(reader.bytes.data() + BLOCK_HEADER_BYTES);
    uint64_t at = offset + length;
    framing.blocks = 1;
    /* Full blocks continue the stream; the first shorter one ends it. */
    do {
        framing.problem = reader.readBlock(at, &length);
        if (!framing.problem.empty())
            return framing;
        at += length;
        ++framing.blocks;
    } while (length == BLOCK_BYTES);
    framing.sound = true;
    framing.length = at - offset;
    return framing;
}
