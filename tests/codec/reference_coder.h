/* A plain second coder for checking the codec's fast paths against: the
 * model operations with their linear scans, codes and offsets one bit at a
 * time, framing written out directly. The whole-stream encoder reuses the
 * codec's match trees and window, which have no fast path. */
#ifndef QUORBELL_REFERENCE_CODER_H
#define QUORBELL_REFERENCE_CODER_H

#include <cstdint>
#include <vector>

#include "codec_test_support.h"
#include "huffman_model.h"

namespace reference {

struct Model {
    uint16_t weight[NODE_COUNT + 1];
    uint16_t child[NODE_COUNT];
    uint16_t parent[NODE_COUNT + SYMBOL_COUNT];
};

void initModel(Model &m);
void rebuildModel(Model &m);
void bumpSymbol(Model &m, uint16_t s);
/* The symbol's code, root first, however deep its leaf. */
std::vector<unsigned> symbolCode(const Model &m, uint16_t s);

class BitWriter {
public:
    void put(unsigned bit);
    void putBits(uint32_t value, unsigned n); /* the low n bits, high first */
    Bytes finish();                           /* pads the last byte with zeros */

private:
    Bytes bytes_;
    unsigned pending_ = 0, count_ = 0;
};

class BitReader {
public:
    explicit BitReader(const Bytes &bytes) : bytes_(bytes) {}
    unsigned get(); /* zero past the end */

private:
    const Bytes &bytes_;
    size_t bit_ = 0;
};

void encodeSymbol(Model &m, BitWriter &out, uint16_t s);
uint16_t decodeSymbol(Model &m, BitReader &in);
void encodeOffset(BitWriter &out, uint16_t offset);
uint16_t decodeOffset(BitReader &in);

/* Length block, full blocks, then the rest (possibly nothing). */
Bytes frame(const Bytes &coded, uint32_t declared);
/* The whole stream for `plain`, as in a fresh process. */
Bytes encode(const Bytes &plain);

} // namespace reference

#endif
