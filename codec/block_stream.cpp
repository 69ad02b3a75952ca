#include "block_stream.h"

BlockStream blockStream;
void (*onTick)() = nullptr;
void (*onProgress)(uint32_t byteCount) = nullptr;

namespace {

BlockStream &bs = blockStream;

uint16_t readLe16(const unsigned char *p) { return uint16_t(p[0] | p[1] << 8); }

void writeLe16(unsigned char *p, uint32_t value)
{
    p[0] = uint8_t(value);
    p[1] = uint8_t(value >> 8);
}

void tick()
{
    if (onTick)
        onTick();
}

void countByte()
{
    if (++bs.byteTicks == TICK_BYTES) {
        bs.byteTicks = 0;
        tick();
    }
}

void beginTransfer(HANDLE in, HANDLE out)
{
    bs.inHandle = in;
    bs.outHandle = out;
    bs.inCur = bs.inEnd = bs.inBuf;
    bs.outCur = bs.outBuf;
    bs.writtenTotal = 0;
    bs.lastBlockRead = false;
    bs.atEnd = false;
    bs.failed = false;
    bs.writeFailed = false;
    bs.byteTicks = 0;
}

/* Encoding: fills in the header of the block in outBuf. Either way, a block
 * boundary is a tick. */
void sealBlockHeader()
{
    if (bs.headerMode) {
        uint32_t length = uint32_t(bs.outCur - bs.outBuf);
        writeLe16(bs.outBuf, BLOCK_MAGIC);
        writeLe16(bs.outBuf + 2, blockChecksum(bs.outBuf + BLOCK_HEADER_BYTES, length - BLOCK_HEADER_BYTES));
        writeLe16(bs.outBuf + 4, length);
    }
    tick();
}

/* A short write means a full disk: the transfer must not count as done. */
DWORD writeOut(uint32_t n)
{
    DWORD written = 0;
    if (!WriteFile(bs.outHandle, bs.outBuf, n, &written, nullptr) || written != n)
        bs.writeFailed = true;
    return written;
}

} // namespace

uint16_t blockChecksum(const unsigned char *bytes, uint32_t n)
{
    uint16_t sum = CHECKSUM_SEED;
    for (uint32_t i = 0; i < n; ++i)
        sum = uint16_t(sum + bytes[i]);
    return sum;
}

void beginDecode(HANDLE in, HANDLE out)
{
    beginTransfer(in, out);
    bs.remaining = 0x7FFFFFFF;
    bs.consumed = 0;
    bs.framedInput = true;
    bs.headerMode = false;
    bs.outLimit = bs.outBuf + BLOCK_BYTES;
    bs.readSize = FIRST_READ_BYTES;
}

void beginEncode(HANDLE in, HANDLE out, uint32_t length)
{
    beginTransfer(in, out);
    bs.remaining = int32_t(length);
    bs.framedInput = false;
    bs.headerMode = true;
    /* The first block holds exactly the four bytes of the declared length. */
    bs.outCur = bs.outBuf + BLOCK_HEADER_BYTES;
    bs.outLimit = bs.outBuf + FIRST_READ_BYTES;
    bs.readSize = BLOCK_BYTES;
}

uint16_t streamGetByte()
{
    /* A header-only block leaves nothing to hand out, so refill again; it is
     * always a stream's last block, so the next refill ends the input. */
    while (bs.inCur == bs.inEnd) {
        if (!refillInput()) {
            countByte();
            return END_MARKER;
        }
    }
    countByte();
    return *bs.inCur++;
}

bool refillInput()
{
    if (bs.atEnd || bs.failed)
        return false;
    if (bs.lastBlockRead) {
        bs.atEnd = true;
        return false;
    }
    DWORD got = 0;
    ReadFile(bs.inHandle, bs.inBuf, bs.readSize, &got, nullptr);
    if (!checkBlock(got)) {
        bs.failed = true;
        bs.remaining = 0;
        return false;
    }
    if (!bs.framedInput) {
        bs.inCur = bs.inBuf;
        bs.inEnd = bs.inBuf + got;
        bs.atEnd = got == 0;
        return !bs.atEnd;
    }
    /* Bytes read past the block's length belong to whatever follows the
     * stream; they are left alone. */
    uint32_t length = readLe16(bs.inBuf + 4);
    bs.inCur = bs.inBuf + BLOCK_HEADER_BYTES;
    bs.inEnd = bs.inBuf + length;
    if (bs.readSize == BLOCK_BYTES && length < BLOCK_BYTES)
        bs.lastBlockRead = true;
    return true;
}

bool checkBlock(uint32_t got)
{
    tick();
    if (!bs.framedInput)
        return true;
    if (got < BLOCK_HEADER_BYTES || readLe16(bs.inBuf) != BLOCK_MAGIC)
        return false;
    /* Counted only when all of it was read, so `consumed` never runs past
     * the input. */
    uint32_t length = readLe16(bs.inBuf + 4);
    if (length < BLOCK_HEADER_BYTES || length > got)
        return false;
    bs.consumed += length;
    /* The length block carries exactly the four bytes of the declared length. */
    if (bs.readSize == FIRST_READ_BYTES && length != FIRST_READ_BYTES)
        return false;
    return blockChecksum(bs.inBuf + BLOCK_HEADER_BYTES, length - BLOCK_HEADER_BYTES) == readLe16(bs.inBuf + 2);
}

void streamPutByte(uint8_t byte)
{
    *bs.outCur++ = byte;
    if (bs.outCur >= bs.outLimit)
        flushOutput();
    else
        countByte();
}

uint32_t readDeclaredLength()
{
    uint32_t length = 0;
    for (unsigned i = 0; i < 4; ++i)
        length |= uint32_t(streamGetByte() & 0xFF) << (8 * i);
    if (bs.failed)
        length = 0;
    bs.readSize = BLOCK_BYTES;
    bs.remaining = int32_t(length);
    return length;
}

uint32_t writeDeclaredLength()
{
    uint32_t length = uint32_t(bs.remaining);
    for (unsigned i = 0; i < 4; ++i)
        streamPutByte(uint8_t(length >> (8 * i)));
    bs.outLimit = bs.outBuf + BLOCK_BYTES;
    return length;
}

void finishInput()
{
    while (refillInput()) {
    }
}

void flushOutput()
{
    sealBlockHeader();
    uint32_t n = uint32_t(bs.outCur - bs.outBuf);
    if (onProgress)
        onProgress(n);
    bs.writtenTotal += writeOut(n);
    bs.remaining = int32_t(uint32_t(bs.remaining) - n);
    bs.outCur = bs.outBuf + (bs.headerMode ? BLOCK_HEADER_BYTES : 0);
}

void finishOutput()
{
    sealBlockHeader();
    writeOut(uint32_t(bs.outCur - bs.outBuf));
}
