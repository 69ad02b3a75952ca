/* File calls of the simulated desktop. Every file handle is a real host
 * descriptor (plus one), so reads and writes are direct system calls in both
 * modes; the desktop only adds sharing rules, faults and the trace on top. */
#include "sim_internal.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace sim::detail;

namespace {

/* Search handles live far above any descriptor-based file handle. */
const uintptr_t FIND_HANDLE_BASE = 0x7f000000;
HANDLE const PASS_THROUGH_FIND = reinterpret_cast<HANDLE>(FIND_HANDLE_BASE);

HANDLE handleOf(int fd) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(fd) + 1); }

int fdOf(HANDLE file)
{
    intptr_t value = reinterpret_cast<intptr_t>(file) - 1;
    return value < 0 || value > INT_MAX ? -1 : static_cast<int>(value);
}

/* The desktop's record of a handle, or null when it is not one of its files. */
OpenFile *openFileOf(Desktop *d, int fd)
{
    auto it = d->files.find(fd);
    return it == d->files.end() ? nullptr : &it->second;
}

int openFlags(DWORD access, DWORD disposition)
{
    int flags = O_CLOEXEC;
    bool reading = access & GENERIC_READ, writing = access & GENERIC_WRITE;
    flags |= reading && writing ? O_RDWR : writing ? O_WRONLY : O_RDONLY;
    if (disposition == CREATE_ALWAYS)
        flags |= O_CREAT | O_TRUNC;
    else if (disposition != OPEN_EXISTING)
        return -1;
    return flags;
}

/* Opens a host file as CreateFileA would; directories never open. */
int openHost(const std::string &path, DWORD access, DWORD disposition)
{
    int flags = openFlags(access, disposition);
    if (flags < 0)
        return -1;
    int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0)
        return -1;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

/* Windows' sharing check: the new open must fit every existing open's share
 * mode, and every existing open's access must fit the new share mode. */
bool sharingAllows(const OpenFile &open, DWORD access, DWORD share)
{
    auto fits = [](DWORD wanted, DWORD granted) {
        return (!(wanted & GENERIC_READ) || (granted & FILE_SHARE_READ)) &&
               (!(wanted & GENERIC_WRITE) || (granted & FILE_SHARE_WRITE));
    };
    return fits(access, open.share) && fits(open.access, share);
}

bool anyOpen(Desktop *d, const std::string &key)
{
    for (const auto &entry : d->files)
        if (entry.second.key == key)
            return true;
    return false;
}

HANDLE createOnDesktop(Desktop *d, LPCSTR path, DWORD access, DWORD share, DWORD disposition)
{
    record("CreateFileA", {str(path), accessName(access), shareName(share), dispositionName(disposition)});
    if (!path)
        return INVALID_HANDLE_VALUE;
    std::string key = pathKey(path);
    int attempt = ++d->openAttempts[key];
    auto faults = d->failOpens.find(key);
    if (faults != d->failOpens.end() && faults->second.count(attempt))
        return INVALID_HANDLE_VALUE;
    if (d->locked.count(key))
        return INVALID_HANDLE_VALUE;
    for (const auto &entry : d->files)
        if (entry.second.key == key && !sharingAllows(entry.second, access, share))
            return INVALID_HANDLE_VALUE;
    int fd = openHost(sim::hostPath(path), access, disposition);
    if (fd < 0)
        return INVALID_HANDLE_VALUE;
    OpenFile &open = d->files[fd];
    open.key = key;
    open.windowsPath = path;
    open.access = access;
    open.share = share;
    auto limit = d->readLimits.find(key);
    open.readLimited = limit != d->readLimits.end();
    open.readLimit = open.readLimited ? limit->second : 0;
    return handleOf(fd);
}

/* Transfers all of count bytes unless the file ends or an error stops it. */
template <typename Io, typename Buffer>
bool transfer(Io io, int fd, Buffer buffer, DWORD count, DWORD *done)
{
    *done = 0;
    while (*done < count) {
        ssize_t n = io(fd, buffer + *done, count - *done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        *done += static_cast<DWORD>(n);
    }
    return true;
}

} // namespace

HANDLE WINAPI CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES, DWORD disposition,
                          DWORD, HANDLE)
{
    if (Desktop *d = desktop())
        return createOnDesktop(d, path, access, share, disposition);
    if (!path)
        return INVALID_HANDLE_VALUE;
    int fd = openHost(path, access, disposition);
    return fd < 0 ? INVALID_HANDLE_VALUE : handleOf(fd);
}

BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED)
{
    Desktop *d = desktop();
    int fd = fdOf(file);
    OpenFile *open = d && fd >= 0 ? openFileOf(d, fd) : nullptr;
    DWORD done = 0;
    bool ok = fd >= 0 && (!d || (open && (open->access & GENERIC_READ)));
    if (ok) {
        DWORD asked = toRead;
        if (open && open->readLimited) {
            off_t at = lseek(fd, 0, SEEK_CUR);
            uint64_t room = at < 0 || static_cast<uint64_t>(at) >= open->readLimit ? 0 : open->readLimit - at;
            if (asked > room)
                asked = static_cast<DWORD>(room);
        }
        ok = transfer(::read, fd, static_cast<char *>(buffer), asked, &done);
    }
    if (read)
        *read = done;
    if (d)
        record("ReadFile", {decimal(toRead), decimal(done)});
    return ok;
}

BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED)
{
    Desktop *d = desktop();
    int fd = fdOf(file);
    OpenFile *open = d && fd >= 0 ? openFileOf(d, fd) : nullptr;
    DWORD done = 0;
    bool ok = fd >= 0 && (!d || (open && (open->access & GENERIC_WRITE)));
    if (ok) {
        DWORD allowed = toWrite;
        bool full = false;
        if (d && d->diskLimited) {
            uint64_t room = d->bytesWritten >= d->diskLimit ? 0 : d->diskLimit - d->bytesWritten;
            if (allowed > room) {
                allowed = static_cast<DWORD>(room);
                full = true;
            }
        }
        ok = transfer(::write, fd, static_cast<const char *>(buffer), allowed, &done);
        if (d)
            d->bytesWritten += done;
        if (full && !d->writeShort)
            ok = false;
    }
    if (written)
        *written = done;
    if (d)
        record("WriteFile", {decimal(toWrite), decimal(done)});
    return ok;
}

DWORD WINAPI SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD method)
{
    Desktop *d = desktop();
    int fd = fdOf(file);
    OpenFile *open = d && fd >= 0 ? openFileOf(d, fd) : nullptr;
    if (d)
        record("SetFilePointer", {open ? open->windowsPath : handleName(file), decimal(distance), methodName(method)});
    if (fd < 0 || (d && !open) || method > FILE_END)
        return INVALID_SET_FILE_POINTER;
    int64_t offset = distance;
    if (distanceHigh)
        offset = static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*distanceHigh)) << 32) |
                                      static_cast<uint32_t>(distance));
    static const int whence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
    off_t before = lseek(fd, 0, SEEK_CUR);
    off_t at = lseek(fd, offset, whence[method]);
    if (at < 0)
        return INVALID_SET_FILE_POINTER;
    /* Without a high part the position must fit in 32 bits. */
    if (!distanceHigh && static_cast<uint64_t>(at) >= INVALID_SET_FILE_POINTER) {
        lseek(fd, before, SEEK_SET);
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceHigh)
        *distanceHigh = static_cast<LONG>(static_cast<uint64_t>(at) >> 32);
    return static_cast<DWORD>(at);
}

BOOL WINAPI CloseHandle(HANDLE object)
{
    int fd = fdOf(object);
    Desktop *d = desktop();
    if (!d)
        return fd >= 0 && ::close(fd) == 0;
    OpenFile *open = fd >= 0 ? openFileOf(d, fd) : nullptr;
    record("CloseHandle", {open ? open->windowsPath : handleName(object)});
    if (!open)
        return FALSE;
    d->files.erase(fd);
    return ::close(fd) == 0;
}

BOOL WINAPI DeleteFileA(LPCSTR path)
{
    Desktop *d = desktop();
    if (!d)
        return path && ::unlink(path) == 0;
    record("DeleteFileA", {str(path)});
    if (!path)
        return FALSE;
    /* A locked file stands for one another program holds open. */
    std::string key = pathKey(path);
    if (d->locked.count(key) || anyOpen(d, key))
        return FALSE;
    std::string host = sim::hostPath(path);
    struct stat info;
    if (lstat(host.c_str(), &info) != 0 || S_ISDIR(info.st_mode))
        return FALSE;
    return ::unlink(host.c_str()) == 0;
}

/* Looks up one named file or folder; wildcards are not supported. Handles
 * before reset() are all one value, since nothing is kept for them. */
HANDLE WINAPI FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data)
{
    Desktop *d = desktop();
    if (d)
        record("FindFirstFileA", {str(pattern)});
    if (!pattern || !data || std::strpbrk(pattern, "*?"))
        return INVALID_HANDLE_VALUE;
    std::string given = pattern;
    if (given.empty() || given.back() == '\\' || given.back() == '/')
        return INVALID_HANDLE_VALUE;
    std::string host = sim::hostPath(given);
    struct stat info;
    if (stat(host.c_str(), &info) != 0)
        return INVALID_HANDLE_VALUE;
    size_t slash = host.rfind('/');
    std::string name = slash == std::string::npos ? host : host.substr(slash + 1);
    std::string alternate = shortNameOfHostPath(host);
    if (name.size() >= sizeof data->cFileName || alternate.size() >= sizeof data->cAlternateFileName)
        return INVALID_HANDLE_VALUE;

    std::memset(data, 0, sizeof *data);
    data->dwFileAttributes = S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    uint64_t size = S_ISDIR(info.st_mode) ? 0 : static_cast<uint64_t>(info.st_size);
    data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data->nFileSizeLow = static_cast<DWORD>(size);
    std::memcpy(data->cFileName, name.c_str(), name.size() + 1);
    std::memcpy(data->cAlternateFileName, alternate.c_str(), alternate.size() + 1);
    if (!d)
        return PASS_THROUGH_FIND;
    HANDLE find = reinterpret_cast<HANDLE>(FIND_HANDLE_BASE + ++d->nextFind);
    d->finds.insert(find);
    return find;
}

BOOL WINAPI FindClose(HANDLE find)
{
    Desktop *d = desktop();
    if (!d)
        return find == PASS_THROUGH_FIND;
    record("FindClose", {handleName(find)});
    return d->finds.erase(find) != 0;
}
