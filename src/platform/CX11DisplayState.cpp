#include "platform/CX11DisplayState.h"

#include <QList>

#include <X11/Xlib.h>
#include <X11/extensions/dpms.h>

namespace {

// Errors on this private connection must never end the process (the default Xlib handler exits).
int ignoreErrors(Display*, XErrorEvent*) {
    return 0;
}

class ErrorGuard {
public:
    ErrorGuard() : m_previous(XSetErrorHandler(ignoreErrors)) {}
    ~ErrorGuard() { XSetErrorHandler(m_previous); }
    ErrorGuard(const ErrorGuard&) = delete;
    ErrorGuard& operator=(const ErrorGuard&) = delete;

private:
    int (*m_previous)(Display*, XErrorEvent*);
};

bool serverHasDpms(Display* display) {
    int event = 0, error = 0;
    return DPMSQueryExtension(display, &event, &error) && DPMSCapable(display);
}

} // namespace

CX11DisplayState CX11DisplayState::Read(Display* display) {
    CX11DisplayState s;
    if (!display) {
        return s;
    }
    ErrorGuard guard;
    XGetScreenSaver(display, &s.ssTimeout, &s.ssInterval, &s.ssBlanking, &s.ssExposures);
    s.hasDpms = serverHasDpms(display);
    if (s.hasDpms) {
        CARD16 standby = 0, suspend = 0, off = 0, level = 0;
        BOOL enabled = False;
        DPMSGetTimeouts(display, &standby, &suspend, &off);
        DPMSInfo(display, &level, &enabled);
        s.dpmsStandby = standby;
        s.dpmsSuspend = suspend;
        s.dpmsOff = off;
        s.dpmsEnabled = enabled;
    }
    return s;
}

void CX11DisplayState::SwitchOff(Display* display) const {
    if (!display) {
        return;
    }
    ErrorGuard guard;
    XSetScreenSaver(display, 0, ssInterval, ssBlanking, ssExposures);
    if (hasDpms) {
        DPMSSetTimeouts(display, 0, 0, 0);
        DPMSDisable(display);
    }
    XSync(display, False);
}

void CX11DisplayState::Apply(Display* display) const {
    if (!display) {
        return;
    }
    ErrorGuard guard;
    XSetScreenSaver(display, ssTimeout, ssInterval, ssBlanking, ssExposures);
    if (hasDpms && serverHasDpms(display)) {
        DPMSSetTimeouts(display, dpmsStandby, dpmsSuspend, dpmsOff);
        if (dpmsEnabled) {
            DPMSEnable(display);
        } else {
            DPMSDisable(display);
        }
    }
    XSync(display, False);
}

void CX11DisplayState::RestoreWhereStillOff(Display* display) const {
    if (!display) {
        return;
    }
    const CX11DisplayState now = Read(display);
    ErrorGuard guard;
    if (now.ssTimeout == 0 && ssTimeout != 0) {
        XSetScreenSaver(display, ssTimeout, now.ssInterval, now.ssBlanking, now.ssExposures);
    }
    if (hasDpms && now.hasDpms && !now.dpmsEnabled && now.dpmsStandby == 0 && now.dpmsSuspend == 0 &&
        now.dpmsOff == 0) {
        DPMSSetTimeouts(display, dpmsStandby, dpmsSuspend, dpmsOff);
        if (dpmsEnabled) {
            DPMSEnable(display);
        }
    }
    XSync(display, False);
}

QByteArray CX11DisplayState::Serialize() const {
    QList<QByteArray> parts;
    for (int v : {ssTimeout, ssInterval, ssBlanking, ssExposures, int(hasDpms), int(dpmsEnabled),
                  int(dpmsStandby), int(dpmsSuspend), int(dpmsOff)}) {
        parts.append(QByteArray::number(v));
    }
    return parts.join(',');
}

bool CX11DisplayState::Deserialize(const QByteArray& text, CX11DisplayState& state) {
    const QList<QByteArray> parts = text.split(',');
    if (parts.size() != 9) {
        return false;
    }
    int v[9];
    for (int i = 0; i < 9; ++i) {
        bool ok = false;
        v[i] = parts[i].toInt(&ok);
        if (!ok) {
            return false;
        }
    }
    state.ssTimeout = v[0];
    state.ssInterval = v[1];
    state.ssBlanking = v[2];
    state.ssExposures = v[3];
    state.hasDpms = v[4] != 0;
    state.dpmsEnabled = v[5] != 0;
    state.dpmsStandby = static_cast<unsigned short>(v[6]);
    state.dpmsSuspend = static_cast<unsigned short>(v[7]);
    state.dpmsOff = static_cast<unsigned short>(v[8]);
    return true;
}
