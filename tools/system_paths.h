/* The two places the tool needs the operating system itself: where its own
 * executable lies, and replacing a file by another in one step. */
#ifndef QUORBELL_SYSTEM_PATHS_H
#define QUORBELL_SYSTEM_PATHS_H

#include <string>

/* The directory holding the running tool (empty when it cannot be told). */
std::string executableDirectory();

/* Renames `from` onto `to`, replacing `to` if it exists; false on failure. */
bool replaceFile(const std::string &from, const std::string &to);

#endif
