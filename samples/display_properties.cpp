/* display-properties.exe: a stand-in for the system's display control panel
 * in end-to-end tests. It opens a top-level window titled "Display
 * Properties" and runs until a WM_QUIT arrives in its message queue, which
 * is what an installer posts to that window.
 *
 *   display-properties.exe [--hold FILE] [--status FILE] [--timeout SECONDS]
 *
 * --hold FILE     opens (creating if needed) FILE with no sharing and keeps it
 *                 open until the WM_QUIT, so nobody else can open it meanwhile
 * --status FILE   writes "ready HWND" once the window exists and FILE is held
 *                 (HWND in decimal, for a saver's /p preview), and "quit"
 *                 after the WM_QUIT, once the held file is closed
 * --timeout N     gives up after N seconds (default 60): writes "timeout"
 *
 * Exit code: 0 after a WM_QUIT, 2 on timeout, 3 when the file cannot be held
 * or the window cannot be made, 4 on a bad command line. */
#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace {

const char WINDOW_CLASS[] = "QuorbellDisplayProperties";
const char WINDOW_TITLE[] = "Display Properties";
constexpr UINT_PTR GIVE_UP_TIMER = 1;
constexpr int EXIT_QUIT = 0;
constexpr int EXIT_TIMEOUT = 2;
constexpr int EXIT_SETUP_FAILED = 3;
constexpr int EXIT_USAGE = 4;

const char *statusPath = nullptr;

void writeStatus(const char *status)
{
    if (statusPath == nullptr)
        return;
    HANDLE file = CreateFileA(statusPath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written;
    WriteFile(file, status, static_cast<DWORD>(std::strlen(status)), &written, nullptr);
    CloseHandle(file);
}

/* The timer is the only thing the window handles itself; it must not post a
 * WM_QUIT, which would look like the message under test. */
LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TIMER && wParam == GIVE_UP_TIMER) {
        writeStatus("timeout");
        ExitProcess(EXIT_TIMEOUT);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND createWindow(HINSTANCE instance)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = WINDOW_CLASS;
    if (RegisterClassA(&windowClass) == 0)
        return nullptr;
    return CreateWindowExA(0, WINDOW_CLASS, WINDOW_TITLE, WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE,
                           20, 20, 320, 120, nullptr, nullptr, instance, nullptr);
}

} // namespace

int main(int argc, char **argv)
{
    const char *holdPath = nullptr;
    long timeoutSeconds = 60;
    for (int i = 1; i < argc; i++) {
        if (i + 1 >= argc)
            return EXIT_USAGE;
        if (std::strcmp(argv[i], "--hold") == 0)
            holdPath = argv[++i];
        else if (std::strcmp(argv[i], "--status") == 0)
            statusPath = argv[++i];
        else if (std::strcmp(argv[i], "--timeout") == 0)
            timeoutSeconds = std::strtol(argv[++i], nullptr, 10);
        else
            return EXIT_USAGE;
    }
    if (timeoutSeconds <= 0 || timeoutSeconds > 3600)
        return EXIT_USAGE;

    HANDLE held = INVALID_HANDLE_VALUE;
    if (holdPath != nullptr) {
        held = CreateFileA(holdPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (held == INVALID_HANDLE_VALUE)
            return EXIT_SETUP_FAILED;
    }
    HWND window = createWindow(GetModuleHandleA(nullptr));
    if (window == nullptr)
        return EXIT_SETUP_FAILED;
    SetTimer(window, GIVE_UP_TIMER, static_cast<UINT>(timeoutSeconds * 1000), nullptr);
    char ready[32];
    wsprintfA(ready, "ready %lu", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(window)));
    writeStatus(ready);

    MSG message;
    BOOL got;
    while ((got = GetMessageA(&message, nullptr, 0, 0)) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    if (got < 0)
        return EXIT_SETUP_FAILED;
    if (held != INVALID_HANDLE_VALUE)
        CloseHandle(held);
    writeStatus("quit");
    return EXIT_QUIT;
}
