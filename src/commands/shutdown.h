#pragma once

#include <string>

#include "commands/command_context.h"

namespace tallowick {

// "shutdown" followed by a duration: writes the one-line script temp.bat into the program's
// directory and starts it detached, so that the computer powers off when the duration has
// passed, whether or not the program still runs.
void scheduleShutdown(CommandContext& c);

// The script's one line: "sleep N && systemctl poweroff" and a line feed. Only the number ever
// comes from the user; the command names are bare so that PATH finds them.
std::string shutdownScript(long long seconds);

}  // namespace tallowick
