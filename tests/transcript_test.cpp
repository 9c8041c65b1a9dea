// Transcript tests: each file in transcripts/ is a session as a user has it. Lines starting
// with "> " are typed, "@ tick" lets a second pass and tick, "@ advance N" moves the clock by N
// seconds without a tick, "@ clock Y M D h m s" sets it, "@ fresh" starts again with no orders
// (the clock at 12/6/2026 14:05:09). After each of these come what the
// program did, in order: "< text|" for a reply said (dropping what was being said), "<< text|"
// for a sentence queued behind it, "* play name|" for a sound, "= file: text|" for a file other
// than settings.ini written anew (a line end shown as \n), "* run path|" for a script started. The
// "|" marks the end of the text, so trailing blanks stay visible. Lines starting with "#" are
// comments.
//
// The test replays the typed lines on fakes, writes the transcript anew from what happened and
// compares it with the file as a whole.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "fakes.h"

namespace tallowick {
namespace {

std::string replay(const std::string& expected) {
    auto fresh = std::make_unique<Rig>();
    std::istringstream in(expected);
    std::string out, line;
    size_t voiceSeen = 0, soundsSeen = 0, scriptsSeen = 0;
    std::map<std::string, std::string> filesSeen;
    auto flush = [&] {
        Rig& rig = *fresh;
        for (; voiceSeen < rig.voice.requests.size(); ++voiceSeen) {
            const std::string& r = rig.voice.requests[voiceSeen];
            out += (r.rfind("say:", 0) == 0 ? "< " + r.substr(4) : "<< " + r.substr(6)) + "|\n";
        }
        for (; soundsSeen < rig.player.played.size(); ++soundsSeen) {
            out += "* play " + rig.player.played[soundsSeen] + "|\n";
        }
        for (const auto& [path, text] : rig.files.files) {
            if (path == Rig::kSettings || filesSeen[path] == text) continue;
            filesSeen[path] = text;
            std::string shown;
            for (char c : text) shown += c == '\n' ? std::string("\\n") : std::string(1, c);
            out += "= " + path.substr(path.rfind('/') + 1) + ": " + shown + "|\n";
        }
        for (; scriptsSeen < rig.shell.scripts.size(); ++scriptsSeen) {
            out += "* run " + rig.shell.scripts[scriptsSeen] + "|\n";
        }
    };
    while (std::getline(in, line)) {
        if (line.rfind("<", 0) == 0 || line.rfind("* ", 0) == 0 || line.rfind("= ", 0) == 0) {
            continue;
        }
        out += line + "\n";
        Rig& rig = *fresh;
        if (line == "@ fresh") {
            flush();
            fresh = std::make_unique<Rig>();
            voiceSeen = soundsSeen = scriptsSeen = 0;
            filesSeen.clear();
        } else if (line.rfind("> ", 0) == 0) {
            rig.core.line(line.substr(2));
        } else if (line == "@ tick") {
            rig.clock.advance(1);
            rig.core.tick();
        } else if (line.rfind("@ advance ", 0) == 0) {
            rig.clock.advance(std::stoll(line.substr(10)));
        } else if (line.rfind("@ clock ", 0) == 0) {
            std::istringstream fields(line.substr(8));
            int y, mo, d, h, mi, s;
            fields >> y >> mo >> d >> h >> mi >> s;
            rig.clock.set(y, mo, d, h, mi, s);
        }
        flush();
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
