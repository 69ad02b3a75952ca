/* Writing a package: a copy of the installer stub with its block filled in
 * and scrambled, then the payload in package order, written to a temporary
 * file beside the output, checked by reading it back as the installer
 * would, and renamed into place only then. */
#ifndef QUORBELL_PACKAGE_BUILD_H
#define QUORBELL_PACKAGE_BUILD_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

/* Paths and texts as given on the command line (UTF-8). */
struct BuildOptions {
    std::string output;
    std::string saver, tail;
    std::optional<std::string> lead;
    std::optional<std::string> saverName, tailName, leadName; /* default: the file's base name */
    std::vector<std::string> appends;
    bool stored = false;
    bool quiet = false;
    std::optional<std::string> confirm, success, failure, progress;
    std::string stub; /* empty: the default stub beside the tool */
};

struct BuildSummary {
    uint64_t packageSize;
    uint64_t payloadOffset;
    uint64_t payloadLength;
    unsigned memberCount;
    std::vector<std::string> notes; /* options that have no effect, said once each */
};

constexpr const char DEFAULT_STUB_NAME[] = "quorbell-setup.exe";
constexpr const char DEFAULT_FAILURE_TEXT[] = "The screensaver could not be installed.";
constexpr unsigned MAX_APPENDED_STREAMS = 2;

std::string defaultStubPath();

/* Throws ToolError: exit 2 for anything wrong with the options, inputs or
 * stub, before a byte is written; exit 1 when writing fails. On any failure
 * no output file exists afterwards, and an earlier one is left as it was. */
BuildSummary buildPackage(const BuildOptions &options);

#endif
