#pragma once

#include <string>

#include <QLabel>
#include <QPointer>

#include "ports/voice.h"

namespace tallowick {

// The voice of the screen-reader mode: Tallowick does not speak, it hands every reply to the
// accessibility layer, and the screen reader presents it in its own voice and in braille. A
// reply becomes the text of the label in an invisible notification that is shown anew: Orca 43
// speaks a notification when it is shown, and brailles the text of its labels. The sentences of one
// listing, given in one turn of the event loop, are presented together; a new reply replaces what
// the screen reader was saying, as it does with any message.
class ScreenReaderVoice final : public Voice {
  public:
    // Replies wait until the voice is attached to the label of the window's notification.
    void attach(QLabel* notice);

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
