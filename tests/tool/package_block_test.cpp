/* The configuration block as the tool reads and writes it, and the digest
 * record in its producer range. */
#include "digest_record.h"
#include "package_block.h"
#include "tool_test_support.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

TEST(PackageBlock, EncodesLittleEndianAndScrambled)
{
    PackageConfig config = bareConfig();
    config.payloadOffset = 0x01020304;
    config.saverSize = 0xA0B0C0D0;
    config.flags = PKG_PACKED | PKG_QUIET;
    setFieldText(config.saverName, "SAVER.SCR");
    unsigned char block[CONFIG_BYTES];
    encodeBlock(config, block);
    EXPECT_EQ(block[4] ^ CONFIG_KEY, 0x04);
    EXPECT_EQ(block[7] ^ CONFIG_KEY, 0x01);
    EXPECT_EQ(block[8] ^ CONFIG_KEY, 0xD0);
    EXPECT_EQ(block[28] ^ CONFIG_KEY, 0x03);
    EXPECT_EQ(block[64] ^ CONFIG_KEY, 'S');
    EXPECT_EQ(block[64 + 9], CONFIG_KEY); /* the NUL, scrambled */

    PackageConfig back = decodeBlock(block);
    EXPECT_EQ(std::memcmp(&back, &config, sizeof config), 0);
}

TEST(PackageBlock, IsFoundByItsScrambledSignature)
{
    std::string stub = syntheticStub();
    std::vector<uint64_t> blocks = findBlocks(stub, stub.size());
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0], 0x240u);
    EXPECT_EQ(stub.find(CONFIG_SIGNATURE), std::string::npos) << "the plain signature must not be in the image";

    EXPECT_EQ(findBlocks(syntheticStub(2), stub.size()).size(), 2u);
    EXPECT_TRUE(findBlocks(syntheticStub(0), stub.size()).empty());
    /* A signature too close to either end cannot be a whole block. */
    std::string signature = scrambledSignature();
    EXPECT_TRUE(findBlocks(signature + std::string(700, '\0'), 720).empty());
    EXPECT_TRUE(findBlocks(std::string(40, '\0') + signature + std::string(100, '\0'), 160).empty());
}

TEST(PackageBlock, FieldTextsEndAtTheirNulOrField)
{
    PackageConfig config = bareConfig();
    setFieldText(config.confirmText, std::string(63, 'q'));
    EXPECT_TRUE(fieldTerminated(config.confirmText));
    EXPECT_EQ(fieldText(config.confirmText), std::string(63, 'q'));
    std::memset(config.successText, 'w', CONFIG_TEXT_BYTES);
    EXPECT_FALSE(fieldTerminated(config.successText));
    EXPECT_EQ(fieldText(config.successText), std::string(64, 'w'));
}

TEST(DigestRecord, RoundTripsAndTellsAbsentFromDamaged)
{
    DigestRecord record{};
    record.payloadLength = 123456;
    record.payloadCrc = 0xDEADBEEF;
    for (int role = 0; role < ROLE_COUNT; ++role)
        record.memberCrc[role] = 0x11111111u * uint32_t(role + 1);
    uint8_t field[CONFIG_TEXT_BYTES];
    writeDigestRecord(record, field);
    EXPECT_EQ(std::memcmp(field, "QBDR", 4), 0);

    DigestRecord back{};
    ASSERT_EQ(readDigestRecord(field, &back), RecordState::PRESENT);
    EXPECT_EQ(back.payloadLength, record.payloadLength);
    EXPECT_EQ(back.payloadCrc, record.payloadCrc);
    for (int role = 0; role < ROLE_COUNT; ++role)
        EXPECT_EQ(back.memberCrc[role], record.memberCrc[role]);

    for (size_t at : {size_t(4), size_t(9), size_t(20), size_t(37)}) {
        uint8_t damaged[CONFIG_TEXT_BYTES];
        std::memcpy(damaged, field, sizeof field);
        damaged[at] ^= 0x40;
        EXPECT_EQ(readDigestRecord(damaged, &back), RecordState::DAMAGED) << at;
    }
    uint8_t empty[CONFIG_TEXT_BYTES] = {};
    EXPECT_EQ(readDigestRecord(empty, &back), RecordState::ABSENT);
}

} // namespace
