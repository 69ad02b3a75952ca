#include "pe_image.h"

#include "byte_io.h"

#include <algorithm>

namespace {

const uint32_t DOS_LFANEW_AT = 0x3C;
const uint32_t COFF_HEADER_BYTES = 20;
const uint32_t SECTION_HEADER_BYTES = 40;
const uint32_t COFF_SYMBOL_BYTES = 18;
const uint16_t PE32_MAGIC = 0x10B;
const uint16_t PE32_PLUS_MAGIC = 0x20B;
const uint32_t SECURITY_DIRECTORY = 4;
/* Real loaders refuse far more; these only keep a hostile header from making
 * the reader allocate or seek absurdly. */
const uint32_t MAX_LFANEW = 1 << 20;
const uint16_t MAX_SECTIONS = 96;

struct Fields {
    const std::string &bytes;
    bool has(size_t at, size_t n) const { return at <= bytes.size() && n <= bytes.size() - at; }
    uint16_t u16(size_t at) const { return readLe16(bytesOf(bytes) + at); }
    uint32_t u32(size_t at) const { return readLe32(bytesOf(bytes) + at); }
};

bool fail(std::string *reason, const char *text)
{
    if (reason)
        *reason = text;
    return false;
}

/* Optional-header fields that differ in place between PE32 and PE32+. */
bool readOptionalHeader(const Fields &f, size_t at, uint16_t size, PeImage &image, std::string *reason)
{
    if (size < 2 || !f.has(at, size))
        return fail(reason, "truncated optional header");
    uint16_t magic = f.u16(at);
    if (magic != PE32_MAGIC && magic != PE32_PLUS_MAGIC)
        return fail(reason, "unknown optional header magic");
    image.pe32Plus = magic == PE32_PLUS_MAGIC;
    size_t countAt = image.pe32Plus ? 108 : 92;
    size_t directoriesAt = countAt + 4;
    if (size < directoriesAt)
        return fail(reason, "optional header too short");
    image.sizeOfHeaders = f.u32(at + 60);
    image.checksumOffset = uint32_t(at + 64);
    image.checksum = f.u32(at + 64);
    image.subsystem = f.u16(at + 68);
    uint32_t directoryCount = f.u32(at + countAt);
    image.certificateOffset = image.certificateSize = 0;
    size_t securityAt = directoriesAt + 8 * SECURITY_DIRECTORY;
    if (directoryCount > SECURITY_DIRECTORY && securityAt + 8 <= size) {
        image.certificateOffset = f.u32(at + securityAt);
        image.certificateSize = f.u32(at + securityAt + 4);
    }
    return true;
}

bool readSections(const Fields &f, size_t at, uint16_t count, uint64_t fileSize, PeImage &image,
                  std::string *reason)
{
    if (!f.has(at, size_t(count) * SECTION_HEADER_BYTES))
        return fail(reason, "truncated section table");
    image.imageEnd = std::max<uint64_t>(image.sizeOfHeaders, at + count * SECTION_HEADER_BYTES);
    for (uint16_t i = 0; i < count; ++i) {
        size_t s = at + i * SECTION_HEADER_BYTES;
        PeSection section;
        section.name = f.bytes.substr(s, 8).c_str();
        section.virtualSize = f.u32(s + 8);
        section.virtualAddress = f.u32(s + 12);
        section.rawSize = f.u32(s + 16);
        section.rawOffset = f.u32(s + 20);
        if (section.rawSize != 0) {
            uint64_t end = uint64_t(section.rawOffset) + section.rawSize;
            if (end > fileSize)
                return fail(reason, "a section runs past the end of the file");
            image.imageEnd = std::max(image.imageEnd, end);
        }
        image.sections.push_back(section);
    }
    return true;
}

/* An unstripped image keeps its COFF symbols and their string table after
 * the sections; they belong to the image, not to an overlay. */
bool addSymbolTables(const ByteReader &read, uint32_t symbolsAt, uint32_t symbolCount, uint64_t fileSize,
                     PeImage &image, std::string *reason)
{
    if (symbolsAt == 0)
        return true;
    uint64_t stringsAt = uint64_t(symbolsAt) + uint64_t(symbolCount) * COFF_SYMBOL_BYTES;
    std::string sizeBytes = read(stringsAt, 4);
    if (sizeBytes.size() < 4)
        return fail(reason, "the symbol table runs past the end of the file");
    uint64_t end = stringsAt + readLe32(bytesOf(sizeBytes));
    if (end > fileSize)
        return fail(reason, "the symbol table runs past the end of the file");
    image.imageEnd = std::max(image.imageEnd, end);
    return true;
}

} // namespace

std::optional<PeImage> parsePeImage(const ByteReader &read, uint64_t fileSize, std::string *reason)
{
    std::string dos = read(0, 64);
    Fields f{dos};
    if (!f.has(0, 64) || dos[0] != 'M' || dos[1] != 'Z') {
        fail(reason, "no MZ header");
        return std::nullopt;
    }
    uint32_t peAt = f.u32(DOS_LFANEW_AT);
    if (peAt > MAX_LFANEW) {
        fail(reason, "PE header offset out of range");
        return std::nullopt;
    }
    std::string head = read(0, uint64_t(peAt) + 4 + COFF_HEADER_BYTES);
    Fields h{head};
    if (!h.has(peAt, 4 + COFF_HEADER_BYTES) || head.compare(peAt, 4, std::string("PE\0\0", 4)) != 0) {
        fail(reason, "no PE signature");
        return std::nullopt;
    }
    size_t coffAt = peAt + 4;
    PeImage image{};
    image.machine = h.u16(coffAt);
    uint16_t sectionCount = h.u16(coffAt + 2);
    uint32_t symbolsAt = h.u32(coffAt + 8);
    uint32_t symbolCount = h.u32(coffAt + 12);
    uint16_t optionalSize = h.u16(coffAt + 16);
    if (sectionCount == 0 || sectionCount > MAX_SECTIONS) {
        fail(reason, "implausible section count");
        return std::nullopt;
    }
    size_t optionalAt = coffAt + COFF_HEADER_BYTES;
    size_t sectionsAt = optionalAt + optionalSize;
    std::string headers = read(0, sectionsAt + size_t(sectionCount) * SECTION_HEADER_BYTES);
    Fields all{headers};
    if (!readOptionalHeader(all, optionalAt, optionalSize, image, reason) ||
        !readSections(all, sectionsAt, sectionCount, fileSize, image, reason) ||
        !addSymbolTables(read, symbolsAt, symbolCount, fileSize, image, reason))
        return std::nullopt;
    return image;
}

std::optional<PeImage> parsePeImage(const std::string &fileBytes, std::string *reason)
{
    ByteReader read = [&fileBytes](uint64_t offset, uint64_t count) {
        return offset >= fileBytes.size() ? std::string() : fileBytes.substr(size_t(offset), size_t(count));
    };
    return parsePeImage(read, fileBytes.size(), reason);
}
