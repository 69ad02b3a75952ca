#include "reference_coder.h"

#include <cstring>

#include "block_stream.h"
#include "stream_decoder.h"
#include "stream_encoder.h"

namespace reference {

void initModel(Model &m)
{
    for (unsigned s = 0; s < SYMBOL_COUNT; ++s) {
        m.weight[s] = 1;
        m.child[s] = uint16_t(s + NODE_COUNT);
        m.parent[s + NODE_COUNT] = uint16_t(s);
    }
    for (unsigned i = 0, j = SYMBOL_COUNT; j <= ROOT; i += 2, ++j) {
        m.weight[j] = uint16_t(m.weight[i] + m.weight[i + 1]);
        m.child[j] = uint16_t(i);
        m.parent[i] = m.parent[i + 1] = uint16_t(j);
    }
    m.weight[NODE_COUNT] = 0xFFFF;
    m.parent[ROOT] = 0;
}

void rebuildModel(Model &m)
{
    unsigned j = 0;
    for (unsigned i = 0; i < NODE_COUNT; ++i) {
        if (m.child[i] >= NODE_COUNT) {
            m.weight[j] = uint16_t((m.weight[i] + 1) / 2);
            m.child[j] = m.child[i];
            ++j;
        }
    }
    for (unsigned i = 0, k; j < NODE_COUNT; i += 2, ++j) {
        unsigned f = m.weight[i] + m.weight[i + 1];
        for (k = j - 1; f < m.weight[k]; --k) {
        }
        ++k;
        for (unsigned n = j; n > k; --n) {
            m.weight[n] = m.weight[n - 1];
            m.child[n] = m.child[n - 1];
        }
        m.weight[k] = uint16_t(f);
        m.child[k] = uint16_t(i);
    }
    for (unsigned i = 0; i < NODE_COUNT; ++i) {
        unsigned k = m.child[i];
        if (k >= NODE_COUNT) {
            m.parent[k] = uint16_t(i);
        } else {
            m.parent[k] = uint16_t(i);
            m.parent[k + 1] = uint16_t(i);
        }
    }
}

void bumpSymbol(Model &m, uint16_t s)
{
    if (m.weight[ROOT] == WEIGHT_LIMIT)
        rebuildModel(m);
    unsigned c = m.parent[s + NODE_COUNT];
    do {
        unsigned k = ++m.weight[c];
        if (k > m.weight[c + 1]) {
            unsigned l = c + 1;
            while (k > m.weight[l + 1])
                ++l;
            m.weight[c] = m.weight[l];
            m.weight[l] = uint16_t(k);
            unsigned i = m.child[c];
            m.parent[i] = uint16_t(l);
            if (i < NODE_COUNT)
                m.parent[i + 1] = uint16_t(l);
            unsigned j = m.child[l];
            m.child[l] = uint16_t(i);
            m.parent[j] = uint16_t(c);
            if (j < NODE_COUNT)
                m.parent[j + 1] = uint16_t(c);
            m.child[c] = uint16_t(j);
            c = l;
        }
        c = m.parent[c];
    } while (c != 0);
}

std::vector<unsigned> symbolCode(const Model &m, uint16_t s)
{
    std::vector<unsigned> leafFirst;
    for (unsigned k = m.parent[s + NODE_COUNT]; k != ROOT; k = m.parent[k])
        leafFirst.push_back(k & 1);
    return std::vector<unsigned>(leafFirst.rbegin(), leafFirst.rend());
}

void BitWriter::put(unsigned bit)
{
    pending_ = pending_ << 1 | (bit & 1);
    if (++count_ == 8) {
        bytes_.push_back(uint8_t(pending_));
        pending_ = count_ = 0;
    }
}

void BitWriter::putBits(uint32_t value, unsigned n)
{
    while (n-- > 0)
        put(value >> n & 1);
}

Bytes BitWriter::finish()
{
    while (count_ != 0)
        put(0);
    return bytes_;
}

unsigned BitReader::get()
{
    size_t byte = bit_ / 8;
    unsigned bit = byte < bytes_.size() ? bytes_[byte] >> (7 - bit_ % 8) & 1 : 0;
    ++bit_;
    return bit;
}

void encodeSymbol(Model &m, BitWriter &out, uint16_t s)
{
    for (unsigned bit : symbolCode(m, s))
        out.put(bit);
    bumpSymbol(m, s);
}

uint16_t decodeSymbol(Model &m, BitReader &in)
{
    unsigned c = m.child[ROOT];
    while (c < NODE_COUNT)
        c = m.child[c + in.get()];
    uint16_t s = uint16_t(c - NODE_COUNT);
    bumpSymbol(m, s);
    return s;
}

namespace {

/* The offset prefix code: how many values have each length, 3 to 8. */
const unsigned VALUES_OF_LENGTH[9] = {0, 0, 0, 1, 3, 8, 12, 24, 16};

/* Canonical assignment, in increasing order of value. */
void offsetCode(unsigned value, unsigned &code, unsigned &length)
{
    code = 0;
    unsigned v = 0;
    for (length = 3; length <= 8; ++length, code <<= 1) {
        for (unsigned n = 0; n < VALUES_OF_LENGTH[length]; ++n, ++v, ++code)
            if (v == value)
                return;
    }
}

} // namespace

void encodeOffset(BitWriter &out, uint16_t offset)
{
    unsigned code, length;
    offsetCode(offset >> 6, code, length);
    out.putBits(code, length);
    out.putBits(offset & 0x3F, 6);
}

uint16_t decodeOffset(BitReader &in)
{
    unsigned code = 0, length = 0;
    for (;;) {
        code = code << 1 | in.get();
        ++length;
        for (unsigned value = 0; value < 64; ++value) {
            unsigned c, l;
            offsetCode(value, c, l);
            if (l == length && c == code) {
                unsigned low = 0;
                for (unsigned i = 0; i < 6; ++i)
                    low = low << 1 | in.get();
                return uint16_t(value << 6 | low);
            }
        }
    }
}

namespace {

void appendBlock(Bytes &stream, const unsigned char *data, size_t n)
{
    uint16_t sum = CHECKSUM_SEED;
    for (size_t i = 0; i < n; ++i)
        sum = uint16_t(sum + data[i]);
    size_t length = n + BLOCK_HEADER_BYTES;
    const unsigned char header[6] = {0x52, 0x43, uint8_t(sum), uint8_t(sum >> 8), uint8_t(length),
                                     uint8_t(length >> 8)};
    stream.insert(stream.end(), header, header + 6);
    stream.insert(stream.end(), data, data + n);
}

} // namespace

Bytes frame(const Bytes &coded, uint32_t declared)
{
    Bytes stream;
    const unsigned char lengthBytes[4] = {uint8_t(declared), uint8_t(declared >> 8), uint8_t(declared >> 16),
                                          uint8_t(declared >> 24)};
    appendBlock(stream, lengthBytes, 4);
    const size_t full = BLOCK_BYTES - BLOCK_HEADER_BYTES;
    size_t at = 0;
    for (; coded.size() - at >= full; at += full)
        appendBlock(stream, coded.data() + at, full);
    appendBlock(stream, coded.data() + at, coded.size() - at);
    return stream;
}

Bytes encode(const Bytes &plain)
{
    if (plain.empty())
        return frame({}, 0);
    Model m;
    initModel(m);
    BitWriter out;
    std::memset(window, ' ', WINDOW_SIZE - LOOKAHEAD);
    std::memset(window + WINDOW_SIZE - LOOKAHEAD, 0, LOOKAHEAD * 2 - 1);
    matchTreeInit();
    size_t next = 0;
    auto nextByte = [&]() { return next < plain.size() ? int(plain[next++]) : -1; };

    unsigned s = 0, r = WINDOW_SIZE - LOOKAHEAD;
    int len = 0;
    for (int c; len < LOOKAHEAD && (c = nextByte()) >= 0; ++len)
        window[r + len] = uint8_t(c);
    for (unsigned i = 1; i <= LOOKAHEAD; ++i)
        matchTreeInsert(uint16_t(r - i));
    matchTreeInsert(uint16_t(r));
    do {
        if (matchLength > len)
            matchLength = uint16_t(len);
        if (matchLength <= 2) {
            matchLength = 1;
            encodeSymbol(m, out, window[r]);
        } else {
            encodeSymbol(m, out, uint16_t(253 + matchLength));
            encodeOffset(out, matchOffset);
        }
        unsigned last = matchLength, i = 0;
        for (int c; i < last && (c = nextByte()) >= 0; ++i) {
            matchTreeRemove(uint16_t(s));
            window[s] = uint8_t(c);
            if (s < LOOKAHEAD - 1)
                window[s + WINDOW_SIZE] = uint8_t(c);
            s = (s + 1) % WINDOW_SIZE;
            r = (r + 1) % WINDOW_SIZE;
            matchTreeInsert(uint16_t(r));
        }
        for (; i < last; ++i) {
            matchTreeRemove(uint16_t(s));
            s = (s + 1) % WINDOW_SIZE;
            r = (r + 1) % WINDOW_SIZE;
            if (--len != 0)
                matchTreeInsert(uint16_t(r));
        }
    } while (len > 0);
    return frame(out.finish(), uint32_t(plain.size()));
}

} // namespace reference
