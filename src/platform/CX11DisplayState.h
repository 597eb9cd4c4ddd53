#pragma once
// The X server's display-awake settings: the screen saver (time-out, cycle interval, blanking,
// exposures) and, where the server has the DPMS extension, the stand-by/suspend/off time-outs
// and whether DPMS is enabled. Read from a server, switched off, and written back.
#include <QByteArray>

struct _XDisplay;

class CX11DisplayState {
public:
    int ssTimeout = 0, ssInterval = 0, ssBlanking = 0, ssExposures = 0;
    bool hasDpms = false;
    bool dpmsEnabled = false;
    unsigned short dpmsStandby = 0, dpmsSuspend = 0, dpmsOff = 0;

    // Reads the server's current settings.
    static CX11DisplayState Read(_XDisplay* display);
    // Screen saver time-out 0 (keeping its other settings), DPMS time-outs 0 and DPMS disabled.
    void SwitchOff(_XDisplay* display) const;
    // Writes these settings to the server.
    void Apply(_XDisplay* display) const;
    // Puts back the parts the server still has as SwitchOff left them; a part that someone
    // changed since is left alone. Used when the program could not restore them itself.
    void RestoreWhereStillOff(_XDisplay* display) const;

    // A compact text form, passed to the watchdog process.
    QByteArray Serialize() const;
    static bool Deserialize(const QByteArray& text, CX11DisplayState& state);

    bool operator==(const CX11DisplayState&) const = default;
};
