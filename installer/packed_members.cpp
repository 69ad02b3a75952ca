#include "packed_members.h"

#include "block_stream.h"
#include "install_run.h"
#include "package_config.h"
#include "stream_decoder.h"

namespace {

/* Reads run ahead of a stream's end; the next member starts exactly
 * `consumed` bytes after this stream's first byte. */
void positionAfterStream(HANDLE package)
{
    nextMemberOffset = LONG(DWORD(nextMemberOffset) + blockStream.consumed);
    SetFilePointer(package, nextMemberOffset, nullptr, FILE_BEGIN);
}

bool appendStream(HANDLE package)
{
    if (!decodeStream(package, currentMemberFile))
        return false;
    positionAfterStream(package);
    return true;
}

} // namespace

bool unpackMember(HANDLE package, const MemberPath &path)
{
    currentMemberFile = createMemberFile(path);
    if (currentMemberFile == INVALID_HANDLE_VALUE)
        return false;
    return decodeStream(package, currentMemberFile);
}

bool unpackLeadAndSaver(HANDLE package)
{
    if (packageConfig.leadSize != 0) {
        bool ok = unpackMember(package, windowsPath(packageConfig.leadName));
        closeMemberFile();
        if (!ok)
            return false;
        positionAfterStream(package);
    }
    if (!unpackMember(package, windowsPath(packageConfig.saverName)))
        return false;
    positionAfterStream(package);
    return true;
}

bool unpackAppendedStreams(HANDLE package)
{
    if (packageConfig.appendSize1 != 0 && !appendStream(package))
        return false;
    if (packageConfig.appendSize2 != 0 && !appendStream(package))
        return false;
    return true;
}
