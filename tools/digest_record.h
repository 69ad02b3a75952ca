/* The producer record: CRC-32s of every member and of the payload, kept in
 * the 64 bytes of the block the installer never reads (`producerRecord`),
 * so verify can check stored members, which carry no checksum of their own.
 * Layout, little-endian, offsets within the field:
 *    0  4  magic "QBDR"
 *    4  2  version, 1
 *    6  2  bytes covered by recordCrc (36)
 *    8  4  payloadLength: bytes from payloadOffset to the payload's end
 *   12  4  payloadCrc: CRC-32 of those bytes as stored
 *   16 20  memberCrc[5]: CRC-32 of each member's plain bytes, in role order
 *          lead, saver, append 1, append 2, tail (0 for an absent member)
 *   36  4  recordCrc: CRC-32 of bytes 0..35
 *   40 24  zero */
#ifndef QUORBELL_DIGEST_RECORD_H
#define QUORBELL_DIGEST_RECORD_H

#include "package_config.h"

#include <cstdint>

enum MemberRole { ROLE_LEAD, ROLE_SAVER, ROLE_APPEND1, ROLE_APPEND2, ROLE_TAIL, ROLE_COUNT };

struct DigestRecord {
    uint32_t payloadLength;
    uint32_t payloadCrc;
    uint32_t memberCrc[ROLE_COUNT];
};

enum class RecordState { ABSENT, DAMAGED, PRESENT };

void writeDigestRecord(const DigestRecord &record, uint8_t (&field)[CONFIG_TEXT_BYTES]);

/* ABSENT when the field does not start with the magic (another producer);
 * DAMAGED when it does but the version or recordCrc is wrong. */
RecordState readDigestRecord(const uint8_t (&field)[CONFIG_TEXT_BYTES], DigestRecord *record);

#endif
