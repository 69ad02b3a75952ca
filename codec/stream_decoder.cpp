#include "stream_decoder.h"

#include <cstring>

#include "block_stream.h"

unsigned char window[WINDOW_SIZE + LOOKAHEAD - 1];

namespace {

/* Once the framing is exhausted the bit reader gets zero bits. A sound
 * stream never needs them; taking them as data would make up bytes, so the
 * stream fails there. After a failed block the decoder runs on regardless,
 * to the declared length, as the caller expects. */
bool codedDataRanOut()
{
    if (blockStream.failed || !readPastEnd())
        return false;
    blockStream.failed = true;
    return true;
}

void putByte(uint16_t &r, unsigned char b)
{
    streamPutByte(b);
    window[r] = b;
    r = (r + 1) & WINDOW_MASK;
}

void decodeBody()
{
    uint32_t declaredLength = readDeclaredLength();
    if (declaredLength == 0)
        return;
    initModel();
    resetWindow();
    uint16_t r = WINDOW_START;
    uint32_t count = 0;
    while (count < declaredLength && !blockStream.writeFailed) {
        uint16_t s = decodeSymbol();
        if (codedDataRanOut())
            return;
        if (s < 256) {
            putByte(r, uint8_t(s));
            ++count;
            continue;
        }
        uint16_t offset = decodeOffset();
        if (codedDataRanOut())
            return;
        uint32_t length = s - matchSymbol(0);
        /* A match never carries the output past the declared length. */
        if (length > declaredLength - count) {
            length = declaredLength - count;
            blockStream.failed = true;
        }
        /* Byte by byte: a source overlapping the write position repeats
         * what was just written. */
        uint16_t from = (r - offset - 1) & WINDOW_MASK;
        for (uint32_t k = 0; k < length; ++k)
            putByte(r, window[(from + k) & WINDOW_MASK]);
        count += length;
    }
}

} // namespace

void resetWindow()
{
    std::memset(window, ' ', WINDOW_START);
    std::memset(window + WINDOW_START, 0, sizeof window - WINDOW_START);
}

bool decodeStream(HANDLE in, HANDLE out)
{
    resetBits();
    beginDecode(in, out);
    decodeBody();
    finishInput();
    finishOutput();
    return !blockStream.failed && !blockStream.writeFailed;
}
