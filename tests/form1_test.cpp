// The window on Qt's offscreen platform: typed lines reach the core, the panel's pixels follow
// the ticks of a fake clock.

#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include "app/form1.h"
#include "fakes.h"

using namespace tallowick;

class Form1Test : public QObject {
    Q_OBJECT

    struct Window {
        FakeClock clock;
        FakeVoice voice;
        FakeSoundPlayer player;
        FakeShell shell;
        MemoryFiles files;
        FakeDiagnostics diagnostics;
        Form1 form{clock, voice, player, shell, files, diagnostics, "/prog"};
        Window() { form.Timer1->stop(); }  // the tests tick by hand
        void type(const QString& text, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                  Qt::Key key = Qt::Key_Return) {
            form.Text1->setText(text);
            QTest::keyClick(form.Text1, key, modifiers);
        }
        QColor pixel(int x, int y) const { return form.canvas().image().pixelColor(x, y); }
        // How many pixels of the row at `top` have exactly `color`.
        int count(int top, QColor color) const {
            int n = 0;
            for (int y = top + 1; y < top + 18; ++y) {
                for (int x = 0; x < 161; ++x) n += pixel(x, y) == color;
            }
            return n;
        }
    };

    // The first column with anything but white in the top row of `image`.
    static int firstInk(const QImage& image) {
        for (int x = 0; x < image.width(); ++x) {
            for (int y = 0; y < 18; ++y) {
                if (image.pixelColor(x, y) != Qt::white) return x;
            }
        }
        return -1;
    }

  private slots:
    void theRowFontIsBoldAndFitsARow() {
        Window w;
        QVERIFY(QFontMetrics(w.form.canvas().font()).height() <= 18);
        QVERIFY(w.form.canvas().font().bold());
    }

    void enterHandsTheLineToTheCoreAndClearsTheBox() {
        Window w;
        w.type(QStringLiteral("In 5 M"));
        QCOMPARE(w.form.core().table().orderCount(), 1);
        QCOMPARE(w.form.Text1->text(), QString());
        QCOMPARE(w.voice.last(), std::string("say:Alarm number 1 set for  5  minutes "));
        w.type(QStringLiteral("mark"), Qt::ControlModifier, Qt::Key_Enter);
        w.type(QStringLiteral("mark"), Qt::ShiftModifier);
        QCOMPARE(w.form.core().table().orderCount(), 3);
        QCOMPARE(w.files.replaces, 3);
        w.type(QStringLiteral("CAFÉ"));
        QCOMPARE(w.voice.last(), std::string("say:Incorrect entry, type help to list commands"));
    }

    // That nothing is saved or said is the core's part, tested with the terminal.
    void exitEndsWithoutClearing() {
        Window w;
        QSignalSpy exits(&w.form, &Form1::exitRequested);
        w.type(QStringLiteral("exit"));
        QCOMPARE(exits.count(), 1);
        QCOMPARE(w.form.Text1->text(), QStringLiteral("exit"));
    }

    void thePanelShowsAlarmsWhiteMarksGreenAndZeroRed() {
        Window w;
        w.type(QStringLiteral("in 1 h"));
        w.type(QStringLiteral("mark"));
        w.type(QStringLiteral("in 1 s"));
        w.clock.advance(1);
        w.form.Timer1_Timer();
        const QColor white(255, 255, 255), green(0, 255, 0), black(0, 0, 0), red(255, 0, 0);
        // Row 1: a waiting alarm, black on white.
        QVERIFY(w.count(0, black) > 20);
        QCOMPARE(w.count(0, red), 0);
        QCOMPARE(w.count(0, green), 0);
        // Row 2: a mark, black on green.
        QVERIFY(w.count(18, green) > 1000);
        QVERIFY(w.count(18, black) > 5);
        QCOMPARE(w.count(18, white), 0);
        // Row 3: the alarm going off, red 0 s on white.
        QVERIFY(w.count(36, red) > 5);
        QCOMPARE(w.count(36, black), 0);
        // Below the last row the panel is untouched.
        QCOMPARE(w.count(60, white), 161 * 17);
        // Text starts 2 pixels in: 2 columns right of where the same text alone starts at 0.
        QImage alone(161, 18, QImage::Format_RGB32);
        alone.fill(white);
        QPainter painter(&alone);
        painter.setFont(w.form.canvas().font());
        painter.drawText(0, QFontMetrics(painter.font()).ascent(), QStringLiteral("59 m 59 s"));
        painter.end();
        QCOMPARE(firstInk(w.form.canvas().image()), firstInk(alone) + 2);
    }

    void removingOrdersClearsThePanelUntilTheNextTick() {
        Window w;
        w.type(QStringLiteral("mark"));
        w.type(QStringLiteral("mark"));
        w.form.Timer1_Timer();
        QVERIFY(w.count(18, QColor(0, 255, 0)) > 1000);
        QCOMPARE(w.pixel(80, 36), QColor(0, 255, 0));  // a box takes in its lower edge
        w.type(QStringLiteral("delete 1"));
        QCOMPARE(w.count(0, QColor(255, 255, 255)), 161 * 17);
        w.form.Timer1_Timer();
        QVERIFY(w.count(0, QColor(0, 255, 0)) > 1000);
        QCOMPARE(w.count(18, QColor(255, 255, 255)), 161 * 17);
    }

    void theWidgetShowsThePanelsPicture() {
        Window w;
        w.type(QStringLiteral("mark"));
        w.form.Timer1_Timer();
        w.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.form));
        const QImage shown = w.form.Picture1->grab().toImage();
        QCOMPARE(shown.pixelColor(150, 5), QColor(0, 255, 0));
        QCOMPARE(shown.pixelColor(150, 30), QColor(255, 255, 255));
    }
};

QTEST_MAIN(Form1Test)
#include "form1_test.moc"
