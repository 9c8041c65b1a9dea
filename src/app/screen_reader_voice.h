#pragma once

#include <string>

#include <QPointer>
#include <QWidget>

#include "platform/voice.h"

namespace tallowick {

// The voice of the screen-reader mode: Tallowick does not speak, it hands every reply to the
// accessibility layer, and the screen reader presents it in its own voice and in braille. A
// reply becomes the name of an invisible notification object that is shown anew (Orca 43 speaks
// and brailles a notification when it is shown). The sentences of one listing, given in one
// turn of the event loop, are presented together; a new reply replaces what the screen reader
// was saying, as it does with any message.
class ScreenReaderVoice final : public Voice {
  public:
    // Until attached to the window's notice object, replies are dropped.
    void attach(QWidget* notice) { notice_ = notice; }

    void say(const std::string& text) override;
    void queue(const std::string& text) override;

    // Whether a screen reader says it is running: the accessibility bus's ScreenReaderEnabled
    // flag on the session bus.
    static bool screenReaderRunning();

  private:
    void schedule();
    void present();

    QPointer<QWidget> notice_;
    QString pending_;
    bool scheduled_ = false;
};

}  // namespace tallowick
