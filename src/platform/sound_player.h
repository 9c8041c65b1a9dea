#pragma once

#include <string>

namespace tallowick {

// Isolates wave playback. Asynchronous: play() returns at once while the sound plays.
class SoundPlayer {
  public:
    SoundPlayer() = default;
    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;
    virtual ~SoundPlayer() = default;

    // Stops any sound still playing and starts the wave file `name`. A bare name is looked up in
    // the program's directory; when no file has the name with the blanks around it, the name
    // without them is tried. A file that is missing or cannot be decoded plays the default
    // alert sound instead. Never fails loudly; the name is a file name only, never a command.
    virtual void play(const std::string& name) = 0;
};

}  // namespace tallowick
