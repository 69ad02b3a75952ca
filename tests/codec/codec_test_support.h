/* Helpers for the codec tests: temporary files, whole-stream encode and
 * decode through the platform's file calls, inputs, and stream surgery. */
#ifndef QUORBELL_CODEC_TEST_SUPPORT_H
#define QUORBELL_CODEC_TEST_SUPPORT_H

#include <cstdint>
#include <string>
#include <vector>

#include "platform.h"

using Bytes = std::vector<unsigned char>;

/* A path in this process's own temporary folder (removed at exit). */
std::string tempPath(const std::string &name);
void writeBytes(const std::string &path, const Bytes &bytes);
Bytes readBytes(const std::string &path);

HANDLE openForReading(const std::string &path);
HANDLE createForWriting(const std::string &path);

/* encodeStream over a file holding `plain`, declaring its size or `declared`. */
Bytes encodeBytes(const Bytes &plain);
Bytes encodeBytes(const Bytes &plain, uint32_t declared);

struct Decoded {
    bool ok;
    uint32_t consumed;
    Bytes output;
};
/* decodeStream over a file holding `file`, starting at `offset`. */
Decoded decodeBytes(const Bytes &file, uint32_t offset = 0);

Bytes randomBytes(size_t n, uint32_t seed);
/* English-like words and punctuation, deterministic. */
Bytes textBytes(size_t n);
Bytes repeatedByte(size_t n, unsigned char value);
Bytes operator+(Bytes a, const Bytes &b);

/* A prefix of randomBytes(.., seed) whose stream holds exactly
 * `codedBytes` of coded data. */
Bytes inputWithCodedSize(size_t codedBytes, uint32_t seed);

/* Stream surgery. Block offsets follow the reader's rule: a 10-byte length
 * block, then blocks while the previous one was full. */
uint16_t le16(const Bytes &bytes, size_t at);
void putLe16(Bytes &bytes, size_t at, uint16_t value);
std::vector<size_t> blockOffsets(const Bytes &stream);
/* Recomputes the checksum of the block at `at` from its data bytes. */
void resealBlock(Bytes &stream, size_t at);
void setDeclaredLength(Bytes &stream, uint32_t length);
/* The coded bitstream: the data bytes of all blocks after the first. */
Bytes codedData(const Bytes &stream);

#endif
