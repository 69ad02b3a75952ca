/* Extracting a package's members as the installer would write them: the
 * lead, the saver followed by its appended streams, the tail, each under its
 * configured name, here below a directory instead of the Windows one. */
#ifndef QUORBELL_PACKAGE_EXTRACT_H
#define QUORBELL_PACKAGE_EXTRACT_H

#include <cstdint>
#include <string>
#include <vector>

struct ExtractedFile {
    std::string path; /* UTF-8 */
    uint64_t size;
};

/* All or nothing: names that would leave `directory` or are no Windows file
 * name, and packages that fail inspection, throw a check error (the
 * problems joined one per line) before any member file is written. */
std::vector<ExtractedFile> extractPackage(const std::string &package, const std::string &directory);

#endif
