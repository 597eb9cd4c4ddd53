#pragma once
// A small AT-SPI client, seeing a program as a screen reader does: its accessible tree, names,
// roles, states, extents on the screen, and actions.
#include <QRect>
#include <QtDBus>

#include <limits>
#include <optional>

struct AccessibleNode {
    QString service; // bus name of the application
    QString path;    // object path of this node
    QString name;
    QString role;    // AT-SPI role name: "push button", "status bar", ...
    int parent = -1; // index in the tree, -1 for the application
};

class AtspiClient {
public:
    ~AtspiClient() {
        m_bus.reset();
        QDBusConnection::disconnectFromBus(m_connectionName + QStringLiteral("-a11y"));
        QDBusConnection::disconnectFromBus(m_connectionName + QStringLiteral("-session"));
    }

    // Connects to the accessibility bus of the given session bus.
    bool connect(const QString& sessionBusAddress) {
        static QAtomicInt connections;
        m_connectionName = QStringLiteral("e2e-atspi-%1").arg(connections.fetchAndAddRelaxed(1));
        QDBusConnection session =
            QDBusConnection::connectToBus(sessionBusAddress, m_connectionName + QStringLiteral("-session"));
        // The session bus starts the accessibility bus on the first request for its address.
        const QString address =
            callOn(session, QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                   QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"))
                .toString();
        m_bus.emplace(QDBusConnection::connectToBus(address, m_connectionName + QStringLiteral("-a11y")));
        return !address.isEmpty() && m_bus->isConnected();
    }

    // The bus name under which the process exposes its tree; empty until it has registered.
    QString findApplication(qint64 pid) {
        for (const AccessibleNode& app :
             children({QStringLiteral("org.a11y.atspi.Registry"), kRootPath, {}, {}, -1})) {
            const QDBusReply<uint> owner = m_bus->interface()->servicePid(app.service);
            if (owner.isValid() && static_cast<qint64>(owner.value()) == pid) {
                return app.service;
            }
        }
        return {};
    }

    // The whole tree below the application, parents before children.
    QList<AccessibleNode> tree(const QString& service, int maxNodes = 3000) {
        QList<AccessibleNode> nodes;
        if (!service.isEmpty()) {
            nodes.append({service, kRootPath, {}, {}, -1});
        }
        for (int i = 0; i < nodes.size(); ++i) {
            nodes[i].name = name(nodes[i]);
            nodes[i].role = call(nodes[i], "Accessible", "GetRoleName").toString();
            for (AccessibleNode& child :
                 nodes.size() < maxNodes ? children(nodes[i]) : QList<AccessibleNode>()) {
                child.parent = i;
                nodes.append(child);
            }
        }
        return nodes;
    }

    QString name(const AccessibleNode& n) {
        const QVariant v = callOn(*m_bus, n.service, n.path,
                                  QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                                  {QStringLiteral("org.a11y.atspi.Accessible"), QStringLiteral("Name")});
        return v.value<QDBusVariant>().variant().toString();
    }

    bool isEnabled(const AccessibleNode& n) {
        constexpr int kStateEnabled = 8; // in the first 32-bit word of the state set
        const QList<uint> words = qdbus_cast<QList<uint>>(call(n, "Accessible", "GetState"));
        return !words.isEmpty() && (words[0] & (1u << kStateEnabled)) != 0;
    }

    QRect extentsOnScreen(const AccessibleNode& n) {
        const QVariant reply =
            call(n, "Component", "GetExtents", {QVariant::fromValue(0u)}); // 0: screen coordinates
        int x = 0, y = 0, w = 0, h = 0;
        if (reply.isValid()) {
            const QDBusArgument arg = reply.value<QDBusArgument>();
            arg.beginStructure();
            arg >> x >> y >> w >> h;
            arg.endStructure();
        }
        return {x, y, w, h};
    }

    // Asks for the named action ("Press", "Toggle") without waiting for the answer, which comes
    // only when the program's handler returns (after a modal dialog it opens has closed). Calls
    // that follow on this connection are answered after it.
    bool doAction(const AccessibleNode& n, const QString& actionName) {
        const QVariant actions = call(n, "Action", "GetActions");
        int index = -1;
        if (actions.isValid()) {
            const QDBusArgument arg = actions.value<QDBusArgument>(); // a(sss): name, description, keys
            arg.beginArray();
            for (int i = 0; !arg.atEnd(); ++i) {
                QString action, description, keys;
                arg.beginStructure();
                arg >> action >> description >> keys;
                arg.endStructure();
                index = index < 0 && action.compare(actionName, Qt::CaseInsensitive) == 0 ? i : index;
            }
            arg.endArray();
        }
        QDBusMessage m = QDBusMessage::createMethodCall(
            n.service, n.path, QStringLiteral("org.a11y.atspi.Action"), QStringLiteral("DoAction"));
        m.setArguments({index});
        return index >= 0 && m_bus->send(m);
    }

    // The current value of a control with a value (a slider, a scroll bar); NaN when it has none.
    double value(const AccessibleNode& n) {
        const QVariant v = callOn(*m_bus, n.service, n.path,
                                  QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                                  {QStringLiteral("org.a11y.atspi.Value"), QStringLiteral("CurrentValue")});
        bool ok = false;
        const double d = v.value<QDBusVariant>().variant().toDouble(&ok);
        return ok ? d : std::numeric_limits<double>::quiet_NaN();
    }

    // The text of a text control (an edit box's contents).
    QString text(const AccessibleNode& n) { return call(n, "Text", "GetText", {0, -1}).toString(); }

    // Every text inside the window's status bar (found by its role, or by its name where it is a
    // plain widget), in tree order.
    QStringList statusTexts(const QList<AccessibleNode>& tree) {
        QStringList texts;
        for (int i = 0; i < tree.size(); ++i) {
            for (int p = tree[i].parent; p >= 0; p = tree[p].parent) {
                if (tree[p].role == QLatin1String("status bar") || tree[p].name == QStringLiteral("状态栏")) {
                    texts << name(tree[i]);
                    break;
                }
            }
        }
        return texts;
    }

private:
    static inline const QString kRootPath = QStringLiteral("/org/a11y/atspi/accessible/root");

    // The first value of the reply; invalid on an error.
    static QVariant callOn(QDBusConnection& bus, const QString& service, const QString& path,
                           const QString& iface, const QString& method, const QVariantList& args = {}) {
        QDBusMessage m = QDBusMessage::createMethodCall(service, path, iface, method);
        m.setArguments(args);
        const QDBusMessage reply = bus.call(m, QDBus::Block, 5000);
        const bool ok = reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty();
        return ok ? reply.arguments().constFirst() : QVariant();
    }
    QVariant call(const AccessibleNode& n, const char* iface, const char* method,
                  const QVariantList& args = {}) {
        return callOn(*m_bus, n.service, n.path, QLatin1String("org.a11y.atspi.") + QLatin1String(iface),
                      QLatin1String(method), args);
    }

    QList<AccessibleNode> children(const AccessibleNode& n) {
        QList<AccessibleNode> out;
        const QVariant reply = call(n, "Accessible", "GetChildren");
        if (reply.isValid()) {
            const QDBusArgument arg = reply.value<QDBusArgument>(); // a(so)
            arg.beginArray();
            while (!arg.atEnd()) {
                AccessibleNode child;
                QDBusObjectPath path;
                arg.beginStructure();
                arg >> child.service >> path;
                arg.endStructure();
                child.path = path.path();
                out.append(child);
            }
            arg.endArray();
        }
        return out;
    }

    QString m_connectionName;
    std::optional<QDBusConnection> m_bus;
};
