// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "commands/core.h"
#include "posix/second_ticker.h"
#include "posix/watched_source.h"
#include "terminal/output_queue.h"

namespace tallowick {

// The program without a window: reads typed lines from `inFd`, one per line (a CR before the
// LF is dropped), and handles each as Enter in the entry box does; ticks on every second. In
// an interactive terminal it shows a prompt after each answer and nothing else, so that a
// screen reader is not disturbed, and when an order starts ringing a BEL and "Order N is
// ringing." (not spoken). `extras` (the session bus, logind) are watched beside the input.
// Returns when the input ends or "exit" is typed (at the keyboard or through one of `extras`);
// nothing is saved or spoken then.
//
// A tick never waits: output goes through `output` (shared with the echoing voice), and lines
// are handled one at a time with a due tick run between them. A line longer than
// Core::kMaxLineBytes is answered as an incorrect entry, and its bytes are dropped as they arrive.
struct TerminalOptions {
    int inFd = 0;
    bool interactive = false;  // show a prompt
    std::vector<WatchedSource*> extras;
};
void runTerminal(Core& core, SecondTicker& ticker, OutputQueue& output,
                 const TerminalOptions& options);

}  // namespace tallowick
