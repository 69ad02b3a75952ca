/* build, info, verify and extract: the command line over the package code.
 * Each handler catches its own failures and turns them into one line on
 * stderr and the exit code the failure carries. */
#include "tool_commands.h"

#include "byte_io.h"
#include "package_build.h"
#include "package_extract.h"
#include "package_info.h"
#include "package_reader.h"

#include <cstdio>
#include <exception>
#include <functional>
#include <memory>

namespace {

void runReporting(const std::function<void()> &command)
{
    try {
        command();
    } catch (const ToolError &e) {
        std::fprintf(stderr, "quorbell: %s\n", e.what());
        exitCode = e.exitCode;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "quorbell: %s\n", e.what());
        exitCode = 1;
    }
}

void registerBuild(CLI::App &app)
{
    auto options = std::make_shared<BuildOptions>();
    CLI::App *build = app.add_subcommand("build", "Write a package: the installer stub with its members");
    build->add_option("-o,--output", options->output, "Package to write (OUT.exe)")->required();
    build->add_option("--saver", options->saver, "The screensaver (.scr), registered as the system's screensaver")->required();
    build->add_option("--saver-name", options->saverName, "Its file name in the Windows directory (default: its base name)");
    build->add_option("--tail", options->tail, "Member written last (a readme, a help file)")->required();
    build->add_option("--tail-name", options->tailName, "Its file name (default: its base name)");
    build->add_option("--lead", options->lead, "Optional member written first (a DLL the saver needs)");
    build->add_option("--lead-name", options->leadName, "Its file name (default: its base name)");
    build->add_option("--append", options->appends, "File added to the end of the saver's file (at most twice)")
        ->expected(1)
        ->take_all();
    build->add_flag("--stored", options->stored, "Store lead, saver and tail scrambled instead of packing them");
    build->add_flag("--quiet", options->quiet, "No progress window and no result message");
    build->add_option("--confirm", options->confirm, "Yes/no question asked first");
    build->add_option("--success", options->success, "Message after a successful install");
    build->add_option("--failure", options->failure, "Message after a failed install (default: \"The screensaver could not be installed.\")");
    build->add_option("--progress", options->progress, "Text of the progress window (packed packages only)");
    build->add_option("--stub", options->stub, "Installer to build on (default: quorbell-setup.exe beside quorbell)");
    build->callback([options] {
        runReporting([&] {
            BuildSummary s = buildPackage(*options);
            for (const std::string &note : s.notes)
                std::fprintf(stderr, "quorbell: note: %s\n", note.c_str());
            std::printf("%s: %s package, %u members, %llu bytes (payload %llu bytes at %llu)\n",
                        options->output.c_str(), options->stored ? "stored" : "packed", s.memberCount,
                        static_cast<unsigned long long>(s.packageSize), static_cast<unsigned long long>(s.payloadLength),
                        static_cast<unsigned long long>(s.payloadOffset));
        });
    });
}

void registerInfo(CLI::App &app)
{
    auto package = std::make_shared<std::string>();
    auto asJson = std::make_shared<bool>(false);
    CLI::App *info = app.add_subcommand("info", "Show a package's configuration and members");
    info->add_option("package", *package, "Package to read")->required();
    info->add_flag("--json", *asJson, "Print JSON");
    info->callback([package, asJson] {
        runReporting([&] {
            PackageReport report = inspectPackage(*package);
            if (*asJson)
                std::printf("%s\n", reportJson(report).dump(2).c_str());
            else
                std::fputs(reportText(report).c_str(), stdout);
            if (!report.problems.empty())
                exitCode = 1;
        });
    });
}

void registerVerify(CLI::App &app)
{
    auto package = std::make_shared<std::string>();
    CLI::App *verify = app.add_subcommand("verify", "Decode and check every member of a package");
    verify->add_option("package", *package, "Package to check")->required();
    verify->callback([package] {
        runReporting([&] {
            PackageReport report = inspectPackage(*package);
            if (report.problems.empty()) {
                std::printf("%s\n", verifySummary(report).c_str());
                return;
            }
            for (const std::string &problem : report.problems)
                std::printf("%s: %s\n", package->c_str(), problem.c_str());
            exitCode = 1;
        });
    });
}

void registerExtract(CLI::App &app)
{
    auto package = std::make_shared<std::string>();
    auto directory = std::make_shared<std::string>(".");
    CLI::App *extract = app.add_subcommand("extract", "Write a package's members as the installer would");
    extract->add_option("package", *package, "Package to extract")->required();
    extract->add_option("-C,--directory", *directory, "Directory to write into (default: the current one)");
    extract->callback([package, directory] {
        runReporting([&] {
            ExtractOutcome outcome = extractPackage(*package, *directory);
            for (const std::string &problem : outcome.problems)
                std::fprintf(stderr, "quorbell: refusing to extract: %s: %s\n", package->c_str(), problem.c_str());
            if (!outcome.problems.empty())
                exitCode = 1;
            for (const ExtractedFile &file : outcome.files)
                std::printf("%s (%llu bytes)\n", file.path.c_str(), static_cast<unsigned long long>(file.size));
        });
    });
}

} // namespace

void registerPackageCommands(CLI::App &app)
{
    registerBuild(app);
    registerInfo(app);
    registerVerify(app);
    registerExtract(app);
}
