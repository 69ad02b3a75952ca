#include "tool_commands.h"

void registerPackageCommands(CLI::App &) {}
