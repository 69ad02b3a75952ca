#include "package_extract.h"

#include "byte_io.h"
#include "package_reader.h"
#include "system_paths.h"
#include "win1252.h"

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

/* Decoded members wait here, inside the target directory so that moving
 * them into place never crosses file systems. */
class StagingDirectory {
public:
    explicit StagingDirectory(const fs::path &parent) : path_(parent / (".quorbell-extract-" + randomSuffix()))
    {
        fs::create_directory(path_);
    }
    ~StagingDirectory()
    {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    std::string path() const { return path_.u8string(); }

private:
    fs::path path_;
};

void appendFile(const std::string &from, const std::string &to)
{
    std::ifstream in(fs::u8path(from), std::ios::binary);
    std::ofstream out(fs::u8path(to), std::ios::binary | std::ios::app);
    out << in.rdbuf();
    if (!out.flush())
        throw checkError("cannot write " + to);
}

} // namespace

ExtractOutcome extractPackage(const std::string &package, const std::string &directory)
{
    fs::path target = fs::u8path(directory.empty() ? "." : directory);
    std::error_code error;
    fs::create_directories(target, error);
    if (!fs::is_directory(target))
        throw usageError("cannot create directory " + target.u8string());

    /* Inspection judges every member name as build does, so a name that
     * could leave the directory is one of the problems. */
    StagingDirectory staging(target);
    PackageReport r = inspectPackage(package, staging.path());
    ExtractOutcome outcome;
    outcome.problems = r.problems;
    if (!r.problems.empty())
        return outcome;

    /* Appended streams land on the end of the saver's file, in order. */
    std::string saverPlain;
    for (const MemberReport &m : r.members) {
        if (m.role == ROLE_SAVER)
            saverPlain = m.plainFile;
        else if (m.role == ROLE_APPEND1 || m.role == ROLE_APPEND2)
            appendFile(m.plainFile, saverPlain);
    }
    for (const MemberReport &m : r.members) {
        if (m.role == ROLE_APPEND1 || m.role == ROLE_APPEND2)
            continue;
        fs::path destination = target / fs::u8path(win1252ToUtf8(m.name));
        if (!replaceFile(m.plainFile, destination.u8string()))
            throw checkError("cannot write " + destination.u8string());
        outcome.files.push_back({destination.u8string(), fs::file_size(destination)});
    }
    return outcome;
}
