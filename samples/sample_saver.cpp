/* quorbell-sample.scr: a small screensaver of our own, the saver member of
 * the sample package. It follows the screensaver command line:
 *
 *   /s          full screen until the mouse moves or a key is pressed
 *   /c[:hwnd]   its settings (a message box: there are none)
 *   /p hwnd     a preview inside the given window (Display Properties)
 *   (nothing)   the same as /c
 *
 * It draws one line of text bouncing across a black screen. The line is the
 * default below unless the file ends with an appended message: the last
 * "QBMSG:" marker within the file's final MESSAGE_SCAN_BYTES bytes, up to the
 * next line break. The sample package appends such a message as a stream. */
#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace {

const char WINDOW_CLASS[] = "QuorbellSampleSaver";
const char CAPTION[] = "Quorbell Sample Saver";
const char DEFAULT_MESSAGE[] = "Quorbell";
const char MESSAGE_MARKER[] = "QBMSG:";
constexpr DWORD MESSAGE_SCAN_BYTES = 256;
constexpr int MESSAGE_CHARS = 63;
constexpr UINT_PTR FRAME_TIMER = 1;
constexpr UINT FRAME_MILLISECONDS = 40;
/* Full-screen mode ignores mouse jitter below this many pixels. */
constexpr int MOUSE_SLACK = 4;

enum SaverMode { MODE_CONFIGURE, MODE_FULL_SCREEN, MODE_PREVIEW };

struct SaverState {
    SaverMode mode;
    char message[MESSAGE_CHARS + 1];
    int x, y, dx, dy;
    int hue;
    bool haveMouse;
    POINT firstMouse;
    HFONT font;
};

SaverState saver = {MODE_CONFIGURE, "", 0, 0, 3, 2, 0, false, {0, 0}, nullptr};

/* Reads the appended message, if any, from the end of this program's file. */
void loadMessage()
{
    std::strcpy(saver.message, DEFAULT_MESSAGE);
    char path[MAX_PATH];
    DWORD pathLength = GetModuleFileNameA(nullptr, path, sizeof path);
    if (pathLength == 0 || pathLength >= sizeof path)
        return;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    char tail[MESSAGE_SCAN_BYTES + 1];
    DWORD got = 0;
    DWORD size = GetFileSize(file, nullptr);
    if (size != INVALID_FILE_SIZE) {
        DWORD start = size > MESSAGE_SCAN_BYTES ? size - MESSAGE_SCAN_BYTES : 0;
        SetFilePointer(file, static_cast<LONG>(start), nullptr, FILE_BEGIN);
        if (!ReadFile(file, tail, MESSAGE_SCAN_BYTES, &got, nullptr))
            got = 0;
    }
    CloseHandle(file);

    /* The tail may hold NULs (it is the end of an executable), so search it
     * byte by byte rather than as a string. */
    const DWORD markerLength = sizeof MESSAGE_MARKER - 1;
    const char *found = nullptr;
    for (DWORD i = 0; i + markerLength <= got; i++)
        if (std::memcmp(tail + i, MESSAGE_MARKER, markerLength) == 0)
            found = tail + i + markerLength;
    if (found == nullptr)
        return;
    const char *end = tail + got;
    int length = 0;
    while (found + length < end && length < MESSAGE_CHARS && found[length] != '\r' &&
           found[length] != '\n' && found[length] != '\0')
        length++;
    if (length == 0)
        return;
    std::memcpy(saver.message, found, static_cast<size_t>(length));
    saver.message[length] = '\0';
}

/* A colour wheel in 192 steps; one channel is always full, so the text
 * stays bright on black. */
COLORREF hueColour(int hue)
{
    int phase = hue % 192;
    int ramp = (phase % 64) * 4;
    switch (phase / 64) {
    case 0:
        return RGB(255, ramp, 255 - ramp);
    case 1:
        return RGB(255 - ramp, 255, ramp);
    default:
        return RGB(ramp, 255 - ramp, 255);
    }
}

/* The text is a twenty-fourth of the window's height, so a preview shows it
 * too. */
void createFont(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    int height = client.bottom / 24 > 8 ? client.bottom / 24 : 8;
    saver.font = CreateFontA(-height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_SWISS, "Arial");
}

/* Moves the text one step, bouncing off the client edges. */
void stepText(HWND window, HDC dc)
{
    RECT client;
    GetClientRect(window, &client);
    HGDIOBJ oldFont = SelectObject(dc, saver.font);
    SIZE text;
    GetTextExtentPoint32A(dc, saver.message, static_cast<int>(std::strlen(saver.message)), &text);
    SelectObject(dc, oldFont);
    int maxX = client.right - text.cx;
    int maxY = client.bottom - text.cy;
    saver.x += saver.dx;
    saver.y += saver.dy;
    if (saver.x < 0 || saver.x > maxX) {
        saver.dx = -saver.dx;
        saver.x = saver.x < 0 ? 0 : (maxX > 0 ? maxX : 0);
    }
    if (saver.y < 0 || saver.y > maxY) {
        saver.dy = -saver.dy;
        saver.y = saver.y < 0 ? 0 : (maxY > 0 ? maxY : 0);
    }
    saver.hue++;
}

void paint(HWND window)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT client;
    GetClientRect(window, &client);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, hueColour(saver.hue));
    HGDIOBJ oldFont = SelectObject(dc, saver.font);
    TextOutA(dc, saver.x, saver.y, saver.message, static_cast<int>(std::strlen(saver.message)));
    SelectObject(dc, oldFont);
    EndPaint(window, &ps);
}

/* In full-screen mode any real input ends the saver; a preview only ends
 * with its parent. */
bool endsSaver(UINT message, LPARAM lParam)
{
    if (saver.mode != MODE_FULL_SCREEN)
        return false;
    switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        return true;
    case WM_MOUSEMOVE: {
        POINT at = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (!saver.haveMouse) {
            saver.haveMouse = true;
            saver.firstMouse = at;
            return false;
        }
        return abs(at.x - saver.firstMouse.x) > MOUSE_SLACK ||
               abs(at.y - saver.firstMouse.y) > MOUSE_SLACK;
    }
    default:
        return false;
    }
}

LRESULT CALLBACK saverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (endsSaver(message, lParam)) {
        DestroyWindow(window);
        return 0;
    }
    switch (message) {
    case WM_CREATE:
        createFont(window);
        SetTimer(window, FRAME_TIMER, FRAME_MILLISECONDS, nullptr);
        return 0;
    case WM_TIMER: {
        /* The preview's parent belongs to another process, whose end need
         * not destroy this window: look for it every frame. */
        if (saver.mode == MODE_PREVIEW && !IsWindow(GetParent(window))) {
            DestroyWindow(window);
            return 0;
        }
        HDC dc = GetDC(window);
        stepText(window, dc);
        ReleaseDC(window, dc);
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    }
    case WM_PAINT:
        paint(window);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SETCURSOR:
        if (saver.mode == MODE_FULL_SCREEN) {
            SetCursor(nullptr);
            return TRUE;
        }
        break;
    case WM_ACTIVATEAPP:
        if (saver.mode == MODE_FULL_SCREEN && !wParam) {
            DestroyWindow(window);
            return 0;
        }
        break;
    case WM_NCDESTROY:
        /* The last message a window gets, also when Wine destroys a preview
         * along with a parent of another process and sends no WM_DESTROY. */
        KillTimer(window, FRAME_TIMER);
        if (saver.font != nullptr)
            DeleteObject(saver.font);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

/* Skips blanks and an optional ':' before a window handle written in
 * decimal, as "/p 1234" and "/c:1234" both occur. */
HWND parseWindowArgument(const char *text)
{
    while (*text == ' ' || *text == '\t' || *text == ':')
        text++;
    UINT_PTR value = 0;
    while (*text >= '0' && *text <= '9')
        value = value * 10 + static_cast<UINT_PTR>(*text++ - '0');
    return reinterpret_cast<HWND>(value);
}

/* Returns the text after the program name in a Windows command line. */
const char *skipProgramName(const char *commandLine)
{
    if (*commandLine == '"') {
        commandLine++;
        while (*commandLine != '\0' && *commandLine != '"')
            commandLine++;
        if (*commandLine == '"')
            commandLine++;
    } else {
        while (*commandLine != '\0' && *commandLine != ' ' && *commandLine != '\t')
            commandLine++;
    }
    while (*commandLine == ' ' || *commandLine == '\t')
        commandLine++;
    return commandLine;
}

int runMessageLoop()
{
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

int configure(HWND owner)
{
    MessageBoxA(owner, "This screensaver has no settings.", CAPTION, MB_OK | MB_ICONINFORMATION);
    return 0;
}

bool registerSaverClass(HINSTANCE instance)
{
    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = saverProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.lpszClassName = WINDOW_CLASS;
    return RegisterClassA(&windowClass) != 0;
}

int runFullScreen(HINSTANCE instance)
{
    int width = GetSystemMetrics(SM_CXSCREEN);
    int height = GetSystemMetrics(SM_CYSCREEN);
    HWND window = CreateWindowExA(WS_EX_TOPMOST, WINDOW_CLASS, CAPTION, WS_POPUP | WS_VISIBLE, 0,
                                  0, width, height, nullptr, nullptr, instance, nullptr);
    if (window == nullptr)
        return 1;
    SetForegroundWindow(window);
    return runMessageLoop();
}

int runPreview(HINSTANCE instance, HWND parent)
{
    if (!IsWindow(parent))
        return 1;
    RECT area;
    GetClientRect(parent, &area);
    HWND window = CreateWindowExA(0, WINDOW_CLASS, CAPTION, WS_CHILD | WS_VISIBLE, 0, 0,
                                  area.right, area.bottom, parent, nullptr, instance, nullptr);
    if (window == nullptr)
        return 1;
    return runMessageLoop();
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    const char *arguments = skipProgramName(GetCommandLineA());
    char option = 'c';
    if (arguments[0] == '/' || arguments[0] == '-') {
        option = static_cast<char>(arguments[1] | 0x20);
        arguments += arguments[1] != '\0' ? 2 : 1;
    }
    loadMessage();
    switch (option) {
    case 's':
        saver.mode = MODE_FULL_SCREEN;
        return registerSaverClass(instance) ? runFullScreen(instance) : 1;
    case 'p':
        saver.mode = MODE_PREVIEW;
        return registerSaverClass(instance) ? runPreview(instance, parseWindowArgument(arguments))
                                            : 1;
    default:
        return configure(parseWindowArgument(arguments));
    }
}
