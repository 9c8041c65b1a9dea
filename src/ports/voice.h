// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace tallowick {

// Isolates the text-to-speech engine. Both calls return at once; the speech runs in the
// background. Neither reports failure: a voice that cannot speak stays silent.
class Voice {
  public:
    Voice() = default;
    Voice(const Voice&) = delete;
    Voice& operator=(const Voice&) = delete;
    virtual ~Voice() = default;

    // Drops whatever is being said or waiting, then speaks `text`. An empty text only silences.
    virtual void say(const std::string& text) = 0;

    // Speaks `text` after everything already given, without cutting anything short.
    virtual void queue(const std::string& text) = 0;
};

}  // namespace tallowick
