#pragma once
// Reads and sets an X server's display settings from the test's side, through a connection
// of its own (independent of the code under test).
#include <QByteArray>

namespace tetrav::test {

struct ScreenSaverSettings {
    int timeout = -1, interval = -1, blanking = -1, exposures = -1;
    bool operator==(const ScreenSaverSettings&) const = default;
};

struct DpmsSettings {
    bool enabled = false;
    int standby = -1, suspend = -1, off = -1;
    bool operator==(const DpmsSettings&) const = default;
};

// All return defaults (-1) when the server cannot be reached.
ScreenSaverSettings ReadScreenSaver(const QByteArray& display);
bool SetScreenSaver(const QByteArray& display, const ScreenSaverSettings& s);
bool HasDpms(const QByteArray& display);
DpmsSettings ReadDpms(const QByteArray& display);
bool SetDpms(const QByteArray& display, const DpmsSettings& s);
// True when a top-level window of some client is mapped on the server.
bool HasMappedWindow(const QByteArray& display);

} // namespace tetrav::test
