/* The progress dialog: DialogBoxParamA builds the window of template
 * IDD_PROGRESS from the same constants as the resource script and runs a
 * modal loop over the thread's queue. The window exists only while
 * DialogBoxParamA runs; what it showed stays in sim::dialog() afterwards. */
#include "sim_internal.h"

#include "progress_dialog.h"

#include <cstdio>

using namespace sim::detail;

namespace {

/* Dialog units to pixels for 8-point MS Sans Serif at 96 dpi, whose dialog
 * base units are 6 x 13: x * 6 / 4 and y * 13 / 8. Only the client area is
 * modelled; the modal frame adds nothing here. */
LONG pixelsAcross(int units) { return units * 6 / 4; }
LONG pixelsDown(int units) { return units * 13 / 8; }

/* The controls in template order; each has the handle after the one before. */
const int CONTROL_IDS[] = {-1, IDC_PROGRESS_TEXT, IDC_PROGRESS_BAR};
const size_t CONTROL_COUNT = sizeof CONTROL_IDS / sizeof CONTROL_IDS[0];

HWND dialogHandle() { return reinterpret_cast<HWND>(DIALOG_WINDOW); }

HWND controlHandle(size_t slot) { return reinterpret_cast<HWND>(DIALOG_WINDOW + (slot + 1) * WINDOW_STEP); }

/* The id of a control handle of the running dialog; false for any other. */
bool controlIdOf(HWND window, int *id)
{
    if (!isDialogWindow(window))
        return false;
    for (size_t slot = 0; slot < CONTROL_COUNT; slot++) {
        if (window == controlHandle(slot)) {
            *id = CONTROL_IDS[slot];
            return true;
        }
    }
    return false;
}

bool isControl(HWND window, int id)
{
    int found = 0;
    return controlIdOf(window, &found) && found == id;
}

void openDialog(Desktop &d, DLGPROC proc)
{
    d.dialog = sim::DialogState();
    d.dialog.created = true;
    d.dialog.initialRect = RECT{0, 0, pixelsAcross(PROGRESS_DIALOG_WIDTH), pixelsDown(PROGRESS_DIALOG_HEIGHT)};
    d.dialog.rect = d.dialog.initialRect;
    d.dialog.text1001 = PROGRESS_DIALOG_DEFAULT_TEXT;
    d.dialogMessages.clear();
    d.dialogProc = proc;
    d.dialogRunning = true;
    d.dialogNeedsPaint = false;
    d.barRange = MAKELPARAM(0, 100);
    d.barPosition = 0;
}

/* Destroying the window takes its queued messages with it. */
void closeDialog(Desktop &d)
{
    for (auto it = d.queue.begin(); it != d.queue.end();)
        it = isDialogWindow(it->hwnd) ? d.queue.erase(it) : it + 1;
    d.dialogRunning = false;
    d.dialogProc = nullptr;
}

/* A real modal loop would wait for input when the queue runs dry; a test has
 * none to give, so that is recorded as a stall and the loop gives up. */
void runModalLoop(Desktop &d)
{
    while (!d.dialog.ended) {
        if (d.queue.empty() && d.dialogNeedsPaint) {
            deliverToDialog(d, WM_PAINT, 0, 0);
            continue;
        }
        if (d.queue.empty()) {
            d.dialog.stalled = true;
            std::fprintf(stderr, "simulated desktop: progress dialog's modal loop ran out of messages\n");
            return;
        }
        MSG msg = d.queue.front();
        d.queue.pop_front();
        if (msg.hwnd == dialogHandle())
            deliverToDialog(d, msg.message, msg.wParam, msg.lParam);
    }
}

} // namespace

namespace sim {
namespace detail {

bool isDialogWindow(HWND window)
{
    Desktop *d = desktop();
    uintptr_t value = reinterpret_cast<uintptr_t>(window);
    return d && d->dialogRunning && value >= DIALOG_WINDOW && value <= DIALOG_WINDOW + CONTROL_COUNT * WINDOW_STEP &&
           (value - DIALOG_WINDOW) % WINDOW_STEP == 0;
}

/* The default handling after a WM_PAINT validates the window. */
LRESULT deliverToDialog(Desktop &d, UINT message, WPARAM wParam, LPARAM lParam)
{
    d.dialogMessages.push_back(message);
    LRESULT result = d.dialogProc(dialogHandle(), message, wParam, lParam);
    if (message == WM_PAINT)
        d.dialogNeedsPaint = false;
    return result;
}

std::string dialogWindowName(HWND window)
{
    uintptr_t value = reinterpret_cast<uintptr_t>(window);
    if (value == DIALOG_WINDOW)
        return "dialog";
    for (size_t slot = 0; slot < CONTROL_COUNT; slot++)
        if (window == controlHandle(slot))
            return "dialog#" + decimal(CONTROL_IDS[slot]);
    return "";
}

} // namespace detail

const DialogState &dialog() { return desk().dialog; }

const std::vector<UINT> &dialogMessages() { return desk().dialogMessages; }

void repaintDialogOnPump(bool on) { desk().repaintOnPump = on; }

} // namespace sim

/* WM_INITDIALOG, then the first WM_PAINT through the queue, then every queued
 * message for the dialog until EndDialog; -1 when the loop cannot run. */
INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC proc, LPARAM initParam)
{
    Desktop &d = desk();
    uintptr_t resource = reinterpret_cast<uintptr_t>(templateName);
    bool byId = resource <= 0xffff;
    record("DialogBoxParamA", {handleName(instance), byId ? decimal(static_cast<long long>(resource)) : str(templateName),
                               windowName(owner), decimal(initParam)});
    if (!byId || resource != IDD_PROGRESS || !proc || d.dialogRunning)
        return -1;

    openDialog(d, proc);
    deliverToDialog(d, WM_INITDIALOG, 0, initParam);
    if (!d.dialog.ended) {
        d.queue.push_back(MSG{dialogHandle(), WM_PAINT, 0, 0, 0, {0, 0}});
        runModalLoop(d);
    }
    closeDialog(d);
    return d.dialog.stalled ? -1 : d.dialog.endResult;
}

BOOL WINAPI EndDialog(HWND dialog, INT_PTR result)
{
    Desktop &d = desk();
    record("EndDialog", {windowName(dialog), decimal(result)});
    if (dialog != dialogHandle() || !isDialogWindow(dialog))
        return FALSE;
    d.dialog.ended = true;
    d.dialog.endResult = result;
    return TRUE;
}

HWND WINAPI GetDlgItem(HWND dialog, int id)
{
    desk();
    record("GetDlgItem", {windowName(dialog), decimal(id)});
    if (dialog != dialogHandle() || !isDialogWindow(dialog))
        return nullptr;
    for (size_t slot = 0; slot < CONTROL_COUNT; slot++)
        if (CONTROL_IDS[slot] == id)
            return controlHandle(slot);
    return nullptr;
}

/* Only the static text's content is kept; the dialog has no caption bar. */
BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text)
{
    Desktop &d = desk();
    record("SetWindowTextA", {windowName(window), str(text)});
    if (!isDialogWindow(window))
        return FALSE;
    if (isControl(window, IDC_PROGRESS_TEXT))
        d.dialog.text1001 = str(text);
    return TRUE;
}

/* The progress bar answers its two messages with the previous setting, as
 * the common control does. */
LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Desktop &d = desk();
    record("SendMessageA", {windowName(window), messageName(message), decimal(wParam), decimal(lParam)});
    if (!isControl(window, IDC_PROGRESS_BAR))
        return 0;
    LRESULT previous = 0;
    if (message == PBM_SETRANGE) {
        previous = d.barRange;
        d.barRange = lParam;
        d.dialog.ranges.push_back(lParam);
    } else if (message == PBM_SETPOS) {
        previous = static_cast<LRESULT>(d.barPosition);
        d.barPosition = wParam;
        d.dialog.positions.push_back(wParam);
    }
    return previous;
}
