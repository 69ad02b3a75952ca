/* `quorbell encode` and `quorbell decode`: one stream between two files,
 * through the same file calls the installer uses. */
#include "tool_commands.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "block_stream.h"
#include "platform.h"
#include "stream_files.h"

namespace fs = std::filesystem;

namespace {

struct CodecArgs {
    std::string in;
    std::string out;
    uint64_t offset = 0;
};

CodecArgs encodeArgs, decodeArgs;

void fail(int code, const std::string &message)
{
    std::fprintf(stderr, "quorbell: %s\n", message.c_str());
    exitCode = code;
}

bool sameFile(const std::string &a, const std::string &b)
{
    std::error_code ec;
    return fs::equivalent(a, b, ec);
}

/* Both files of a command, or a reported usage error (exit 2). */
struct FilePair {
    PlatformFile in;
    PlatformFile out;
    uint64_t inSize;
};

std::optional<FilePair> openPair(const CodecArgs &args)
{
    std::error_code ec;
    uint64_t inSize = fs::file_size(args.in, ec);
    PlatformFile in = PlatformFile::openForReading(ec ? std::string() : args.in);
    if (ec || !in.valid()) {
        fail(2, "cannot read " + args.in);
        return std::nullopt;
    }
    if (sameFile(args.in, args.out)) {
        fail(2, args.in + " and " + args.out + " are the same file");
        return std::nullopt;
    }
    PlatformFile out = PlatformFile::create(args.out);
    if (!out.valid()) {
        fail(2, "cannot create " + args.out);
        return std::nullopt;
    }
    return FilePair{std::move(in), std::move(out), inSize};
}

/* A failed command leaves no output behind. */
void discardOutput(std::optional<FilePair> &files, const std::string &outPath)
{
    files.reset();
    DeleteFileA(outPath.c_str());
}

void runEncode()
{
    const CodecArgs &args = encodeArgs;
    std::optional<FilePair> files = openPair(args);
    if (!files)
        return;
    if (files->inSize > UINT32_MAX) {
        discardOutput(files, args.out);
        fail(2, args.in + " is too large for a stream (4 GiB at most)");
        return;
    }
    if (!encodeToFile(files->in, files->out, uint32_t(files->inSize))) {
        discardOutput(files, args.out);
        fail(1, "writing " + args.out + " failed");
    }
}

void runDecode()
{
    const CodecArgs &args = decodeArgs;
    std::optional<FilePair> files = openPair(args);
    if (!files)
        return;
    if (args.offset > files->inSize) {
        uint64_t inSize = files->inSize;
        discardOutput(files, args.out);
        fail(2, "offset " + std::to_string(args.offset) + " lies past the end of " + args.in + " (" +
                    std::to_string(inSize) + " bytes)");
        return;
    }
    LONG high = LONG(args.offset >> 32);
    SetFilePointer(files->in.handle(), LONG(uint32_t(args.offset)), &high, FILE_BEGIN);
    DecodeOutcome outcome = decodeToFile(files->in, files->out);
    if (!outcome.ok) {
        discardOutput(files, args.out);
        if (blockStream.writeFailed)
            fail(1, "writing " + args.out + " failed");
        else
            fail(1, args.in + ": the stream at offset " + std::to_string(args.offset) + " is damaged");
        return;
    }
    std::printf("consumed %u\n", unsigned(outcome.consumed));
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
