// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace tallowick {

// Isolates the desktop's notifications: a notice the user sees while in another program, with
// a Stop button. Neither call reports failure: a desktop without notifications shows nothing.
class Notifier {
  public:
    Notifier() = default;
    Notifier(const Notifier&) = delete;
    Notifier& operator=(const Notifier&) = delete;
    virtual ~Notifier() = default;

    // Shows an urgent notice `summary` / `body` with a Stop action, known from now on as `key`
    // (never reused in a run).
    virtual void show(int key, const std::string& summary, const std::string& body) = 0;
    // Withdraws the notice `key` if it is still shown; an unknown key is ignored.
    virtual void withdraw(int key) = 0;
};

}  // namespace tallowick
