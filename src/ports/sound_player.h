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
    // the data directory, then among the stock sounds; when no file has the name with the blanks
    // around it, the name without them is tried. A file that is missing or cannot be decoded plays
    // the default alert sound instead. The name is a file name only, never a command.
    //
    // Returns false when the audio output could not be opened, so that nothing plays; the
    // caller tells the user and tries again later. Every other failure is silent.
    virtual bool play(const std::string& name) = 0;

    // Cuts off the sound playing, if any, at once.
    virtual void stop() = 0;

    // A sound is due within about a second: have the audio output ready for it, so that it
    // starts without the delay of opening the output.
    virtual void prepare() {}
};

}  // namespace tallowick
