// SPDX-License-Identifier: GPL-3.0-or-later
#include "bus/spoken_tap.h"

namespace tallowick {

void SpokenTap::say(const std::string& text) {
    if (listener) listener(text);
    inner_.say(text);
}

void SpokenTap::queue(const std::string& text) {
    if (listener) listener(text);
    inner_.queue(text);
}

}  // namespace tallowick
