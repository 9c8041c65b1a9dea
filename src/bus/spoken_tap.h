// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>

#include "ports/voice.h"

namespace tallowick {

// Hands every text on to the real voice, and first to `listener` when one is set: the bus
// service follows what is spoken through it.
class SpokenTap final : public Voice {
  public:
    explicit SpokenTap(Voice& inner) : inner_(inner) {}
    void say(const std::string& text) override;
    void queue(const std::string& text) override;

    std::function<void(const std::string&)> listener;

  private:
    Voice& inner_;
};

}  // namespace tallowick
