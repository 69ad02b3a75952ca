/* Just enough of the PE format to know where an executable's image ends in
 * its file, and what a signer changed: headers, sections, the certificate
 * table and the COFF symbols an unstripped image carries. */
#ifndef QUORBELL_PE_IMAGE_H
#define QUORBELL_PE_IMAGE_H

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct PeSection {
    std::string name;
    uint32_t virtualAddress;
    uint32_t virtualSize;
    uint32_t rawOffset;
    uint32_t rawSize;
};

struct PeImage {
    uint16_t machine;
    bool pe32Plus;
    uint16_t subsystem;
    uint32_t sizeOfHeaders;
    uint32_t checksum;
    uint32_t checksumOffset;     /* file offset of the checksum field */
    uint32_t certificateOffset;  /* the security directory: a file offset, 0 if none */
    uint32_t certificateSize;
    std::vector<PeSection> sections;
    /* One past the last byte the image itself occupies: headers, every
     * section's raw data and the COFF symbol and string tables. Anything
     * after it in the file is an overlay (a payload, a signature). */
    uint64_t imageEnd;
};

/* Reads `count` bytes at `offset`; fewer where the file ends. */
using ByteReader = std::function<std::string(uint64_t offset, uint64_t count)>;

/* Parses the image, or gives nothing and a reason ("no MZ header") when the
 * bytes are not a PE file or its tables run past `fileSize`. */
std::optional<PeImage> parsePeImage(const ByteReader &read, uint64_t fileSize, std::string *reason);

std::optional<PeImage> parsePeImage(const std::string &fileBytes, std::string *reason);

#endif
