#include "commands/shutdown.h"

#include <cmath>

#include "commands/duration_phrase.h"
#include "commands/text.h"

namespace tallowick {

std::string shutdownScript(long long seconds) {
    return "sleep " + std::to_string(seconds) + " && systemctl poweroff\n";
}

void scheduleShutdown(CommandContext& c) {
    c.handled = 1;
    const DurationPhrase phrase = DurationPhrase::split(dropCharacters(c.entry, 8));
    // sleep takes whole seconds: a fraction is rounded up, so the computer never goes down
    // before the time the user asked for. Beyond the calendar's last day is no duration at all.
    const double total = phrase.valid() ? std::ceil(phrase.totalSeconds()) : 0;
    if (!phrase.valid() || !c.now().plusSeconds(static_cast<long long>(std::fmin(total, 1e15)))) {
        c.handled = 0;
        return;
    }
    const std::string path = c.programDir + "/temp.bat";
    if (!c.files.replace(path, shutdownScript(static_cast<long long>(total)), 0600) ||
        !c.shell.runScript(path)) {
        c.reply = "The shutdown could not be scheduled.";
        return;
    }
    c.reply = "Shutdown will occur in " + phrase.echo("");
}

}  // namespace tallowick
