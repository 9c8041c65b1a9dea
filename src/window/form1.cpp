#include "window/form1.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>

#include "config/build_config.h"
#include "window/window_accessible.h"

namespace tallowick {
namespace {

// The window's layout in pixels of its client area.
constexpr int kClientWidth = 176, kClientHeight = 279;
constexpr QRect kText1(8, 8, 161, 19);
constexpr QRect kPicture1(8, 32, 161, 241);

QAccessibleInterface* windowAccessibles(const QString&, QObject* object) {
    if (auto* panel = dynamic_cast<PanelWidget*>(object)) {
        return new OrderListAccessible(panel, panel->table, panel->clock);
    }
    if (auto* form = dynamic_cast<Form1*>(object)) return new FrameAccessible(form);
    if (object->objectName() == QLatin1String("Notice") && object->isWidgetType()) {
        return new NoticeAccessible(static_cast<QWidget*>(object));
    }
    return nullptr;
}

}  // namespace

PanelWidget::PanelWidget(const QtPanelCanvas& canvas, const OrderTable& orders, Clock& ordersClock,
                         QWidget* parent)
    : QWidget(parent), table(orders), clock(ordersClock), canvas_(canvas) {
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
      core_(Seams{clock, voice, player, canvas_, shell, files, diagnostics}, programDir),
      Text1(new QLineEdit(this)),
      Picture1(new PanelWidget(canvas_, core_.table(), clock, this)),
      Timer1(new SecondTimer(this)) {
    static const bool factoryInstalled = (QAccessible::installFactory(windowAccessibles), true);
    (void)factoryInstalled;
    core_.addWatcher(*this);
    setWindowTitle(QStringLiteral("Tallowick (v%1)").arg(QLatin1String(kVersion)));
    setFixedSize(kClientWidth, kClientHeight);

    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(kText1);
    Text1->setAccessibleName(QStringLiteral("Command"));
    Text1->setAccessibleDescription(QStringLiteral(
        "Type a command and press Enter. Type help to hear the commands, orders to hear the "
        "orders."));
    Text1->installEventFilter(this);

    // The panel repaints every second; screen readers read it as a list of the orders, whose
    // texts are worked out when they ask, so they are not told of every repaint.
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(kPicture1);
    Picture1->setAccessibleName(QStringLiteral("Orders"));
    Picture1->setAccessibleDescription(QStringLiteral("The standing orders, with their times"));

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

QLabel* Form1::addNotice() {
    if (notice_ == nullptr) {
        // Orca speaks the notification and its labels, and brailles the labels' text.
        auto* notice = new QWidget(this);
        notice->setObjectName(QStringLiteral("Notice"));
        notice->setGeometry(0, 0, 0, 0);
        notice_ = new QLabel(notice);
        notice_->setObjectName(QStringLiteral("NoticeText"));
        notice->show();
    }
    return notice_;
}

void Form1::ordersChanged(const OrderTable& previous, const OrderTable&) {
    // Without an assistive technology nothing asks, and nothing is built to tell.
    if (!QAccessible::isActive()) return;
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(Picture1);
    if (auto* orders = dynamic_cast<OrderListAccessible*>(list)) orders->ordersChanged(previous);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Text1 && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        return Text1_KeyDown(key->key(), key->modifiers());
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace tallowick
