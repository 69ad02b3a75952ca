/* Decoding of one packed stream: the only codec entry the installer uses.
 * The coded symbols are an LZSS sequence of literals and back-references
 * of 3 to 60 bytes into the last 4096 bytes produced. */
#ifndef QUORBELL_STREAM_DECODER_H
#define QUORBELL_STREAM_DECODER_H

#include <cstdint>

#include "huffman_model.h"
#include "platform.h"

/* Where a stream's first byte goes in the ring; every position below it
 * starts as a space, so early matches can copy runs of spaces. */
constexpr uint16_t WINDOW_START = WINDOW_SIZE - LOOKAHEAD;
constexpr uint16_t WINDOW_MASK = WINDOW_SIZE - 1;

/* The ring of recent bytes, WINDOW_SIZE long, followed by the encoder's
 * copy of its first LOOKAHEAD - 1 positions (so that its comparisons never
 * wrap). Decoder and encoder share it, one transfer at a time. */
extern unsigned char window[WINDOW_SIZE + LOOKAHEAD - 1];

/* Sets up the window for a new stream: spaces below WINDOW_START, zeros
 * from there on, whatever an earlier transfer left. */
void resetWindow();

/* Decodes the stream at the current position of `in`, appending its plain
 * bytes at the current position of `out`. True when the stream is sound:
 * every block passed its check and the coded data produced exactly the
 * declared length, and every write was whole. On false the output is to be discarded. Afterwards
 * blockStream.consumed is the stream's size in `in`; `in` itself may be
 * positioned past it (reads come in whole blocks). */
bool decodeStream(HANDLE in, HANDLE out);

#endif
