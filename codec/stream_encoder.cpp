#include "stream_encoder.h"

#include <cstring>

#include "block_stream.h"
#include "stream_decoder.h"

uint16_t matchOffset;
uint16_t matchLength;

namespace {

/* Per window position: its two children and its parent in its tree; a
 * position is in a tree exactly when its parent is not TREE_NIL. The two
 * children sit side by side so that a descent fetches both at once and
 * picks one without a branch. treeChild also holds the 256 roots, one per
 * leading byte, from TREE_ROOTS on; a root links only through its RIGHT
 * side. Index TREE_NIL takes the writes made through empty links. */
constexpr uint16_t TREE_ROOTS = WINDOW_SIZE + 1;
constexpr unsigned LEFT = 0, RIGHT = 1;
uint16_t treeChild[TREE_ROOTS + 256][2];
uint16_t treeParent[WINDOW_SIZE + 1];

/* Bytes are compared eight at a time as big-endian words: those compare as
 * unsigned integers in the order of the bytes they hold, so one word
 * comparison tells both where two runs part and which way the tree goes. */
inline uint64_t loadBigEndian(const unsigned char *bytes)
{
    uint64_t word;
    std::memcpy(&word, bytes, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    return word;
#else
    return __builtin_bswap64(word);
#endif
}

/* How far the LOOKAHEAD bytes at `key` and `candidate` agree, given that
 * their first bytes do: 1 to LOOKAHEAD. Below LOOKAHEAD, `keyAbove` tells
 * whether the key's first unequal byte is the greater. The last word read
 * overlaps the one before it, so nothing past the LOOKAHEAD bytes is read. */
inline uint16_t commonRun(const unsigned char *key, const unsigned char *candidate, bool &keyAbove)
{
    unsigned at = 1;
    for (;; at += 8) {
        if (at > LOOKAHEAD - 8u)
            at = LOOKAHEAD - 8u;
        uint64_t a = loadBigEndian(key + at), b = loadBigEndian(candidate + at);
        if (a != b) {
            keyAbove = a > b;
            return uint16_t(at + unsigned(__builtin_clzll(a ^ b)) / 8);
        }
        if (at == LOOKAHEAD - 8u)
            break;
    }
    keyAbove = false;
    return LOOKAHEAD;
}

/* In p's parent, the link to p now leads to q. */
void relinkParent(uint16_t p, uint16_t q)
{
    uint16_t *up = treeChild[treeParent[p]];
    up[up[RIGHT] == p ? RIGHT : LEFT] = q;
}

/* A match packed so that the better of two is the greater number: length
 * above, then the distance's complement (the nearer of two equally long
 * matches wins). 0 stands for no match. */
inline uint32_t packMatch(uint16_t length, uint16_t offset)
{
    return uint32_t(length) << 12 | uint32_t(WINDOW_MASK - offset);
}

/* Publishes the best match of an insertion; without one, matchOffset keeps
 * its value. */
void setMatch(uint32_t best)
{
    matchLength = uint16_t(best >> 12);
    if (best != 0)
        matchOffset = uint16_t(WINDOW_MASK - (best & WINDOW_MASK));
}

/* A full-length match: r takes p's place and p leaves the tree (r is the
 * nearer of two positions that compare equal). */
void replaceNode(uint16_t p, uint16_t r)
{
    uint16_t left = treeChild[p][LEFT], right = treeChild[p][RIGHT];
    treeParent[r] = treeParent[p];
    treeChild[r][LEFT] = left;
    treeChild[r][RIGHT] = right;
    treeParent[left] = r;
    treeParent[right] = r;
    relinkParent(p, r);
    treeParent[p] = TREE_NIL;
}

/* The coding loop keeps `len` bytes of lookahead from r on; each coded
 * symbol moves r by its length, reading as many new bytes into the ring
 * (at s, LOOKAHEAD positions ahead of r) while the input lasts. */
void encodeBody()
{
    if (writeDeclaredLength() == 0)
        return;
    initModel();
    matchTreeInit();
    resetWindow();
    uint16_t s = 0, r = WINDOW_START;
    int len = 0;
    for (; len < LOOKAHEAD; ++len) {
        uint16_t c = streamGetByte();
        if (c == END_MARKER)
            break;
        window[r + len] = uint8_t(c);
    }
    for (uint16_t i = 1; i <= LOOKAHEAD; ++i)
        matchTreeInsert(uint16_t(r - i));
    matchTreeInsert(r);
    do {
        if (matchLength > len)
            matchLength = uint16_t(len);
        if (matchLength <= MATCH_THRESHOLD) {
            matchLength = 1;
            encodeSymbol(window[r]);
        } else {
            encodeSymbol(matchSymbol(matchLength));
            encodeOffset(matchOffset);
        }
        uint16_t last = matchLength, step = 0;
        for (; step < last; ++step) {
            uint16_t c = streamGetByte();
            if (c == END_MARKER)
                break;
            matchTreeRemove(s);
            window[s] = uint8_t(c);
            if (s < LOOKAHEAD - 1)
                window[s + WINDOW_SIZE] = uint8_t(c);
            s = (s + 1) & WINDOW_MASK;
            r = (r + 1) & WINDOW_MASK;
            matchTreeInsert(r);
        }
        for (; step < last; ++step) {
            matchTreeRemove(s);
            s = (s + 1) & WINDOW_MASK;
            r = (r + 1) & WINDOW_MASK;
            if (--len != 0)
                matchTreeInsert(r);
        }
    } while (len > 0);
    flushBits();
}

} // namespace

const unsigned matchTreeBytes = sizeof treeChild + sizeof treeParent;

void matchTreeInit()
{
    for (unsigned b = 0; b < 256; ++b)
        treeChild[TREE_ROOTS + b][RIGHT] = TREE_NIL;
    for (unsigned i = 0; i <= WINDOW_SIZE; ++i)
        treeParent[i] = TREE_NIL;
}

/* Descends from the root of r's leading byte, keeping the best match of the
 * positions passed. r must not be in a tree already (the coding loop takes
 * a position out long before it comes round again), so distances minus one
 * are 0 to WINDOW_MASK. */
void matchTreeInsert(uint16_t r)
{
    const unsigned char *key = &window[r];
    treeChild[r][LEFT] = treeChild[r][RIGHT] = TREE_NIL;
    uint32_t best = 0;
    uint16_t parent = uint16_t(TREE_ROOTS + key[0]);
    unsigned side = RIGHT;
    uint16_t p = treeChild[parent][RIGHT];
    while (p != TREE_NIL) {
        bool keyAbove;
        uint16_t i = commonRun(key, &window[p], keyAbove);
        uint16_t d = uint16_t(((r - p) & WINDOW_MASK) - 1);
        if (i >= LOOKAHEAD) {
            setMatch(packMatch(i, d));
            replaceNode(p, r);
            return;
        }
        /* Masks and selects rather than branches: whether a run is long
         * enough and which way the key goes are what a descent cannot
         * predict. */
        uint32_t candidate = packMatch(i, d) & (0u - uint32_t(i > MATCH_THRESHOLD));
        best = candidate > best ? candidate : best;
        uint16_t left = treeChild[p][LEFT], right = treeChild[p][RIGHT];
        parent = p;
        side = keyAbove ? RIGHT : LEFT;
        p = keyAbove ? right : left;
    }
    treeChild[parent][side] = r;
    treeParent[r] = parent;
    setMatch(best);
}

void matchTreeRemove(uint16_t p)
{
    if (treeParent[p] == TREE_NIL)
        return;
    uint16_t left = treeChild[p][LEFT], right = treeChild[p][RIGHT];
    uint16_t q;
    if (right == TREE_NIL) {
        q = left;
    } else if (left == TREE_NIL) {
        q = right;
    } else {
        /* Two children: p's in-order predecessor takes its place. */
        q = left;
        if (treeChild[q][RIGHT] != TREE_NIL) {
            do
                q = treeChild[q][RIGHT];
            while (treeChild[q][RIGHT] != TREE_NIL);
            treeChild[treeParent[q]][RIGHT] = treeChild[q][LEFT];
            treeParent[treeChild[q][LEFT]] = treeParent[q];
            treeChild[q][LEFT] = left;
            treeParent[left] = q;
        }
        treeChild[q][RIGHT] = right;
        treeParent[right] = q;
    }
    treeParent[q] = treeParent[p];
    relinkParent(p, q);
    treeParent[p] = TREE_NIL;
}

bool encodeStream(HANDLE in, HANDLE out, uint32_t length)
{
    resetBits();
    beginEncode(in, out, length);
    encodeBody();
    finishOutput();
    return !blockStream.writeFailed;
}
