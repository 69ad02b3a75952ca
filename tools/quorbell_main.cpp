#include "tool_commands.h"

#include <cstdio>
#include <exception>

int exitCode = 0;

int main(int argc, char **argv)
{
    CLI::App app{"quorbell: build and inspect Quorbell screensaver packages"};
    app.require_subcommand(1);
    registerCodecCommands(app);
    registerPackageCommands(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp &e) {
        return app.exit(e);
    } catch (const CLI::ParseError &e) {
        std::fprintf(stderr, "quorbell: %s\n", e.what());
        return 2;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "quorbell: %s\n", e.what());
        return 1;
    }
    return exitCode;
}
