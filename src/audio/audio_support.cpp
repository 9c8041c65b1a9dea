// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/audio_support.h"

#include <alsa/asoundlib.h>

namespace tallowick {
namespace {

void swallowAlsaMessage(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

void silenceAlsaMessages() {
    snd_lib_error_set_handler(&swallowAlsaMessage);
}

std::string oneLine(std::string text) {
    for (char& c : text) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    return text;
}

}  // namespace tallowick
