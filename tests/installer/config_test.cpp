#include "install_fixture.h"

#include <cstring>

namespace {

std::string traceText()
{
    std::string text;
    for (const sim::Call &call : sim::trace())
        text += call.text() + "\n";
    return text;
}

} // namespace

TEST(StubConfig, IsStoredScrambledWithTheSignatureAtOffset40)
{
    PackageConfig plain;
    std::memcpy(&plain, &packageConfig, sizeof plain);
    unsigned char *bytes = reinterpret_cast<unsigned char *>(&plain);
    for (size_t i = 0; i < CONFIG_BYTES; ++i)
        bytes[i] ^= CONFIG_KEY;

    EXPECT_EQ(std::memcmp(plain.signature, CONFIG_SIGNATURE, CONFIG_SIGNATURE_BYTES), 0);
    EXPECT_EQ(plain.payloadOffset, 0);
    EXPECT_EQ(plain.saverSize, 0u);
    EXPECT_EQ(plain.flags, 0u);
    EXPECT_STREQ(plain.saverName, "");
    EXPECT_STREQ(plain.confirmText, "");
    EXPECT_STRNE(plain.failureText, "");
}

class ConfigTest : public InstallTest {};

TEST_F(ConfigTest, UninterpretedRangesChangeNothing)
{
    package.install();
    run();
    std::string plainRun = traceText();

    SetUp();
    std::memset(package.config.uninterpreted0, 0x5A, sizeof package.config.uninterpreted0);
    std::memset(package.config.reserved16, 0xFF, sizeof package.config.reserved16);
    std::memset(package.config.signature, 0x11, sizeof package.config.signature);
    std::memset(package.config.reserved448, 'r', sizeof package.config.reserved448);
    std::memset(package.config.producerRecord, 0x80, sizeof package.config.producerRecord);
    package.config.flags |= 0xFFFFFFF0u;
    package.install();
    run();
    EXPECT_EQ(traceText(), plainRun);
    EXPECT_EQ(contents("MYSAVER.SCR"), package.saver);
}

TEST_F(ConfigTest, TextFieldsAreReadToAtMost63Characters)
{
    const std::string full63(63, 'x');
    package.setText(package.config.successText, full63);
    std::memset(package.config.failureText, 'y', CONFIG_TEXT_BYTES); /* no NUL at all */
    package.install();
    run();
    ASSERT_EQ(messageTexts(), std::vector<std::string>{full63});

    SetUp();
    package.saver.clear();
    package.setText(package.config.saverName, "");  /* a directory: the saver cannot be written */
    package.install();
    run();
    EXPECT_EQ(messageTexts(), std::vector<std::string>{std::string(63, 'y')});
}

TEST_F(ConfigTest, NoQuestionWindowOrSuccessMessageWithoutTexts)
{
    package.config.flags = PKG_PACKED;
    package.setText(package.config.successText, "");
    package.install();
    EXPECT_EQ(run(), 0);
    EXPECT_TRUE(sim::messageBoxes().empty());
    EXPECT_FALSE(sim::dialog().created);
    EXPECT_EQ(contents("MYSAVER.SCR"), package.saver);
}
