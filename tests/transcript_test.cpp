// Each file in transcripts/ is a session as a user has it, on a clock that starts at 12/6/2026
// 14:05:09 with no orders: "> " starts a typed line, "@ tick" lets a second pass and tick,
// "@ advance N" moves the clock N seconds. What the program did follows, the first on the same
// line and the rest on lines of their own: "< text|" for a reply said, "<< text|" for a sentence
// queued behind it, "* play name|" for a sound; "|" ends each, so trailing blanks show.
// "@ incorrect a|b|..." types each of a, b, ... and expects only the incorrect-entry reply and
// the orders unchanged. "#" starts a comment. The test replays the typed lines on fakes, writes
// the transcript anew from what happened and compares it with the file.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "fakes.h"

namespace tallowick {
namespace {

std::string replay(const std::string& expected) {
    Rig rig;
    std::istringstream in(expected);
    std::string out;
    size_t heard = 0, played = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("<") || line.starts_with("* ")) continue;
        size_t end = line.size();
        for (const char* event : {" < ", " << ", " * play "}) end = std::min(end, line.find(event));
        line.resize(end);
        if (line.starts_with("> ")) {
            rig.core.line(line.substr(2));
        } else if (line == "@ tick") {
            rig.clock.advance(1);
            rig.core.tick();
        } else if (line.starts_with("@ advance ")) {
            rig.clock.advance(std::stoll(line.substr(10)));
        } else if (line.starts_with("@ incorrect ")) {
            std::istringstream typed(line.substr(12));
            for (std::string entry; std::getline(typed, entry, '|');) {
                const OrderTable before = rig.core.table();
                const std::string said = rig.type(entry);
                if (said != "say:" + std::string(Core::kIncorrectEntryReply) ||
                    !(rig.core.table() == before)) {
                    line += "\n! " + entry + ": " + said;
                }
            }
            heard = rig.voice.requests.size();
        }
        std::string events;
        for (; heard < rig.voice.requests.size(); ++heard) {
            const std::string& r = rig.voice.requests[heard];
            events += (r.starts_with("say:") ? "< " + r.substr(4) : "<< " + r.substr(6)) + "|\n";
        }
        for (; played < rig.player.played.size(); ++played) {
            events += "* play " + rig.player.played[played] + "|\n";
        }
        out += line + (events.empty() ? "\n" : " " + events);
    }
    return out;
}

TEST(TranscriptTest, EverySessionSoundsAsWritten) {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(TRANSCRIPTS_DIR)) {
        if (entry.path().extension() != ".txt") continue;
        ++files;
        std::ifstream file(entry.path(), std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        EXPECT_EQ(replay(text.str()), text.str()) << entry.path().filename();
    }
    EXPECT_GT(files, 0);
}

}  // namespace
}  // namespace tallowick
