#include "sim_test_support.h"

namespace {

class WindowsTest : public DesktopTest {};

TEST_F(WindowsTest, MessageBoxesPopQueuedAnswersAndRecordWhatWasShown)
{
    sim::queueAnswer(IDYES);
    EXPECT_EQ(MessageBoxA(nullptr, "Install?", "Quorbell", MB_YESNO), IDYES);
    EXPECT_EQ(MessageBoxA(nullptr, "Install?", "Quorbell", MB_YESNO), IDNO) << "unanswered: no";
    EXPECT_EQ(MessageBoxA(nullptr, nullptr, "Quorbell", MB_OK), IDOK) << "unanswered: ok";
    const std::vector<sim::MessageBoxRecord> &boxes = sim::messageBoxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].text, "Install?");
    EXPECT_EQ(boxes[0].caption, "Quorbell");
    EXPECT_EQ(boxes[0].type, UINT(MB_YESNO));
    EXPECT_EQ(boxes[2].text, "");
    EXPECT_EQ(boxes[2].type, UINT(MB_OK));
}

TEST_F(WindowsTest, FindWindowFindsTestWindowsByTitleOnly)
{
    HWND display = sim::createWindow("Display Properties");
    HWND other = sim::createWindow("Other");
    EXPECT_NE(display, nullptr);
    EXPECT_NE(display, other);
    EXPECT_EQ(FindWindowA(nullptr, "Display Properties"), display);
    EXPECT_EQ(FindWindowA(nullptr, "display properties"), display) << "titles compare ignoring case";
    EXPECT_EQ(FindWindowA(nullptr, "Other"), other);
    EXPECT_EQ(FindWindowA(nullptr, "Nothing"), nullptr);
    EXPECT_EQ(FindWindowA("SomeClass", "Other"), nullptr) << "test windows have no class";
}

TEST_F(WindowsTest, PostsToTestWindowsAreRecordedAndOthersQueued)
{
    HWND display = sim::createWindow("Display Properties");
    EXPECT_TRUE(PostMessageA(display, WM_CLOSE, 0, 0));
    EXPECT_FALSE(sim::receivedQuit(display));
    EXPECT_TRUE(PostMessageA(display, WM_QUIT, 0, 0));
    EXPECT_TRUE(sim::receivedQuit(display));
    EXPECT_EQ(sim::messagesPostedTo(display), (std::vector<UINT>{WM_CLOSE, WM_QUIT}));
    EXPECT_EQ(sim::queueLength(), 0u);

    EXPECT_TRUE(PostMessageA(nullptr, WM_USER + 3, 7, 9));
    EXPECT_EQ(sim::queueLength(), 1u);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_EQ(msg.message, UINT(WM_USER + 3));
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_EQ(msg.lParam, 9);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "empty queue";
    EXPECT_FALSE(PostMessageA(GetDesktopWindow(), WM_QUIT, 0, 0)) << "no queue for the desktop";
}

TEST_F(WindowsTest, PeekMessageTakesMessagesInOrderAndCanLeaveThem)
{
    sim::postToQueue(nullptr, WM_USER + 1);
    sim::postToQueue(nullptr, WM_USER + 2);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, UINT(WM_USER + 1));
    EXPECT_EQ(sim::queueLength(), 2u);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_USER + 2, WM_USER + 2, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_USER + 2)) << "filter range";
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_USER + 1));
    EXPECT_EQ(sim::queueLength(), 0u);
}

TEST_F(WindowsTest, DesktopRectangleFollowsTheSetSize)
{
    RECT rect;
    ASSERT_TRUE(GetWindowRect(GetDesktopWindow(), &rect));
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, 1024);
    EXPECT_EQ(rect.bottom, 768);
    sim::setDesktopSize(640, 480);
    ASSERT_TRUE(GetWindowRect(GetDesktopWindow(), &rect));
    EXPECT_EQ(rect.right, 640);
    EXPECT_EQ(rect.bottom, 480);
}

TEST_F(WindowsTest, StartUpCallsAnswerLikeTheSystem)
{
    EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
    EXPECT_EQ(GetModuleHandleA("other.dll"), nullptr);
    INITCOMMONCONTROLSEX init = {sizeof init, ICC_PROGRESS_CLASS};
    EXPECT_TRUE(InitCommonControlsEx(&init));
    init.dwSize = 4;
    EXPECT_FALSE(InitCommonControlsEx(&init));
}

} // namespace
