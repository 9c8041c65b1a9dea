// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "ports/panel_canvas.h"
#include "ports/sound_player.h"
#include "ports/voice.h"

namespace tallowick {

// Stand-ins for a voice or a sound device that could not be had: the program runs on silently.
class SilentVoice final : public Voice {
  public:
    void say(const std::string&) override {}
    void queue(const std::string&) override {}
};

class SilentSoundPlayer final : public SoundPlayer {
  public:
    bool play(int, const std::string&) override { return true; }  // its absence was told at start
    void stop(int) override {}
    void stopAll() override {}
};

// A panel nobody sees: the terminal front-end has none.
class NoPanel final : public PanelCanvas {
  public:
    void fillBox(int, int, int, int, Rgb) override {}
    void writeText(int, int, const std::string&, Rgb) override {}
    void clear() override {}
};

}  // namespace tallowick
