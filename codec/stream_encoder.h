/* Encoding of one packed stream, the writer of the format. Greedy LZSS
 * over the 4096-byte window: each position's best match comes from a
 * binary search tree of window positions per leading byte, ordered by the
 * up to LOOKAHEAD bytes starting there; among equally long matches the
 * nearest wins. A stream's bytes depend on its input alone. */
#ifndef QUORBELL_STREAM_ENCODER_H
#define QUORBELL_STREAM_ENCODER_H

#include <cstdint>

#include "huffman_model.h"
#include "platform.h"

/* "None" in the match trees; also the slot that absorbs writes through
 * empty links. */
constexpr uint16_t TREE_NIL = WINDOW_SIZE;

/* The best match found by the last matchTreeInsert: distance minus one,
 * and length (0 when nothing of MATCH_THRESHOLD + 1 bytes or more). */
/* Static size of the match trees, for footprint reports. */
extern const unsigned matchTreeBytes;

extern uint16_t matchOffset;
extern uint16_t matchLength;

/* Packs `in` from its current position to its end into one stream on
 * `out`, declaring `length` plain bytes (the caller passes the input's
 * size). False only when a write fell short (a full disk). */
bool encodeStream(HANDLE in, HANDLE out, uint32_t length);

void matchTreeInit();
/* Inserts window position r and finds its best match. */
void matchTreeInsert(uint16_t r);
/* Takes position p out of its tree, if it is in one. */
void matchTreeRemove(uint16_t p);

#endif
