#include "progress_window.h"

#include "block_stream.h"
#include "install_run.h"
#include "package_config.h"
#include "progress_dialog.h"

bool installPending = true;
int64_t progressTotal = 0;
uint32_t pumpCalls = 0;
unsigned progressUnitShift = 10;

namespace {

const unsigned BASE_UNIT_SHIFT = 10;
const uint64_t RANGE_LIMIT = 0xFFFF;
uint32_t progressRange = 0;

/* The bar's upper bound in units of 1 << progressUnitShift bytes; the unit
 * doubles from 1024 until the members' total fits 16 bits. Shifts rather than
 * divisions keep 64-bit division code out of the installer. */
uint32_t chooseProgressRange()
{
    uint64_t total = uint64_t(packageConfig.leadSize) + packageConfig.saverSize +
                     packageConfig.appendSize1 + packageConfig.appendSize2 +
                     packageConfig.tailSize;
    progressUnitShift = BASE_UNIT_SHIFT;
    while ((total >> progressUnitShift) > RANGE_LIMIT)
        ++progressUnitShift;
    return uint32_t(total >> progressUnitShift);
}

void centreOnDesktop(HWND window)
{
    RECT desktop, own;
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(window, &own);
    int width = own.right - own.left + 1;
    int height = own.bottom - own.top + 1;
    MoveWindow(window, (desktop.right - desktop.left + 1 - width) / 2,
               (desktop.bottom - desktop.top + 1 - height) / 2, width, height, TRUE);
}

void initProgressDialog(HWND window)
{
    progressWindow = window;
    centreOnDesktop(window);
    SetWindowTextA(GetDlgItem(window, IDC_PROGRESS_TEXT), packageConfig.progressText);
    progressRange = chooseProgressRange();
    SendMessageA(GetDlgItem(window, IDC_PROGRESS_BAR), PBM_SETRANGE, 0,
                 MAKELPARAM(0, progressRange));
}

} // namespace

void installProgressHooks()
{
    onProgress = advanceProgress;
    onTick = pumpMessages;
}

void showProgressWindow()
{
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PROGRESS), nullptr,
                    progressDialogProc, 0);
}

INT_PTR CALLBACK progressDialogProc(HWND window, UINT message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        initProgressDialog(window);
        return TRUE;
    case WM_PAINT:
        /* The run starts once the window is on screen; returning FALSE
         * leaves the painting itself to the dialog manager. */
        PostMessageA(window, MSG_START_INSTALL, 0, 0);
        return FALSE;
    case MSG_START_INSTALL:
        if (installPending) {
            installPending = false;
            runInstall();
        }
        return FALSE;
    default:
        return FALSE;
    }
}

void advanceProgress(uint32_t byteCount)
{
    progressTotal += byteCount;
    if (progressWindow == nullptr)
        return;
    uint64_t position = uint64_t(progressTotal) >> progressUnitShift;
    if (position > progressRange)
        position = progressRange;
    SendMessageA(GetDlgItem(progressWindow, IDC_PROGRESS_BAR), PBM_SETPOS, WPARAM(position), 0);
}

void pumpMessages()
{
    if (++pumpCalls % PUMP_INTERVAL != 0)
        return;
    unsigned paintRun = 0;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_PAINT) {
            /* A window that keeps asking to be painted must not hold up the
             * install: the third paint in a row ends the pass. */
            if (++paintRun == PAINT_RUN_LIMIT)
                return;
        } else {
            if (paintRun != 0)
                pumpCalls = PUMP_INTERVAL - 1;
            paintRun = 0;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
