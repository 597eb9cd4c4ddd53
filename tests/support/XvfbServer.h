#pragma once
// A private X server for one test: Xvfb of the given size on a display number the server picks
// itself (-displayfd), stopped when the object goes. Tests that grab keys or change the screen
// saver use one of these, because the rest of the suite shares one X server.
#include <QByteArray>
#include <QProcess>
#include <QString>

#include <initializer_list>
#include <utility>

namespace tetrav::test {

class XvfbServer {
public:
    // size as Xvfb takes it, e.g. "1024x768x24".
    explicit XvfbServer(const QString& size = QStringLiteral("1280x1024x24"));
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool isRunning() const { return !m_display.isEmpty(); }
    // ":N", for DISPLAY.
    const QByteArray& display() const { return m_display; }
    // A process environment (the current one) with DISPLAY set to this server and Qt on xcb.
    // extra adds or replaces variables, e.g. {{"XDG_CONFIG_HOME", dir}}.
    QProcessEnvironment environment(std::initializer_list<std::pair<QString, QString>> extra = {}) const;

private:
    QProcess m_process;
    QByteArray m_display;
};

} // namespace tetrav::test
