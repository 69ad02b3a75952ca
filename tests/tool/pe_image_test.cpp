/* The PE reader: where an image ends in its file, on the synthetic stub and
 * on real mingw-w64 binaries. */
#include "pe_image.h"
#include "tool_test_support.h"

#include <gtest/gtest.h>

namespace {

TEST(PeImage, SyntheticStubEndsWithItsSection)
{
    std::string stub = syntheticStub();
    std::string reason;
    std::optional<PeImage> image = parsePeImage(stub, &reason);
    ASSERT_TRUE(image.has_value()) << reason;
    EXPECT_EQ(image->machine, 0x14C);
    EXPECT_FALSE(image->pe32Plus);
    ASSERT_EQ(image->sections.size(), 1u);
    EXPECT_EQ(image->sections[0].name, ".data");
    EXPECT_EQ(image->imageEnd, stub.size());
    EXPECT_EQ(image->certificateOffset, 0u);
}

TEST(PeImage, RealBinariesEndAtTheirFileEnd)
{
    std::vector<std::string> files = realPeFiles();
    if (files.empty())
        GTEST_SKIP() << "no mingw-w64 DLLs on this machine";
    for (const std::string &file : files) {
        std::string bytes = readBytes(file);
        std::string reason;
        std::optional<PeImage> image = parsePeImage(bytes, &reason);
        ASSERT_TRUE(image.has_value()) << file << ": " << reason;
        EXPECT_EQ(image->imageEnd, bytes.size()) << file;
        EXPECT_GE(image->sections.size(), 3u) << file;
    }
}

TEST(PeImage, AnOverlayIsNotPartOfTheImage)
{
    std::string stub = syntheticStub();
    std::string withOverlay = stub + std::string(1000, 'x');
    std::optional<PeImage> image = parsePeImage(withOverlay, nullptr);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->imageEnd, stub.size());
}

TEST(PeImage, RefusesWhatIsNoImage)
{
    struct Case {
        std::string bytes;
        const char *reason;
    };
    std::string stub = syntheticStub();
    std::string badSignature = stub;
    badSignature[0x41] = 'X';
    std::string noSections = stub;
    noSections[0x46] = noSections[0x47] = 0;
    const Case cases[] = {
        {"", "no MZ header"},
        {std::string(100, 'Z'), "no MZ header"},
        {badSignature, "no PE signature"},
        {noSections, "implausible section count"},
        {stub.substr(0, 0x150), "truncated"},
        {stub.substr(0, stub.size() - 1), "a section runs past the end of the file"},
    };
    for (const Case &c : cases) {
        std::string reason;
        EXPECT_FALSE(parsePeImage(c.bytes, &reason).has_value()) << c.reason;
        EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
    }
}

} // namespace
