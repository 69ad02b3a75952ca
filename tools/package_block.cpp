#include "package_block.h"

#include "byte_io.h"

#include <cstddef>
#include <cstring>

namespace {

const size_t SIGNATURE_AT = offsetof(PackageConfig, signature);

/* The block's 32-bit integers by offset; everything else is bytes. */
struct IntegerField {
    size_t offset;
    uint32_t PackageConfig::*unsignedField;
    int32_t PackageConfig::*signedField;
};

const IntegerField INTEGER_FIELDS[] = {
    {offsetof(PackageConfig, payloadOffset), nullptr, &PackageConfig::payloadOffset},
    {offsetof(PackageConfig, saverSize), &PackageConfig::saverSize, nullptr},
    {offsetof(PackageConfig, tailSize), &PackageConfig::tailSize, nullptr},
    {offsetof(PackageConfig, leadSize), &PackageConfig::leadSize, nullptr},
    {offsetof(PackageConfig, flags), &PackageConfig::flags, nullptr},
    {offsetof(PackageConfig, appendSize1), &PackageConfig::appendSize1, nullptr},
    {offsetof(PackageConfig, appendSize2), &PackageConfig::appendSize2, nullptr},
};

bool isIntegerByte(size_t at)
{
    for (const IntegerField &field : INTEGER_FIELDS)
        if (at >= field.offset && at < field.offset + 4)
            return true;
    return false;
}

} // namespace

std::string scrambledSignature()
{
    std::string signature(CONFIG_SIGNATURE, CONFIG_SIGNATURE_BYTES);
    for (char &c : signature)
        c = static_cast<char>(static_cast<unsigned char>(c) ^ CONFIG_KEY);
    return signature;
}

std::vector<uint64_t> findBlocks(const std::string &bytes, uint64_t limit)
{
    std::vector<uint64_t> starts;
    const std::string signature = scrambledSignature();
    size_t end = limit < bytes.size() ? size_t(limit) : bytes.size();
    for (size_t at = bytes.find(signature); at != std::string::npos && at + signature.size() <= end;
         at = bytes.find(signature, at + 1)) {
        if (at >= SIGNATURE_AT && at - SIGNATURE_AT + CONFIG_BYTES <= end)
            starts.push_back(at - SIGNATURE_AT);
    }
    return starts;
}

PackageConfig decodeBlock(const unsigned char *scrambled)
{
    unsigned char plain[CONFIG_BYTES];
    for (size_t i = 0; i < CONFIG_BYTES; ++i)
        plain[i] = scrambled[i] ^ CONFIG_KEY;
    PackageConfig config;
    unsigned char *raw = reinterpret_cast<unsigned char *>(&config);
    for (size_t i = 0; i < CONFIG_BYTES; ++i)
        if (!isIntegerByte(i))
            raw[i] = plain[i];
    for (const IntegerField &field : INTEGER_FIELDS) {
        uint32_t value = readLe32(plain + field.offset);
        if (field.signedField)
            config.*field.signedField = static_cast<int32_t>(value);
        else
            config.*field.unsignedField = value;
    }
    return config;
}

void encodeBlock(const PackageConfig &config, unsigned char *scrambled)
{
    const unsigned char *raw = reinterpret_cast<const unsigned char *>(&config);
    for (size_t i = 0; i < CONFIG_BYTES; ++i)
        scrambled[i] = isIntegerByte(i) ? 0 : raw[i];
    for (const IntegerField &field : INTEGER_FIELDS) {
        uint32_t value = field.signedField ? static_cast<uint32_t>(config.*field.signedField)
                                           : config.*field.unsignedField;
        writeLe32(scrambled + field.offset, value);
    }
    for (size_t i = 0; i < CONFIG_BYTES; ++i)
        scrambled[i] ^= CONFIG_KEY;
}

std::string fieldText(const char (&field)[CONFIG_TEXT_BYTES])
{
    return std::string(field, strnlen(field, CONFIG_TEXT_BYTES));
}

bool fieldTerminated(const char (&field)[CONFIG_TEXT_BYTES])
{
    return strnlen(field, CONFIG_TEXT_BYTES) < CONFIG_TEXT_BYTES;
}

void setFieldText(char (&field)[CONFIG_TEXT_BYTES], const std::string &ansi)
{
    std::memset(field, 0, CONFIG_TEXT_BYTES);
    std::memcpy(field, ansi.data(), ansi.size() < CONFIG_TEXT_BYTES ? ansi.size() : CONFIG_TEXT_BYTES - 1);
}
