#pragma once
// Keeps the display awake while the program runs: reads the X11 screen saver time-out and
// the DPMS stand-by/suspend/off time-outs, switches them off, and puts back exactly what it
// found; also holds an org.freedesktop.ScreenSaver inhibit where the session bus offers one.
// Every step is optional: no X11 connection, no DPMS extension or no bus is not an error.
// Where CDisplayWatchdog is enabled, a watchdog process puts the settings back if this
// process dies before Restore.
#include "platform/CDisplayWatchdog.h"
#include "platform/CX11DisplayState.h"

#include <QByteArray>
#include <QtGlobal>

#include <memory>

class CDisplayPower {
public:
    CDisplayPower() = default;
    ~CDisplayPower(); // restores when SwitchOff was called and Restore was not
    CDisplayPower(const CDisplayPower&) = delete;
    CDisplayPower& operator=(const CDisplayPower&) = delete;

    void SwitchOff();
    void Restore();
    bool isSwitchedOff() const { return m_switchedOff; }

    // What was found at SwitchOff (for tests and diagnostics).
    int foundScreenSaverTimeout() const { return m_ssTimeout; }
    bool hadDpms() const { return m_hadDpms; }
    // The desktop's reply has come: the inhibit is held.
    bool hasInhibit() const { return m_inhibit->held; }
    const CX11DisplayState& foundState() const { return m_found; }

private:
    void inhibit();
    void unInhibit();

    bool m_switchedOff = false;
    bool m_haveX11 = false;
    int m_ssTimeout = 0, m_ssInterval = 0, m_ssBlanking = 0, m_ssExposures = 0;
    bool m_hadDpms = false;
    bool m_dpmsEnabled = false;
    quint16 m_dpmsStandby = 0, m_dpmsSuspend = 0, m_dpmsOff = 0;
    struct InhibitState {
        bool wanted = false; // between SwitchOff and Restore
        bool held = false;
        quint32 cookie = 0;
    };
    // Shared with a reply still on its way.
    std::shared_ptr<InhibitState> m_inhibit = std::make_shared<InhibitState>();
    CX11DisplayState m_found;
    QByteArray m_displayName;
    std::unique_ptr<CDisplayWatchdog> m_watchdog;
};
