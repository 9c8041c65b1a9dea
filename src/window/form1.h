#pragma once

#include <string>

#include <QLabel>
#include <QLineEdit>
#include <QWidget>

#include "commands/core.h"
#include "orders/order_watcher.h"
#include "window/qt_panel_canvas.h"
#include "window/second_timer.h"

namespace tallowick {

// The order panel on screen: shows the canvas's picture; to screen readers, a list of the
// orders of `table`.
class PanelWidget final : public QWidget {
  public:
    PanelWidget(const QtPanelCanvas& canvas, const OrderTable& orders, Clock& ordersClock,
                QWidget* parent);

    const OrderTable& table;
    Clock& clock;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    const QtPanelCanvas& canvas_;
};

// The program's one window: the entry box Text1, the order panel Picture1 and the one-second
// Timer1. It only turns its events into calls of the core, and tells screen readers when the
// set of orders changes.
class Form1 final : public QWidget, private OrderWatcher {
    Q_OBJECT

    // First of all members: the panel widget and the core both use it.
    QtPanelCanvas canvas_;
    // Before the widgets: the panel reads its table.
    Core core_;

  public:
    // The seams must outlive the window; the panel canvas is the window's own.
    Form1(Clock& clock, Voice& voice, SoundPlayer& player, Shell& shell, Files& files,
          Diagnostics& diagnostics, const std::string& programDir, QWidget* parent = nullptr);

    // Loads the saved orders; runs once before the window is first shown.
    void Form_Load();
    // Enter (either key, with any modifier) hands the line to the core and clears the box.
    // Returns true when the key was Enter.
    bool Text1_KeyDown(int keyCode, Qt::KeyboardModifiers shift);
    // One tick of the clock.
    void Timer1_Timer();

    // Adds the invisible notification through which a screen reader presents the replies (see
    // ScreenReaderVoice), once; returns the label that is to hold the text.
    QLabel* addNotice();

    const Core& core() const { return core_; }
    Core& core() { return core_; }
    const QtPanelCanvas& canvas() const { return canvas_; }

    QLineEdit* const Text1;
    PanelWidget* const Picture1;
    SecondTimer* const Timer1;

  signals:
    // "exit" was typed: the program is to end now, saving and saying nothing.
    void exitRequested();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ordersChanged(const OrderTable& previous, const OrderTable& table) override;

    QLabel* notice_ = nullptr;
    WatcherSubscription watching_;  // ends before the core
};

}  // namespace tallowick
