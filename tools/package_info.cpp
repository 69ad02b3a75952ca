#include "package_info.h"

#include "package_block.h"
#include "win1252.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

using nlohmann::json;

namespace {

std::string hex32(uint32_t value)
{
    char text[11];
    std::snprintf(text, sizeof text, "0x%08" PRIX32, value);
    return text;
}

std::string hexBytes(const uint8_t *bytes, size_t count)
{
    std::string text;
    char pair[3];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
        text += pair;
    }
    return text;
}

std::string text(const char (&field)[CONFIG_TEXT_BYTES]) { return win1252ToUtf8(fieldText(field)); }

json flagNames(uint32_t flags)
{
    json names = json::array();
    if (flags & PKG_PACKED)
        names.push_back("PKG_PACKED");
    if (flags & PKG_QUIET)
        names.push_back("PKG_QUIET");
    return names;
}

const char *recordStateName(RecordState state)
{
    return state == RecordState::PRESENT ? "present" : state == RecordState::DAMAGED ? "damaged" : "absent";
}

json configJson(const PackageConfig &c)
{
    return json{
        {"payloadOffset", c.payloadOffset},
        {"saverSize", c.saverSize},
        {"tailSize", c.tailSize},
        {"leadSize", c.leadSize},
        {"flags", c.flags},
        {"flagNames", flagNames(c.flags)},
        {"appendSize1", c.appendSize1},
        {"appendSize2", c.appendSize2},
        {"signature", win1252ToUtf8(std::string(reinterpret_cast<const char *>(c.signature),
                                                strnlen(reinterpret_cast<const char *>(c.signature), sizeof c.signature)))},
        {"saverName", text(c.saverName)},
        {"tailName", text(c.tailName)},
        {"leadName", text(c.leadName)},
        {"confirmText", text(c.confirmText)},
        {"successText", text(c.successText)},
        {"failureText", text(c.failureText)},
        {"progressText", text(c.progressText)},
        {"uninterpreted0", hexBytes(c.uninterpreted0, sizeof c.uninterpreted0)},
        {"reserved16", hexBytes(c.reserved16, sizeof c.reserved16)},
        {"reserved448", hexBytes(c.reserved448, sizeof c.reserved448)},
        {"producerRecord", hexBytes(c.producerRecord, sizeof c.producerRecord)},
    };
}

json memberJson(const MemberReport &m)
{
    json j{
        {"role", roleName(m.role)},
        {"name", win1252ToUtf8(m.name)},
        {"size", m.configuredSize},
        {"mode", m.packed ? "packed" : "stored"},
        {"reached", m.reached},
        {"decodes", m.decodes},
    };
    j["offset"] = m.reached ? json(m.offset) : json(nullptr);
    j["packedLength"] = m.packed && m.decodes ? json(m.storedLength) : json(nullptr);
    j["crc32"] = m.decodes ? json(hex32(m.plainCrc)) : json(nullptr);
    j["crcMatches"] = m.crcMatches ? json(*m.crcMatches) : json(nullptr);
    return j;
}

std::string yesNo(bool value) { return value ? "yes" : "no"; }

std::string memberLine(const MemberReport &m)
{
    char line[512];
    std::string offset = m.reached ? std::to_string(m.offset) : "-";
    std::string packedLength = m.packed && m.decodes ? std::to_string(m.storedLength) : "-";
    std::string crc = !m.decodes ? "-" : hex32(m.plainCrc) + (m.crcMatches ? (*m.crcMatches ? " ok" : " WRONG") : "");
    std::snprintf(line, sizeof line, "  %-8s %-24s %10" PRIu32 " %10s  %-6s %10s  %-7s %s\n", roleName(m.role),
                  win1252ToUtf8(m.name).c_str(), m.configuredSize, offset.c_str(), m.packed ? "packed" : "stored",
                  packedLength.c_str(), yesNo(m.decodes).c_str(), crc.c_str());
    return line;
}

uint64_t bytesAfterPayload(const PackageReport &r) { return r.payloadEnd ? r.fileSize - *r.payloadEnd : 0; }

} // namespace

json reportJson(const PackageReport &r)
{
    json members = json::array();
    for (const MemberReport &m : r.members)
        members.push_back(memberJson(m));
    json record{{"state", recordStateName(r.recordState)}};
    if (r.recordState == RecordState::PRESENT) {
        record["payloadLength"] = r.record.payloadLength;
        record["payloadCrc32"] = hex32(r.record.payloadCrc);
        record["payloadCrcMatches"] = r.payloadCrcMatches ? json(*r.payloadCrcMatches) : json(nullptr);
    }
    return json{
        {"file", r.path},
        {"fileSize", r.fileSize},
        {"image", {{"pe32Plus", r.image.pe32Plus},
                   {"machine", r.image.machine},
                   {"imageEnd", r.image.imageEnd},
                   {"certificateOffset", r.image.certificateOffset},
                   {"certificateSize", r.image.certificateSize}}},
        {"blockOffset", r.blockOffset},
        {"config", configJson(r.config)},
        {"digestRecord", record},
        {"members", members},
        {"payloadEnd", r.payloadEnd ? json(*r.payloadEnd) : json(nullptr)},
        {"bytesAfterPayload", bytesAfterPayload(r)},
        {"problems", r.problems},
    };
}

std::string reportText(const PackageReport &r)
{
    const PackageConfig &c = r.config;
    std::string out = r.path + ": " + std::to_string(r.fileSize) + " bytes, " + (r.image.pe32Plus ? "PE32+" : "PE32") +
                      " image ending at " + std::to_string(r.image.imageEnd) + ", block at " +
                      std::to_string(r.blockOffset) + "\n";
    std::string flags = hex32(c.flags);
    for (const auto &name : flagNames(c.flags))
        flags += " " + name.get<std::string>();
    auto line = [&out](const char *label, const std::string &value) {
        char row[320];
        std::snprintf(row, sizeof row, "  %-14s %s\n", label, value.c_str());
        out += row;
    };
    auto quoted = [](const char (&field)[CONFIG_TEXT_BYTES]) { return "\"" + text(field) + "\""; };
    out += "configuration:\n";
    line("payloadOffset", std::to_string(c.payloadOffset));
    line("flags", flags);
    line("leadSize", std::to_string(c.leadSize));
    line("saverSize", std::to_string(c.saverSize));
    line("appendSize1", std::to_string(c.appendSize1));
    line("appendSize2", std::to_string(c.appendSize2));
    line("tailSize", std::to_string(c.tailSize));
    line("leadName", quoted(c.leadName));
    line("saverName", quoted(c.saverName));
    line("tailName", quoted(c.tailName));
    line("confirmText", quoted(c.confirmText));
    line("successText", quoted(c.successText));
    line("failureText", quoted(c.failureText));
    line("progressText", quoted(c.progressText));
    std::string record = recordStateName(r.recordState);
    if (r.recordState == RecordState::PRESENT)
        record += ": payload " + std::to_string(r.record.payloadLength) + " bytes, CRC-32 " + hex32(r.record.payloadCrc) +
                  (r.payloadCrcMatches ? (*r.payloadCrcMatches ? " ok" : " WRONG") : "");
    line("digest record", record);
    char header[160];
    std::snprintf(header, sizeof header, "  %-8s %-24s %10s %10s  %-6s %10s  %-7s %s\n", "role", "name", "size", "offset",
                  "mode", "packed len", "decodes", "crc-32");
    out += std::string("members:\n") + header;
    for (const MemberReport &m : r.members)
        out += memberLine(m);
    if (r.payloadEnd)
        out += "payload: " + std::to_string(*r.payloadEnd - uint64_t(c.payloadOffset)) + " bytes, ends at " +
               std::to_string(*r.payloadEnd) + "; " + std::to_string(bytesAfterPayload(r)) + " bytes after it\n";
    if (r.image.certificateOffset != 0)
        out += "certificate table: " + std::to_string(r.image.certificateSize) + " bytes at " +
               std::to_string(r.image.certificateOffset) + "\n";
    for (const std::string &problem : r.problems)
        out += "problem: " + problem + "\n";
    return out;
}

std::string verifySummary(const PackageReport &r)
{
    const PackageConfig &c = r.config;
    std::string summary = r.path + ": sound: " + ((c.flags & PKG_PACKED) ? "packed" : "stored") + ", " +
                          std::to_string(r.members.size()) + " members, payload " +
                          std::to_string(*r.payloadEnd - uint64_t(c.payloadOffset)) + " bytes at " +
                          std::to_string(c.payloadOffset);
    if (r.recordState == RecordState::PRESENT)
        summary += ", every member and the payload match the digest record";
    else
        summary += ", no digest record (another producer): framing and lengths checked only";
    if (uint64_t after = bytesAfterPayload(r))
        summary += ", " + std::to_string(after) + " bytes after the payload";
    return summary;
}
