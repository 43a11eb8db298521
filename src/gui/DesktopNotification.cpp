#include "gui/DesktopNotification.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>
#include <QVariantMap>

namespace {

// The session bus's address; empty when there is none. Without one the D-Bus library would
// try to start a bus of its own, which a notification is not worth.
QString sessionBusAddress()
{
    const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (!address.isEmpty())
        return address;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString socket = runtime + QStringLiteral("/bus");
    return !runtime.isEmpty() && QFileInfo::exists(socket) ? QStringLiteral("unix:path=") + socket
                                                           : QString();
}

} // namespace

void notifyDesktop(const QString& summary, const QString& body)
{
    const QString address = sessionBusAddress();
    if (address.isEmpty())
        return;
    // One connection per address, so a bus that went away is not asked again.
    const QString name = QStringLiteral("tunecrest-notifications ") + address;
    QDBusConnection bus = QDBusConnection::connectToBus(address, name);
    if (!bus.isConnected()) {
        QDBusConnection::disconnectFromBus(name);
        return;
    }
    QDBusMessage notify = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("tunecrest")}};
    notify << QCoreApplication::applicationName() << 0u << QStringLiteral("tunecrest") << summary
           << body << QStringList() << hints << -1;
    // No answer is awaited: a missing service gives an error reply that nobody needs.
    bus.send(notify);
}
