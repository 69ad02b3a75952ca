/* The installer's settings: one 640-byte block in initialized data, stored
 * XOR CONFIG_KEY in the image and unscrambled in place once at start. */
#ifndef QUORBELL_PACKAGE_CONFIG_H
#define QUORBELL_PACKAGE_CONFIG_H

#include <cstddef>
#include <cstdint>

constexpr unsigned char CONFIG_KEY = 0xB3;
constexpr size_t CONFIG_BYTES = 640;
constexpr size_t CONFIG_TEXT_BYTES = 64;

constexpr uint32_t PKG_PACKED = 1u << 0;
constexpr uint32_t PKG_QUIET = 1u << 1;

/* Producers find the block by this signature, which sits in a range the
 * installer never interprets. Only its scrambled form is in the image. */
constexpr char CONFIG_SIGNATURE[] = "Quorbell package v1";
constexpr size_t CONFIG_SIGNATURE_BYTES = 20;

/* Little-endian image of the block; every offset is fixed by the package
 * format, so the layout is checked below field by field. */
struct PackageConfig {
    uint8_t uninterpreted0[4];
    int32_t payloadOffset;
    uint32_t saverSize;
    uint32_t tailSize;
    uint8_t reserved16[8];
    uint32_t leadSize;
    uint32_t flags;
    uint32_t appendSize1;
    uint32_t appendSize2;
    uint8_t signature[24];
    char saverName[CONFIG_TEXT_BYTES];
    char tailName[CONFIG_TEXT_BYTES];
    char leadName[CONFIG_TEXT_BYTES];
    char confirmText[CONFIG_TEXT_BYTES];
    char successText[CONFIG_TEXT_BYTES];
    char failureText[CONFIG_TEXT_BYTES];
    uint8_t reserved448[CONFIG_TEXT_BYTES];
    char progressText[CONFIG_TEXT_BYTES];
    uint8_t producerRecord[CONFIG_TEXT_BYTES];
};

static_assert(sizeof(PackageConfig) == CONFIG_BYTES, "the block is 640 bytes");
static_assert(offsetof(PackageConfig, payloadOffset) == 4, "layout");
static_assert(offsetof(PackageConfig, leadSize) == 24, "layout");
static_assert(offsetof(PackageConfig, appendSize2) == 36, "layout");
static_assert(offsetof(PackageConfig, signature) == 40, "layout");
static_assert(offsetof(PackageConfig, saverName) == 64, "layout");
static_assert(offsetof(PackageConfig, confirmText) == 256, "layout");
static_assert(offsetof(PackageConfig, reserved448) == 448, "layout");
static_assert(offsetof(PackageConfig, progressText) == 512, "layout");
static_assert(offsetof(PackageConfig, producerRecord) == 576, "layout");

extern PackageConfig packageConfig;

/* Replaces every byte of the block by itself XOR CONFIG_KEY. */
void unscrambleConfig();

/* Ends every name and text field at its 64th byte at the latest, so a field
 * with no NUL reads as its first 63 characters and nothing reads past it. */
void terminateConfigTexts();

inline bool hasText(const char *field) { return field[0] != '\0'; }

inline bool configFlag(uint32_t flag) { return (packageConfig.flags & flag) != 0; }

#endif
