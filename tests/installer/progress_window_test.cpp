#include "install_fixture.h"

#include "install_run.h"
#include "progress_dialog.h"
#include "progress_window.h"

#include <cstring>

namespace {

class ProgressTest : public InstallTest {
protected:
    static size_t dispatchedCount() { return sim::callsNamed("DispatchMessageA").size(); }

    static void pumpTimes(unsigned count)
    {
        for (unsigned i = 0; i < count; ++i)
            pumpMessages();
    }

    /* A packed package whose members fill several output buffers. */
    void packedWithWindow()
    {
        package.config.flags = PKG_PACKED;
        package.saver = patternBytes(30000, 1);  /* two full buffers and 9520 bytes */
        package.append1 = patternBytes(12000, 2); /* one full buffer and 1760 bytes */
        package.setText(package.config.progressText, "Installing Quorbell Sample...");
    }
};

TEST_F(ProgressTest, PumpRunsOncePer128Ticks)
{
    sim::postToQueue(nullptr, WM_USER + 50);
    pumpTimes(127);
    EXPECT_TRUE(sim::callsNamed("PeekMessageA").empty());
    EXPECT_EQ(sim::queueLength(), 1u);
    pumpTimes(1);
    EXPECT_EQ(sim::queueLength(), 0u);
    EXPECT_EQ(dispatchedCount(), 1u);
    EXPECT_EQ(sim::callsNamed("TranslateMessage").size(), 1u);
}

TEST_F(ProgressTest, ThirdPaintInARowEndsThePassUndispatched)
{
    for (int i = 0; i < 3; ++i)
        sim::postToQueue(nullptr, WM_PAINT);
    sim::postToQueue(nullptr, WM_USER + 50);
    pumpTimes(128);
    EXPECT_EQ(dispatchedCount(), 2u);
    EXPECT_EQ(sim::queueLength(), 1u);  /* the message after the paints waits */
    EXPECT_EQ(pumpCalls, 128u);
}

TEST_F(ProgressTest, MessageAfterPaintsMakesTheNextRequestPump)
{
    sim::postToQueue(nullptr, WM_PAINT);
    sim::postToQueue(nullptr, WM_USER + 50);
    pumpTimes(128);
    EXPECT_EQ(dispatchedCount(), 2u);
    EXPECT_EQ(pumpCalls, 127u);

    sim::postToQueue(nullptr, WM_USER + 51);
    pumpTimes(1);
    EXPECT_EQ(dispatchedCount(), 3u);
    sim::postToQueue(nullptr, WM_USER + 52);
    pumpTimes(1);
    EXPECT_EQ(dispatchedCount(), 3u);
}

/* The bar's range for configured totals: exactly 1024-byte units below
 * 64 MiB, a larger unit above, never wrapping. */
struct RangeCase {
    uint32_t saverSize, tailSize, leadSize;
    uint16_t range;
    uint32_t unit;
};

const RangeCase RANGE_CASES[] = {
    {5242880 - 1000, 1000, 0, 5120, 1024},
    {1023, 0, 0, 0, 1024},
    {67108863, 0, 0, 65535, 1024},
    {67108864, 0, 0, 32768, 2048},
    {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 49151, 262144},
};

INT_PTR CALLBACK reportOnceDialog(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
        return progressDialogProc(window, message, wParam, lParam);
    if (message == WM_PAINT) {
        advanceProgress(1048576);
        advanceProgress(0x7FFFFFFF);
        advanceProgress(0x7FFFFFFF);
        closeProgress();
    }
    return FALSE;
}

TEST_F(ProgressTest, RangeAndPositionsFitTheBar)
{
    for (const RangeCase &c : RANGE_CASES) {
        SCOPED_TRACE(c.saverSize);
        SetUp();
        packageConfig = PackageConfig{};
        packageConfig.saverSize = c.saverSize;
        packageConfig.tailSize = c.tailSize;
        packageConfig.leadSize = c.leadSize;
        DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, reportOnceDialog, 0);

        EXPECT_EQ(uint32_t(1) << progressUnitShift, c.unit);
        ASSERT_EQ(sim::dialog().ranges.size(), 1u);
        EXPECT_EQ(sim::dialog().ranges[0], MAKELPARAM(0, c.range));
        ASSERT_EQ(sim::dialog().positions.size(), 3u);
        const int64_t total = 1048576 + 2 * int64_t(0x7FFFFFFF);
        EXPECT_EQ(progressTotal, total);
        EXPECT_EQ(sim::dialog().positions[0], std::min<WPARAM>(1048576 / c.unit, c.range));
        /* Past the configured total the bar is held at its end. */
        EXPECT_EQ(sim::dialog().positions[2], std::min<WPARAM>(WPARAM(total / c.unit), c.range));
    }
}

TEST_F(ProgressTest, WindowIsCentredOnePixelLarger)
{
    for (auto [width, height] : {std::pair{1024, 768}, std::pair{801, 600}}) {
        SCOPED_TRACE(width);
        SetUp();
        packedWithWindow();
        package.install();
        sim::setDesktopSize(width, height);
        run();
        ASSERT_TRUE(sim::dialog().created);
        const RECT &rect = sim::dialog().rect;
        const RECT &initial = sim::dialog().initialRect;
        int w = initial.right - initial.left + 1;
        int h = initial.bottom - initial.top + 1;
        EXPECT_EQ(rect.right - rect.left, w);
        EXPECT_EQ(rect.bottom - rect.top, h);
        EXPECT_EQ(rect.left, (width + 1 - w) / 2);
        EXPECT_EQ(rect.top, (height + 1 - h) / 2);
    }
}

TEST_F(ProgressTest, PackedRunInsideTheWindow)
{
    packedWithWindow();
    package.install();
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(contents("MYSAVER.SCR"), package.saver + package.append1);

    const sim::DialogState &dialog = sim::dialog();
    EXPECT_TRUE(dialog.ended);
    EXPECT_EQ(dialog.endResult, 1);
    EXPECT_EQ(dialog.text1001, "Installing Quorbell Sample...");
    EXPECT_EQ(dialog.ranges, std::vector<LPARAM>{MAKELPARAM(0, (30000 + 12000 + 10) / 1024)});
    /* Full buffers only: each stream's last partial buffer is not reported. */
    EXPECT_EQ(dialog.positions, (std::vector<WPARAM>{10, 20, 30}));
    EXPECT_FALSE(installPending);

    /* The window is ended before the result is shown. */
    std::vector<std::string> order;
    for (const sim::Call &call : sim::trace())
        if (call.name == "EndDialog" || call.name == "MessageBoxA" || call.name == "SetForegroundWindow")
            order.push_back(call.name);
    EXPECT_EQ(order, (std::vector<std::string>{"SetForegroundWindow", "EndDialog", "MessageBoxA"}));
}

TEST_F(ProgressTest, RunStartsOnlyOnceThoughPaintsRepeat)
{
    packedWithWindow();
    package.install();
    sim::repaintDialogOnPump(true);  /* every pump pass finds a WM_PAINT for the dialog */
    package.saver = patternBytes(400000, 3);
    package.install();
    run();
    size_t starts = 0, paints = 0;
    for (UINT message : sim::dialogMessages()) {
        starts += message == MSG_START_INSTALL;
        paints += message == WM_PAINT;
    }
    EXPECT_GT(paints, 1u);
    EXPECT_GT(starts, 1u);
    size_t packageOpens = 0;
    for (const sim::Call &call : sim::callsNamed("CreateFileA"))
        packageOpens += call.args.at(0) == PACKAGE_PATH;
    EXPECT_EQ(packageOpens, 1u);
    EXPECT_EQ(contents("MYSAVER.SCR"), package.saver + package.append1);
}

TEST_F(ProgressTest, NoWindowWhenQuietStoredOrWithoutText)
{
    const struct {
        const char *what;
        uint32_t flags;
        const char *text;
    } cases[] = {
        {"quiet", PKG_PACKED | PKG_QUIET, "Installing..."},
        {"no progress text", PKG_PACKED, ""},
        {"stored", 0, "Installing..."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        packedWithWindow();
        package.config.flags = c.flags;
        package.setText(package.config.progressText, c.text);
        package.install();
        run();
        EXPECT_FALSE(sim::dialog().created);
        EXPECT_EQ(contents("MYSAVER.SCR"), package.saver + package.append1);
        EXPECT_TRUE(sim::callsNamed("DialogBoxParamA").empty());
    }
}

} // namespace
