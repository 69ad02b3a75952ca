/* Small helpers shared by the platform tests. */
#ifndef QUORBELL_SIM_TEST_SUPPORT_H
#define QUORBELL_SIM_TEST_SUPPORT_H

#include "platform.h"
#include "host/sim_desktop.h"

#include <gtest/gtest.h>

#include <string>

class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override { sim::reset(); }
};

inline HANDLE openFile(const std::string &path, DWORD access, DWORD share, DWORD disposition)
{
    return CreateFileA(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

inline HANDLE openForReading(const std::string &path)
{
    return openFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
}

inline HANDLE createForWriting(const std::string &path)
{
    return openFile(path, GENERIC_WRITE, 0, CREATE_ALWAYS);
}

/* Reads up to `count` bytes at the current position. */
inline std::string readBytes(HANDLE file, DWORD count)
{
    std::string bytes(count, '\0');
    DWORD got = 0;
    EXPECT_TRUE(ReadFile(file, &bytes[0], count, &got, nullptr));
    bytes.resize(got);
    return bytes;
}

inline DWORD writeBytes(HANDLE file, const std::string &bytes)
{
    DWORD written = 0;
    WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    return written;
}

#endif
