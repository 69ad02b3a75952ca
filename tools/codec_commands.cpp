/* `quorbell encode` and `quorbell decode`: one stream between two files,
 * through the same file calls the installer uses. */
#include "tool_commands.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "block_stream.h"
#include "platform.h"
#include "stream_decoder.h"
#include "stream_encoder.h"

namespace fs = std::filesystem;

namespace {

struct CodecArgs {
    std::string in;
    std::string out;
    uint64_t offset = 0;
};

CodecArgs encodeArgs, decodeArgs;

/* Bytes the codec asked to write: every flush reports its size first, and
 * the final partial buffer stays in outBuf. Comparing with the file's size
 * afterwards catches a write that fell short (a full disk). */
uint64_t flushedBytes;

void countFlush(uint32_t byteCount) { flushedBytes += byteCount; }

uint64_t bytesAskedToWrite()
{
    return flushedBytes + uint64_t(blockStream.outCur - blockStream.outBuf);
}

void fail(int code, const std::string &message)
{
    std::fprintf(stderr, "quorbell: %s\n", message.c_str());
    exitCode = code;
}

HANDLE openInput(const std::string &path)
{
    return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

HANDLE createOutput(const std::string &path)
{
    return CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

bool sameFile(const std::string &a, const std::string &b)
{
    std::error_code ec;
    return fs::equivalent(a, b, ec);
}

/* Opens both files for a command; on failure reports it (exit 2) and
 * leaves nothing open. */
bool openPair(const CodecArgs &args, HANDLE &in, HANDLE &out, uint64_t &inSize)
{
    std::error_code ec;
    inSize = fs::file_size(args.in, ec);
    in = ec ? INVALID_HANDLE_VALUE : openInput(args.in);
    if (in == INVALID_HANDLE_VALUE) {
        fail(2, "cannot read " + args.in);
        return false;
    }
    if (sameFile(args.in, args.out)) {
        CloseHandle(in);
        fail(2, args.in + " and " + args.out + " are the same file");
        return false;
    }
    out = createOutput(args.out);
    if (out == INVALID_HANDLE_VALUE) {
        CloseHandle(in);
        fail(2, "cannot create " + args.out);
        return false;
    }
    flushedBytes = 0;
    onProgress = countFlush;
    return true;
}

/* Closes both files; a failed command leaves no output behind. */
void closePair(HANDLE in, HANDLE out, const std::string &outPath, bool keepOutput)
{
    onProgress = nullptr;
    CloseHandle(in);
    CloseHandle(out);
    if (!keepOutput)
        DeleteFileA(outPath.c_str());
}

bool outputComplete(const std::string &path)
{
    std::error_code ec;
    uint64_t size = fs::file_size(path, ec);
    if (!ec && size == bytesAskedToWrite())
        return true;
    fail(1, "writing " + path + " failed");
    return false;
}

void runEncode()
{
    const CodecArgs &args = encodeArgs;
    HANDLE in, out;
    uint64_t inSize;
    if (!openPair(args, in, out, inSize))
        return;
    if (inSize > UINT32_MAX) {
        closePair(in, out, args.out, false);
        fail(2, args.in + " is too large for a stream (4 GiB at most)");
        return;
    }
    encodeStream(in, out, uint32_t(inSize));
    CloseHandle(in);
    CloseHandle(out);
    onProgress = nullptr;
    if (!outputComplete(args.out))
        DeleteFileA(args.out.c_str());
}

void runDecode()
{
    const CodecArgs &args = decodeArgs;
    HANDLE in, out;
    uint64_t inSize;
    if (!openPair(args, in, out, inSize))
        return;
    if (args.offset > inSize) {
        closePair(in, out, args.out, false);
        fail(2, "offset " + std::to_string(args.offset) + " lies past the end of " + args.in + " (" +
                    std::to_string(inSize) + " bytes)");
        return;
    }
    LONG high = LONG(args.offset >> 32);
    SetFilePointer(in, LONG(uint32_t(args.offset)), &high, FILE_BEGIN);
    bool ok = decodeStream(in, out);
    closePair(in, out, args.out, ok);
    if (!ok) {
        fail(1, args.in + ": the stream at offset " + std::to_string(args.offset) + " is damaged");
        return;
    }
    if (!outputComplete(args.out)) {
        DeleteFileA(args.out.c_str());
        return;
    }
    std::printf("consumed %u\n", unsigned(blockStream.consumed));
}

} // namespace

void registerCodecCommands(CLI::App &app)
{
    CLI::App *encode = app.add_subcommand("encode", "Pack a file into one stream");
    encode->add_option("IN", encodeArgs.in, "plain file")->required();
    encode->add_option("OUT", encodeArgs.out, "stream file to write")->required();
    encode->callback(runEncode);

    CLI::App *decode = app.add_subcommand("decode", "Unpack the stream that starts at byte N of IN");
    decode->add_option("IN", decodeArgs.in, "file holding the stream")->required();
    decode->add_option("OUT", decodeArgs.out, "plain file to write")->required();
    decode->add_option("--offset", decodeArgs.offset, "where the stream starts in IN")->default_val(0);
    decode->callback(runDecode);
}
