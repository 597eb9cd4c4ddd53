#include "desktop/CFileHandoff.h"

#include "platform/DesktopIds.h"
#include "platform/FileName.h"
#include "platform/SessionBus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QThread>
#include <QUrl>
#include <QVariantMap>

bool CFileHandoff::Send(const QStringList& files, const RunOptions& options, QString* error, int timeoutMs) {
    if (!SessionBus::IsThere()) {
        *error = QStringLiteral("there is no session bus to reach it");
        return false;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        *error = bus.lastError().message();
        return false;
    }
    QStringList uris;
    for (const QString& file : files) {
        if (!file.isEmpty()) {                                  // a pane left empty has nothing to hand over
            uris << QString::fromLatin1(FileName::ToUri(file)); // byte for byte: names need not be UTF-8
        }
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(DesktopIds::kAppId), QString::fromLatin1(DesktopIds::kAppPath),
        QStringLiteral("org.freedesktop.Application"), QStringLiteral("Open"));
    call << uris << options.ToPlatformData();
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const int left = std::max(100, timeoutMs - static_cast<int>(clock.elapsed()));
        const QDBusMessage reply = bus.call(call, QDBus::Block, left);
        if (reply.type() == QDBusMessage::ReplyMessage) {
            return true;
        }
        // The running copy may hold the lock but not its name yet: ask again for a while.
        const bool notYet = reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown");
        if (!notYet || clock.elapsed() >= timeoutMs) {
            *error = reply.errorMessage();
            return false;
        }
        QThread::msleep(100);
    }
}
