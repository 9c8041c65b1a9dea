// SPDX-License-Identifier: GPL-3.0-or-later
// The window on fakes: the entry, the panel's pixels.

#include <gtest/gtest.h>
#include <QAccessible>
#include <QApplication>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include "fakes.h"
#include "window/main_window.h"

namespace tallowick {
namespace {

const QColor white(255, 255, 255), green(0, 255, 0), black(0, 0, 0), red(255, 0, 0);

struct MainWindowTest : ::testing::Test {
    static void SetUpTestSuite() {
        static int argc = 1;
        static char* argv[] = {const_cast<char*>("app_tests"), nullptr};
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = new QApplication(argc, argv);
    }
    static void TearDownTestSuite() { delete app; }  // before Qt's own statics go
    static inline QApplication* app = nullptr;
    Rig fakes;  // its own core stays unused
    MainWindow window{fakes.clock, fakes.voice,       fakes.player, fakes.shell,
                      fakes.files, fakes.diagnostics, "/data"};  // not started: ticked by hand

    // Types `text` and presses `key`; returns what the entry holds then.
    QString type(const char* text, Qt::KeyboardModifiers modifiers = {}, int key = Qt::Key_Return) {
        return window.typeForTesting(QString::fromUtf8(text), key, modifiers);
    }
    // The panel's 18 pixel rows from `top` as they must be: `text` in `ink` on `fill`, 2 pixels in.
    void expectRow(int top, QColor fill, QColor ink = white, const char* text = "") {
        QImage row(161, 18, QImage::Format_RGB32);
        row.fill(fill);
        QPainter painter(&row);
        painter.setFont(QtPanelCanvas::rowFont(18));
        painter.setPen(ink);
        painter.drawText(2, QFontMetrics(painter.font()).ascent(), QString::fromUtf8(text));
        painter.end();
        EXPECT_EQ(window.panelForTesting().copy(0, top, 161, 18), row) << top << " " << text;
    }
};

TEST_F(MainWindowTest, EitherEnterHandsTheLineToTheCoreAndClearsTheBoxButExitEndsAsItIs) {
    EXPECT_EQ(type("In 5 M"), QString());
    EXPECT_EQ(fakes.voice.last(), "say:Alarm number 1 set for  5  minutes ");
    type("mark", Qt::ControlModifier, Qt::Key_Enter);
    type("mark", Qt::ShiftModifier);
    EXPECT_EQ(window.core().table().orderCount(), 3);
    EXPECT_EQ(fakes.files.replaces, 3);
    QSignalSpy exits(&window, &MainWindow::exitRequested);
    EXPECT_TRUE(type("exit") == QStringLiteral("exit") && exits.count() == 1);
}

TEST_F(MainWindowTest, ThePanelShowsAlarmsWhiteRingingRedAndMarksGreenUntilAnOrderIsRemoved) {
    type("in 1 h");
    type("in 1 s");
    type("mark");
    fakes.clock.advance(1);
    window.core().tick();
    const QFont font = QtPanelCanvas::rowFont(18);
    EXPECT_TRUE(font.bold() && QFontMetrics(font).height() <= 18);
    expectRow(0, white, black, "59 m 59 s");
    expectRow(18, white, red, "0 s");
    expectRow(36, green, black, "1 s");
    EXPECT_EQ(window.panelForTesting().pixelColor(80, 54), green);  // a box takes in its lower edge
    expectRow(55, white);                                           // below the last row, untouched

    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.grab().toImage().pixelColor(8 + 150, 32 + 40), green);  // the panel, in place
    type("delete 1");
    expectRow(0, white);  // cleared until the next tick
    window.core().tick();
    expectRow(18, green, black, "1 s");
    expectRow(37, white);
}

// Zoomed, the panel is compared whole: twice as large, its text in a font fitting the rows. A
// screen of twice the device pixels gets the same picture at zoom 1, shown at half its size.
TEST_F(MainWindowTest, AtZoomTwoOrTwiceTheDevicePixelsThePanelIsTwiceAsLarge) {
    MainWindow zoomed{fakes.clock, fakes.voice,       fakes.player, fakes.shell,
                      fakes.files, fakes.diagnostics, "/data",      2};
    zoomed.typeForTesting(QStringLiteral("mark"), Qt::Key_Return, {});
    fakes.clock.advance(1);
    zoomed.core().tick();
    QImage expected(322, 482, QImage::Format_RGB32);
    expected.fill(white);
    QPainter painter(&expected);
    painter.fillRect(QRect(QPoint(0, 0), QPoint(321, 37)), green);
    painter.setFont(QtPanelCanvas::rowFont(36));
    painter.setPen(black);
    painter.drawText(4, QFontMetrics(painter.font()).ascent(), QStringLiteral("1 s"));
    painter.end();
    EXPECT_EQ(zoomed.panelForTesting(), expected);
    EXPECT_EQ(zoomed.size(), QSize(352, 558));
    zoomed.show();  // hidden widgets have no place on the screen
    auto* list = QAccessible::queryAccessibleInterface(zoomed.findChild<QWidget*>("OrdersPanel"));
    EXPECT_EQ(list->child(0)->rect().size(), QSize(322, 36));  // where a magnifier looks
    QtPanelCanvas canvas(161, 241, {});
    canvas.setDeviceRatio(2);  // the window moved to such a screen
    canvas.fillBox(0, 0, 161, 18, {0, 255, 0});
    canvas.writeText(2, 0, "1 s", {});
    EXPECT_TRUE(canvas.image() == expected && canvas.image().devicePixelRatio() == 2);
}

}  // namespace
}  // namespace tallowick
