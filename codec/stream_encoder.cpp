#include "stream_encoder.h"

#include <cstring>

#include "block_stream.h"
#include "stream_decoder.h"

uint16_t matchOffset;
uint16_t matchLength;

namespace {

/* Per window position: children and parent in its tree; a position is in a
 * tree exactly when its parent is not TREE_NIL. treeRight also holds the
 * 256 roots, one per leading byte, from TREE_ROOTS on. Index TREE_NIL
 * takes the writes made through empty links. */
constexpr uint16_t TREE_ROOTS = WINDOW_SIZE + 1;
uint16_t treeLeft[WINDOW_SIZE + 1];
uint16_t treeRight[TREE_ROOTS + 256];
uint16_t treeParent[WINDOW_SIZE + 1];

/* Index of the first unequal byte in two 8-byte words loaded from memory
 * (diff = their XOR, not 0). */
inline unsigned firstUnequalByte(uint64_t diff)
{
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    return unsigned(__builtin_clzll(diff)) / 8;
#else
    return unsigned(__builtin_ctzll(diff)) / 8;
#endif
}

/* How far the LOOKAHEAD bytes at `key` and `candidate` agree, given that
 * their first bytes do: 1 to LOOKAHEAD. `cmp` gets the difference of the
 * first unequal bytes, or 0. Eight bytes are compared at a time; nothing
 * past the LOOKAHEAD bytes is read. */
uint16_t commonRun(const unsigned char *key, const unsigned char *candidate, int &cmp)
{
    uint16_t i = 1;
    for (; i + 8 <= LOOKAHEAD; i += 8) {
        uint64_t a, b;
        std::memcpy(&a, key + i, 8);
        std::memcpy(&b, candidate + i, 8);
        if (a != b) {
            i = uint16_t(i + firstUnequalByte(a ^ b));
            cmp = key[i] - candidate[i];
            return i;
        }
    }
    for (; i < LOOKAHEAD; ++i) {
        cmp = key[i] - candidate[i];
        if (cmp != 0)
            return i;
    }
    cmp = 0;
    return LOOKAHEAD;
}

/* In p's parent, the link to p now leads to q. A root slot links only
 * through treeRight. */
void relinkParent(uint16_t p, uint16_t q)
{
    uint16_t up = treeParent[p];
    if (treeRight[up] == p)
        treeRight[up] = q;
    else
        treeLeft[up] = q;
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

void matchTreeInit()
{
    for (unsigned b = 0; b < 256; ++b)
        treeRight[TREE_ROOTS + b] = TREE_NIL;
    for (unsigned i = 0; i <= WINDOW_SIZE; ++i)
        treeParent[i] = TREE_NIL;
}

void matchTreeInsert(uint16_t r)
{
    const unsigned char *key = &window[r];
    uint16_t p = uint16_t(TREE_ROOTS + key[0]);
    int cmp = 1;
    treeLeft[r] = treeRight[r] = TREE_NIL;
    matchLength = 0;
    for (;;) {
        uint16_t *link = cmp >= 0 ? &treeRight[p] : &treeLeft[p];
        if (*link == TREE_NIL) {
            *link = r;
            treeParent[r] = p;
            return;
        }
        p = *link;
        uint16_t i = commonRun(key, &window[p], cmp);
        if (i > MATCH_THRESHOLD) {
            uint16_t d = uint16_t(((r - p) & WINDOW_MASK) - 1);
            if (i > matchLength) {
                matchOffset = d;
                matchLength = i;
                if (i >= LOOKAHEAD)
                    break;
            } else if (i == matchLength && d < matchOffset) {
                matchOffset = d;
            }
        }
    }
    /* A full-length match: r takes p's place, p leaves the tree (r is the
     * nearer of two positions that compare equal). */
    treeParent[r] = treeParent[p];
    treeLeft[r] = treeLeft[p];
    treeRight[r] = treeRight[p];
    treeParent[treeLeft[p]] = r;
    treeParent[treeRight[p]] = r;
    relinkParent(p, r);
    treeParent[p] = TREE_NIL;
}

void matchTreeRemove(uint16_t p)
{
    if (treeParent[p] == TREE_NIL)
        return;
    uint16_t q;
    if (treeRight[p] == TREE_NIL) {
        q = treeLeft[p];
    } else if (treeLeft[p] == TREE_NIL) {
        q = treeRight[p];
    } else {
        /* Two children: p's in-order predecessor takes its place. */
        q = treeLeft[p];
        if (treeRight[q] != TREE_NIL) {
            do
                q = treeRight[q];
            while (treeRight[q] != TREE_NIL);
            treeRight[treeParent[q]] = treeLeft[q];
            treeParent[treeLeft[q]] = treeParent[q];
            treeLeft[q] = treeLeft[p];
            treeParent[treeLeft[p]] = q;
        }
        treeRight[q] = treeRight[p];
        treeParent[treeRight[p]] = q;
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
