#include "package_build.h"

#include "byte_io.h"
#include "digest_record.h"
#include "member_files.h"
#include "member_names.h"
#include "package_block.h"
#include "package_reader.h"
#include "pe_image.h"
#include "stream_files.h"
#include "system_paths.h"

#include <filesystem>
#include <fstream>
#include <vector>
#include <zlib.h>

namespace fs = std::filesystem;

namespace {

const uint64_t MAX_MEMBER_BYTES = 0xFFFFFFFFu;
const size_t COPY_CHUNK_BYTES = 1 << 16;

struct Input {
    MemberRole role;
    std::string path;
    uint32_t size;
    bool packed;
};

struct Stub {
    std::string bytes;
    uint64_t blockOffset;
    PackageConfig config;
};

const char *optionOf(MemberRole role)
{
    static const char *const OPTIONS[ROLE_COUNT] = {"--lead", "--saver", "--append", "--append", "--tail"};
    return OPTIONS[role];
}

uint32_t memberSize(const std::string &path, MemberRole role)
{
    uint64_t size = regularFileSize(path, 2);
    if (size > MAX_MEMBER_BYTES)
        throw usageError(std::string(optionOf(role)) + " " + path + " is " + std::to_string(size) +
                         " bytes; a member holds at most 4 GiB - 1");
    bool optional = role == ROLE_LEAD || role == ROLE_APPEND1 || role == ROLE_APPEND2;
    if (optional && size == 0)
        throw usageError(std::string(optionOf(role)) + " " + path +
                         " is empty; an empty lead or appended stream cannot be stored (size 0 means absent)");
    return uint32_t(size);
}

std::string memberName(const std::optional<std::string> &given, const std::string &path, const char *option)
{
    std::string utf8 = given ? *given : fs::u8path(path).filename().u8string();
    std::string what = std::string(option) + "-name";
    std::string name = configTextFromUtf8(utf8, what);
    if (std::optional<std::string> problem = memberNameProblem(name))
        throw usageError(what + " \"" + utf8 + "\" " + *problem);
    return name;
}

std::string messageText(const std::optional<std::string> &given, const char *option, const std::string &fallback)
{
    if (!given)
        return fallback;
    std::string text = configTextFromUtf8(*given, option);
    if (std::optional<std::string> problem = textProblem(text))
        throw usageError(std::string(option) + " text " + *problem);
    return text;
}

Stub readStub(const std::string &path)
{
    if (!fs::exists(fs::u8path(path)))
        throw usageError("stub " + path + " does not exist (build the win32 preset, or name one with --stub)");
    if (regularFileSize(path, 2) > uint64_t(INT32_MAX))
        throw usageError("stub " + path + " is too large: payloadOffset would not fit a signed 32-bit value");
    Stub stub;
    stub.bytes = readWholeFile(path, 2);
    std::string reason;
    std::optional<PeImage> image = parsePeImage(stub.bytes, &reason);
    if (!image)
        throw usageError("stub " + path + " is not a Windows executable (" + reason + ")");
    std::vector<uint64_t> blocks = findBlocks(stub.bytes, stub.bytes.size());
    if (blocks.size() != 1)
        throw usageError("stub " + path + ": the configuration block was found " + std::to_string(blocks.size()) +
                         " times, not once");
    stub.blockOffset = blocks[0];
    stub.config = decodeBlock(bytesOf(stub.bytes) + stub.blockOffset);
    if (stub.config.payloadOffset != 0)
        throw usageError("stub " + path + " already carries a payload (payloadOffset " +
                         std::to_string(stub.config.payloadOffset) + ")");
    if (stub.bytes.size() > image->imageEnd)
        throw usageError("stub " + path + " already carries a payload (" +
                         std::to_string(stub.bytes.size() - image->imageEnd) + " bytes after its image)");
    return stub;
}

/* The inputs in package order; sizes checked, nothing read yet. */
std::vector<Input> collectInputs(const BuildOptions &o)
{
    if (o.appends.size() > MAX_APPENDED_STREAMS)
        throw usageError("--append given " + std::to_string(o.appends.size()) + " times; a package holds at most " +
                         std::to_string(MAX_APPENDED_STREAMS) + " appended streams");
    if (!o.lead && o.leadName)
        throw usageError("--lead-name needs --lead");
    bool packed = !o.stored;
    std::vector<Input> inputs;
    if (o.lead)
        inputs.push_back({ROLE_LEAD, *o.lead, memberSize(*o.lead, ROLE_LEAD), packed});
    inputs.push_back({ROLE_SAVER, o.saver, memberSize(o.saver, ROLE_SAVER), packed});
    for (size_t i = 0; i < o.appends.size(); ++i) {
        MemberRole role = i == 0 ? ROLE_APPEND1 : ROLE_APPEND2;
        inputs.push_back({role, o.appends[i], memberSize(o.appends[i], role), true});
    }
    inputs.push_back({ROLE_TAIL, o.tail, memberSize(o.tail, ROLE_TAIL), packed});
    return inputs;
}

void fillConfig(PackageConfig &c, const BuildOptions &o, const std::vector<Input> &inputs, uint64_t payloadOffset)
{
    c.payloadOffset = int32_t(payloadOffset);
    c.leadSize = c.saverSize = c.tailSize = c.appendSize1 = c.appendSize2 = 0;
    for (const Input &in : inputs) {
        uint32_t *sizes[ROLE_COUNT] = {&c.leadSize, &c.saverSize, &c.appendSize1, &c.appendSize2, &c.tailSize};
        *sizes[in.role] = in.size;
    }
    c.flags = (o.stored ? 0 : PKG_PACKED) | (o.quiet ? PKG_QUIET : 0);

    std::string saver = memberName(o.saverName, o.saver, "--saver");
    std::string tail = memberName(o.tailName, o.tail, "--tail");
    std::string lead = o.lead ? memberName(o.leadName, *o.lead, "--lead") : std::string();
    if (sameWindowsName(saver, tail) || (!lead.empty() && (sameWindowsName(lead, saver) || sameWindowsName(lead, tail))))
        throw usageError("member names must differ (Windows ignores case): one file would overwrite another");
    setFieldText(c.saverName, saver);
    setFieldText(c.tailName, tail);
    setFieldText(c.leadName, lead);
    setFieldText(c.confirmText, messageText(o.confirm, "--confirm", ""));
    setFieldText(c.successText, messageText(o.success, "--success", ""));
    setFieldText(c.failureText, messageText(o.failure, "--failure", DEFAULT_FAILURE_TEXT));
    setFieldText(c.progressText, messageText(o.progress, "--progress", ""));
}

/* The installer keeps its position in a signed 32-bit offset, so every
 * member must start below 2 GiB; the record keeps the payload's length in
 * 32 bits. */
void checkMemberStart(uint64_t offset, MemberRole role)
{
    if (offset > uint64_t(INT32_MAX))
        throw usageError(std::string("the package is too large: the ") + roleName(role) + " would start at " +
                         std::to_string(offset) + ", beyond the 2 GiB the installer can seek to");
}

/* The whole output path ends up removed unless the build is committed. */
class TemporaryOutput {
public:
    explicit TemporaryOutput(const std::string &output)
    {
        fs::path target = fs::u8path(output);
        fs::path directory = target.parent_path().empty() ? fs::path(".") : target.parent_path();
        if (!fs::is_directory(directory))
            throw usageError("output directory " + directory.u8string() + " does not exist");
        do
            path_ = (directory / (target.filename().u8string() + ".tmp-" + randomSuffix())).u8string();
        while (fs::exists(fs::u8path(path_)));
    }
    ~TemporaryOutput()
    {
        std::error_code ignored;
        if (!path_.empty())
            fs::remove(fs::u8path(path_), ignored);
    }
    const std::string &path() const { return path_; }
    void commit(const std::string &output)
    {
        if (!replaceFile(path_, output))
            throw checkError("cannot rename " + path_ + " to " + output);
        path_.clear();
    }

private:
    std::string path_;
};

uint32_t writeStoredMember(const Input &in, PlatformFile &out)
{
    unsigned char key = in.role == ROLE_LEAD ? LEAD_KEY : in.role == ROLE_SAVER ? SAVER_KEY : TAIL_KEY;
    std::ifstream file(fs::u8path(in.path), std::ios::binary);
    std::vector<unsigned char> chunk(COPY_CHUNK_BYTES);
    uLong crc = crc32(0L, Z_NULL, 0);
    uint64_t left = in.size;
    while (left > 0 && file) {
        size_t want = left < COPY_CHUNK_BYTES ? size_t(left) : COPY_CHUNK_BYTES;
        file.read(reinterpret_cast<char *>(chunk.data()), std::streamsize(want));
        size_t got = size_t(file.gcount());
        crc = crc32(crc, chunk.data(), uInt(got));
        for (size_t i = 0; i < got; ++i)
            chunk[i] ^= key;
        if (!out.writeAll(chunk.data(), got))
            throw checkError("cannot write the package");
        left -= got;
    }
    if (left != 0)
        throw checkError(in.path + " changed while it was read");
    return uint32_t(crc);
}

uint32_t writePackedMember(const Input &in, PlatformFile &out)
{
    bool complete = false;
    uint32_t crc = crcOfFileRange(in.path, 0, in.size, 0, &complete);
    PlatformFile file = PlatformFile::openForReading(in.path);
    if (!complete || !file.valid())
        throw checkError(in.path + ": cannot be read");
    if (!encodeToFile(file, out, in.size))
        throw checkError("cannot write the package");
    return crc;
}

/* Writes stub and payload; returns the record of what was written. */
DigestRecord writePackage(const std::string &path, const Stub &stub, const PackageConfig &config,
                          const std::vector<Input> &inputs)
{
    DigestRecord record{};
    PlatformFile out = PlatformFile::create(path);
    if (!out.valid())
        throw usageError("cannot create " + path);
    std::string image = stub.bytes;
    encodeBlock(config, reinterpret_cast<unsigned char *>(&image[size_t(stub.blockOffset)]));
    if (!out.writeAll(image.data(), image.size()))
        throw checkError("cannot write " + path);
    for (const Input &in : inputs) {
        checkMemberStart(out.position(), in.role);
        record.memberCrc[in.role] = in.packed ? writePackedMember(in, out) : writeStoredMember(in, out);
    }
    uint64_t end = out.position();
    if (end - image.size() > MAX_MEMBER_BYTES)
        throw usageError("the package is too large: its payload exceeds 4 GiB - 1");
    record.payloadLength = uint32_t(end - image.size());
    return record;
}

void writeBlock(const std::string &path, uint64_t blockOffset, const PackageConfig &config)
{
    unsigned char block[CONFIG_BYTES];
    encodeBlock(config, block);
    std::fstream file(fs::u8path(path), std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(std::streamoff(blockOffset));
    file.write(reinterpret_cast<const char *>(block), CONFIG_BYTES);
    if (!file.flush())
        throw checkError("cannot write " + path);
}

} // namespace

std::string defaultStubPath()
{
    return (fs::u8path(executableDirectory()) / DEFAULT_STUB_NAME).u8string();
}

BuildSummary buildPackage(const BuildOptions &o)
{
    std::vector<Input> inputs = collectInputs(o);
    Stub stub = readStub(o.stub.empty() ? defaultStubPath() : o.stub);
    PackageConfig config = stub.config;
    uint64_t payloadOffset = stub.bytes.size();
    fillConfig(config, o, inputs, payloadOffset);
    /* Stored members have known lengths: refuse before writing what cannot
     * fit. Past the first packed stream, positions are checked as written. */
    uint64_t knownStart = payloadOffset;
    for (const Input &in : inputs) {
        checkMemberStart(knownStart, in.role);
        if (in.packed)
            break;
        knownStart += in.size;
    }

    BuildSummary summary{};
    if (o.progress && o.stored)
        summary.notes.push_back("--progress has no effect in a stored package (the installer shows no progress window)");
    else if (o.progress && o.quiet)
        summary.notes.push_back("--progress has no effect with --quiet (the installer shows no progress window)");

    TemporaryOutput temporary(o.output);
    DigestRecord record = writePackage(temporary.path(), stub, config, inputs);
    bool complete = false;
    record.payloadCrc = crcOfFileRange(temporary.path(), payloadOffset, record.payloadLength, 0, &complete);
    if (!complete)
        throw checkError("cannot read back " + temporary.path());
    writeDigestRecord(record, config.producerRecord);
    writeBlock(temporary.path(), stub.blockOffset, config);

    /* Read it back as the installer will before it may replace anything. */
    PackageReport check = inspectPackage(temporary.path());
    if (!check.problems.empty())
        throw checkError("the written package fails its check: " + check.problems.front());

    temporary.commit(o.output);
    summary.payloadOffset = payloadOffset;
    summary.payloadLength = record.payloadLength;
    summary.packageSize = payloadOffset + record.payloadLength;
    summary.memberCount = unsigned(inputs.size());
    return summary;
}
