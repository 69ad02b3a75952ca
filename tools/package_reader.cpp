#include "package_reader.h"

#include "byte_io.h"
#include "member_files.h"
#include "member_names.h"
#include "package_block.h"
#include "stream_files.h"
#include "stream_framing.h"
#include "win1252.h"

#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

/* A private directory for decoded members, removed with everything in it
 * unless the caller keeps the files. */
class ScratchDirectory {
public:
    explicit ScratchDirectory(const std::string &keepIn)
        : path_(keepIn.empty() ? (fs::temp_directory_path() / ("quorbell-" + randomSuffix())).string() : keepIn),
          owned_(keepIn.empty())
    {
        if (owned_)
            fs::create_directories(path_);
    }
    ~ScratchDirectory()
    {
        std::error_code ignored;
        if (owned_)
            fs::remove_all(path_, ignored);
    }
    std::string file(MemberRole role) const { return (fs::path(path_) / (roleName(role) + std::string(".plain"))).string(); }

private:
    std::string path_;
    bool owned_;
};

std::string hex32(uint32_t value)
{
    char text[11];
    std::snprintf(text, sizeof text, "0x%08" PRIX32, value);
    return text;
}

std::string describe(const MemberReport &m)
{
    return std::string(roleName(m.role)) + " '" + win1252ToUtf8(m.name) + "'";
}

std::vector<MemberReport> plannedMembers(const PackageConfig &c)
{
    bool packed = (c.flags & PKG_PACKED) != 0;
    std::string saver = fieldText(c.saverName);
    std::vector<MemberReport> members;
    auto add = [&](MemberRole role, const std::string &name, uint32_t size, bool isPacked) {
        MemberReport m{};
        m.role = role;
        m.name = name;
        m.configuredSize = size;
        m.packed = isPacked;
        members.push_back(m);
    };
    if (c.leadSize != 0)
        add(ROLE_LEAD, fieldText(c.leadName), c.leadSize, packed);
    add(ROLE_SAVER, saver, c.saverSize, packed);
    if (c.appendSize1 != 0)
        add(ROLE_APPEND1, saver, c.appendSize1, true);
    if (c.appendSize2 != 0)
        add(ROLE_APPEND2, saver, c.appendSize2, true);
    add(ROLE_TAIL, fieldText(c.tailName), c.tailSize, packed);
    return members;
}

unsigned char storedKey(MemberRole role)
{
    return role == ROLE_LEAD ? LEAD_KEY : role == ROLE_SAVER ? SAVER_KEY : TAIL_KEY;
}

void checkTexts(PackageReport &r)
{
    const PackageConfig &c = r.config;
    struct Field {
        const char *label;
        const char (*bytes)[CONFIG_TEXT_BYTES];
        bool isName;
        bool used;
    };
    const Field fields[] = {
        {"saverName", &c.saverName, true, true},         {"tailName", &c.tailName, true, true},
        {"leadName", &c.leadName, true, c.leadSize != 0}, {"confirmText", &c.confirmText, false, true},
        {"successText", &c.successText, false, true},    {"failureText", &c.failureText, false, true},
        {"progressText", &c.progressText, false, true},
    };
    for (const Field &f : fields) {
        if (!fieldTerminated(*f.bytes)) {
            r.problems.push_back(std::string(f.label) + " fills all 64 bytes without a terminating NUL");
            continue;
        }
        std::string text = fieldText(*f.bytes);
        std::optional<std::string> problem =
            f.isName ? (f.used ? memberNameProblem(text) : std::nullopt) : textProblem(text);
        if (problem)
            r.problems.push_back(std::string(f.label) + " \"" + win1252ToUtf8(text) + "\" " + *problem);
    }
    std::string saver = fieldText(c.saverName), tail = fieldText(c.tailName), lead = fieldText(c.leadName);
    if (sameWindowsName(saver, tail))
        r.problems.push_back("saverName and tailName name the same file");
    if (c.leadSize != 0 && (sameWindowsName(lead, saver) || sameWindowsName(lead, tail)))
        r.problems.push_back("leadName names the same file as another member");
}

void readStoredMember(PackageReport &r, MemberReport &m, const std::string &plainFile)
{
    m.storedLength = m.configuredSize;
    if (m.offset + m.configuredSize > r.fileSize) {
        r.problems.push_back(describe(m) + " needs " + std::to_string(m.configuredSize) + " bytes at " +
                             std::to_string(m.offset) + " but the file ends at " + std::to_string(r.fileSize));
        return;
    }
    bool complete = false;
    m.plainCrc = crcOfFileRange(r.path, m.offset, m.configuredSize, storedKey(m.role), &complete);
    m.decodes = complete;
    m.plainLength = m.configuredSize;
    if (!complete)
        r.problems.push_back(describe(m) + " cannot be read");
    if (!plainFile.empty() && complete) {
        std::string bytes = readFileRange(r.path, m.offset, m.configuredSize);
        for (char &b : bytes)
            b = static_cast<char>(static_cast<unsigned char>(b) ^ storedKey(m.role));
        std::ofstream(fs::u8path(plainFile), std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
        m.plainFile = plainFile;
    }
}

void readPackedMember(PackageReport &r, MemberReport &m, const std::string &plainFile)
{
    StreamFraming framing = walkStreamFraming(r.path, m.offset, r.fileSize);
    if (framing.sound) {
        m.framedLength = framing.length;
        m.declaredLength = framing.declaredLength;
    } else {
        r.problems.push_back(describe(m) + ": stream at " + std::to_string(m.offset) + ": " + framing.problem);
    }

    PlatformFile package = PlatformFile::openForReading(r.path);
    DecodeOutcome outcome{false, true, 0};
    {
        PlatformFile out = PlatformFile::create(plainFile);
        if (!package.valid() || !out.valid())
            throw checkError(r.path + ": cannot decode: a file cannot be opened");
        if (package.seek(m.offset))
            outcome = decodeToFile(package, out);
    }
    m.plainLength = regularFileSize(plainFile, 1);
    bool complete = false;
    m.plainCrc = crcOfFileRange(plainFile, 0, m.plainLength, 0, &complete);
    m.plainFile = plainFile;
    m.storedLength = outcome.consumed;
    m.decodes = outcome.ok && !outcome.blockFailed && complete;
    if (!m.decodes) {
        r.problems.push_back(describe(m) + ": stream at " + std::to_string(m.offset) + " does not decode");
        return;
    }
    if (m.declaredLength && *m.declaredLength != m.configuredSize)
        r.problems.push_back(describe(m) + " declares " + std::to_string(*m.declaredLength) +
                             " bytes but is configured as " + std::to_string(m.configuredSize));
    if (m.plainLength != m.configuredSize)
        r.problems.push_back(describe(m) + " decodes to " + std::to_string(m.plainLength) +
                             " bytes but is configured as " + std::to_string(m.configuredSize));
    if (m.framedLength && *m.framedLength != m.storedLength)
        r.problems.push_back(describe(m) + ": the decoder measures " + std::to_string(m.storedLength) +
                             " bytes but its blocks span " + std::to_string(*m.framedLength) +
                             ", so what follows would be read from the wrong place");
}

void readMembers(PackageReport &r, const std::string &keepPlainIn)
{
    const PackageConfig &c = r.config;
    r.members = plannedMembers(c);
    bool reachable = true;
    if (c.payloadOffset <= 0 || uint64_t(c.payloadOffset) > r.fileSize) {
        r.problems.push_back("payloadOffset " + std::to_string(c.payloadOffset) + " lies outside the file");
        reachable = false;
    } else if (uint64_t(c.payloadOffset) < r.image.imageEnd) {
        r.problems.push_back("payloadOffset " + std::to_string(c.payloadOffset) +
                             " lies inside the executable image, which ends at " + std::to_string(r.image.imageEnd));
    }

    if (!reachable)
        return;
    ScratchDirectory scratch(keepPlainIn);
    uint64_t next = uint64_t(c.payloadOffset);
    for (MemberReport &m : r.members) {
        m.reached = reachable;
        if (!reachable)
            continue;
        m.offset = next;
        if (next > uint64_t(INT32_MAX)) {
            r.problems.push_back(describe(m) + " starts at " + std::to_string(next) +
                                 ", beyond the 2 GiB the installer can seek to");
            reachable = false;
            continue;
        }
        if (m.packed)
            readPackedMember(r, m, scratch.file(m.role));
        else
            readStoredMember(r, m, keepPlainIn.empty() ? std::string() : scratch.file(m.role));
        if (keepPlainIn.empty())
            m.plainFile.clear();
        reachable = m.decodes;
        next += m.storedLength;
    }
    for (const MemberReport &m : r.members)
        if (!m.reached) {
            r.problems.push_back(std::string("the members from ") + roleName(m.role) +
                                 " on cannot be located: the one before failed");
            break;
        }
    if (reachable)
        r.payloadEnd = next;
}

void checkRecord(PackageReport &r)
{
    if (r.recordState == RecordState::DAMAGED) {
        r.problems.push_back("the digest record is damaged");
        return;
    }
    if (r.recordState != RecordState::PRESENT)
        return;
    for (MemberReport &m : r.members) {
        if (!m.decodes)
            continue;
        m.crcMatches = m.plainCrc == r.record.memberCrc[m.role];
        if (!*m.crcMatches)
            r.problems.push_back(describe(m) + ": contents differ from the digest record (CRC-32 " + hex32(m.plainCrc) +
                                 ", recorded " + hex32(r.record.memberCrc[m.role]) + ")");
    }
    if (r.config.payloadOffset <= 0)
        return;
    uint64_t start = uint64_t(r.config.payloadOffset);
    uint64_t recordedEnd = start + r.record.payloadLength;
    if (recordedEnd > r.fileSize) {
        r.problems.push_back("the payload is recorded as " + std::to_string(r.record.payloadLength) +
                             " bytes but the file ends " + std::to_string(r.fileSize - start) + " bytes after its start");
        return;
    }
    if (r.payloadEnd && *r.payloadEnd != recordedEnd)
        r.problems.push_back("the members end at " + std::to_string(*r.payloadEnd) +
                             " but the digest record puts the payload's end at " + std::to_string(recordedEnd));
    bool complete = false;
    r.payloadCrcMatches = crcOfFileRange(r.path, start, r.record.payloadLength, 0, &complete) == r.record.payloadCrc;
    if (!*r.payloadCrcMatches)
        r.problems.push_back("the payload differs from the digest record");
}

} // namespace

const char *roleName(MemberRole role)
{
    static const char *const NAMES[ROLE_COUNT] = {"lead", "saver", "append1", "append2", "tail"};
    return NAMES[role];
}

PackageReport inspectPackage(const std::string &path, const std::string &keepPlainIn)
{
    PackageReport r{};
    r.path = path;
    r.fileSize = regularFileSize(path, 1);
    std::string reason;
    ByteReader read = [&path](uint64_t offset, uint64_t count) { return readFileRange(path, offset, count); };
    std::optional<PeImage> image = parsePeImage(read, r.fileSize, &reason);
    if (!image)
        throw checkError(path + ": not a Windows executable (" + reason + ")");
    r.image = *image;

    std::string imageBytes = readFileRange(path, 0, r.image.imageEnd);
    std::vector<uint64_t> blocks = findBlocks(imageBytes, r.image.imageEnd);
    if (blocks.empty())
        throw checkError(path + ": not a Quorbell package (no configuration block in the image)");
    if (blocks.size() > 1)
        throw checkError(path + ": the configuration block's signature occurs " + std::to_string(blocks.size()) +
                         " times in the image");
    r.blockOffset = blocks[0];
    r.config = decodeBlock(bytesOf(imageBytes) + r.blockOffset);
    r.recordState = readDigestRecord(r.config.producerRecord, &r.record);

    /* A bare installer has nothing else worth reporting. */
    if (r.config.payloadOffset == 0) {
        r.problems.push_back("payloadOffset is 0: an installer without a package");
        return r;
    }
    checkTexts(r);
    readMembers(r, keepPlainIn);
    checkRecord(r);
    return r;
}
