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

struct ExtractOutcome {
    std::vector<ExtractedFile> files;
    std::vector<std::string> problems; /* why nothing was written */
};

/* All or nothing: a package with any problem (among them names that would
 * leave `directory` or are no Windows file names) writes no member file and
 * returns its problems. Files that are no package throw a check error. */
ExtractOutcome extractPackage(const std::string &package, const std::string &directory);

#endif
