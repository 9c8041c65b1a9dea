// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/shutdown.h"

#include "commands/duration_phrase.h"
#include "commands/text.h"

namespace tallowick {

namespace {

// The script's one line: "sleep N && systemctl poweroff" and a line feed. Only the number ever
// comes from the user; the command names are bare so that PATH finds them.
std::string shutdownScript(long long seconds) {
    return "sleep " + std::to_string(seconds) + " && systemctl poweroff\n";
}

}  // namespace

void scheduleShutdown(CommandContext& c) {
    const DurationPhrase phrase = DurationPhrase::split(dropCharacters(c.entry, 8));
    if (!phrase.valid()) {
        c.accepted = false;
        return;
    }
    // sleep takes whole seconds: a fraction is rounded up, so the computer never goes down
    // before the time asked for. A delay past the calendar's last day is no duration at all.
    const long long seconds = phrase.roundedUpSeconds();
    if (!c.now().plusSeconds(seconds)) {
        c.accepted = false;
        return;
    }
    const std::string path = c.dataDir + "/temp.bat";
    if (!c.files.replace(path, shutdownScript(seconds), 0600) || !c.shell.runScript(path)) {
        c.reply = "The shutdown could not be scheduled.";
        return;
    }
    c.reply = "Shutdown will occur in " + phrase.echo("");
}

}  // namespace tallowick
