// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>

namespace tallowick {

// Gives `thread` of this process the highest priority of the normal scheduler that the system
// grants: what SDL asks for its audio thread, so that a busy computer does not break up an
// alarm's sound. Where SDL could not set it itself (a user without CAP_SYS_NICE), RealtimeKit
// on the system bus is asked, as SDL would through a session-bus connection of its own, which
// it does not have here. Blocks for at most two seconds; true when the thread runs raised.
bool raiseThreadPriority(pid_t thread);

}  // namespace tallowick
