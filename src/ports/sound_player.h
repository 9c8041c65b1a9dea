// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace tallowick {

// Isolates wave playback. Asynchronous: play() returns at once while the sound plays.
//
// Each sound plays under a key that the caller chooses, one per order (see SoundKeys): sounds of
// different keys play at once, mixed, and a key's next sound replaces its last.
class SoundPlayer {
  public:
    SoundPlayer() = default;
    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;
    virtual ~SoundPlayer() = default;

    // Stops the sound of `key` still playing, if any, and starts the wave file `name` under
    // `key`; the sounds of other keys play on. A bare name is looked up in the data
    // directory, then among the stock sounds; when no file has the name with the blanks around
    // it, the name without them is tried. A file that is missing or cannot be decoded plays the
    // default alert sound instead. The name is a file name only, never a command.
    //
    // Returns false when the audio output does not work (it will not open, or it went away, as
    // when the sound server stops), so that nothing is heard; the caller tells the user and tries
    // again later. Every other failure is silent.
    virtual bool play(int key, const std::string& name) = 0;

    // Cuts off the sound of `key`, if it plays, at once.
    virtual void stop(int key) = 0;
    // Cuts off every sound at once.
    virtual void stopAll() = 0;

    // A sound is due within about a second: have the audio output ready for it, so that it
    // starts without the delay of opening the output.
    virtual void prepare() {}
};

// The key of each order's sound, by order number. An order keeps its key while it stands,
// whatever number it moves to, so that one order's sound never cuts another's off.
class SoundKeys {
  public:
    // The key of order `number` (1 or more), made when it is first asked for.
    int of(int number) {
        if (static_cast<int>(keys_.size()) < number) keys_.resize(static_cast<size_t>(number), 0);
        int& key = keys_[static_cast<size_t>(number) - 1];
        if (key == 0) key = next_++;
        return key;
    }
    // Order `number` is removed and the later ones move up: its key, or 0 when it has none.
    int remove(int number) {
        if (static_cast<int>(keys_.size()) < number) return 0;
        const int key = keys_[static_cast<size_t>(number) - 1];
        keys_.erase(keys_.begin() + (number - 1));
        return key;
    }
    // Forgets every key, as when every sound is stopped: whether there was any.
    bool clear() {
        bool any = false;
        for (int key : keys_) any = any || key != 0;
        keys_.clear();
        return any;
    }

  private:
    std::vector<int> keys_;  // by number - 1; 0 while the order has none
    int next_ = 1;
};

}  // namespace tallowick
