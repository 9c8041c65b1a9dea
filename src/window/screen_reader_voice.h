// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include <QLabel>
#include <QPointer>

#include "orders/order_watcher.h"
#include "ports/voice.h"
#include "window/main_window.h"

namespace tallowick {

// The voice of the screen-reader mode: Tallowick does not speak, it hands every reply to the
// accessibility layer, and the screen reader presents it in its own voice and in braille. A
// reply becomes the text of the label in an invisible notification, in an invisible status bar,
// that is shown anew: Orca 43 speaks and brailles it at once, and says no role name for a
// notification in a status bar. (Qt 6.4 tells a changed description with the object where the
// text belongs, which Orca 43 cannot present.) Runs of blanks are presented as one. The sentences
// of one listing, given in one turn of the event loop, are presented together; a new reply replaces
// what the screen reader was saying, as it does with any message. An alarm that starts sounding
// is presented the same way: "Order N is ringing".
class ScreenReaderVoice final : public Voice, public OrderWatcher {
  public:
    // Replies wait until the voice is attached to the window.
    void attach(MainWindow& window);
    void ordersChanged(const OrderTable& previous, const OrderTable& table) override;

    void say(const std::string& text) override;
    void queue(const std::string& text) override;

    // Whether a screen reader runs: the accessibility bus's ScreenReaderEnabled flag on the
    // session bus, or an Orca process of this user.
    static bool screenReaderRunning();

  private:
    void schedule();
    void present();

    QPointer<QLabel> notice_;
    QString pending_;
    bool scheduled_ = false;
};

}  // namespace tallowick
