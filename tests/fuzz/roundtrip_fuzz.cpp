/* libFuzzer target for the pair: any bytes as a plain file are encoded,
 * the stream must equal the plain reference coder's (the codec tests'
 * straightforward algorithm), and decoding it, followed in the file by
 * other bytes, must give the input back with `consumed` the stream's size. */
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "block_stream.h"
#include "codec_test_support.h"
#include "reference_coder.h"

namespace {

void check(bool condition, const char *promise)
{
    if (!condition) {
        std::fprintf(stderr, "roundtrip_fuzz: broken promise: %s\n", promise);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const Bytes plain(data, data + size);
    const Bytes stream = encodeBytes(plain);
    check(stream == reference::encode(plain), "the stream is the reference coder's");
    /* A few bytes of the input after the stream, as a following member. */
    Decoded d = decodeBytes(stream + Bytes(data, data + (size < 7 ? size : 7)));
    check(d.ok, "a written stream decodes");
    check(d.output == plain, "decoding gives the input back");
    check(d.consumed == stream.size(), "consumed is the stream's size");
    return 0;
}
