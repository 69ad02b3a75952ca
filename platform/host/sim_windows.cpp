/* Windows, message boxes and the thread's message queue of the simulated
 * desktop. The test plays the user (queued answers) and the other programs
 * (windows it creates, which only collect what is posted to them). */
#include "sim_internal.h"

#include <algorithm>
#include <strings.h>

using namespace sim::detail;

namespace {

HWND windowAt(uintptr_t value) { return reinterpret_cast<HWND>(value); }

TestWindow *testWindowOf(Desktop &d, HWND window)
{
    uintptr_t value = reinterpret_cast<uintptr_t>(window);
    if (value < FIRST_TEST_WINDOW || (value - FIRST_TEST_WINDOW) % WINDOW_STEP != 0)
        return nullptr;
    size_t index = (value - FIRST_TEST_WINDOW) / WINDOW_STEP;
    return index < d.windows.size() ? &d.windows[index] : nullptr;
}

bool isKnownWindow(Desktop &d, HWND window)
{
    return isDialogWindow(window) || testWindowOf(d, window) || window == windowAt(DESKTOP_WINDOW);
}

std::string boxTypeName(UINT type)
{
    switch (type) {
    case MB_OK: return "MB_OK";
    case MB_YESNO: return "MB_YESNO";
    default: return hexWord(type);
    }
}

bool messageMatches(const MSG &msg, HWND window, UINT filterMin, UINT filterMax)
{
    if (window && msg.hwnd != window)
        return false;
    return (filterMin == 0 && filterMax == 0) || (msg.message >= filterMin && msg.message <= filterMax);
}

/* A quit request to a window that holds a file open lets the file go. */
void releaseLocksOf(Desktop &d, HWND window)
{
    for (const auto &entry : d.unlockOnQuit)
        if (entry.first == window)
            d.locked.erase(entry.second);
}

} // namespace

namespace sim {
namespace detail {

std::string windowName(HWND window)
{
    if (!window)
        return "NULL";
    if (window == windowAt(DESKTOP_WINDOW))
        return "desktop";
    std::string name = dialogWindowName(window);
    if (!name.empty())
        return name;
    if (Desktop *d = desktop())
        if (TestWindow *test = testWindowOf(*d, window))
            return test->title;
    return handleName(window);
}

} // namespace detail

void queueAnswer(int answer) { desk().answers.push_back(answer); }

const std::vector<MessageBoxRecord> &messageBoxes() { return desk().boxes; }

HWND createWindow(const std::string &title)
{
    Desktop &d = desk();
    d.windows.push_back(TestWindow{title, {}});
    return windowAt(FIRST_TEST_WINDOW + (d.windows.size() - 1) * WINDOW_STEP);
}

std::vector<UINT> messagesPostedTo(HWND window)
{
    TestWindow *test = testWindowOf(desk(), window);
    return test ? test->posted : std::vector<UINT>();
}

bool receivedQuit(HWND window)
{
    std::vector<UINT> posted = messagesPostedTo(window);
    return std::find(posted.begin(), posted.end(), UINT(WM_QUIT)) != posted.end();
}

void setDesktopSize(int width, int height) { desk().desktopRect = RECT{0, 0, width, height}; }

void postToQueue(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    desk().queue.push_back(MSG{window, message, wParam, lParam, 0, {0, 0}});
}

size_t queueLength() { return desk().queue.size(); }

} // namespace sim

/* Unanswered questions get the answer that changes nothing. */
int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    Desktop &d = desk();
    record("MessageBoxA", {windowName(owner), str(text), str(caption), boxTypeName(type)});
    d.boxes.push_back(sim::MessageBoxRecord{str(text), str(caption), type});
    if (!d.answers.empty()) {
        int answer = d.answers.front();
        d.answers.pop_front();
        return answer;
    }
    return (type & 0xf) == MB_YESNO ? IDNO : IDOK;
}

/* Test windows have a title but no class; the dialog has neither. */
HWND WINAPI FindWindowA(LPCSTR className, LPCSTR windowName)
{
    Desktop &d = desk();
    record("FindWindowA", {className ? className : "NULL", windowName ? windowName : "NULL"});
    if (className)
        return nullptr;
    for (size_t i = 0; i < d.windows.size(); i++)
        if (!windowName || strcasecmp(d.windows[i].title.c_str(), windowName) == 0)
            return windowAt(FIRST_TEST_WINDOW + i * WINDOW_STEP);
    return nullptr;
}

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Desktop &d = desk();
    record("PostMessageA", {windowName(window), messageName(message), decimal(wParam), decimal(lParam)});
    if (TestWindow *test = testWindowOf(d, window)) {
        test->posted.push_back(message);
        if (message == WM_QUIT)
            releaseLocksOf(d, window);
        return TRUE;
    }
    if (window && !isDialogWindow(window))
        return FALSE;
    d.queue.push_back(MSG{window, message, wParam, lParam, 0, {0, 0}});
    return TRUE;
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT remove)
{
    Desktop &d = desk();
    record("PeekMessageA", {windowName(window), decimal(filterMin), decimal(filterMax),
                            remove & PM_REMOVE ? "PM_REMOVE" : "PM_NOREMOVE"});
    if (!msg)
        return FALSE;
    for (auto it = d.queue.begin(); it != d.queue.end(); ++it) {
        if (!messageMatches(*it, window, filterMin, filterMax))
            continue;
        *msg = *it;
        if (remove & PM_REMOVE)
            d.queue.erase(it);
        return TRUE;
    }
    /* A window to repaint yields WM_PAINT after all posted messages; it stays
     * until dispatched, whatever PM_REMOVE says. */
    const MSG paint = {windowAt(DIALOG_WINDOW), WM_PAINT, 0, 0, 0, {0, 0}};
    if (d.dialogNeedsPaint && isDialogWindow(paint.hwnd) && messageMatches(paint, window, filterMin, filterMax)) {
        *msg = paint;
        return TRUE;
    }
    return FALSE;
}

/* No message of ours is a key press, so nothing is ever translated. */
BOOL WINAPI TranslateMessage(const MSG *msg)
{
    record("TranslateMessage", {msg ? windowName(msg->hwnd) : "NULL", msg ? messageName(msg->message) : ""});
    return FALSE;
}

/* Only the dialog has a procedure here; other messages end with the trace. */
LRESULT WINAPI DispatchMessageA(const MSG *msg)
{
    Desktop &d = desk();
    record("DispatchMessageA", {msg ? windowName(msg->hwnd) : "NULL", msg ? messageName(msg->message) : ""});
    if (!msg || msg->hwnd != windowAt(DIALOG_WINDOW) || !isDialogWindow(msg->hwnd))
        return 0;
    return deliverToDialog(d, msg->message, msg->wParam, msg->lParam);
}

HWND WINAPI GetDesktopWindow(void)
{
    record("GetDesktopWindow", {});
    return windowAt(DESKTOP_WINDOW);
}

/* Only the desktop and the dialog itself have a geometry here. */
BOOL WINAPI GetWindowRect(HWND window, RECT *rect)
{
    Desktop &d = desk();
    record("GetWindowRect", {windowName(window)});
    if (!rect)
        return FALSE;
    if (window == windowAt(DESKTOP_WINDOW))
        *rect = d.desktopRect;
    else if (window == windowAt(DIALOG_WINDOW) && isDialogWindow(window))
        *rect = d.dialog.rect;
    else
        return FALSE;
    return TRUE;
}

BOOL WINAPI MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint)
{
    Desktop &d = desk();
    record("MoveWindow", {windowName(window), decimal(x), decimal(y), decimal(width), decimal(height),
                          repaint ? "TRUE" : "FALSE"});
    if (window == windowAt(DIALOG_WINDOW) && isDialogWindow(window)) {
        d.dialog.rect = RECT{x, y, x + width, y + height};
        return TRUE;
    }
    return testWindowOf(d, window) != nullptr;
}

BOOL WINAPI SetForegroundWindow(HWND window)
{
    Desktop &d = desk();
    record("SetForegroundWindow", {windowName(window)});
    return window != windowAt(DESKTOP_WINDOW) && isKnownWindow(d, window);
}

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName)
{
    desk();
    record("GetModuleHandleA", {moduleName ? moduleName : "NULL"});
    return moduleName ? nullptr : reinterpret_cast<HMODULE>(PROGRAM_INSTANCE);
}

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX *init)
{
    desk();
    if (!init) {
        record("InitCommonControlsEx", {"NULL"});
        return FALSE;
    }
    record("InitCommonControlsEx",
           {decimal(init->dwSize), init->dwICC == ICC_PROGRESS_CLASS ? "ICC_PROGRESS_CLASS" : hexWord(init->dwICC)});
    return init->dwSize == sizeof(INITCOMMONCONTROLSEX);
}
