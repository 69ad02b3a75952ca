#include "sim_test_support.h"

namespace {

class TraceTest : public DesktopTest {};

TEST_F(TraceTest, CallsAreRecordedInOrderWithArgumentsAsText)
{
    HANDLE file = createForWriting("C:\\WINDOWS\\a.scr");
    char buffer[16384] = {};
    DWORD count;
    WriteFile(file, buffer, 100, &count, nullptr);
    SetFilePointer(file, -5, nullptr, FILE_END);
    CloseHandle(file);
    HANDLE package = openFile("C:\\WINDOWS\\a.scr", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    ReadFile(package, buffer, 16384, &count, nullptr);
    CloseHandle(package);
    PostMessageA(sim::createWindow("Display Properties"), WM_QUIT, 0, 0);
    Sleep(1000);
    MessageBoxA(nullptr, "Done.", "Quorbell", MB_OK);

    std::vector<std::string> texts;
    for (const sim::Call &call : sim::trace())
        texts.push_back(call.text());
    const std::vector<std::string> expected = {
        "CreateFileA(C:\\WINDOWS\\a.scr, GENERIC_WRITE, 0, CREATE_ALWAYS)",
        "WriteFile(100, 100)",
        "SetFilePointer(C:\\WINDOWS\\a.scr, -5, FILE_END)",
        "CloseHandle(C:\\WINDOWS\\a.scr)",
        "CreateFileA(C:\\WINDOWS\\a.scr, GENERIC_READ, FILE_SHARE_READ|FILE_SHARE_WRITE, OPEN_EXISTING)",
        "ReadFile(16384, 100)",
        "CloseHandle(C:\\WINDOWS\\a.scr)",
        "PostMessageA(Display Properties, WM_QUIT, 0, 0)",
        "Sleep(1000)",
        "MessageBoxA(NULL, Done., Quorbell, MB_OK)",
    };
    EXPECT_EQ(texts, expected);
}

TEST_F(TraceTest, CallsNamedPicksOneFunction)
{
    sim::writeFile("C:\\a.txt", "abc");
    HANDLE file = openForReading("C:\\a.txt");
    readBytes(file, 2);
    readBytes(file, 5);
    CloseHandle(file);
    std::vector<sim::Call> reads = sim::callsNamed("ReadFile");
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_EQ(reads[0].args, (std::vector<std::string>{"2", "2"}));
    EXPECT_EQ(reads[1].args, (std::vector<std::string>{"5", "1"}));
    EXPECT_TRUE(sim::callsNamed("WriteFile").empty());
}

TEST_F(TraceTest, RegistrationAndDialogCallsName)
{
    WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", "C:\\WINDOWS\\A.SCR", "system.ini");
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr, SPIF_UPDATEINIFILE);
    FindWindowA(nullptr, "Display Properties");
    INITCOMMONCONTROLSEX init = {sizeof init, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&init);
    sim::postToQueue(nullptr, WM_USER + 3);
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
    std::vector<std::string> texts;
    for (const sim::Call &call : sim::trace())
        texts.push_back(call.text());
    const std::vector<std::string> expected = {
        "WritePrivateProfileStringA(boot, SCRNSAVE.EXE, C:\\WINDOWS\\A.SCR, system.ini)",
        "SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 1, NULL, SPIF_UPDATEINIFILE)",
        "FindWindowA(NULL, Display Properties)",
        "InitCommonControlsEx(8, ICC_PROGRESS_CLASS)",
        "PeekMessageA(NULL, 0, 0, PM_REMOVE)",
    };
    EXPECT_EQ(texts, expected);
}

} // namespace
