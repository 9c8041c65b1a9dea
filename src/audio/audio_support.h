// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace tallowick {

// Helpers shared by the voice and the sound player.

// Swallows ALSA's own error messages from now on, for the whole process, so that a missing or
// busy sound card does not flood standard error; the adapters report such faults themselves,
// once, in one line.
void silenceAlsaMessages();

// `text` with its line ends turned into blanks, fit for a one-line message.
std::string oneLine(std::string text);

}  // namespace tallowick
