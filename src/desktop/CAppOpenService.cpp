#include "desktop/CAppOpenService.h"

#include "mainwnd/CExternalFiles.h"
#include "mainwnd/CTetravDlg.h"
#include "platform/DesktopIds.h"
#include "platform/SessionBus.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QTimer>
#include <QUrl>

namespace {

const QString kInterface = QStringLiteral("org.freedesktop.Application");

} // namespace

CAppOpenService::CAppOpenService(CTetravDlg* dlg) : QDBusVirtualObject(dlg), m_dlg(dlg) {
    setObjectName(QStringLiteral("appOpenService"));
}

CAppOpenService::~CAppOpenService() {
    if (m_registered) {
        SessionBus::Unexport(QString::fromLatin1(DesktopIds::kAppPath));
    }
}

bool CAppOpenService::Register() {
    if (m_registered) {
        return true;
    }
    if (!SessionBus::Export(this, QString::fromLatin1(DesktopIds::kAppPath),
                            QString::fromLatin1(DesktopIds::kAppId))) {
        return false;
    }
    m_registered = true;
    return true;
}

QString CAppOpenService::introspect(const QString& path) const {
    if (path != QLatin1String(DesktopIds::kAppPath)) {
        return {};
    }
    return QStringLiteral(R"(<interface name="org.freedesktop.Application">
  <method name="Activate"><arg type="a{sv}" name="platform_data" direction="in"/></method>
  <method name="Open">
    <arg type="as" name="uris" direction="in"/><arg type="a{sv}" name="platform_data" direction="in"/>
  </method>
  <method name="ActivateAction">
    <arg type="s" name="action_name" direction="in"/><arg type="av" name="parameter" direction="in"/>
    <arg type="a{sv}" name="platform_data" direction="in"/>
  </method>
</interface>
)");
}

bool CAppOpenService::handleMessage(const QDBusMessage& message, const QDBusConnection& connection) {
    if (message.type() != QDBusMessage::MethodCallMessage ||
        message.path() != QLatin1String(DesktopIds::kAppPath) || message.interface() != kInterface) {
        return false;
    }
    QDBusMessage reply;
    const QString member = message.member();
    CExternalFiles* files = m_dlg->findChild<CExternalFiles*>();
    if (member == QLatin1String("Activate") && message.signature() == QLatin1String("a{sv}")) {
        m_dlg->setWindowState(m_dlg->windowState() & ~Qt::WindowMinimized);
        m_dlg->raise();
        m_dlg->activateWindow();
        reply = message.createReply();
    } else if (member == QLatin1String("Open") && message.signature() == QLatin1String("asa{sv}") &&
               files != nullptr) {
        QList<QUrl> urls;
        for (const QString& uri : message.arguments().at(0).toStringList()) {
            urls << QUrl(uri);
        }
        if (urls.isEmpty()) {
            reply = message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"),
                                             QStringLiteral("no files"));
        } else {
            // After the reply, so the second copy is not held by the open or its messages.
            // The platform data may carry the second copy's run options.
            const RunOptions options =
                RunOptions::FromPlatformData(qdbus_cast<QVariantMap>(message.arguments().at(1)));
            QTimer::singleShot(0, files, [files, urls, options] { files->OpenAsSet(urls, options); });
            reply = message.createReply();
        }
    } else {
        reply = message.createErrorReply(
            QStringLiteral("org.freedesktop.DBus.Error.NotSupported"),
            QStringLiteral("%1(%2) is not supported").arg(member, message.signature()));
    }
    if (message.isReplyRequired()) {
        connection.send(reply);
    }
    return true;
}
