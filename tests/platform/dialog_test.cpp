#include "sim_test_support.h"

#include "progress_dialog.h"

namespace {

/* A tiny dialog procedure: what it does on each message is set per test. */
struct Script {
    bool endOnInit = false;
    bool endOnPaint = true;
    UINT endOn = 0;              /* a message that ends the dialog with 5 */
    bool postOnPaint = false;    /* WM_PAINT posts WM_USER + 3 */
    LPARAM initParam = 0;
    HWND window = nullptr;
};
Script script;

INT_PTR CALLBACK scriptedProc(HWND window, UINT message, WPARAM, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        script.window = window;
        script.initParam = lParam;
        if (script.endOnInit)
            EndDialog(window, 3);
        return TRUE;
    }
    if (message == WM_PAINT && script.postOnPaint)
        PostMessageA(window, WM_USER + 3, 0, 0);
    else if (message == WM_PAINT && script.endOnPaint)
        EndDialog(window, 4);
    if (script.endOn != 0 && message == script.endOn)
        EndDialog(window, 5);
    return FALSE;
}

class DialogTest : public DesktopTest {
protected:
    void SetUp() override
    {
        DesktopTest::SetUp();
        script = Script();
    }
    static INT_PTR show(LPARAM param = 0)
    {
        return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, scriptedProc,
                               param);
    }
};

TEST_F(DialogTest, InitThenFirstPaintThenEndDialogEndsIt)
{
    EXPECT_EQ(show(42), 4);
    EXPECT_EQ(sim::dialogMessages(), (std::vector<UINT>{WM_INITDIALOG, WM_PAINT}));
    EXPECT_EQ(script.initParam, 42);
    EXPECT_TRUE(sim::dialog().created);
    EXPECT_TRUE(sim::dialog().ended);
    EXPECT_FALSE(sim::dialog().stalled);
    EXPECT_EQ(sim::dialog().endResult, 4);
    EXPECT_EQ(sim::queueLength(), 0u);
}

TEST_F(DialogTest, EndDialogDuringInitSkipsTheLoop)
{
    script.endOnInit = true;
    EXPECT_EQ(show(), 3);
    EXPECT_EQ(sim::dialogMessages(), std::vector<UINT>{WM_INITDIALOG});
}

TEST_F(DialogTest, MessagesPostedToTheDialogAreDispatchedInOrder)
{
    script.postOnPaint = true;
    script.endOn = WM_USER + 3;
    sim::postToQueue(nullptr, WM_USER + 9);  /* a thread message: no procedure to reach */
    EXPECT_EQ(show(), 5);
    EXPECT_EQ(sim::dialogMessages(), (std::vector<UINT>{WM_INITDIALOG, WM_PAINT, WM_USER + 3}));
}

TEST_F(DialogTest, AnEmptyQueueBeforeEndDialogReturnsMinusOne)
{
    script.endOnPaint = false;
    EXPECT_EQ(show(), -1);
    EXPECT_TRUE(sim::dialog().stalled);
    EXPECT_FALSE(sim::dialog().ended);
}

TEST_F(DialogTest, OnlyTheProgressTemplateAndOneDialogAtATime)
{
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_PROGRESS + 1), nullptr, scriptedProc, 0), -1);
    EXPECT_EQ(DialogBoxParamA(nullptr, "PROGRESS", nullptr, scriptedProc, 0), -1);
    EXPECT_FALSE(sim::dialog().created);

    static INT_PTR nested = 0;
    nested = 0;
    struct Nesting {
        static INT_PTR CALLBACK proc(HWND window, UINT message, WPARAM, LPARAM)
        {
            if (message == WM_INITDIALOG) {
                nested = DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, scriptedProc, 0);
                EndDialog(window, 1);
            }
            return FALSE;
        }
    };
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, Nesting::proc, 0), 1);
    EXPECT_EQ(nested, -1);
}

/* What the installer's procedure does at WM_INITDIALOG, against the
 * geometry and controls of the template. */
INT_PTR CALLBACK centringProc(HWND window, UINT message, WPARAM, LPARAM)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    RECT desktop, own;
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(window, &own);
    LONG w = own.right - own.left + 1, h = own.bottom - own.top + 1;
    MoveWindow(window, (desktop.right - desktop.left + 1 - w) / 2, (desktop.bottom - desktop.top + 1 - h) / 2, w,
               h, TRUE);
    SetWindowTextA(GetDlgItem(window, IDC_PROGRESS_TEXT), "Copying...");
    SendMessageA(GetDlgItem(window, IDC_PROGRESS_BAR), PBM_SETRANGE, 0, MAKELPARAM(0, 5120));
    SendMessageA(GetDlgItem(window, IDC_PROGRESS_BAR), PBM_SETPOS, 1024, 0);
    EndDialog(window, 1);
    return TRUE;
}

TEST_F(DialogTest, ControlsAndGeometryComeFromTheTemplate)
{
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, centringProc, 0), 1);
    const sim::DialogState &dialog = sim::dialog();
    /* 140 x 33 dialog units are 210 x 53 pixels; one pixel larger after the
     * centring's +1, centred on 1025 x 769. */
    EXPECT_EQ(dialog.rect.left, (1025 - 211) / 2);
    EXPECT_EQ(dialog.rect.top, (769 - 54) / 2);
    EXPECT_EQ(dialog.rect.right - dialog.rect.left, 211);
    EXPECT_EQ(dialog.rect.bottom - dialog.rect.top, 54);
    EXPECT_EQ(dialog.initialRect.left, 0);
    EXPECT_EQ(dialog.initialRect.right, 210);
    EXPECT_EQ(dialog.initialRect.bottom, 53);
    EXPECT_EQ(dialog.text1001, "Copying...");
    EXPECT_EQ(dialog.ranges, std::vector<LPARAM>{MAKELPARAM(0, 5120)});
    EXPECT_EQ(dialog.positions, std::vector<WPARAM>{1024});
}

INT_PTR CALLBACK inspectingProc(HWND window, UINT message, WPARAM, LPARAM)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    script.window = window;
    RECT own;
    EXPECT_TRUE(GetWindowRect(window, &own));
    EXPECT_EQ(own.left, 0);
    EXPECT_EQ(own.top, 0);
    EXPECT_EQ(own.right, PROGRESS_DIALOG_WIDTH * 6 / 4);
    EXPECT_EQ(own.bottom, PROGRESS_DIALOG_HEIGHT * 13 / 8);
    EXPECT_EQ(sim::dialog().text1001, PROGRESS_DIALOG_DEFAULT_TEXT);
    HWND icon = GetDlgItem(window, -1), text = GetDlgItem(window, IDC_PROGRESS_TEXT),
         bar = GetDlgItem(window, IDC_PROGRESS_BAR);
    EXPECT_NE(icon, nullptr);
    EXPECT_NE(text, nullptr);
    EXPECT_NE(bar, nullptr);
    EXPECT_NE(icon, text);
    EXPECT_NE(text, bar);
    EXPECT_EQ(GetDlgItem(window, 999), nullptr);
    EXPECT_EQ(FindWindowA(nullptr, ""), nullptr) << "the dialog has no title to be found by";
    EXPECT_EQ(SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 7)), MAKELPARAM(0, 100)) << "previous range";
    EXPECT_TRUE(SetForegroundWindow(window));
    EndDialog(window, 1);
    return TRUE;
}

TEST_F(DialogTest, TheWindowAndItsControlsExistWhileTheDialogRuns)
{
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, inspectingProc, 0), 1);
    HWND window = script.window;
    EXPECT_EQ(GetDlgItem(window, IDC_PROGRESS_BAR), nullptr);
    EXPECT_FALSE(PostMessageA(window, WM_USER + 3, 0, 0)) << "the window is gone";
}

TEST_F(DialogTest, PumpedMessagesReachTheDialogThroughDispatch)
{
    struct Pumping {
        static INT_PTR CALLBACK proc(HWND window, UINT message, WPARAM, LPARAM)
        {
            if (message == WM_INITDIALOG) {
                PostMessageA(window, WM_USER + 7, 0, 0);
                PostMessageA(GetDlgItem(window, IDC_PROGRESS_BAR), WM_PAINT, 0, 0);
                MSG msg;
                while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                    TranslateMessage(&msg);
                    DispatchMessageA(&msg);
                }
                EndDialog(window, 2);
            }
            return FALSE;
        }
    };
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, Pumping::proc, 0), 2);
    EXPECT_EQ(sim::dialogMessages(), (std::vector<UINT>{WM_INITDIALOG, WM_USER + 7}))
        << "the bar's message is not the dialog's";
    EXPECT_EQ(sim::callsNamed("DispatchMessageA").size(), 2u);
}

/* Work in WM_USER + 3 with two pump passes, started from the first paint as
 * the installer does; later starts are ignored. */
INT_PTR CALLBACK workingProc(HWND window, UINT message, WPARAM, LPARAM)
{
    static bool started;
    if (message == WM_INITDIALOG)
        started = false;
    if (message == WM_PAINT)
        PostMessageA(window, WM_USER + 3, 0, 0);
    if (message != WM_USER + 3 || started)
        return FALSE;
    started = true;
    for (int pass = 0; pass < 2; pass++) {
        Sleep(0);
        PostMessageA(window, WM_USER + 8, 0, 0);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    EndDialog(window, 1);
    return FALSE;
}

TEST_F(DialogTest, RepaintOnPumpGivesEachPassOnePaintAfterThePostedMessages)
{
    sim::repaintDialogOnPump(true);
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, workingProc, 0), 1);
    const UINT START = WM_USER + 3, OTHER = WM_USER + 8;
    EXPECT_EQ(sim::dialogMessages(), (std::vector<UINT>{WM_INITDIALOG, WM_PAINT, START, OTHER, WM_PAINT, START,
                                                        OTHER, WM_PAINT, START}));
}

INT_PTR CALLBACK peekingProc(HWND window, UINT message, WPARAM, LPARAM)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    Sleep(0);
    MSG first, second;
    EXPECT_TRUE(PeekMessageA(&first, nullptr, 0, 0, PM_REMOVE));
    EXPECT_TRUE(PeekMessageA(&second, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(first.message, UINT(WM_PAINT));
    EXPECT_EQ(second.message, UINT(WM_PAINT)) << "a paint stays until dispatched";
    EXPECT_EQ(second.hwnd, window);
    DispatchMessageA(&second);
    EXPECT_FALSE(PeekMessageA(&first, nullptr, 0, 0, PM_REMOVE));
    EndDialog(window, 1);
    return TRUE;
}

TEST_F(DialogTest, RepaintingPaintIsNotRemovedByPeeking)
{
    sim::repaintDialogOnPump(true);
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, peekingProc, 0), 1);
}

} // namespace
