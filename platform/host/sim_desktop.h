/* Control panel of the simulated desktop behind win32_api.h. Tests set the
 * scene (drive, Windows directory, the user's answers, windows, faults), run
 * installer code, then inspect files, the message boxes shown and the call
 * trace. Host only; never part of a shipped program. */
#ifndef QUORBELL_SIM_DESKTOP_H
#define QUORBELL_SIM_DESKTOP_H

#include "win32_api.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

/* Starts a fresh desktop: a new C: drive rooted in a new temporary folder,
 * Windows directory C:\WINDOWS (created), empty queues, no windows, no faults,
 * an empty trace. The previous drive folder is removed, as is the last one at
 * process exit. Before the first reset the file calls pass straight through
 * to the host (no trace, no faults); the controls below and the window calls
 * start a desktop themselves when none exists. */
void reset();
/* Removes the desktop and its folder: the calls pass through to the host
 * again, as before the first reset. */
void closeDesktop();

/* The host folder that holds drive C:. */
std::string driveRoot();

/* Maps a Windows path to the host: "C:\A\b.txt" (either slash) lies under
 * driveRoot(), each component matched to an existing entry ignoring case or
 * by its short name; a new name keeps its case. A path without a drive
 * letter is a host path and stays unchanged, so host tools keep working. */
std::string hostPath(const std::string &windowsPath);

/* Host-side helpers for arranging and inspecting the drive. */
void writeFile(const std::string &windowsPath, const std::string &bytes);
std::string readFile(const std::string &windowsPath);
bool fileExists(const std::string &windowsPath);

/* What GetWindowsDirectoryA reports; created on the drive if it fits. */
void setWindowsDirectory(const std::string &windowsPath);
/* Short (8.3) names FindFirstFileA reports as cAlternateFileName; without
 * an entry a long name gets a generated one ("LONGNA~1.SCR"). */
void setShortName(const std::string &windowsPath, const std::string &shortName);

/* The scripted user: MessageBoxA pops the next answer; with none queued it
 * answers IDNO to MB_YESNO and IDOK to anything else. */
void queueAnswer(int answer);
struct MessageBoxRecord {
    std::string text;
    std::string caption;
    UINT type;
};
const std::vector<MessageBoxRecord> &messageBoxes();

/* Top-level windows the test creates, found by FindWindowA through their
 * title. Messages posted to them are recorded. */
HWND createWindow(const std::string &title);
std::vector<UINT> messagesPostedTo(HWND window);
bool receivedQuit(HWND window);

/* Desktop rectangle reported by GetWindowRect(GetDesktopWindow()). */
void setDesktopSize(int width, int height);

/* The thread's message queue as PeekMessageA sees it. */
void postToQueue(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
size_t queueLength();

/* The progress dialog as DialogBoxParamA built it (window, controls). Its
 * size is the template's in pixels at dialog base units 6 x 13 (x * 6 / 4,
 * y * 13 / 8), at 0,0 until moved. The window lives while DialogBoxParamA
 * runs; this record stays until the next dialog or reset. */
struct DialogState {
    bool created = false;
    bool ended = false;
    INT_PTR endResult = 0;
    bool stalled = false;           /* the modal loop ran out of messages */
    RECT initialRect = {0, 0, 0, 0}; /* as built, in pixels */
    RECT rect = {0, 0, 0, 0};       /* after MoveWindow, in pixels */
    std::string text1001;           /* text of the static control */
    std::vector<LPARAM> ranges;     /* every PBM_SETRANGE lParam */
    std::vector<WPARAM> positions;  /* every PBM_SETPOS wParam */
};
const DialogState &dialog();
/* Messages dispatched to the dialog procedure, in order. */
const std::vector<UINT> &dialogMessages();
/* With repaint on, every call other than PeekMessageA, TranslateMessage and
 * DispatchMessageA leaves the running dialog to be repainted, as a window
 * uncovered while the program works: PeekMessageA then reports a WM_PAINT
 * for it whenever no posted message waits, until one is dispatched. Off by
 * default: the dialog's only WM_PAINT is the one its modal loop posts. */
void repaintDialogOnPump(bool on);

/* Fault injection. */
void failCreateFile(const std::string &windowsPath, int nth); /* nth open of it (1-based) fails */
void limitDiskSpace(uint64_t bytes, bool writeShort);  /* past it WriteFile fails, or writes short */
void limitPackageReads(const std::string &windowsPath, uint64_t bytes); /* reads end after bytes */
void lockFile(const std::string &windowsPath);     /* CreateFileA, DeleteFileA of it fail until unlocked */
void unlockOnQuit(const std::string &windowsPath, HWND window); /* WM_QUIT to window unlocks */

/* Profile and system settings as last written. */
bool screenSaverActivated();

/* The call trace: every Win32 call made since reset(), in order, with its
 * arguments rendered as text ("CreateFileA(C:\WINDOWS\a.scr, GENERIC_WRITE, 0,
 * CREATE_ALWAYS)"). Flags and messages by name where known (others in hex),
 * numbers in decimal, a file handle as the path it was opened with, a window
 * as "dialog", "dialog#1001", "desktop" or a test window's title, null as
 * "NULL". ReadFile and WriteFile record the byte counts asked and done;
 * SetFilePointer the file, distance and method. */
struct Call {
    std::string name;
    std::vector<std::string> args;
    std::string text() const;
};
const std::vector<Call> &trace();
std::vector<Call> callsNamed(const std::string &name);

} // namespace sim

#endif
