/* Block framing as written, and the reader's checks and end-of-stream rule. */
#include <gtest/gtest.h>

#include "block_stream.h"
#include "codec_test_support.h"
#include "reference_coder.h"

namespace {

TEST(BlockChecksum, StartsAtSeedAndWrapsModulo65536)
{
    const Bytes three = {1, 2, 3};
    const Bytes ffs(300, 0xFF);
    EXPECT_EQ(blockChecksum(nullptr, 0), 0x68A5);
    EXPECT_EQ(blockChecksum(three.data(), 3), 0x68AB);
    EXPECT_EQ(blockChecksum(ffs.data(), 300), 0x9379);  /* 0x68A5 + 300 * 255 - 65536 */
}

TEST(BlockFraming, FirstBlockHoldsTheDeclaredLength)
{
    for (size_t size : {size_t(0), size_t(1), size_t(300), size_t(70000)}) {
        Bytes stream = encodeBytes(randomBytes(size, 3));
        const Bytes lengthBytes = {uint8_t(size), uint8_t(size >> 8), uint8_t(size >> 16), uint8_t(size >> 24)};
        uint16_t checksum = uint16_t(0x68A5 + lengthBytes[0] + lengthBytes[1] + lengthBytes[2] + lengthBytes[3]);
        const Bytes expected = {0x52, 0x43, uint8_t(checksum), uint8_t(checksum >> 8), 0x0A, 0x00,
                                lengthBytes[0], lengthBytes[1], lengthBytes[2], lengthBytes[3]};
        EXPECT_EQ(Bytes(stream.begin(), stream.begin() + 10), expected) << size;
    }
}

std::vector<uint16_t> blockLengths(const Bytes &stream)
{
    std::vector<uint16_t> lengths;
    for (size_t at : blockOffsets(stream))
        lengths.push_back(le16(stream, at + 4));
    return lengths;
}

TEST(BlockFraming, CodedDataFillingWholeBlocksEndsWithABareHeader)
{
    Bytes one = encodeBytes(inputWithCodedSize(10234, 1));
    Bytes two = encodeBytes(inputWithCodedSize(2 * 10234, 2));
    EXPECT_EQ(blockLengths(one), (std::vector<uint16_t>{10, 10240, 6}));
    EXPECT_EQ(one.size(), 10u + 10240 + 6);
    EXPECT_EQ(blockLengths(two), (std::vector<uint16_t>{10, 10240, 10240, 6}));
    EXPECT_EQ(two.size(), 10u + 2 * 10240 + 6);
    EXPECT_EQ(le16(one, 10240 + 10 + 2), 0x68A5);
}

TEST(BlockFraming, EveryBlockButTheLastIsFull)
{
    Bytes stream = encodeBytes(randomBytes(40000, 4));
    std::vector<uint16_t> lengths = blockLengths(stream);
    ASSERT_GE(lengths.size(), 5u);
    for (size_t i = 1; i + 1 < lengths.size(); ++i)
        EXPECT_EQ(lengths[i], 10240);
    EXPECT_LT(lengths.back(), 10240);
    size_t total = 0;
    for (uint16_t length : lengths)
        total += length;
    EXPECT_EQ(total, stream.size());
}

TEST(BlockReader, CorruptedChecksumInTheThirdBlockFailsAfterTheFullLength)
{
    Bytes plain = randomBytes(25000, 5);
    Bytes stream = encodeBytes(plain);
    std::vector<size_t> blocks = blockOffsets(stream);
    ASSERT_GE(blocks.size(), 4u);
    stream[blocks[2] + 2] ^= 0x01;
    Decoded d = decodeBytes(stream);
    EXPECT_FALSE(d.ok);
    ASSERT_EQ(d.output.size(), plain.size());
    /* What the intact second block carried comes out unchanged. */
    EXPECT_TRUE(std::equal(plain.begin(), plain.begin() + 8000, d.output.begin()));
}

TEST(BlockReader, BlockLongerThanTheBytesReadFailsThoughItsChecksumFits)
{
    Bytes stream = encodeBytes(textBytes(3000));
    size_t last = blockOffsets(stream).back();
    putLe16(stream, last + 4, uint16_t(le16(stream, last + 4) + 1));
    EXPECT_FALSE(decodeBytes(stream).ok);
}

TEST(BlockReader, WrongMagicFails)
{
    Bytes stream = encodeBytes(textBytes(3000));
    stream[blockOffsets(stream)[1]] = 0x53;
    EXPECT_FALSE(decodeBytes(stream).ok);
}

TEST(BlockReader, LengthBlockMustHoldExactlyFourBytes)
{
    Bytes stream = encodeBytes(textBytes(100));
    putLe16(stream, 4, 9);
    resealBlock(stream, 0);
    EXPECT_FALSE(decodeBytes(stream).ok);
}

TEST(BlockReader, TruncatedStreamsFail)
{
    Bytes stream = encodeBytes(randomBytes(25000, 6));
    std::vector<size_t> blocks = blockOffsets(stream);
    ASSERT_EQ(blocks.size(), 4u);
    const size_t cuts[] = {0, 5, 10, 16, 10 + 5000, blocks[2], blocks[3], blocks[3] + 3, stream.size() - 1};
    for (size_t cut : cuts) {
        Decoded d = decodeBytes(Bytes(stream.begin(), stream.begin() + long(cut)));
        EXPECT_FALSE(d.ok) << "cut at " << cut;
        EXPECT_LE(d.consumed, cut) << "cut at " << cut;
    }
}

TEST(BlockReader, DeclaredLengthZeroReadsTheBareHeaderToo)
{
    Bytes stream = encodeBytes({});
    ASSERT_EQ(stream.size(), 16u);
    for (const Bytes &after : {Bytes{}, encodeBytes(textBytes(50))}) {
        Decoded d = decodeBytes(stream + after);
        EXPECT_TRUE(d.ok);
        EXPECT_TRUE(d.output.empty());
        EXPECT_EQ(d.consumed, 16u);
    }
}

TEST(BlockReader, DataAfterTheLastBlockIsNotTakenAsCodedData)
{
    /* A stream's bits end inside its last block; with the stream cut short
     * by one coded byte, the bytes that follow in the file must not stand
     * in for it. */
    Bytes plain = textBytes(2000);
    Bytes stream = encodeBytes(plain);
    size_t last = blockOffsets(stream).back();
    Bytes cut(stream.begin(), stream.end() - 1);
    putLe16(cut, last + 4, uint16_t(le16(cut, last + 4) - 1));
    resealBlock(cut, last);
    Bytes file = cut + Bytes{stream.back()} + encodeBytes(textBytes(500));
    Decoded d = decodeBytes(file);
    EXPECT_FALSE(d.ok);
    EXPECT_LT(d.output.size(), plain.size());
    EXPECT_EQ(d.consumed, cut.size());
}

TEST(BlockReader, DamagedHugeDeclaredLengthFailsWithoutMakingUpBytes)
{
    Bytes plain = textBytes(1000);
    for (uint32_t declared : {0x80000000u, 0xFFFFFFFFu}) {
        Bytes stream = encodeBytes(plain);
        setDeclaredLength(stream, declared);
        Decoded d = decodeBytes(stream);
        EXPECT_FALSE(d.ok);
        EXPECT_EQ(d.consumed, stream.size());
        ASSERT_GE(d.output.size(), plain.size());
        EXPECT_LT(d.output.size(), plain.size() + LOOKAHEAD);
        EXPECT_TRUE(std::equal(plain.begin(), plain.end(), d.output.begin()));
    }
}

TEST(BlockReader, DeclaredLengthBeyondTheCodedDataFails)
{
    Bytes plain = randomBytes(5000, 7);
    Bytes stream = encodeBytes(plain);
    setDeclaredLength(stream, 5100);
    Decoded d = decodeBytes(stream + encodeBytes(plain));
    EXPECT_FALSE(d.ok);
    EXPECT_LT(d.output.size(), 5100u);
}

TEST(BlockReader, LastMatchRunningPastTheDeclaredLengthFails)
{
    Bytes stream = encodeBytes(repeatedByte(10, 'a'));  /* a literal, then a match of 9 */
    setDeclaredLength(stream, 5);
    Decoded d = decodeBytes(stream);
    EXPECT_FALSE(d.ok);
    EXPECT_EQ(d.output, repeatedByte(5, 'a'));
}

TEST(BlockReader, DeclaredLengthShorterThanTheDataStillMeasuresTheWholeStream)
{
    Bytes plain = randomBytes(30000, 8);
    Bytes stream = encodeBytes(plain);
    setDeclaredLength(stream, 100);
    Decoded d = decodeBytes(stream + encodeBytes(plain));
    EXPECT_TRUE(d.ok);
    EXPECT_EQ(d.output, Bytes(plain.begin(), plain.begin() + 100));
    EXPECT_EQ(d.consumed, stream.size());
}

uint64_t progressTotal;
unsigned tickCount;

TEST(BlockStreamHooks, ReportFlushesAndTicks)
{
    Bytes plain = randomBytes(50000, 9);
    Bytes stream = encodeBytes(plain);
    progressTotal = 0;
    tickCount = 0;
    onProgress = [](uint32_t n) { progressTotal += n; };
    onTick = [] { ++tickCount; };
    Decoded d = decodeBytes(stream);
    onProgress = nullptr;
    onTick = nullptr;
    ASSERT_TRUE(d.ok);
    /* Full output buffers are reported; the final partial one is not. */
    EXPECT_EQ(progressTotal, 4u * 10240);
    /* One per 1024 bytes moved in or out, plus one per block either way. */
    size_t moved = stream.size() + plain.size();
    size_t blocks = blockOffsets(stream).size() + plain.size() / 10240 + 1;
    EXPECT_GE(tickCount, moved / 1024);
    EXPECT_LE(tickCount, moved / 1024 + blocks + 2);
}

} // namespace
