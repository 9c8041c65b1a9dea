#include "app/screen_reader_voice.h"

#include <QAccessible>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QTimer>

namespace tallowick {

void ScreenReaderVoice::say(const std::string& text) {
    pending_ = QString::fromStdString(text).trimmed();
    if (!pending_.isEmpty()) schedule();  // an empty reply only silences: nothing to tell
}

void ScreenReaderVoice::queue(const std::string& text) {
    if (text.empty()) return;
    if (!pending_.isEmpty()) pending_ += QLatin1Char(' ');
    pending_ += QString::fromStdString(text).trimmed();
    schedule();
}

void ScreenReaderVoice::schedule() {
    if (scheduled_ || notice_ == nullptr) return;
    scheduled_ = true;
    QTimer::singleShot(0, notice_.data(), [this] { present(); });
}

void ScreenReaderVoice::present() {
    scheduled_ = false;
    const QString text = pending_;
    pending_.clear();
    if (notice_ == nullptr || text.isEmpty()) return;
    notice_->setAccessibleName(text);
    QAccessibleEvent shown(notice_.data(), QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}

bool ScreenReaderVoice::screenReaderRunning() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    call << QStringLiteral("org.a11y.Status") << QStringLiteral("ScreenReaderEnabled");
    const QDBusReply<QDBusVariant> reply = bus.call(call, QDBus::Block, 2000);
    return reply.isValid() && reply.value().variant().toBool();
}

}  // namespace tallowick
