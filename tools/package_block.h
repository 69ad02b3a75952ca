/* The installer's configuration block as the tool sees it: found in a file by
 * its scrambled signature, read into a PackageConfig and written back. */
#ifndef QUORBELL_PACKAGE_BLOCK_H
#define QUORBELL_PACKAGE_BLOCK_H

#include "package_config.h"

#include <cstdint>
#include <string>
#include <vector>

/* The signature as it appears in an image: every byte XOR CONFIG_KEY. */
std::string scrambledSignature();

/* Block starts (signature match minus its offset in the block) of every
 * occurrence within bytes[0, limit) that leaves room for a whole block. */
std::vector<uint64_t> findBlocks(const std::string &bytes, uint64_t limit);

/* Scrambled block bytes (CONFIG_BYTES of them) to a config and back;
 * integers are little-endian whatever the host. */
PackageConfig decodeBlock(const unsigned char *scrambled);
void encodeBlock(const PackageConfig &config, unsigned char *scrambled);

/* A text field's string: its bytes up to the first NUL, or all 64. */
std::string fieldText(const char (&field)[CONFIG_TEXT_BYTES]);
bool fieldTerminated(const char (&field)[CONFIG_TEXT_BYTES]);
/* Stores `ansi` (at most 63 bytes) and clears the rest of the field. */
void setFieldText(char (&field)[CONFIG_TEXT_BYTES], const std::string &ansi);

#endif
