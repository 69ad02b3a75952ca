/* The adaptive model, the offset code and the bit reader and writer,
 * checked against their stated facts and against the plain reference. */
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "block_stream.h"
#include "codec_test_support.h"
#include "huffman_model.h"
#include "reference_coder.h"

namespace {

reference::Model snapshot()
{
    reference::Model m;
    std::memcpy(m.weight, huffModel.weight, sizeof m.weight);
    std::memcpy(m.child, huffModel.child, sizeof m.child);
    std::memcpy(m.parent, huffModel.parent, sizeof m.parent);
    return m;
}

bool sameModel(const reference::Model &m)
{
    return std::memcmp(m.weight, huffModel.weight, sizeof m.weight) == 0 &&
           std::memcmp(m.child, huffModel.child, sizeof m.child) == 0 &&
           std::memcmp(m.parent, huffModel.parent, sizeof m.parent) == 0;
}

size_t codeLength(uint16_t s) { return reference::symbolCode(snapshot(), s).size(); }

TEST(HuffModel, FreshTreeHas198EightBitAnd116NineBitCodes)
{
    initModel();
    size_t eight = 0, nine = 0;
    for (uint16_t s = 0; s < SYMBOL_COUNT; ++s) {
        size_t length = codeLength(s);
        eight += length == 8;
        nine += length == 9;
    }
    EXPECT_EQ(eight, 198u);
    EXPECT_EQ(nine, 116u);
    for (uint16_t s : {0, 97})
        EXPECT_EQ(codeLength(s), 9u) << s;
    for (uint16_t s : {255, 256, 313})
        EXPECT_EQ(codeLength(s), 8u) << s;
}

/* Sum and order invariants that make the tree a Huffman tree. */
void expectSoundTree()
{
    const HuffModel &m = huffModel;
    for (unsigned i = 0; i + 1 <= NODE_COUNT; ++i)
        ASSERT_LE(m.weight[i], m.weight[i + 1]) << i;
    for (unsigned i = 0; i < NODE_COUNT; ++i) {
        unsigned c = m.child[i];
        if (c >= NODE_COUNT) {
            ASSERT_EQ(m.parent[c], i);
        } else {
            ASSERT_EQ(m.weight[i], m.weight[c] + m.weight[c + 1]) << i;
            ASSERT_EQ(m.parent[c], i);
            ASSERT_EQ(m.parent[c + 1], i);
        }
    }
}

TEST(HuffModel, RebuildsWhenTheRootReaches0x8000AndHalvesRoundingUp)
{
    initModel();
    for (unsigned i = 0; i < 32454; ++i)
        bumpSymbol('e');
    EXPECT_EQ(huffModel.weight[ROOT], 0x8000);
    EXPECT_EQ(huffModel.weight[huffModel.parent[NODE_COUNT + 'e']], 32455);
    bumpSymbol('f');
    /* 'e' halves to 16228, every other leaf stays 1, then 'f' goes to 2. */
    EXPECT_EQ(huffModel.weight[huffModel.parent[NODE_COUNT + 'e']], 16228);
    EXPECT_EQ(huffModel.weight[huffModel.parent[NODE_COUNT + 'f']], 2);
    EXPECT_EQ(huffModel.weight[huffModel.parent[NODE_COUNT + 'g']], 1);
    EXPECT_EQ(huffModel.weight[ROOT], 16228 + 2 + 312);
    expectSoundTree();
}

/* Symbols with a skewed, drifting distribution, the way real data moves. */
std::vector<uint16_t> skewedSymbols(size_t n, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<uint16_t> symbols(n);
    for (size_t i = 0; i < n; ++i) {
        std::geometric_distribution<unsigned> rank(i < n / 2 ? 0.05 : 0.3);
        symbols[i] = uint16_t((rank(random) + i / 5000 * 37) % SYMBOL_COUNT);
    }
    return symbols;
}

TEST(HuffModel, BumpMatchesTheLinearScanStepByStep)
{
    std::vector<uint16_t> symbols = skewedSymbols(120000, 1);
    reference::Model ref;
    reference::initModel(ref);
    initModel();
    for (size_t i = 0; i < symbols.size(); ++i) {
        bumpSymbol(symbols[i]);
        reference::bumpSymbol(ref, symbols[i]);
        ASSERT_TRUE(sameModel(ref)) << "after symbol " << i;
    }
    expectSoundTree();
}

/* Writes symbols (and an offset after each match symbol) through the codec
 * into a stream file; returns the coded bytes. */
Bytes codeWithCodec(const std::vector<uint16_t> &symbols, const std::vector<uint16_t> &offsets)
{
    std::string path = tempPath("symbols.out");
    HANDLE out = createForWriting(path);
    resetBits();
    beginEncode(INVALID_HANDLE_VALUE, out, uint32_t(symbols.size()));
    writeDeclaredLength();
    initModel();
    for (size_t i = 0; i < symbols.size(); ++i) {
        encodeSymbol(symbols[i]);
        if (symbols[i] >= 256)
            encodeOffset(offsets[i]);
    }
    flushBits();
    finishOutput();
    CloseHandle(out);
    return codedData(readBytes(path));
}

Bytes codeWithReference(const std::vector<uint16_t> &symbols, const std::vector<uint16_t> &offsets)
{
    reference::Model m;
    reference::initModel(m);
    reference::BitWriter out;
    for (size_t i = 0; i < symbols.size(); ++i) {
        reference::encodeSymbol(m, out, symbols[i]);
        if (symbols[i] >= 256)
            reference::encodeOffset(out, offsets[i]);
    }
    return out.finish();
}

/* Reads the symbols back through the codec's decoder side. */
std::vector<uint16_t> decodeWithCodec(const Bytes &coded, size_t count, std::vector<uint16_t> &offsets)
{
    std::string path = tempPath("symbols.in");
    writeBytes(path, reference::frame(coded, uint32_t(count)));
    HANDLE in = openForReading(path);
    resetBits();
    beginDecode(in, INVALID_HANDLE_VALUE);
    readDeclaredLength();
    initModel();
    std::vector<uint16_t> symbols;
    offsets.assign(count, 0);
    for (size_t i = 0; i < count; ++i) {
        symbols.push_back(decodeSymbol());
        if (symbols.back() >= 256)
            offsets[i] = decodeOffset();
    }
    EXPECT_FALSE(readPastEnd());
    CloseHandle(in);
    return symbols;
}

std::vector<uint16_t> offsetsFor(const std::vector<uint16_t> &symbols)
{
    std::vector<uint16_t> offsets(symbols.size());
    for (size_t i = 0; i < symbols.size(); ++i)
        offsets[i] = uint16_t(i * 2654435761u >> 20 & 0xFFF);
    return offsets;
}

void expectSameCodingAsReference(const std::vector<uint16_t> &symbols)
{
    std::vector<uint16_t> offsets = offsetsFor(symbols);
    Bytes coded = codeWithCodec(symbols, offsets);
    ASSERT_EQ(coded, codeWithReference(symbols, offsets));
    std::vector<uint16_t> decodedOffsets;
    EXPECT_EQ(decodeWithCodec(coded, symbols.size(), decodedOffsets), symbols);
    for (size_t i = 0; i < symbols.size(); ++i) {
        if (symbols[i] >= 256) {
            ASSERT_EQ(decodedOffsets[i], offsets[i]) << i;
        }
    }
}

TEST(HuffModel, CodesBitForBitLikeTheReference)
{
    expectSameCodingAsReference(skewedSymbols(100000, 2));
}

/* Weights that pile up into a Fibonacci-like spine: each spine symbol
 * weighs one more than the subtree two levels below, so the 305 symbols
 * left at weight 1 hang eight or nine levels under a spine of nine. */
std::vector<uint16_t> deepTreeSymbols()
{
    const unsigned spine[] = {306, 306, 612, 918, 1530, 2448, 3978, 6426, 10404};
    std::vector<uint16_t> symbols;
    for (unsigned i = 0; i < 9; ++i)
        symbols.insert(symbols.end(), spine[i] - 1, uint16_t(300 + i));
    for (uint16_t s = 0; s < 40; ++s)
        symbols.push_back(s);
    return symbols;
}

TEST(HuffModel, CodesDeeperThan16BitsAreWrittenWhole)
{
    std::vector<uint16_t> symbols = deepTreeSymbols();
    initModel();
    for (size_t i = 0; i + 40 < symbols.size(); ++i)
        bumpSymbol(symbols[i]);
    size_t deepest = 0;
    for (uint16_t s = 0; s < 40; ++s)
        deepest = std::max(deepest, codeLength(s));
    ASSERT_GT(deepest, 16u);
    expectSameCodingAsReference(symbols);
}

struct OffsetCode {
    unsigned value, length, code;
};

TEST(OffsetCode, TablesFollowTheCanonicalCode)
{
    initModel();
    const OffsetCode codes[] = {{0, 3, 0x00},  {1, 4, 0x20},  {2, 4, 0x30},  {3, 4, 0x40},
                                {4, 5, 0x50},  {11, 5, 0x88}, {12, 6, 0x90}, {23, 6, 0xBC},
                                {24, 7, 0xC0}, {47, 7, 0xEE}, {48, 8, 0xF0}, {63, 8, 0xFF}};
    for (const OffsetCode &c : codes) {
        EXPECT_EQ(offsetHighLen[c.value], c.length) << c.value;
        EXPECT_EQ(offsetHighCode[c.value], c.code) << c.value;
    }
    for (unsigned b = 0; b < 256; ++b) {
        unsigned value = offsetHighByByte[b], length = offsetLenByByte[b];
        ASSERT_EQ(length, offsetHighLen[value]) << b;
        unsigned mask = 0xFF00u >> length & 0xFF;
        ASSERT_EQ(b & mask, offsetHighCode[value]) << b;
    }
    EXPECT_EQ(offsetHighByByte[0x1F], 0);
    EXPECT_EQ(offsetHighByByte[0x20], 1);
    EXPECT_EQ(offsetHighByByte[0x2F], 1);
    EXPECT_EQ(offsetHighByByte[0xFF], 63);
}

TEST(OffsetCode, ExtremesAreNineZerosAndFourteenOnes)
{
    /* 000000000 | 11111111111111, padded with a zero bit. */
    std::string path = tempPath("offsets.out");
    HANDLE out = createForWriting(path);
    resetBits();
    beginEncode(INVALID_HANDLE_VALUE, out, 0);
    writeDeclaredLength();
    initModel();
    encodeOffset(0);
    encodeOffset(4095);
    flushBits();
    finishOutput();
    CloseHandle(out);
    EXPECT_EQ(codedData(readBytes(path)), (Bytes{0x00, 0x7F, 0xFE}));
}

TEST(OffsetCode, EveryOffsetRoundTrips)
{
    std::vector<uint16_t> symbols(4096, 256), offsets(4096);
    for (unsigned i = 0; i < 4096; ++i)
        offsets[i] = uint16_t(i);
    Bytes coded = codeWithCodec(symbols, offsets);
    EXPECT_EQ(coded, codeWithReference(symbols, offsets));
    std::vector<uint16_t> decoded;
    decodeWithCodec(coded, symbols.size(), decoded);
    EXPECT_EQ(decoded, offsets);
}

TEST(BitReader, SeesZeroBitsAtTheEndOfInput)
{
    std::string path = tempPath("bits.in");
    writeBytes(path, reference::frame({0xA5, 0x80}, 2));
    HANDLE in = openForReading(path);
    resetBits();
    beginDecode(in, INVALID_HANDLE_VALUE);
    readDeclaredLength();
    EXPECT_EQ(readByte(), 0xA5);
    EXPECT_EQ(readBit(), 1u);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(readBit(), 0u);
    EXPECT_FALSE(readPastEnd());
    EXPECT_EQ(readBit(), 0u);
    EXPECT_TRUE(readPastEnd());
    EXPECT_EQ(readByte(), 0u);
    EXPECT_EQ(readByte(), 0u);
    EXPECT_TRUE(readPastEnd());
    EXPECT_FALSE(blockStream.failed);
    CloseHandle(in);
}

} // namespace
