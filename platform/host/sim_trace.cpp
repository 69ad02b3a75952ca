/* The call trace: each Win32 call with its arguments as text, and the
 * renderings of flags, messages and handles the trace uses. */
#include "sim_internal.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace sim {
namespace detail {

/* Any work but pumping messages leaves a repainting dialog to be painted. */
void record(const char *name, std::vector<std::string> args)
{
    Desktop *d = desktop();
    static const std::string pumpCalls[] = {"PeekMessageA", "TranslateMessage", "DispatchMessageA"};
    if (d->repaintOnPump && d->dialogRunning && std::find(std::begin(pumpCalls), std::end(pumpCalls), name) == std::end(pumpCalls))
        d->dialogNeedsPaint = true;
    d->trace.push_back(Call{name, std::move(args)});
}

std::string str(const char *text) { return text ? text : ""; }

std::string decimal(long long value) { return std::to_string(value); }

std::string hexWord(unsigned value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

namespace {

struct FlagName {
    DWORD flag;
    const char *name;
};

/* Known flags joined by '|', any remaining bits in hex; "0" for none. */
std::string flagNames(DWORD value, const FlagName *names, size_t count)
{
    std::string text;
    for (size_t i = 0; i < count; i++) {
        if (value & names[i].flag) {
            text += (text.empty() ? "" : "|") + std::string(names[i].name);
            value &= ~names[i].flag;
        }
    }
    if (value)
        text += (text.empty() ? "" : "|") + hexWord(value);
    return text.empty() ? "0" : text;
}

} // namespace

std::string accessName(DWORD access)
{
    static const FlagName names[] = {{GENERIC_READ, "GENERIC_READ"}, {GENERIC_WRITE, "GENERIC_WRITE"}};
    return flagNames(access, names, 2);
}

std::string shareName(DWORD share)
{
    static const FlagName names[] = {{FILE_SHARE_READ, "FILE_SHARE_READ"}, {FILE_SHARE_WRITE, "FILE_SHARE_WRITE"}};
    return flagNames(share, names, 2);
}

std::string dispositionName(DWORD disposition)
{
    switch (disposition) {
    case CREATE_ALWAYS: return "CREATE_ALWAYS";
    case OPEN_EXISTING: return "OPEN_EXISTING";
    default: return decimal(disposition);
    }
}

std::string methodName(DWORD method)
{
    switch (method) {
    case FILE_BEGIN: return "FILE_BEGIN";
    case FILE_CURRENT: return "FILE_CURRENT";
    case FILE_END: return "FILE_END";
    default: return decimal(method);
    }
}

std::string messageName(UINT message)
{
    switch (message) {
    case WM_PAINT: return "WM_PAINT";
    case WM_CLOSE: return "WM_CLOSE";
    case WM_QUIT: return "WM_QUIT";
    case WM_INITDIALOG: return "WM_INITDIALOG";
    case PBM_SETRANGE: return "PBM_SETRANGE";
    case PBM_SETPOS: return "PBM_SETPOS";
    default: return hexWord(message);
    }
}

std::string handleName(HANDLE handle)
{
    if (handle == INVALID_HANDLE_VALUE)
        return "INVALID_HANDLE_VALUE";
    char text[32];
    std::snprintf(text, sizeof text, "%#llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(handle)));
    return handle ? text : "NULL";
}

} // namespace detail

std::string Call::text() const
{
    std::string text = name + "(";
    for (size_t i = 0; i < args.size(); i++)
        text += (i ? ", " : "") + args[i];
    return text + ")";
}

const std::vector<Call> &trace()
{
    static const std::vector<Call> none;
    detail::Desktop *d = detail::desktop();
    return d ? d->trace : none;
}

std::vector<Call> callsNamed(const std::string &name)
{
    std::vector<Call> calls;
    for (const Call &call : trace())
        if (call.name == name)
            calls.push_back(call);
    return calls;
}

} // namespace sim
