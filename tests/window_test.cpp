// The window on fakes: the entry, the panel's pixels.

#include <gtest/gtest.h>
#include <QApplication>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include "fakes.h"
#include "window/form1.h"

namespace tallowick {
namespace {

const QColor white(255, 255, 255), green(0, 255, 0), black(0, 0, 0), red(255, 0, 0);

struct Form1Test : ::testing::Test {
    static void SetUpTestSuite() {
        static int argc = 1;
        static char* argv[] = {const_cast<char*>("app_tests"), nullptr};
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = new QApplication(argc, argv);
    }
    static void TearDownTestSuite() { delete app; }  // before Qt's own statics go
    static inline QApplication* app = nullptr;
    Rig fakes;  // its own core stays unused
    Form1 form{fakes.clock, fakes.voice,       fakes.player, fakes.shell,
               fakes.files, fakes.diagnostics, "/prog"};

    void SetUp() override { form.Timer1->stop(); }  // the tests tick by hand
    void type(const char* text, Qt::KeyboardModifiers modifiers = {}, int key = Qt::Key_Return) {
        form.Text1->setText(QString::fromUtf8(text));
        QTest::keyClick(form.Text1, static_cast<Qt::Key>(key), modifiers);
    }
    // The panel's 18 pixel rows from `top` as they must be: `text` in `ink` on `fill`, 2 pixels in.
    void expectRow(int top, QColor fill, QColor ink = white, const char* text = "") {
        QImage row(161, 18, form.canvas().image().format());
        row.fill(fill);
        QPainter painter(&row);
        painter.setFont(form.canvas().font());
        painter.setPen(ink);
        painter.drawText(2, QFontMetrics(painter.font()).ascent(), QString::fromUtf8(text));
        painter.end();
        EXPECT_EQ(form.canvas().image().copy(0, top, 161, 18), row) << top << " " << text;
    }
};

TEST_F(Form1Test, EitherEnterHandsTheLineToTheCoreAndClearsTheBoxButExitEndsAsItIs) {
    type("In 5 M");
    EXPECT_EQ(form.Text1->text(), QString());
    EXPECT_EQ(fakes.voice.last(), "say:Alarm number 1 set for  5  minutes ");
    type("mark", Qt::ControlModifier, Qt::Key_Enter);
    type("mark", Qt::ShiftModifier);
    EXPECT_EQ(form.core().table().orderCount(), 3);
    EXPECT_EQ(fakes.files.replaces, 3);
    QSignalSpy exits(&form, &Form1::exitRequested);
    type("exit");
    EXPECT_TRUE(exits.count() == 1 && form.Text1->text() == QStringLiteral("exit"));
}

TEST_F(Form1Test, ThePanelShowsAlarmsWhiteRingingRedAndMarksGreenUntilAnOrderIsRemoved) {
    type("in 1 h");
    type("in 1 s");
    type("mark");
    fakes.clock.advance(1);
    form.Timer1_Timer();
    const QFont font = form.canvas().font();
    EXPECT_TRUE(font.bold() && QFontMetrics(font).height() <= 18);
    expectRow(0, white, black, "59 m 59 s");
    expectRow(18, white, red, "0 s");
    expectRow(36, green, black, "1 s");
    EXPECT_EQ(form.canvas().image().pixelColor(80, 54), green);  // a box takes in its lower edge
    expectRow(55, white);                                        // below the last row, untouched

    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(form.Picture1->grab().toImage().pixelColor(150, 40), green);
    type("delete 1");
    expectRow(0, white);  // cleared until the next tick
    form.Timer1_Timer();
    expectRow(18, green, black, "1 s");
    expectRow(37, white);
}

}  // namespace
}  // namespace tallowick
