#pragma once
// The desktop's media controls (MPRIS 2) for the main window: org.mpris.MediaPlayer2.tetrav on
// the session bus, object /org/mpris/MediaPlayer2, with the org.mpris.MediaPlayer2 and
// org.mpris.MediaPlayer2.Player interfaces and their properties. Every command goes through
// the main window's own commands (play, pause, stop, the rates, the go-to seek), so status
// texts and the synchronisation behave as they do for the tool bar. The set is one track:
// the reference video's title and length. Malformed calls (a position before 0 or past the
// end, another track's id, a rate the tool bar does not offer) get a D-Bus error and change
// nothing. Without a session bus nothing is registered.
#include <QDBusVirtualObject>
#include <QVariantMap>

class CTetravDlg;

class CMprisPlayer : public QDBusVirtualObject {
    Q_OBJECT
public:
    explicit CMprisPlayer(CTetravDlg* dlg);
    ~CMprisPlayer() override;

    // Puts the object and the name on the session bus; false when there is no bus.
    bool Register();

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

    // The properties as the bus sees them, by interface.
    QVariantMap RootProperties() const;
    QVariantMap PlayerProperties() const;

private:
    bool HasSet() const;
    int Reference() const;
    double PositionSecs() const;
    QString PlaybackStatus() const;
    QString TrackId() const;
    QVariantMap Metadata() const;
    double Volume() const;

    // A call that acts on the set, which waits while a set opens.
    static bool WaitsForOpen(const QDBusMessage& message);
    QDBusMessage callMethod(const QDBusMessage& message);
    QDBusMessage getProperty(const QDBusMessage& message) const;
    QDBusMessage setProperty(const QDBusMessage& message);
    QDBusMessage seekTo(const QDBusMessage& message, double seconds);
    void notifyChanges();
    // Moves the volume slider to volume (0..1) as the user would.
    void ApplyVolume(double volume);

    CTetravDlg* m_dlg;
    QVariantMap m_lastPlayer;
    bool m_registered = false;
    double m_idleVolume = 1.0; // the Volume while no set is open: the next set's
    bool m_hadSet = false;
};
