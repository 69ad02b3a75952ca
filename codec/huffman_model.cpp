#include "huffman_model.h"

#include <cstring>

#include "block_stream.h"

HuffModel huffModel;
uint8_t offsetHighLen[64];
uint8_t offsetHighCode[64];
uint8_t offsetHighByByte[256];
uint8_t offsetLenByByte[256];

namespace {

HuffModel &m = huffModel;

/* Bit reader: `bitCount` valid bits in `bitBuf`, the next one in bit 31.
 * The lowest `endBits` of them stand for end markers rather than input. */
uint32_t bitBuf;
uint8_t bitCount;
uint8_t endBits;

/* Bit writer: `outBitCount` pending bits in `outBits`, from bit 31 down;
 * fewer than 8 between calls. */
uint32_t outBits;
uint8_t outBitCount;

/* Offset code lengths by value of the upper six bits: 1 value of length 3,
 * 3 of length 4, 8 of 5, 12 of 6, 24 of 7 and 16 of 8. */
constexpr uint8_t OFFSET_VALUES_BY_LENGTH[6] = {1, 3, 8, 12, 24, 16};
constexpr uint8_t OFFSET_LOW_BITS = 6;

/* Canonical code: each code is the previous one plus one, shifted left by
 * any increase in length. Each value's code, left-aligned, covers a run of
 * 2^(8 - length) bytes of the inverse tables. */
void buildOffsetTables()
{
    unsigned value = 0, code = 0, byte = 0;
    for (unsigned length = 3; length <= 8; ++length) {
        for (unsigned n = 0; n < OFFSET_VALUES_BY_LENGTH[length - 3]; ++n, ++value, ++code) {
            offsetHighLen[value] = uint8_t(length);
            offsetHighCode[value] = uint8_t(code << (8 - length));
            for (unsigned k = 0; k < 1u << (8 - length); ++k, ++byte) {
                offsetHighByByte[byte] = uint8_t(value);
                offsetLenByByte[byte] = uint8_t(length);
            }
        }
        code <<= 1;
    }
}

/* Tops the reader up to more than 24 bits; input that has run out counts
 * as zero bits. endBits saturates: past 32 it already says "read past". */
void fill()
{
    while (bitCount <= 24) {
        uint32_t c = streamGetByte();
        if (c == END_MARKER) {
            c = 0;
            if (endBits < 64)
                endBits += 8;
        }
        bitBuf |= c << (24 - bitCount);
        bitCount += 8;
    }
}

inline uint32_t takeBits(unsigned n)
{
    if (bitCount < n)
        fill();
    uint32_t bits = bitBuf >> (32 - n);
    bitBuf <<= n;
    bitCount = uint8_t(bitCount - n);
    return bits;
}

inline uint32_t takeBit()
{
    if (bitCount == 0)
        fill();
    uint32_t bit = bitBuf >> 31;
    bitBuf <<= 1;
    --bitCount;
    return bit;
}

/* Where a node of weight k-1, just raised to k, must move to keep the order:
 * the highest index whose weight is still below k. The caller knows the
 * weight at `from` is below k; the sentinel ends every search. Runs of
 * equal weight are mostly short, so the search gallops out from `from`
 * and then halves the last stride. */
uint16_t lastIndexBelow(uint16_t k, unsigned from)
{
    unsigned lo = from, stride = 1;
    while (lo + stride < NODE_COUNT && m.weight[lo + stride] < k) {
        lo += stride;
        stride *= 2;
    }
    unsigned hi = lo + stride < NODE_COUNT ? lo + stride : NODE_COUNT;
    while (hi - lo > 1) {
        unsigned mid = (lo + hi) / 2;
        if (m.weight[mid] < k)
            lo = mid;
        else
            hi = mid;
    }
    return uint16_t(lo);
}

/* Points the children of the subtree now at `node` back at it. */
void adoptChildren(uint16_t node)
{
    uint16_t c = m.child[node];
    m.parent[c] = node;
    if (c < NODE_COUNT)
        m.parent[c + 1] = node;
}

} // namespace

void initModel()
{
    for (uint16_t s = 0; s < SYMBOL_COUNT; ++s) {
        m.weight[s] = 1;
        m.child[s] = uint16_t(s + NODE_COUNT);
        m.parent[s + NODE_COUNT] = s;
    }
    for (uint16_t i = 0, j = SYMBOL_COUNT; j <= ROOT; i += 2, ++j) {
        m.weight[j] = uint16_t(m.weight[i] + m.weight[i + 1]);
        m.child[j] = i;
        m.parent[i] = m.parent[i + 1] = j;
    }
    m.weight[NODE_COUNT] = 0xFFFF;
    m.parent[ROOT] = 0;
    buildOffsetTables();
}

void rebuildModel()
{
    /* Leaves to the low end, in their order, with halved weights (a weight
     * of 1 stays 1). */
    uint16_t j = 0;
    for (uint16_t i = 0; i < NODE_COUNT; ++i) {
        if (m.child[i] >= NODE_COUNT) {
            m.weight[j] = uint16_t((m.weight[i] + 1) / 2);
            m.child[j] = m.child[i];
            ++j;
        }
    }
    /* Pair them up again, inserting each new node after every node of no
     * greater weight. */
    for (uint16_t i = 0; j < NODE_COUNT; i += 2, ++j) {
        uint16_t f = uint16_t(m.weight[i] + m.weight[i + 1]);
        uint16_t k = j;
        while (m.weight[k - 1] > f)
            --k;
        std::memmove(&m.weight[k + 1], &m.weight[k], (j - k) * sizeof m.weight[0]);
        std::memmove(&m.child[k + 1], &m.child[k], (j - k) * sizeof m.child[0]);
        m.weight[k] = f;
        m.child[k] = i;
    }
    for (uint16_t i = 0; i < NODE_COUNT; ++i) {
        uint16_t k = m.child[i];
        m.parent[k] = i;
        if (k < NODE_COUNT)
            m.parent[k + 1] = i;
    }
}

void bumpSymbol(uint16_t s)
{
    if (m.weight[ROOT] == WEIGHT_LIMIT)
        rebuildModel();
    uint16_t c = m.parent[s + NODE_COUNT];
    do {
        uint16_t k = ++m.weight[c];
        if (k > m.weight[c + 1]) {
            uint16_t l = lastIndexBelow(k, c + 1u);
            m.weight[c] = m.weight[l];
            m.weight[l] = k;
            uint16_t i = m.child[c];
            m.child[c] = m.child[l];
            m.child[l] = i;
            adoptChildren(c);
            adoptChildren(l);
            c = l;
        }
        c = m.parent[c];
    } while (c != 0);
}

void encodeSymbol(uint16_t s)
{
    /* Gathered from the leaf up, so the root's bit ends on top. A 32-bit
     * word holds any code: a leaf d levels deep needs a root weight of at
     * least Fibonacci(d + 2), and the root never passes WEIGHT_LIMIT. */
    uint32_t code = 0;
    uint8_t length = 0;
    uint16_t k = m.parent[s + NODE_COUNT];
    do {
        code = (code >> 1) | uint32_t(k & 1) << 31;
        ++length;
        k = m.parent[k];
    } while (k != ROOT);
    if (length > 16) {
        writeBits(16, uint16_t(code >> 16));
        code <<= 16;
        length = uint8_t(length - 16);
    }
    writeBits(length, uint16_t(code >> 16));
    bumpSymbol(s);
}

uint16_t decodeSymbol()
{
    uint16_t c = m.child[ROOT];
    while (c < NODE_COUNT)
        c = m.child[c + takeBit()];
    uint16_t s = uint16_t(c - NODE_COUNT);
    bumpSymbol(s);
    return s;
}

void encodeOffset(uint16_t offset)
{
    unsigned high = offset >> OFFSET_LOW_BITS;
    writeBits(offsetHighLen[high], uint16_t(offsetHighCode[high] << 8));
    writeBits(OFFSET_LOW_BITS, uint16_t((offset & 0x3F) << 10));
}

uint16_t decodeOffset()
{
    /* The first byte determines the prefix code's length; the code and the
     * six plain bits behind it are then taken in one go. */
    if (bitCount < 8 + OFFSET_LOW_BITS)
        fill();
    unsigned b = bitBuf >> 24;
    uint32_t bits = takeBits(offsetLenByByte[b] + OFFSET_LOW_BITS);
    return uint16_t(offsetHighByByte[b] << OFFSET_LOW_BITS | (bits & 0x3F));
}

void resetBits()
{
    bitBuf = 0;
    bitCount = 0;
    endBits = 0;
    outBits = 0;
    outBitCount = 0;
}

uint16_t readBit() { return uint16_t(takeBit()); }

uint16_t readByte() { return uint16_t(takeBits(8)); }

void writeBits(uint8_t n, uint16_t code)
{
    uint32_t bits = uint32_t(code) << 16 & ~(0xFFFFFFFFu >> n);
    outBits |= bits >> outBitCount;
    outBitCount = uint8_t(outBitCount + n);
    while (outBitCount >= 8) {
        streamPutByte(uint8_t(outBits >> 24));
        outBits <<= 8;
        outBitCount = uint8_t(outBitCount - 8);
    }
}

void flushBits()
{
    if (outBitCount > 0)
        streamPutByte(uint8_t(outBits >> 24));
}

bool readPastEnd() { return bitCount < endBits; }
