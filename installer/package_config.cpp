#include "package_config.h"

namespace {

constexpr uint32_t scrambledWord(uint32_t value)
{
    return value ^ (uint32_t(CONFIG_KEY) * 0x01010101u);
}

/* The block of a bare installer: no members, empty texts but a failure text,
 * the signature for producers. Built scrambled at compile time so the image
 * holds only the scrambled bytes, all in initialized data. */
constexpr PackageConfig scrambledStubConfig()
{
    PackageConfig c{};
    for (size_t i = 0; i < CONFIG_SIGNATURE_BYTES; ++i)
        c.signature[i] = uint8_t(CONFIG_SIGNATURE[i]);
    const char failure[] = "This installer carries no package.";
    for (size_t i = 0; i < sizeof failure; ++i)
        c.failureText[i] = failure[i];

    auto scrambleBytes = [](auto &field) {
        for (auto &byte : field)
            byte = decltype(+byte)(uint8_t(byte) ^ CONFIG_KEY);
    };
    scrambleBytes(c.uninterpreted0);
    c.payloadOffset = int32_t(scrambledWord(uint32_t(c.payloadOffset)));
    c.saverSize = scrambledWord(c.saverSize);
    c.tailSize = scrambledWord(c.tailSize);
    scrambleBytes(c.reserved16);
    c.leadSize = scrambledWord(c.leadSize);
    c.flags = scrambledWord(c.flags);
    c.appendSize1 = scrambledWord(c.appendSize1);
    c.appendSize2 = scrambledWord(c.appendSize2);
    scrambleBytes(c.signature);
    scrambleBytes(c.saverName);
    scrambleBytes(c.tailName);
    scrambleBytes(c.leadName);
    scrambleBytes(c.confirmText);
    scrambleBytes(c.successText);
    scrambleBytes(c.failureText);
    scrambleBytes(c.reserved448);
    scrambleBytes(c.progressText);
    scrambleBytes(c.producerRecord);
    return c;
}

} // namespace

/* Writable on purpose: the block is unscrambled where it lies. */
PackageConfig packageConfig = scrambledStubConfig();

void unscrambleConfig()
{
    unsigned char *bytes = reinterpret_cast<unsigned char *>(&packageConfig);
    for (size_t i = 0; i < CONFIG_BYTES; ++i)
        bytes[i] ^= CONFIG_KEY;
}

void terminateConfigTexts()
{
    char *const fields[] = {packageConfig.saverName,   packageConfig.tailName,
                            packageConfig.leadName,    packageConfig.confirmText,
                            packageConfig.successText, packageConfig.failureText,
                            packageConfig.progressText};
    for (char *field : fields)
        field[CONFIG_TEXT_BYTES - 1] = '\0';
}
