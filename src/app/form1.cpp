#include "app/form1.h"

#include <QKeyEvent>
#include <QPainter>

namespace tallowick {
namespace {

// The window's layout in pixels of its client area.
constexpr int kClientWidth = 176, kClientHeight = 279;
constexpr QRect kText1(8, 8, 161, 19);
constexpr QRect kPicture1(8, 32, 161, 241);

}  // namespace

PanelWidget::PanelWidget(const QtPanelCanvas& canvas, QWidget* parent)
    : QWidget(parent), canvas_(canvas) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PanelWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, canvas_.image());
}

Form1::Form1(Clock& clock, Voice& voice, SoundPlayer& player, Shell& shell, Files& files,
             Diagnostics& diagnostics, const std::string& programDir, QWidget* parent)
    : QWidget(parent),
      canvas_(kPicture1.width(), kPicture1.height(), [this] { Picture1->update(); }),
      Text1(new QLineEdit(this)),
      Picture1(new PanelWidget(canvas_, this)),
      Timer1(new SecondTimer(this)),
      core_(Seams{clock, voice, player, canvas_, shell, files, diagnostics}, programDir) {
    setWindowTitle(QStringLiteral("Tallowick (v1.2)"));
    setFixedSize(kClientWidth, kClientHeight);

    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(kText1);
    Text1->setAccessibleName(QStringLiteral("Command"));
    Text1->installEventFilter(this);

    // The panel repaints every second; its accessible name stays fixed, so screen readers
    // are not told of every repaint.
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(kPicture1);
    Picture1->setAccessibleName(QStringLiteral("Orders"));
    Picture1->setAccessibleDescription(
        QStringLiteral("The time of each order; type orders to hear them"));

    setFocusProxy(Text1);
    Text1->setFocus();

    Timer1->setObjectName(QStringLiteral("Timer1"));
    connect(Timer1, &SecondTimer::timeout, this, &Form1::Timer1_Timer);
    Timer1->start();
}

void Form1::Form_Load() {
    core_.load();
}

bool Form1::Text1_KeyDown(int keyCode, Qt::KeyboardModifiers) {
    if (keyCode != Qt::Key_Return && keyCode != Qt::Key_Enter) return false;
    const QByteArray typed = Text1->text().toUtf8();
    if (core_.line(std::string_view(typed.constData(), static_cast<size_t>(typed.size()))) ==
        Core::LineResult::exit) {
        emit exitRequested();
        return true;
    }
    Text1->clear();
    return true;
}

void Form1::Timer1_Timer() {
    core_.tick();
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Text1 && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        return Text1_KeyDown(key->key(), key->modifiers());
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace tallowick
