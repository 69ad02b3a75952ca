/* The progress window and the throttled message pump that keeps it alive
 * while the install runs inside its message handling. */
#ifndef QUORBELL_PROGRESS_WINDOW_H
#define QUORBELL_PROGRESS_WINDOW_H

#include "platform.h"

#include <cstdint>

constexpr UINT MSG_START_INSTALL = WM_USER + 3;
constexpr uint32_t PUMP_INTERVAL = 128;
constexpr unsigned PAINT_RUN_LIMIT = 3;

extern bool installPending;
/* Bytes reported so far; 64-bit so no package size can wrap it. */
extern int64_t progressTotal;
extern uint32_t pumpCalls;

/* Bytes per bar unit as a power of two: 1024 (shift 10), or more where the
 * members' total would not fit the bar's 16-bit range. */
extern unsigned progressUnitShift;

/* Connects the block stream's hooks to advanceProgress and pumpMessages. */
void installProgressHooks();

/* Shows the modal progress window; the run starts from its first paint and
 * the call returns once the run has ended the dialog. */
void showProgressWindow();

INT_PTR CALLBACK progressDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void advanceProgress(uint32_t byteCount);
void pumpMessages();

#endif
