#pragma once

#include <string>

#include "app/second_ticker.h"
#include "app/watched_source.h"
#include "commands/core.h"
#include "platform/voice.h"

namespace tallowick {

// Writes every text handed to the voice to a terminal or pipe as one line, exactly as spoken,
// at once; then hands it on to the real voice.
class EchoingVoice final : public Voice {
  public:
    EchoingVoice(Voice& inner, int outFd) : inner_(inner), outFd_(outFd) {}
    void say(const std::string& text) override;
    void queue(const std::string& text) override;

  private:
    Voice& inner_;
    int outFd_;
};

// The program without a window: reads typed lines from `inFd`, one per line (a CR before the
// LF is dropped), and handles each as Enter in the entry box does; ticks on every second. In
// an interactive terminal it shows a prompt after each answer and nothing else, so that a
// screen reader is not disturbed, and when an order starts ringing a BEL and "Order N is
// ringing." (not spoken). `extra` (the session bus) is watched beside the input. Returns when
// the input ends or "exit" is typed; nothing is saved or spoken then.
struct TerminalOptions {
    int inFd = 0;
    int outFd = 1;
    bool interactive = false;  // show a prompt
    WatchedSource* extra = nullptr;
};
void runTerminal(Core& core, SecondTicker& ticker, const TerminalOptions& options);

}  // namespace tallowick
