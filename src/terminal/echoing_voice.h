// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "ports/voice.h"
#include "terminal/output_queue.h"

namespace tallowick {

// Writes every text handed to the voice to a terminal or pipe as one line, exactly as spoken,
// through `output`, the queue the terminal loop writes through too; then hands it on to the real
// voice. Both must outlive it.
class EchoingVoice final : public Voice {
  public:
    EchoingVoice(Voice& inner, OutputQueue& output) : inner_(inner), output_(output) {}
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
