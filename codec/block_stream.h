/* Block framing of a packed stream, and the byte reader and writer the coder
 * sits on.
 *
 * A stream is a 10-byte block holding the declared plain length, then blocks
 * of exactly BLOCK_BYTES, then one shorter block (possibly a bare header).
 * Every block is
 *
 *     0  magic     BLOCK_MAGIC, little-endian ("RC")
 *     2  checksum  blockChecksum of the data bytes
 *     4  length    header plus data bytes
 *     6  data
 *
 * The data of the blocks after the first, concatenated, is the coded
 * bitstream. The reader knows the stream's end from that framing alone: the
 * first block shorter than BLOCK_BYTES is the last, and nothing after a
 * block's `length` is ever taken as data, so the bytes of a following member
 * are never read into a stream, and `consumed` is exactly the stream's size.
 *
 * One transfer runs at a time over the one `blockStream`; begin a transfer
 * with beginDecode or beginEncode, end it with finishOutput. */
#ifndef QUORBELL_BLOCK_STREAM_H
#define QUORBELL_BLOCK_STREAM_H

#include <cstdint>

#include "platform.h"

constexpr uint16_t BLOCK_MAGIC = 0x4352;
constexpr uint32_t BLOCK_BYTES = 10240;
constexpr uint32_t BLOCK_HEADER_BYTES = 6;
constexpr uint16_t CHECKSUM_SEED = 0x68A5;
constexpr uint32_t FIRST_READ_BYTES = 10;
constexpr uint32_t TICK_BYTES = 1024;

/* What streamGetByte hands out once the input is exhausted or damaged. */
constexpr uint16_t END_MARKER = 0xFFFF;

struct BlockStream {
    HANDLE inHandle;
    HANDLE outHandle;
    unsigned char inBuf[BLOCK_BYTES];
    const unsigned char *inCur;  /* next byte to hand out */
    const unsigned char *inEnd;  /* end of the usable bytes in inBuf */
    uint32_t readSize;           /* bytes the next refill asks for */
    int32_t remaining;           /* declared length minus bytes flushed */
    uint32_t consumed;           /* decoding: sum of the `length` of blocks read */
    unsigned char outBuf[BLOCK_BYTES];
    unsigned char *outCur;       /* next free byte */
    unsigned char *outLimit;     /* flush when outCur reaches it */
    uint32_t writtenTotal;       /* bytes written by flushOutput */
    bool headerMode;             /* encoding: output is framed */
    bool framedInput;            /* decoding: input is framed */
    bool lastBlockRead;          /* decoding: the stream's short last block is in */
    bool atEnd;                  /* no more input */
    bool failed;                 /* the stream is damaged */
    bool writeFailed;            /* a write fell short: the disk is full */
    uint32_t byteTicks;          /* byte transfers since the last tick */
};

extern BlockStream blockStream;

/* Installed by the installer (message pump, progress bar); null when
 * unconnected. onTick comes at most every TICK_BYTES transfers and once per
 * block; onProgress with the size of every flushed output buffer. */
extern void (*onTick)();
extern void (*onProgress)(uint32_t byteCount);

/* CHECKSUM_SEED plus every byte, modulo 65536. */
uint16_t blockChecksum(const unsigned char *bytes, uint32_t n);

void beginDecode(HANDLE in, HANDLE out);
void beginEncode(HANDLE in, HANDLE out, uint32_t length);

/* The next input byte, or END_MARKER once the input is exhausted or failed. */
uint16_t streamGetByte();
void streamPutByte(uint8_t byte);

/* Reads the next chunk of input; false when there is none (atEnd or failed). */
bool refillInput();
/* Decoding: checks the block just read (`got` bytes in inBuf) and adds its
 * length to `consumed`. Encoding: always true. */
bool checkBlock(uint32_t got);

/* The declared length from the first block (0 when it failed). */
uint32_t readDeclaredLength();
/* Writes the first block, holding the length given to beginEncode. */
uint32_t writeDeclaredLength();

/* Decoding: reads the stream's remaining blocks, checking each, so that
 * `consumed` covers the whole stream even where the coder needed no more. */
void finishInput();

void flushOutput();
/* Writes what is left in outBuf; encoding, always as a block of its own. */
void finishOutput();

#endif
