/* State shared by the pieces of the simulated desktop. Everything lives in one
 * Desktop object that sim::reset() replaces; before the first reset there is
 * none, and the file calls pass straight through to the host. */
#ifndef QUORBELL_SIM_INTERNAL_H
#define QUORBELL_SIM_INTERNAL_H

#include "sim_desktop.h"

#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace sim {
namespace detail {

/* A file handle is its host descriptor plus one, so it is never null and never
 * INVALID_HANDLE_VALUE. The desktop keeps what sharing and faults need. */
struct OpenFile {
    std::string key;          /* pathKey() of the file */
    std::string windowsPath;  /* as the caller gave it, for the trace */
    DWORD access = 0;
    DWORD share = 0;
    bool readLimited = false;
    uint64_t readLimit = 0;
};

struct TestWindow {
    std::string title;
    std::vector<UINT> posted;
};

struct Desktop {
    std::string tempFolder;   /* mkdtemp folder; drive C: is its "C" child */
    std::string windowsDirectory = "C:\\WINDOWS";
    std::map<std::string, std::string> shortNames;  /* pathKey -> 8.3 name */

    std::map<int, OpenFile> files;  /* by host descriptor */
    std::set<HANDLE> finds;
    uintptr_t nextFind = 0;

    std::deque<int> answers;
    std::vector<MessageBoxRecord> boxes;
    std::vector<TestWindow> windows;
    std::vector<std::pair<HWND, std::string>> unlockOnQuit;  /* window, pathKey */
    RECT desktopRect = {0, 0, 1024, 768};
    std::deque<MSG> queue;

    DialogState dialog;
    std::vector<UINT> dialogMessages;
    DLGPROC dialogProc = nullptr;
    bool dialogRunning = false;  /* inside DialogBoxParamA: the window exists */
    bool repaintOnPump = false;
    bool dialogNeedsPaint = false;
    LPARAM barRange = MAKELPARAM(0, 100);
    WPARAM barPosition = 0;

    std::map<std::string, std::set<int>> failOpens;  /* pathKey -> attempt numbers */
    std::map<std::string, int> openAttempts;
    bool diskLimited = false;
    bool writeShort = false;
    uint64_t diskLimit = 0;
    uint64_t bytesWritten = 0;
    std::map<std::string, uint64_t> readLimits;
    std::set<std::string> locked;

    bool screenSaverActive = false;
    std::vector<Call> trace;
};

/* Window handles are fixed values, one range per kind of window. */
const uintptr_t DIALOG_WINDOW = 0x10000;  /* its controls follow in steps of 0x10 */
const uintptr_t DESKTOP_WINDOW = 0x20000;
const uintptr_t FIRST_TEST_WINDOW = 0x30000;
const uintptr_t WINDOW_STEP = 0x10;
const uintptr_t PROGRAM_INSTANCE = 0x400000;

/* The desktop after reset(), or null before it (pass-through mode). */
Desktop *desktop();
/* The desktop a test control works on; a control used before reset() starts one. */
Desktop &desk();

/* Identity of a file for sharing and faults: the host path, lower-cased for
 * a drive path so that every spelling of one Windows path shares a key. */
std::string pathKey(const std::string &windowsPath);

bool isDrivePath(const std::string &path);

/* Windows' 8.3 alias for a long name ("LONGNA~1.SCR"), "" for a name that
 * already is a valid short name. */
std::string generatedShortName(const std::string &longName);
/* The short name FindFirstFileA reports for a file: one set by the test,
 * else the generated one. */
std::string shortNameOfHostPath(const std::string &hostPath);

/* The progress dialog while DialogBoxParamA runs (sim_dialog.cpp). */
bool isDialogWindow(HWND window);  /* the dialog or one of its controls */
LRESULT deliverToDialog(Desktop &d, UINT message, WPARAM wParam, LPARAM lParam);
std::string dialogWindowName(HWND window);  /* "" when not the dialog's */

/* Appends to the trace; only called with a desktop present. */
void record(const char *name, std::vector<std::string> args);

std::string str(const char *text);  /* "" for null */
std::string decimal(long long value);
std::string hexWord(unsigned value);
std::string accessName(DWORD access);
std::string shareName(DWORD share);
std::string dispositionName(DWORD disposition);
std::string methodName(DWORD method);
std::string messageName(UINT message);
std::string handleName(HANDLE handle);
std::string windowName(HWND window);

} // namespace detail
} // namespace sim

#endif
