// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>

#include <QLabel>
#include <QLineEdit>
#include <QWidget>

#include "commands/core.h"
#include "orders/order_watcher.h"
#include "window/qt_panel_canvas.h"
#include "window/second_timer.h"

namespace tallowick {

// The order panel on screen: shows the canvas's picture, made for the pixels of the screen it is
// on; to screen readers, a list of the orders of `table`.
class PanelWidget final : public QWidget {
  public:
    PanelWidget(QtPanelCanvas& canvas, const OrderTable& orders, Clock& ordersClock,
                QWidget* parent);

    const OrderTable& table;
    Clock& clock;
    // The order under the keyboard focus while the panel has it: 1 to the table's orderCount().
    int currentOrder = 1;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QtPanelCanvas& canvas_;
};

// The program's one window: the command entry, the orders panel and the one-second timer. It
// only turns their events into calls of the core, and tells screen readers when the set of
// orders changes. Tab moves the focus between the entry and the orders; in the orders Up and
// Down move from one to the next, Escape goes back to the entry.
class MainWindow final : public QWidget, private OrderWatcher {
    Q_OBJECT

    // First of all members: the panel widget and the core both use it.
    QtPanelCanvas canvas_;
    // Before the widgets: the panel reads its table.
    Core core_;

  public:
    // The seams must outlive the window; the panel canvas is the window's own. `dataDir` is the
    // directory of the core's files (see Core). The window's sizes, the entry's text and the
    // panel's rows are `zoom` (1 to 4) times as large, and grow with a font DPI above 96.
    MainWindow(Clock& clock, Voice& voice, SoundPlayer& player, Shell& shell, Files& files,
               Diagnostics& diagnostics, const std::string& dataDir, int zoom = 1,
               QWidget* parent = nullptr);

    // Loads the saved orders and starts the one-second timer; call once, before the window is
    // first shown.
    void start();
    // The next second's work comes at once (the machine has just woken up).
    void tickNow();
    // A second's work that is due is done now: call before other work from the event loop.
    void tickIfDue();

    // Adds the invisible notification, in an invisible status bar, through which a screen reader
    // presents the replies (see ScreenReaderVoice), once; returns the label that is to hold the
    // text.
    QLabel* addNotice();

    Core& core() { return core_; }

    // Runs on every key pressed in the window but Enter in the entry, modifiers alone included
    // (Orca's stop-speech key is Control): cuts the program's own speech.
    std::function<void()> keyTyped;

    // Test hooks: `key` pressed in the command entry holding `line`, returning what the entry
    // holds then; the panel's picture.
    QString typeForTesting(const QString& line, int key, Qt::KeyboardModifiers modifiers);
    const QImage& panelForTesting() const { return canvas_.image(); }

  signals:
    // "exit" was typed: the program is to end now, saving and saying nothing.
    void exitRequested();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Enter (either key, with any modifier) hands the line to the core and clears the entry.
    // Returns true when the key was Enter.
    bool onCommandKey(int key);
    // One tick of the clock.
    void onSecond();
    void ordersChanged(const OrderTable& previous, const OrderTable& table) override;
    // Keys in the orders panel; returns true when it took the key.
    bool onOrdersKey(int key);
    // Tells screen readers the focus is on the current order, after the panel's own focus event.
    void focusCurrentOrder();

    QLineEdit* const commandEntry_;
    PanelWidget* const ordersPanel_;
    SecondTimer* const secondTimer_;
    QLabel* notice_ = nullptr;
    WatcherSubscription watching_;  // ends before the core
};

}  // namespace tallowick
