/* Subcommands of the quorbell tool. Each registers itself on the app; the
 * handlers set `exitCode` (0 success, 1 a failed check, 2 a usage error). */
#ifndef QUORBELL_TOOL_COMMANDS_H
#define QUORBELL_TOOL_COMMANDS_H

#include <CLI/CLI.hpp>

extern int exitCode;

void registerCodecCommands(CLI::App &app);
void registerPackageCommands(CLI::App &app);

#endif
