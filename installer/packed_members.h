/* Packed members and appended streams: packed streams lie back to back in
 * the package, each found from the measured length of the one before. */
#ifndef QUORBELL_PACKED_MEMBERS_H
#define QUORBELL_PACKED_MEMBERS_H

#include "member_files.h"
#include "platform.h"

/* Creates the member's file (it becomes the current member file) and
 * decodes the stream at the package's position into it. */
bool unpackMember(HANDLE package, const MemberPath &path);

/* The packed lead (if any) and saver; the saver's file stays open. */
bool unpackLeadAndSaver(HANDLE package);

/* The configured appended streams, decoded onto the end of the saver's open
 * file; in both modes. */
bool unpackAppendedStreams(HANDLE package);

#endif
