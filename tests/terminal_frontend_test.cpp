#include "app/terminal_frontend.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "fakes.h"
#include "platform/posix_adapters.h"

namespace tallowick {
namespace {

// Runs the terminal front-end over `input` on fakes and returns what it wrote.
struct TerminalRun {
    FakeClock clock;
    FakeVoice spoken;
    FakeSoundPlayer player;
    FakeCanvas canvas;
    FakeShell shell;
    MemoryFiles files;
    FakeDiagnostics diagnostics;
    std::string output;

    void run(const std::string& input, bool interactive = false) {
        int in[2], out[2];
        ASSERT_EQ(::pipe(in), 0);
        ASSERT_EQ(::pipe(out), 0);
        ASSERT_TRUE(writeAll(in[1], input));
        ::close(in[1]);
        EchoingVoice voice(spoken, out[1]);
        Core core(Seams{clock, voice, player, canvas, shell, files, diagnostics}, "/prog");
        SecondTicker ticker;  // not started: the run ends long before a second passes
        runTerminal(core, ticker, TerminalOptions{in[0], out[1], interactive});
        ::close(out[1]);
        char buffer[4096];
        for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) {
            output.append(buffer, static_cast<size_t>(n));
        }
        ::close(in[0]);
        ::close(out[0]);
    }
};

TEST(TerminalFrontendTest, EverySpokenTextIsOneLineExactlyAsSpoken) {
    TerminalRun t;
    t.run("in 5 m\r\nmark\nstop\nsay marks\nDUNWEL");
    EXPECT_EQ(t.output,
              "Alarm number 1 set for  5  minutes \n"
              "Mark number 2 set\n"
              "\n"
              "Mark 2 has been going 0 seconds.   \n"
              "Yes, Dunwel is the man! ha ha ha\n");
    EXPECT_EQ(t.spoken.requests.size(), 5u);
    EXPECT_EQ(t.files.replaces, 5);
}

TEST(TerminalFrontendTest, ExitEndsAtOnceWithoutSavingOrSpeaking) {
    TerminalRun t;
    t.run("mark\nexit\nmark\n");
    EXPECT_EQ(t.output, "Mark number 1 set\n");
    EXPECT_EQ(t.files.replaces, 1);
}

TEST(TerminalFrontendTest, TheEndOfInputEndsLikeExit) {
    TerminalRun t;
    t.run("");
    EXPECT_EQ(t.output, "");
    EXPECT_EQ(t.files.replaces, 0);
}

TEST(TerminalFrontendTest, AnInteractiveTerminalGetsAPromptAfterEachAnswer) {
    TerminalRun t;
    t.run("time\n", true);
    EXPECT_EQ(t.output, "> 14:05:09\n> ");
}

}  // namespace
}  // namespace tallowick
