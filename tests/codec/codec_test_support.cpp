#include "codec_test_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "block_stream.h"
#include "stream_decoder.h"
#include "stream_encoder.h"

namespace fs = std::filesystem;

namespace {

struct TempFolder {
    std::string path;
    TempFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "qb-codec-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        path = pattern;
    }
    ~TempFolder()
    {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
};

const std::string &tempFolder()
{
    static TempFolder folder;
    return folder.path;
}

} // namespace

std::string tempPath(const std::string &name) { return tempFolder() + "/" + name; }

void writeBytes(const std::string &path, const Bytes &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

Bytes readBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

HANDLE openForReading(const std::string &path)
{
    return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

HANDLE createForWriting(const std::string &path)
{
    return CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

Bytes encodeBytes(const Bytes &plain) { return encodeBytes(plain, uint32_t(plain.size())); }

Bytes encodeBytes(const Bytes &plain, uint32_t declared)
{
    std::string inPath = tempPath("encode.in"), outPath = tempPath("encode.out");
    writeBytes(inPath, plain);
    HANDLE in = openForReading(inPath), out = createForWriting(outPath);
    if (in == INVALID_HANDLE_VALUE || out == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot open encode files");
    bool ok = encodeStream(in, out, declared);
    CloseHandle(in);
    CloseHandle(out);
    if (!ok)
        throw std::runtime_error("encodeStream failed");
    return readBytes(outPath);
}

Decoded decodeBytes(const Bytes &file, uint32_t offset)
{
    std::string inPath = tempPath("decode.in"), outPath = tempPath("decode.out");
    writeBytes(inPath, file);
    HANDLE in = openForReading(inPath), out = createForWriting(outPath);
    if (in == INVALID_HANDLE_VALUE || out == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot open decode files");
    SetFilePointer(in, LONG(offset), nullptr, FILE_BEGIN);
    Decoded result;
    result.ok = decodeStream(in, out);
    result.consumed = blockStream.consumed;
    CloseHandle(in);
    CloseHandle(out);
    result.output = readBytes(outPath);
    return result;
}

Bytes randomBytes(size_t n, uint32_t seed)
{
    Bytes bytes(n);
    uint32_t x = seed * 2654435761u + 1;
    for (auto &b : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = uint8_t(x >> 11);
    }
    return bytes;
}

Bytes textBytes(size_t n)
{
    static const char *const words[] = {"the", "saver", "installs", "into", "a", "window", "of",
                                        "Windows", "directory", "and", "it", "shows", "stars",
                                        "moving", "slowly", "across", "dark", "screen", "when",
                                        "idle", "for", "minutes", "is", "with", "settings"};
    const size_t wordCount = sizeof words / sizeof words[0];
    Bytes text;
    uint32_t x = 12345;
    while (text.size() < n) {
        x = x * 1103515245u + 12345u;
        const char *word = words[(x >> 16) % wordCount];
        text.insert(text.end(), word, word + std::char_traits<char>::length(word));
        unsigned pick = (x >> 8) % 16;
        text.push_back(pick == 0 ? '.' : pick == 1 ? ',' : pick == 2 ? '\n' : ' ');
    }
    text.resize(n);
    return text;
}

Bytes repeatedByte(size_t n, unsigned char value) { return Bytes(n, value); }

Bytes operator+(Bytes a, const Bytes &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes inputWithCodedSize(size_t codedBytes, uint32_t seed)
{
    /* Random bytes code to a little more than a byte each, and the coded
     * size never falls as the input grows: search for the shortest prefix
     * that reaches the target, then try a few around it. */
    Bytes source = randomBytes(codedBytes, seed);
    size_t blocks = codedBytes / (BLOCK_BYTES - BLOCK_HEADER_BYTES) + 1;
    size_t wanted = FIRST_READ_BYTES + codedBytes + blocks * BLOCK_HEADER_BYTES;
    auto streamSize = [&](size_t n) { return encodeBytes(Bytes(source.begin(), source.begin() + long(n))).size(); };
    size_t lo = 0, hi = source.size();
    while (hi - lo > 1) {
        size_t mid = (lo + hi) / 2;
        (streamSize(mid) < wanted ? lo : hi) = mid;
    }
    for (size_t n = hi; n < hi + 8 && n <= source.size(); ++n)
        if (streamSize(n) == wanted)
            return Bytes(source.begin(), source.begin() + long(n));
    throw std::runtime_error("no input with that coded size");
}

uint16_t le16(const Bytes &bytes, size_t at) { return uint16_t(bytes.at(at) | bytes.at(at + 1) << 8); }

void putLe16(Bytes &bytes, size_t at, uint16_t value)
{
    bytes.at(at) = uint8_t(value);
    bytes.at(at + 1) = uint8_t(value >> 8);
}

std::vector<size_t> blockOffsets(const Bytes &stream)
{
    std::vector<size_t> offsets{0};
    size_t at = FIRST_READ_BYTES;
    for (;;) {
        offsets.push_back(at);
        uint16_t length = le16(stream, at + 4);
        if (length < BLOCK_BYTES)
            return offsets;
        at += length;
    }
}

void resealBlock(Bytes &stream, size_t at)
{
    uint16_t length = le16(stream, at + 4);
    putLe16(stream, at + 2, blockChecksum(stream.data() + at + BLOCK_HEADER_BYTES, length - BLOCK_HEADER_BYTES));
}

void setDeclaredLength(Bytes &stream, uint32_t length)
{
    for (unsigned i = 0; i < 4; ++i)
        stream.at(BLOCK_HEADER_BYTES + i) = uint8_t(length >> (8 * i));
    resealBlock(stream, 0);
}

Bytes codedData(const Bytes &stream)
{
    Bytes coded;
    std::vector<size_t> offsets = blockOffsets(stream);
    for (size_t i = 1; i < offsets.size(); ++i) {
        size_t at = offsets[i];
        auto first = stream.begin() + long(at + BLOCK_HEADER_BYTES);
        coded.insert(coded.end(), first, stream.begin() + long(at + le16(stream, at + 4)));
    }
    return coded;
}
