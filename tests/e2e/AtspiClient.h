#pragma once
// A small client of the desktop accessibility interface (AT-SPI over D-Bus), the way a screen
// reader or a desktop test tool sees a program: find the program's accessible tree, read names,
// roles, states and on-screen extents, and perform actions such as pressing a button.
#include <QDBusConnection>
#include <QList>
#include <QRect>
#include <QString>

#include <memory>
#include <utility>

struct AccessibleNode {
    QString service; // bus name of the application
    QString path;    // object path of this node
    QString name;
    QString role;    // AT-SPI role name: "push button", "status bar", ...
    int parent = -1; // index in the tree, -1 for the application
};

class AtspiClient {
public:
    AtspiClient();
    ~AtspiClient();
    AtspiClient(const AtspiClient&) = delete;
    AtspiClient& operator=(const AtspiClient&) = delete;

    // Connects to the accessibility bus of the given session bus. False with error() set.
    bool connect(const QString& sessionBusAddress);
    QString error() const { return m_error; }

    // The bus name under which the process with this id exposes its tree, or empty if it has
    // not (yet) registered with the accessibility registry.
    QString findApplication(qint64 pid);

    // The whole tree below the application, parents before children.
    QList<AccessibleNode> tree(const QString& service, int maxNodes = 3000);

    QString name(const AccessibleNode& n);
    QString roleName(const AccessibleNode& n);
    bool hasState(const AccessibleNode& n, int state);
    QRect extentsOnScreen(const AccessibleNode& n);
    // Performs the named action ("Press", ...) and waits for its result. The program answers
    // only when its handler returns, so for a button that opens a modal dialog pass
    // waitForResult = false: the request is sent and the call returns at once.
    bool doAction(const AccessibleNode& n, const QString& actionName, bool waitForResult = true);
    // The text of a text control (an edit box's contents).
    QString text(const AccessibleNode& n);

    // AT-SPI state numbers used by the tests.
    static constexpr int StateEnabled = 8;

private:
    QList<std::pair<QString, QString>> children(const QString& service, const QString& path);

    QString m_error;
    QString m_connectionName;
    std::unique_ptr<QDBusConnection> m_bus;
};
