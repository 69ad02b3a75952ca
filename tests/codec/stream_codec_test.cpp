/* Whole streams: the worked examples to the byte, round trips over a table
 * of inputs, streams back to back, and the encoder's independence from
 * whatever ran before. */
#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <ostream>
#include <string>

#include "block_stream.h"
#include "codec_test_support.h"
#include "reference_coder.h"
#include "stream_decoder.h"

namespace {

Bytes hex(const std::string &text)
{
    Bytes bytes;
    for (size_t i = 0; i + 1 < text.size(); i += 3)
        bytes.push_back(uint8_t(std::stoul(text.substr(i, 2), nullptr, 16)));
    return bytes;
}

Bytes ascii(const std::string &text) { return Bytes(text.begin(), text.end()); }

struct WorkedExample {
    const char *name;
    Bytes plain;
    Bytes stream;
};

TEST(StreamCodec, WorkedExamplesComeOutToTheByte)
{
    const WorkedExample examples[] = {
        {"ten a", repeatedByte(10, 'a'), hex("52 43 AF 68 0A 00 0A 00 00 00 52 43 64 6A 0A 00 F6 C9 00 00 ")},
        {"abc", ascii("abc"), hex("52 43 A8 68 0A 00 03 00 00 00 52 43 33 6C 0A 00 F6 FB BD E0 ")},
        {"empty", {}, hex("52 43 A5 68 0A 00 00 00 00 00 52 43 A5 68 06 00 ")},
    };
    const Bytes next = encodeBytes(ascii("next member"));
    for (const WorkedExample &e : examples) {
        EXPECT_EQ(encodeBytes(e.plain), e.stream) << e.name;
        for (const Bytes &after : {Bytes{}, next}) {
            Decoded d = decodeBytes(e.stream + after);
            EXPECT_TRUE(d.ok) << e.name;
            EXPECT_EQ(d.output, e.plain) << e.name;
            EXPECT_EQ(d.consumed, e.stream.size()) << e.name;
        }
    }
}

struct RoundTrip {
    const char *name;
    std::function<Bytes()> input;
};

void PrintTo(const RoundTrip &r, std::ostream *out) { *out << r.name; }

/* Over 3 * 32454 symbols: the model rebuilds at least three times. */
Bytes manyRebuildsInput() { return randomBytes(120000, 16) + textBytes(100000); }

const RoundTrip roundTrips[] = {
    {"empty", [] { return Bytes{}; }},
    {"one byte", [] { return ascii("q"); }},
    {"two bytes", [] { return ascii("qb"); }},
    {"three bytes", [] { return ascii("abc"); }},
    {"four equal bytes", [] { return repeatedByte(4, 0); }},
    {"five bytes", [] { return ascii("12121"); }},
    {"six bytes", [] { return randomBytes(6, 1); }},
    {"seven bytes", [] { return ascii("   \xff\xff\xff "); }},
    {"ends in a long match", [] { return textBytes(700) + repeatedByte(100, 'z'); }},
    {"coded data of one full block", [] { return inputWithCodedSize(10234, 11); }},
    {"coded data of two full blocks", [] { return inputWithCodedSize(2 * 10234, 12); }},
    {"4096 bytes", [] { return randomBytes(4096, 13); }},
    {"4097 bytes", [] { return randomBytes(4097, 14); }},
    {"runs longer than 60", [] { return repeatedByte(1000, 'x') + repeatedByte(61, 'y') + repeatedByte(300, 0); }},
    {"leading spaces", [] { return repeatedByte(100, ' ') + textBytes(100); }},
    {"text", [] { return textBytes(30000); }},
    {"random", [] { return randomBytes(30000, 15); }},
    {"many rebuilds", manyRebuildsInput},
};

class StreamRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(StreamRoundTrip, DecodesToTheInputAndMeasuresItsStream)
{
    const Bytes plain = GetParam().input();
    const Bytes stream = encodeBytes(plain);
    EXPECT_EQ(stream, reference::encode(plain));
    const Bytes follower = encodeBytes(textBytes(40));
    for (const Bytes &after : {Bytes{}, follower, Bytes(20000, 0x52)}) {
        Decoded d = decodeBytes(stream + after);
        EXPECT_TRUE(d.ok);
        EXPECT_EQ(d.output, plain);
        EXPECT_EQ(d.consumed, stream.size());
    }
}

INSTANTIATE_TEST_SUITE_P(Inputs, StreamRoundTrip, ::testing::ValuesIn(roundTrips),
                         [](const ::testing::TestParamInfo<RoundTrip> &info) {
                             std::string name;
                             for (const char *c = info.param.name; *c; ++c)
                                 name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             return name;
                         });

TEST(StreamCodec, StreamsBackToBackDecodeOneAfterAnother)
{
    const Bytes plains[] = {{}, ascii("abc"), inputWithCodedSize(10234, 21), repeatedByte(10, 'a'),
                            textBytes(5000), ascii("!"), randomBytes(25000, 22)};
    Bytes file = randomBytes(37, 23);  /* whatever comes before the payload */
    std::vector<size_t> sizes;
    for (const Bytes &plain : plains) {
        Bytes stream = encodeBytes(plain);
        sizes.push_back(stream.size());
        file = file + stream;
    }
    uint32_t offset = 37;
    for (size_t i = 0; i < sizes.size(); ++i) {
        Decoded d = decodeBytes(file, offset);
        EXPECT_TRUE(d.ok) << i;
        EXPECT_EQ(d.output, plains[i]) << i;
        EXPECT_EQ(d.consumed, sizes[i]) << i;
        offset += d.consumed;
    }
    EXPECT_EQ(offset, file.size());
}

TEST(StreamCodec, EncodingDoesNotDependOnEarlierTransfers)
{
    /* At the last "XYZ" the coder compares past the input's end. With a '2'
     * lying there from an earlier transfer, "XYZ2" would outrank the nearer
     * "XYZ1" on the way down the tree and change the offset chosen. */
    const Bytes plain = ascii("XYZ1XYZ2XYZ");
    const Bytes before = plain + ascii("2");
    const Bytes fresh = reference::encode(plain);
    encodeBytes(before);
    EXPECT_EQ(encodeBytes(plain), fresh);
    decodeBytes(encodeBytes(before));
    EXPECT_EQ(encodeBytes(plain), fresh);
    EXPECT_EQ(encodeBytes(plain), fresh);
}

struct Symbol {
    uint16_t symbol;
    uint16_t offset;
    bool operator==(const Symbol &o) const { return symbol == o.symbol && offset == o.offset; }
};

std::ostream &operator<<(std::ostream &out, const Symbol &s) { return out << s.symbol << "@" << s.offset; }

/* The symbols of a stream, read with the codec's own coder. */
std::vector<Symbol> symbolsOf(const Bytes &stream)
{
    std::string path = tempPath("symbols.in");
    writeBytes(path, stream);
    HANDLE in = openForReading(path);
    resetBits();
    beginDecode(in, INVALID_HANDLE_VALUE);
    uint32_t declared = readDeclaredLength();
    initModel();
    std::vector<Symbol> symbols;
    for (uint32_t count = 0; count < declared;) {
        Symbol s{decodeSymbol(), 0};
        if (s.symbol >= 256)
            s.offset = decodeOffset();
        count += s.symbol < 256 ? 1 : s.symbol - 253;
        symbols.push_back(s);
    }
    CloseHandle(in);
    return symbols;
}

TEST(StreamCodec, LongRunsBecomeSuccessiveFullMatches)
{
    const std::vector<Symbol> expected = {{'x', 0}, {313, 0}, {313, 0}, {313, 0}, {253 + 19, 0}};
    EXPECT_EQ(symbolsOf(encodeBytes(repeatedByte(200, 'x'))), expected);
}

TEST(StreamCodec, MatchAtTheStartCopiesTheInitialSpaces)
{
    std::vector<Symbol> symbols = symbolsOf(encodeBytes(repeatedByte(100, ' ')));
    ASSERT_FALSE(symbols.empty());
    EXPECT_EQ(symbols[0].symbol, 313);
    EXPECT_EQ(decodeBytes(encodeBytes(repeatedByte(100, ' '))).output, repeatedByte(100, ' '));
}

TEST(StreamCodec, ManyRebuildsInputRebuildsSeveralTimes)
{
    EXPECT_GT(symbolsOf(encodeBytes(manyRebuildsInput())).size(), 3u * 32454);
}

} // namespace
