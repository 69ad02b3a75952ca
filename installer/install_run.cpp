#include "install_run.h"

#include "member_files.h"
#include "package_config.h"
#include "packed_members.h"
#include "progress_window.h"

#include <cstring>

const char *programPath = "";
HWND progressWindow = nullptr;
HANDLE currentMemberFile = INVALID_HANDLE_VALUE;
LONG nextMemberOffset = 0;

namespace {

const char MESSAGE_CAPTION[] = "Quorbell";
const char EXE_SUFFIX[] = ".exe";
const unsigned EXE_SUFFIX_LENGTH = 4;
const unsigned PACKAGE_PATH_BYTES = MAX_PATH + EXE_SUFFIX_LENGTH + 1;

HANDLE openForReading(const char *path)
{
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool endsWithExe(const char *path, size_t length)
{
    const char *suffix = path + length - EXE_SUFFIX_LENGTH;
    for (unsigned i = 0; i < EXE_SUFFIX_LENGTH; ++i) {
        char c = suffix[i];
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (c != EXE_SUFFIX[i])
            return false;
    }
    return true;
}

/* Positions the package at its payload. An offset outside the file cannot
 * hold the members, so the run fails before any member file exists. */
bool seekPayload(HANDLE package)
{
    DWORD packageSize = SetFilePointer(package, 0, nullptr, FILE_END);
    LONG payloadOffset = packageConfig.payloadOffset;
    if (payloadOffset < 0 || DWORD(payloadOffset) > packageSize)
        return false;
    SetFilePointer(package, payloadOffset, nullptr, FILE_BEGIN);
    nextMemberOffset = payloadOffset;
    return true;
}

bool copyStoredLeadAndSaver(HANDLE package)
{
    if (packageConfig.leadSize != 0) {
        bool ok = copyStoredMember(package, packageConfig.leadSize,
                                   windowsPath(packageConfig.leadName), LEAD_KEY);
        closeMemberFile();
        nextMemberOffset += LONG(packageConfig.leadSize);
        if (!ok)
            return false;
    }
    bool ok = copyStoredMember(package, packageConfig.saverSize,
                               windowsPath(packageConfig.saverName), SAVER_KEY);
    nextMemberOffset += LONG(packageConfig.saverSize);
    return ok;
}

bool extractTail(HANDLE package)
{
    if (configFlag(PKG_PACKED))
        return unpackMember(package, windowsPath(packageConfig.tailName));
    return copyStoredMember(package, packageConfig.tailSize, windowsPath(packageConfig.tailName),
                            TAIL_KEY);
}

/* Only a file this run created is removed: a failed upgrade must not take
 * away the saver that is already installed and registered. */
void deleteIfCreated(bool created, const char *name)
{
    if (!created)
        return;
    MemberPath path = windowsPath(name);
    if (path.valid)
        DeleteFileA(path.text);
}

void registerScreensaver()
{
    MemberPath saver = shortWindowsPath(packageConfig.saverName);
    WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", saver.text, "system.ini");
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr, SPIF_UPDATEINIFILE);
    HWND displayProperties = FindWindowA(nullptr, "Display Properties");
    if (displayProperties != nullptr)
        PostMessageA(displayProperties, WM_QUIT, 0, 0);
}

/* Everything between opening and closing the package; true on success. */
bool extractMembers(HANDLE package)
{
    if (!seekPayload(package))
        return false;

    bool ok = configFlag(PKG_PACKED) ? unpackLeadAndSaver(package) : copyStoredLeadAndSaver(package);
    if (ok)
        ok = unpackAppendedStreams(package);
    bool saverCreated = closeMemberFile();
    if (!ok) {
        deleteIfCreated(saverCreated, packageConfig.saverName);
        return false;
    }

    ok = extractTail(package);
    bool tailCreated = closeMemberFile();
    if (!ok) {
        deleteIfCreated(saverCreated, packageConfig.saverName);
        deleteIfCreated(tailCreated, packageConfig.tailName);
        return false;
    }
    registerScreensaver();
    if (hasText(packageConfig.successText))
        notifyUser(packageConfig.successText);
    return true;
}

} // namespace

bool closeMemberFile()
{
    if (currentMemberFile == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(currentMemberFile);
    currentMemberFile = INVALID_HANDLE_VALUE;
    return true;
}

bool packagePathWithExe(const char *path, char *out, unsigned outSize)
{
    size_t length = strnlen(path, outSize);
    bool addSuffix = length > EXE_SUFFIX_LENGTH && !endsWithExe(path, length);
    size_t needed = length + (addSuffix ? EXE_SUFFIX_LENGTH : 0) + 1;
    if (needed > outSize)
        return false;
    std::memcpy(out, path, length);
    if (addSuffix)
        std::memcpy(out + length, EXE_SUFFIX, EXE_SUFFIX_LENGTH);
    out[needed - 1] = '\0';
    return true;
}

HANDLE openPackage()
{
    HANDLE package = openForReading(programPath);
    if (package != INVALID_HANDLE_VALUE)
        return package;
    char withExe[PACKAGE_PATH_BYTES];
    if (!packagePathWithExe(programPath, withExe, sizeof withExe))
        return INVALID_HANDLE_VALUE;
    return openForReading(withExe);
}

void closeProgress()
{
    if (progressWindow == nullptr)
        return;
    if (!configFlag(PKG_QUIET))
        SetForegroundWindow(progressWindow);
    EndDialog(progressWindow, 1);
    progressWindow = nullptr;
}

void notifyUser(const char *text)
{
    closeProgress();
    if (!configFlag(PKG_QUIET))
        MessageBoxA(nullptr, text, MESSAGE_CAPTION, MB_OK);
}

void runInstall()
{
    bool ok = false;
    HANDLE package = openPackage();
    if (package != INVALID_HANDLE_VALUE) {
        ok = extractMembers(package);
        CloseHandle(package);
    }
    closeProgress();
    if (!ok)
        notifyUser(packageConfig.failureText);
}

int installMain()
{
    installProgressHooks();
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    unscrambleConfig();
    terminateConfigTexts();

    if (hasText(packageConfig.confirmText) &&
        MessageBoxA(nullptr, packageConfig.confirmText, MESSAGE_CAPTION, MB_YESNO) != IDYES)
        return 0;

    if (configFlag(PKG_PACKED) && !configFlag(PKG_QUIET) && hasText(packageConfig.progressText))
        showProgressWindow();
    else
        runInstall();
    return 0;
}
