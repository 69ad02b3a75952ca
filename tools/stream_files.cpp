#include "stream_files.h"

#include "block_stream.h"
#include "platform.h"
#include "stream_decoder.h"
#include "stream_encoder.h"

#include <cstdint>

PlatformFile PlatformFile::openForReading(const std::string &path)
{
    return PlatformFile(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
}

PlatformFile PlatformFile::create(const std::string &path)
{
    return PlatformFile(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
}

PlatformFile::PlatformFile(PlatformFile &&other) noexcept : handle_(other.handle_)
{
    other.handle_ = INVALID_HANDLE_VALUE;
}

PlatformFile::~PlatformFile()
{
    if (valid())
        CloseHandle(handle_);
}

bool PlatformFile::valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }

/* Packages stay below 2 GiB (every member offset is a signed 32-bit value
 * for the installer), so the low part of the position is all there is. */
bool PlatformFile::seek(uint64_t offset)
{
    if (offset > uint64_t(INT32_MAX))
        return false;
    return SetFilePointer(handle_, LONG(offset), nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
}

uint64_t PlatformFile::position() const
{
    return SetFilePointer(handle_, 0, nullptr, FILE_CURRENT);
}

bool PlatformFile::writeAll(const void *bytes, size_t count)
{
    const char *at = static_cast<const char *>(bytes);
    while (count > 0) {
        DWORD chunk = count > (1u << 30) ? (1u << 30) : DWORD(count);
        DWORD written = 0;
        if (!WriteFile(handle_, at, chunk, &written, nullptr) || written == 0)
            return false;
        at += written;
        count -= written;
    }
    return true;
}

bool encodeToFile(PlatformFile &in, PlatformFile &out, uint32_t length)
{
    return encodeStream(in.handle(), out.handle(), length);
}

DecodeOutcome decodeToFile(PlatformFile &package, PlatformFile &out)
{
    DecodeOutcome outcome;
    outcome.ok = decodeStream(package.handle(), out.handle());
    outcome.blockFailed = blockStream.failed;
    outcome.consumed = blockStream.consumed;
    return outcome;
}
