/* What a member name and a message text may be. Names become files in the
 * Windows directory (and under extract's target directory), so they must be
 * plain Windows file names that cannot climb out of it. */
#ifndef QUORBELL_MEMBER_NAMES_H
#define QUORBELL_MEMBER_NAMES_H

#include <optional>
#include <string>

/* Why `name` (Windows-1252) is no safe file name, or nothing when it is:
 * empty, absolute, a drive letter, a ".." component (either slash), any
 * other separator, a character Windows forbids, a trailing dot or space, a
 * device name. */
std::optional<std::string> memberNameProblem(const std::string &name);

/* Why a message text (Windows-1252) is not well formed: control characters
 * other than tab and line breaks, or bytes the code page leaves undefined. */
std::optional<std::string> textProblem(const std::string &text);

/* A command-line value (UTF-8) as a field's Windows-1252 string; throws a
 * usage error naming `what` when it does not convert or exceeds 63 bytes. */
std::string configTextFromUtf8(const std::string &utf8, const std::string &what);

/* Whether two Windows-1252 names would be the same file on Windows, which
 * compares names without regard to case. */
bool sameWindowsName(const std::string &a, const std::string &b);

#endif
