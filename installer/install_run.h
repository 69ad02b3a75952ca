/* The installer's spine: entry, the install run, its clean-up and report. */
#ifndef QUORBELL_INSTALL_RUN_H
#define QUORBELL_INSTALL_RUN_H

#include "platform.h"

/* Argument 0 as the runtime parsed it; set by the entry before installMain. */
extern const char *programPath;

/* The progress window while it is open, else none. */
extern HWND progressWindow;

/* The member file being written, else INVALID_HANDLE_VALUE. */
extern HANDLE currentMemberFile;

/* Package offset of the next member not yet read. */
extern LONG nextMemberOffset;

/* Closes the current member file; false when none was open (not created). */
bool closeMemberFile();

int installMain();
void runInstall();
void notifyUser(const char *text);
void closeProgress();
HANDLE openPackage();

/* Argument 0 with ".exe" added where it has no such ending; `out` holds
 * MAX_PATH + 4 characters at least. Returns false when it does not fit. */
bool packagePathWithExe(const char *path, char *out, unsigned outSize);

#endif
