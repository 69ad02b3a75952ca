/* Reading a built package the way the installer will: the block found and
 * unscrambled, each member located from the ones before it (stored members
 * by their size, packed streams by the length the decoder measures), every
 * packed stream decoded and every stored member read, and every fault
 * collected as one line. info, verify and extract all start here. */
#ifndef QUORBELL_PACKAGE_READER_H
#define QUORBELL_PACKAGE_READER_H

#include "digest_record.h"
#include "package_config.h"
#include "pe_image.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct MemberReport {
    MemberRole role;
    std::string name;         /* Windows-1252; appended streams carry the saver's */
    uint32_t configuredSize;
    bool packed;
    bool reached;             /* the members before it were read, so its offset is known */
    uint64_t offset;
    uint64_t storedLength;    /* bytes it occupies: its size stored, `consumed` packed */
    bool decodes;             /* read completely (stored) or decoded without fault (packed) */
    uint64_t plainLength;     /* bytes read or decoded */
    uint32_t plainCrc;
    std::optional<bool> crcMatches;      /* against the digest record, when there is one */
    std::optional<uint64_t> framedLength; /* packed: where its blocks end, by the framing */
    std::optional<uint32_t> declaredLength;
    std::string plainFile;    /* the plain bytes, when kept */
};

struct PackageReport {
    std::string path;
    uint64_t fileSize;
    PeImage image;
    uint64_t blockOffset;
    PackageConfig config;
    RecordState recordState;
    DigestRecord record;
    std::vector<MemberReport> members;  /* present members in package order */
    std::optional<uint64_t> payloadEnd; /* known once every member was read */
    std::optional<bool> payloadCrcMatches;
    std::vector<std::string> problems;
};

const char *roleName(MemberRole role);

/* Inspects the package. A file that is no package at all (not a PE image, no
 * block or more than one) throws a check error; everything else is a
 * problem in the report. With `keepPlainIn` set, each member's plain bytes
 * stay in a file there (MemberReport::plainFile). */
PackageReport inspectPackage(const std::string &path, const std::string &keepPlainIn = std::string());

#endif
