#include "digest_record.h"

#include "byte_io.h"

#include <cstring>
#include <zlib.h>

namespace {

const char RECORD_MAGIC[4] = {'Q', 'B', 'D', 'R'};
const uint16_t RECORD_VERSION = 1;
const uint16_t RECORD_COVERED_BYTES = 36;

uint32_t recordCrc(const uint8_t *field)
{
    return static_cast<uint32_t>(crc32(crc32(0L, Z_NULL, 0), field, RECORD_COVERED_BYTES));
}

} // namespace

void writeDigestRecord(const DigestRecord &record, uint8_t (&field)[CONFIG_TEXT_BYTES])
{
    std::memset(field, 0, sizeof field);
    std::memcpy(field, RECORD_MAGIC, sizeof RECORD_MAGIC);
    field[4] = RECORD_VERSION & 0xFF;
    field[5] = RECORD_VERSION >> 8;
    field[6] = RECORD_COVERED_BYTES & 0xFF;
    field[7] = RECORD_COVERED_BYTES >> 8;
    writeLe32(field + 8, record.payloadLength);
    writeLe32(field + 12, record.payloadCrc);
    for (int role = 0; role < ROLE_COUNT; ++role)
        writeLe32(field + 16 + 4 * role, record.memberCrc[role]);
    writeLe32(field + RECORD_COVERED_BYTES, recordCrc(field));
}

RecordState readDigestRecord(const uint8_t (&field)[CONFIG_TEXT_BYTES], DigestRecord *record)
{
    if (std::memcmp(field, RECORD_MAGIC, sizeof RECORD_MAGIC) != 0)
        return RecordState::ABSENT;
    if (readLe16(field + 4) != RECORD_VERSION || readLe16(field + 6) != RECORD_COVERED_BYTES ||
        readLe32(field + RECORD_COVERED_BYTES) != recordCrc(field))
        return RecordState::DAMAGED;
    record->payloadLength = readLe32(field + 8);
    record->payloadCrc = readLe32(field + 12);
    for (int role = 0; role < ROLE_COUNT; ++role)
        record->memberCrc[role] = readLe32(field + 16 + 4 * role);
    return RecordState::PRESENT;
}
