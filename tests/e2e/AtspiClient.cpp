#include "e2e/AtspiClient.h"

#include <QAtomicInt>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>

namespace {

const QString kAccessible = QStringLiteral("org.a11y.atspi.Accessible");
const QString kRegistry = QStringLiteral("org.a11y.atspi.Registry");
const QString kRootPath = QStringLiteral("/org/a11y/atspi/accessible/root");
constexpr int kCallTimeoutMs = 5000;

QAtomicInt g_connections;

QDBusMessage call(QDBusConnection& bus, const QString& service, const QString& path, const QString& iface,
                  const QString& method, const QVariantList& args = {}) {
    QDBusMessage m = QDBusMessage::createMethodCall(service, path, iface, method);
    m.setArguments(args);
    return bus.call(m, QDBus::Block, kCallTimeoutMs);
}

bool ok(const QDBusMessage& reply) {
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty();
}

} // namespace

AtspiClient::AtspiClient() = default;

AtspiClient::~AtspiClient() {
    m_bus.reset();
    if (!m_connectionName.isEmpty()) {
        QDBusConnection::disconnectFromBus(m_connectionName + QStringLiteral("-a11y"));
        QDBusConnection::disconnectFromBus(m_connectionName + QStringLiteral("-session"));
    }
}

bool AtspiClient::connect(const QString& sessionBusAddress) {
    m_connectionName = QStringLiteral("e2e-atspi-%1").arg(g_connections.fetchAndAddRelaxed(1));
    QDBusConnection session =
        QDBusConnection::connectToBus(sessionBusAddress, m_connectionName + QStringLiteral("-session"));
    if (!session.isConnected()) {
        m_error = QStringLiteral("cannot connect to the session bus: %1").arg(session.lastError().message());
        return false;
    }
    // The session bus starts the accessibility bus on the first request for its address.
    QDBusMessage reply = call(session, QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                              QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"));
    if (!ok(reply)) {
        m_error = QStringLiteral("no accessibility bus: %1").arg(reply.errorMessage());
        return false;
    }
    const QString address = reply.arguments().constFirst().toString();
    m_bus = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(address, m_connectionName + QStringLiteral("-a11y")));
    if (!m_bus->isConnected()) {
        m_error = QStringLiteral("cannot connect to the accessibility bus at %1").arg(address);
        return false;
    }
    return true;
}

QList<std::pair<QString, QString>> AtspiClient::children(const QString& service, const QString& path) {
    QList<std::pair<QString, QString>> out;
    QDBusMessage reply = call(*m_bus, service, path, kAccessible, QStringLiteral("GetChildren"));
    if (!ok(reply)) {
        return out;
    }
    const QDBusArgument arg = reply.arguments().constFirst().value<QDBusArgument>();
    arg.beginArray();
    while (!arg.atEnd()) {
        QString childService;
        QDBusObjectPath childPath;
        arg.beginStructure();
        arg >> childService >> childPath;
        arg.endStructure();
        out.append({childService, childPath.path()});
    }
    arg.endArray();
    return out;
}

QString AtspiClient::findApplication(qint64 pid) {
    if (!m_bus) {
        return {};
    }
    for (const auto& [service, path] : children(kRegistry, kRootPath)) {
        Q_UNUSED(path);
        const QDBusReply<uint> owner = m_bus->interface()->servicePid(service);
        if (owner.isValid() && static_cast<qint64>(owner.value()) == pid) {
            return service;
        }
    }
    return {};
}

QString AtspiClient::name(const AccessibleNode& n) {
    QDBusMessage reply = call(*m_bus, n.service, n.path, QStringLiteral("org.freedesktop.DBus.Properties"),
                              QStringLiteral("Get"), {kAccessible, QStringLiteral("Name")});
    return ok(reply) ? reply.arguments().constFirst().value<QDBusVariant>().variant().toString() : QString();
}

QString AtspiClient::roleName(const AccessibleNode& n) {
    QDBusMessage reply = call(*m_bus, n.service, n.path, kAccessible, QStringLiteral("GetRoleName"));
    return ok(reply) ? reply.arguments().constFirst().toString() : QString();
}

QList<AccessibleNode> AtspiClient::tree(const QString& service, int maxNodes) {
    QList<AccessibleNode> nodes;
    if (!m_bus || service.isEmpty()) {
        return nodes;
    }
    AccessibleNode root{service, kRootPath, {}, {}, -1};
    root.name = name(root);
    root.role = roleName(root);
    nodes.append(root);
    for (int i = 0; i < nodes.size() && nodes.size() < maxNodes; ++i) {
        for (const auto& [childService, childPath] : children(nodes[i].service, nodes[i].path)) {
            AccessibleNode child{childService, childPath, {}, {}, i};
            child.name = name(child);
            child.role = roleName(child);
            nodes.append(child);
        }
    }
    return nodes;
}

bool AtspiClient::hasState(const AccessibleNode& n, int state) {
    QDBusMessage reply = call(*m_bus, n.service, n.path, kAccessible, QStringLiteral("GetState"));
    if (!ok(reply)) {
        return false;
    }
    const QList<uint> words = qdbus_cast<QList<uint>>(reply.arguments().constFirst());
    const int word = state / 32;
    return word < words.size() && (words[word] & (1u << (state % 32))) != 0;
}

QRect AtspiClient::extentsOnScreen(const AccessibleNode& n) {
    QDBusMessage reply = call(*m_bus, n.service, n.path, QStringLiteral("org.a11y.atspi.Component"),
                              QStringLiteral("GetExtents"), {QVariant::fromValue(0u)}); // 0 = screen
    if (!ok(reply)) {
        return {};
    }
    const QDBusArgument arg = reply.arguments().constFirst().value<QDBusArgument>();
    int x = 0, y = 0, w = 0, h = 0;
    arg.beginStructure();
    arg >> x >> y >> w >> h;
    arg.endStructure();
    return {x, y, w, h};
}

bool AtspiClient::doAction(const AccessibleNode& n, const QString& actionName, bool waitForResult) {
    const QString iface = QStringLiteral("org.a11y.atspi.Action");
    QDBusMessage actions = call(*m_bus, n.service, n.path, iface, QStringLiteral("GetActions"));
    if (!ok(actions)) {
        return false;
    }
    // a(sss): name, description, key binding
    const QDBusArgument arg = actions.arguments().constFirst().value<QDBusArgument>();
    int index = -1;
    int i = 0;
    arg.beginArray();
    while (!arg.atEnd()) {
        QString actName, description, keys;
        arg.beginStructure();
        arg >> actName >> description >> keys;
        arg.endStructure();
        if (index < 0 && actName.compare(actionName, Qt::CaseInsensitive) == 0) {
            index = i;
        }
        ++i;
    }
    arg.endArray();
    if (index < 0) {
        return false;
    }
    if (!waitForResult) {
        QDBusMessage m = QDBusMessage::createMethodCall(n.service, n.path, iface, QStringLiteral("DoAction"));
        m.setArguments({index});
        return m_bus->send(m);
    }
    QDBusMessage reply = call(*m_bus, n.service, n.path, iface, QStringLiteral("DoAction"), {index});
    return ok(reply) && reply.arguments().constFirst().toBool();
}

QString AtspiClient::text(const AccessibleNode& n) {
    QDBusMessage reply = call(*m_bus, n.service, n.path, QStringLiteral("org.a11y.atspi.Text"),
                              QStringLiteral("GetText"), {0, -1});
    return ok(reply) ? reply.arguments().constFirst().toString() : QString();
}
