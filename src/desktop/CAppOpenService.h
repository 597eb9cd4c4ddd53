#pragma once
// The running copy's door for files from a second copy: org.freedesktop.Application on the
// session bus under the application id (org.tetrav.Tetrav, object /org/tetrav/Tetrav).
// Open(uris, platform data) opens one to four local video files as a set (with the run options
// a second copy puts in the platform data, keys tetrav-*), as dropping them
// on the window does; Activate raises the window. Nothing is registered without a session bus.
#include <QDBusVirtualObject>

class CTetravDlg;

class CAppOpenService : public QDBusVirtualObject {
    Q_OBJECT
public:
    explicit CAppOpenService(CTetravDlg* dlg);
    ~CAppOpenService() override;

    bool Register();

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

private:
    CTetravDlg* m_dlg;
    bool m_registered = false;
};
