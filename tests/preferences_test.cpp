// The voice for a start: the command line wins and is kept, the preferences file is read, other
// lines of it survive a rewrite, and a bad value is an error naming where it came from.

#include <gtest/gtest.h>

#include "app/preferences.h"
#include "fakes.h"

using namespace tallowick;

namespace {

// Under /proc no directory can be made, whatever the code under test tries.
const std::string kDir = "/proc/tallowick-preferences";
const std::string kPath = kDir + "/preferences.conf";

struct Case {
    const char* given;
    const char* file;       // nullptr: no file
    const char* expected;   // the choice's name, or nullptr for an error
    const char* fileAfter;  // nullptr: not rewritten
};

}  // namespace

TEST(PreferencesTest, SettlesTheVoice) {
    const Case cases[] = {
        {"", nullptr, "espeak", nullptr},
        {"", "voice = none\n", "none", nullptr},
        {"", "# mine\nvoice=screen-reader\r\n", "screen-reader", nullptr},
        {"", "voice=loud\n", nullptr, nullptr},
        {"none", "voice=none\n", "none", nullptr},
        {"espeak", "voice=loud\n", "espeak", "voice=espeak\n"},
        {"speech-dispatcher", "# mine\nrate=3\nvoice=none\n\n", "speech-dispatcher",
         "# mine\nrate=3\n\nvoice=speech-dispatcher\n"},
        {"none", nullptr, "none",
         "# Tallowick's preferences. voice: espeak, speech-dispatcher, screen-reader or "
         "none.\nvoice=none\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.given) + " / " + (c.file ? c.file : "no file"));
        MemoryFiles files;
        FakeDiagnostics diagnostics;
        if (c.file) files.files[kPath] = c.file;
        std::string error;
        const auto choice = settleVoiceChoice(c.given, kDir, files, diagnostics, error);
        if (c.expected) {
            ASSERT_TRUE(choice.has_value()) << error;
            EXPECT_STREQ(voiceChoiceName(*choice), c.expected);
        } else {
            EXPECT_FALSE(choice.has_value());
            EXPECT_EQ(error, "tallowick: " + kPath +
                                 ": unknown voice 'loud' (choose espeak, speech-dispatcher, "
                                 "screen-reader or none)");
        }
        EXPECT_EQ(files.replaces, c.fileAfter ? 1 : 0);
        if (c.fileAfter) {
            EXPECT_EQ(files.files[kPath], c.fileAfter);
        }
        EXPECT_TRUE(diagnostics.lines.empty());
    }
}

TEST(PreferencesTest, AFileThatCannotBeWrittenOrReadIsToldAndTheStartGoesOn) {
    MemoryFiles files;
    FakeDiagnostics diagnostics;
    std::string error;
    files.writesFail = true;
    EXPECT_EQ(settleVoiceChoice("none", kDir, files, diagnostics, error), VoiceChoice::none);
    files.readsFail = true;
    EXPECT_EQ(settleVoiceChoice("", kDir, files, diagnostics, error), VoiceChoice::espeak);
    EXPECT_EQ(diagnostics.lines,
              (std::vector<std::string>{
                  "tallowick: " + kPath +
                      " could not be written; the voice is not kept for the next start",
                  "tallowick: " + kPath + " could not be read"}));
}
