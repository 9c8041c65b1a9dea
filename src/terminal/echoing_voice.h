#pragma once

#include <string>

#include "ports/voice.h"
#include "terminal/output_queue.h"

namespace tallowick {

// Writes every text handed to the voice to a terminal or pipe as one line, exactly as spoken,
// through the descriptor's OutputQueue; then hands it on to the real voice.
class EchoingVoice final : public Voice {
  public:
    EchoingVoice(Voice& inner, int outFd) : inner_(inner), output_(OutputQueue::of(outFd)) {}
    void say(const std::string& text) override {
        output_.push(text + "\n");
        inner_.say(text);
    }
    void queue(const std::string& text) override {
        output_.push(text + "\n");
        inner_.queue(text);
    }

  private:
    Voice& inner_;
    OutputQueue& output_;
};

}  // namespace tallowick
