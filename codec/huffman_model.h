/* The coder inside a packed stream: an adaptive Huffman tree over 314
 * symbols (256 literal bytes, then match lengths 3 to 60), a fixed prefix
 * code for the upper six bits of a match offset, and the bit reader and
 * writer over streamGetByte and streamPutByte. Bits go most significant
 * first. Encoder and decoder stay in step because both call bumpSymbol
 * after every symbol, with the same rebuild rule. */
#ifndef QUORBELL_HUFFMAN_MODEL_H
#define QUORBELL_HUFFMAN_MODEL_H

#include <cstdint>

constexpr uint16_t WINDOW_SIZE = 4096;   /* offsets are 12-bit */
constexpr uint16_t LOOKAHEAD = 60;       /* longest match */
constexpr uint16_t MATCH_THRESHOLD = 2;  /* matches are longer than this */
constexpr uint16_t SYMBOL_COUNT = 256 + LOOKAHEAD - MATCH_THRESHOLD;
constexpr uint16_t NODE_COUNT = 2 * SYMBOL_COUNT - 1;
constexpr uint16_t ROOT = NODE_COUNT - 1;
constexpr uint16_t WEIGHT_LIMIT = 0x8000;  /* root weight that triggers a rebuild */

/* Symbol of a match of `length` bytes: 256 for length 3, up to 313. */
constexpr uint16_t matchSymbol(uint16_t length) { return uint16_t(256 - MATCH_THRESHOLD - 1 + length); }

/* Nodes are kept in non-decreasing weight order by index; that order is
 * what makes the tree a Huffman tree, and what lets bumpSymbol find a swap
 * partner by binary search. */
struct HuffModel {
    uint16_t weight[NODE_COUNT + 1];  /* weight[NODE_COUNT] is a 0xFFFF sentinel */
    /* Internal node: index of its first child, the second being the next
     * index (an odd index stands for bit 1). Leaf: NODE_COUNT + symbol. */
    uint16_t child[NODE_COUNT];
    /* 0..ROOT: a node's parent (parent[ROOT] = 0); NODE_COUNT + s: the node
     * that is symbol s's leaf. */
    uint16_t parent[NODE_COUNT + SYMBOL_COUNT];
};

extern HuffModel huffModel;

/* The offset prefix code, canonical, by value of an offset's upper six bits
 * (code lengths 3 to 8, codes left-aligned in a byte), and its inverse by
 * any byte that starts with a code. Built by initModel. */
extern uint8_t offsetHighLen[64];
extern uint8_t offsetHighCode[64];
extern uint8_t offsetHighByByte[256];
extern uint8_t offsetLenByByte[256];

void initModel();
void rebuildModel();
void bumpSymbol(uint16_t s);

void encodeSymbol(uint16_t s);
uint16_t decodeSymbol();
void encodeOffset(uint16_t offset);
uint16_t decodeOffset();

/* Clears the bit reader and writer; at the start of every transfer. */
void resetBits();
uint16_t readBit();
uint16_t readByte();
/* Writes the top n bits of `code` (1 <= n <= 16). */
void writeBits(uint8_t n, uint16_t code);
/* Writes out a partly filled last byte, padded with zero bits. */
void flushBits();

/* True once the reader has handed out bits that did not come from the
 * input: the coded data ran out before the coder was done with it. */
bool readPastEnd();

#endif
