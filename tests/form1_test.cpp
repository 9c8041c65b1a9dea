// The window on Qt's offscreen platform: typed lines reach the core, the panel's pixels follow
// the ticks of a fake clock.

#include <gtest/gtest.h>
#include <QApplication>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include "app/form1.h"
#include "fakes.h"

namespace tallowick {
namespace {

const QColor white(255, 255, 255), green(0, 255, 0), black(0, 0, 0), red(255, 0, 0);

struct Form1Test : ::testing::Test {
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "app_tests";
        static char* argv[] = {name, nullptr};
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = new QApplication(argc, argv);
    }
    static void TearDownTestSuite() { delete app; }  // before Qt's own statics go
    static inline QApplication* app = nullptr;
    FakeClock clock;
    FakeVoice voice;
    FakeSoundPlayer player;
    FakeShell shell;
    MemoryFiles files;
    FakeDiagnostics diagnostics;
    Form1 form{clock, voice, player, shell, files, diagnostics, "/prog"};

    void SetUp() override { form.Timer1->stop(); }  // the tests tick by hand
    void type(const char* text, Qt::KeyboardModifiers modifiers = {}, int key = Qt::Key_Return) {
        form.Text1->setText(QString::fromUtf8(text));
        QTest::keyClick(form.Text1, static_cast<Qt::Key>(key), modifiers);
    }
    // How many pixels of the panel's row at `top` have exactly `color`.
    int count(int top, QColor color) const {
        int n = 0;
        for (int y = top + 1; y < top + 18; ++y) {
            for (int x = 0; x < 161; ++x) n += form.canvas().image().pixelColor(x, y) == color;
        }
        return n;
    }
};

// The first column with anything but white in the top row of `image`.
int firstInk(const QImage& image) {
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < 18; ++y) {
            if (image.pixelColor(x, y) != white) return x;
        }
    }
    return -1;
}

TEST_F(Form1Test, EitherEnterHandsTheLineToTheCoreAndClearsTheBoxButExitEndsAsItIs) {
    type("In 5 M");
    EXPECT_EQ(form.core().table().orderCount(), 1);
    EXPECT_EQ(form.Text1->text(), QString());
    EXPECT_EQ(voice.last(), "say:Alarm number 1 set for  5  minutes ");
    type("mark", Qt::ControlModifier, Qt::Key_Enter);
    type("mark", Qt::ShiftModifier);
    EXPECT_EQ(form.core().table().orderCount(), 3);
    EXPECT_EQ(files.replaces, 3);
    QSignalSpy exits(&form, &Form1::exitRequested);
    type("exit");
    EXPECT_EQ(exits.count(), 1);
    EXPECT_EQ(form.Text1->text(), QStringLiteral("exit"));
}

TEST_F(Form1Test, ThePanelShowsAlarmsWhiteRingingRedAndMarksGreenUntilAnOrderIsRemoved) {
    type("in 1 h");
    type("in 1 s");
    type("mark");
    clock.advance(1);
    form.Timer1_Timer();
    const QFont font = form.canvas().font();
    EXPECT_TRUE(font.bold() && QFontMetrics(font).height() <= 18);
    EXPECT_GT(count(0, black), 20);  // a waiting alarm, black on white
    EXPECT_EQ(count(0, red) + count(0, green), 0);
    EXPECT_GT(count(18, red), 5);  // the alarm going off, red 0 s on white
    EXPECT_EQ(count(18, black), 0);
    EXPECT_GT(count(36, green), 1000);  // a mark, black on green
    EXPECT_GT(count(36, black), 5);
    EXPECT_EQ(count(36, white), 0);
    EXPECT_EQ(form.canvas().image().pixelColor(80, 54), green);  // a box takes in its lower edge
    EXPECT_EQ(count(54, white), 161 * 17);                       // below the last row, untouched
    // Text starts 2 pixels in: 2 columns right of where the same text alone starts at 0.
    QImage alone(161, 18, QImage::Format_RGB32);
    alone.fill(white);
    QPainter painter(&alone);
    painter.setFont(font);
    painter.drawText(0, QFontMetrics(font).ascent(), QStringLiteral("59 m 59 s"));
    painter.end();
    EXPECT_EQ(firstInk(form.canvas().image()), firstInk(alone) + 2);

    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(form.Picture1->grab().toImage().pixelColor(150, 40), green);
    type("delete 1");
    EXPECT_EQ(count(0, white), 161 * 17);  // cleared until the next tick
    form.Timer1_Timer();
    EXPECT_GT(count(18, green), 1000);
    EXPECT_EQ(count(36, white), 161 * 17);
}

}  // namespace
}  // namespace tallowick
