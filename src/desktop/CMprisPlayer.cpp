#include "desktop/CMprisPlayer.h"

#include "desktop/MprisIntrospection.h"

#include "controls/CVolumeSlider.h"
#include "controls/CXScrollBar.h"
#include "engine/IChannel.h"
#include "mainwnd/CExternalFiles.h"
#include "mainwnd/CTetravDlg.h"
#include "mainwnd/CTetravDlgBars.h"
#include "model/PlaySet.h"
#include "platform/DesktopIds.h"
#include "platform/FileName.h"
#include "platform/SessionBus.h"
#include "sync/CChannelSync.h"
#include "uikit/Resource.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace {

const QString kRoot = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kInvalidArgs = QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs");
const QString kBusy = QStringLiteral("org.mpris.MediaPlayer2.tetrav.Error.Busy");
constexpr double kRates[] = {0.25, 1.0, 2.0};

qlonglong Micro(double seconds) {
    return static_cast<qlonglong>(std::llround(seconds * 1e6));
}

} // namespace

CMprisPlayer::CMprisPlayer(CTetravDlg* dlg) : QDBusVirtualObject(dlg), m_dlg(dlg) {
    setObjectName(QStringLiteral("mpris"));
}

CMprisPlayer::~CMprisPlayer() {
    if (m_registered) {
        SessionBus::Unexport(QString::fromLatin1(DesktopIds::kMprisPath));
    }
}

bool CMprisPlayer::Register() {
    if (m_registered) {
        return true;
    }
    if (!SessionBus::Export(this, QString::fromLatin1(DesktopIds::kMprisPath),
                            QString::fromLatin1(DesktopIds::kMprisName))) {
        return false;
    }
    m_registered = true;
    m_lastPlayer = PlayerProperties();
    m_hadSet = HasSet();
    // After the command that changed the state has finished (a pause stops its timer last).
    connect(m_dlg, &CTetravDlg::actionShown, this, &CMprisPlayer::notifyChanges, Qt::QueuedConnection);
    connect(m_dlg->Bars().Volume(), &CBCGPSliderCtrl::hscroll, this, &CMprisPlayer::notifyChanges,
            Qt::QueuedConnection);
    return true;
}

QString CMprisPlayer::introspect(const QString& path) const {
    return path == QLatin1String(DesktopIds::kMprisPath) ? MprisIntrospection() : QString();
}

// ---------------------------------------------------------------------------------------------
// State as the bus sees it

bool CMprisPlayer::HasSet() const {
    for (int k = 0; k < PlaySet::kPanes; ++k) {
        if (m_dlg->Set().IsOpen(k)) {
            return true;
        }
    }
    return false;
}

int CMprisPlayer::Reference() const {
    const int ref = m_dlg->Set().Reference();
    return m_dlg->Set().IsOpen(ref) ? ref : -1;
}

double CMprisPlayer::PositionSecs() const {
    const int ref = Reference();
    double seconds = 0.0;
    if (ref < 0 || !m_dlg->ActiveSync().ReadPosition(*m_dlg->Set().Channel(ref), seconds)) {
        return 0.0;
    }
    // The start of the frame on screen: an exact seek lands inside its frame (half a frame on),
    // and the decoder reports the seek's target as that frame's time.
    const double rate = m_dlg->Set().FrameRate(ref);
    if (rate > 0.0 && std::isfinite(rate)) {
        seconds = std::floor(seconds * rate + 1e-6) / rate;
    }
    return std::clamp(seconds - m_dlg->Set().Offset(ref), 0.0, std::max(0.0, m_dlg->Set().TotalTime()));
}

QString CMprisPlayer::PlaybackStatus() const {
    if (!HasSet()) {
        return QStringLiteral("Stopped");
    }
    return m_dlg->IsTimerRunning(TIMER_SYNC) ? QStringLiteral("Playing") : QStringLiteral("Paused");
}

QString CMprisPlayer::TrackId() const {
    if (!HasSet()) {
        return QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");
    }
    QStringList paths;
    for (int k = 0; k < PlaySet::kPanes; ++k) {
        paths << m_dlg->Set().Path(k);
    }
    const size_t hash = qHash(paths.join(QLatin1Char('\n')), 0);
    return QStringLiteral("%1/Set/%2").arg(QLatin1String(DesktopIds::kAppPath)).arg(hash, 0, 16);
}

QVariantMap CMprisPlayer::Metadata() const {
    QVariantMap m;
    m.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(TrackId())));
    const int ref = Reference();
    if (ref >= 0) {
        const QFileInfo file(m_dlg->Set().Path(ref));
        m.insert(QStringLiteral("mpris:length"), Micro(m_dlg->Set().TotalTime()));
        m.insert(QStringLiteral("xesam:title"), FileName::Shown(file.completeBaseName()));
        // Percent-encoded, byte for byte, as a file URI is.
        m.insert(QStringLiteral("xesam:url"), QString::fromLatin1(FileName::ToUri(file.absoluteFilePath())));
    }
    return m;
}

double CMprisPlayer::Volume() const {
    // With no set open, the volume the next set gets.
    if (!HasSet()) {
        return m_idleVolume;
    }
    const int max = m_dlg->Bars().Volume()->GetRangeMax();
    return max > 0 ? static_cast<double>(m_dlg->Bars().Volume()->GetPos()) / max : 0.0;
}

QVariantMap CMprisPlayer::RootProperties() const {
    return {
        {QStringLiteral("CanQuit"), true},
        {QStringLiteral("CanRaise"), true},
        {QStringLiteral("HasTrackList"), false},
        {QStringLiteral("Identity"), QStringLiteral("Tetrav")},
        {QStringLiteral("DesktopEntry"), QString::fromLatin1(DesktopIds::kAppId)},
        {QStringLiteral("SupportedUriSchemes"), QStringList{QStringLiteral("file")}},
        {QStringLiteral("SupportedMimeTypes"),
         QStringList{QStringLiteral("video/mpeg"), QStringLiteral("video/x-msvideo"),
                     QStringLiteral("video/quicktime"), QStringLiteral("video/mp2t"),
                     QStringLiteral("application/vnd.rn-realmedia"), QStringLiteral("video/mp4"),
                     QStringLiteral("video/x-matroska"), QStringLiteral("video/webm"),
                     QStringLiteral("video/x-ms-wmv"), QStringLiteral("video/x-flv")}},
    };
}

QVariantMap CMprisPlayer::PlayerProperties() const {
    const bool set = HasSet();
    return {
        {QStringLiteral("PlaybackStatus"), PlaybackStatus()},
        {QStringLiteral("Rate"), m_dlg->Set().Rate()},
        {QStringLiteral("Metadata"), Metadata()},
        {QStringLiteral("Volume"), Volume()},
        {QStringLiteral("Position"), Micro(PositionSecs())},
        {QStringLiteral("MinimumRate"), kRates[0]},
        {QStringLiteral("MaximumRate"), kRates[2]},
        {QStringLiteral("CanGoNext"), false},
        {QStringLiteral("CanGoPrevious"), false},
        {QStringLiteral("CanPlay"), set},
        {QStringLiteral("CanPause"), set},
        {QStringLiteral("CanSeek"), set},
        {QStringLiteral("CanControl"), true},
    };
}

// ---------------------------------------------------------------------------------------------
// Calls

bool CMprisPlayer::handleMessage(const QDBusMessage& message, const QDBusConnection& connection) {
    if (message.type() != QDBusMessage::MethodCallMessage ||
        message.path() != QLatin1String(DesktopIds::kMprisPath)) {
        return false;
    }
    if (m_dlg->Set().IsOpening() && WaitsForOpen(message)) {
        // Carried out, and answered, once the set in the making is open.
        m_dlg->Set().WhenOpen(this, [this, message, connection] {
            if (!handleMessage(message, connection) && message.isReplyRequired()) {
                connection.send(message.createErrorReply(QDBusError::UnknownMethod, message.member()));
            }
        });
        return true;
    }
    QDBusMessage reply;
    if (message.interface() == kProperties) {
        if (message.member() == QLatin1String("Set")) {
            reply = setProperty(message);
        } else if (message.member() == QLatin1String("Get") || message.member() == QLatin1String("GetAll")) {
            reply = getProperty(message);
        } else {
            return false;
        }
    } else if (message.interface() == kRoot || message.interface() == kPlayer ||
               message.interface().isEmpty()) {
        reply = callMethod(message);
    } else {
        return false; // introspection and the rest: Qt's own answers
    }
    if (reply.type() == QDBusMessage::InvalidMessage) {
        return false;
    }
    if (!message.isReplyRequired()) {
        return true;
    }
    return connection.send(reply);
}

bool CMprisPlayer::WaitsForOpen(const QDBusMessage& message) {
    // What reads, raises the window or hands over files is answered at once (a file handed
    // over waits by itself); what acts on the set waits for it. Introspection, pings and the
    // like are the bus's own business and never wait: a caller that introspects first (gdbus,
    // desktop shells) would otherwise be held for the whole open.
    const QString member = message.member();
    if (message.interface() == kProperties) {
        return member == QLatin1String("Set");
    }
    if ((message.interface() != kRoot && message.interface() != kPlayer && !message.interface().isEmpty()) ||
        member == QLatin1String("Introspect") || member == QLatin1String("Ping") ||
        member == QLatin1String("GetMachineId")) {
        return false;
    }
    return member != QLatin1String("Raise") && member != QLatin1String("OpenUri") &&
           member != QLatin1String("Next") && member != QLatin1String("Previous");
}

QDBusMessage CMprisPlayer::getProperty(const QDBusMessage& message) const {
    const QList<QVariant> args = message.arguments();
    const bool all = message.member() == QLatin1String("GetAll");
    if (message.signature() != (all ? QLatin1String("s") : QLatin1String("ss"))) {
        return message.createErrorReply(kInvalidArgs, QStringLiteral("wrong arguments"));
    }
    const QString iface = args.at(0).toString();
    QVariantMap props;
    if (iface == kRoot) {
        props = RootProperties();
    } else if (iface == kPlayer) {
        props = PlayerProperties();
    } else {
        return message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownInterface"),
                                        QStringLiteral("no interface %1").arg(iface));
    }
    if (all) {
        return message.createReply(QVariant::fromValue(props));
    }
    const QString name = args.at(1).toString();
    if (!props.contains(name)) {
        return message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownProperty"),
                                        QStringLiteral("no property %1").arg(name));
    }
    return message.createReply(QVariant::fromValue(QDBusVariant(props.value(name))));
}

QDBusMessage CMprisPlayer::setProperty(const QDBusMessage& message) {
    const QList<QVariant> args = message.arguments();
    if (message.signature() != QLatin1String("ssv")) {
        return message.createErrorReply(kInvalidArgs, QStringLiteral("wrong arguments"));
    }
    const QString iface = args.at(0).toString();
    const QString name = args.at(1).toString();
    const QVariant value = args.at(2).value<QDBusVariant>().variant();
    const bool writable =
        iface == kPlayer && (name == QLatin1String("Rate") || name == QLatin1String("Volume"));
    if (!writable) {
        const bool known = (iface == kRoot && RootProperties().contains(name)) ||
                           (iface == kPlayer && PlayerProperties().contains(name));
        return message.createErrorReply(known ? QStringLiteral("org.freedesktop.DBus.Error.PropertyReadOnly")
                                              : QStringLiteral("org.freedesktop.DBus.Error.UnknownProperty"),
                                        QStringLiteral("%1.%2 cannot be set").arg(iface, name));
    }
    if (value.typeId() != QMetaType::Double) {
        return message.createErrorReply(kInvalidArgs, QStringLiteral("%1 is a double").arg(name));
    }
    const double v = value.toDouble();
    CExternalFiles* files = m_dlg->findChild<CExternalFiles*>();
    if (files != nullptr && files->IsBusy()) {
        return message.createErrorReply(kBusy, QStringLiteral("Tetrav is busy"));
    }
    if (name == QLatin1String("Rate")) {
        if (v == kRates[0]) {
            m_dlg->OnSlower();
        } else if (v == kRates[1]) {
            // A rate never starts play: the tool bar's normal speed resumes, the property does not.
            if (m_dlg->IsTimerRunning(TIMER_SYNC) || !HasSet()) {
                m_dlg->OnNormalSpeed();
            } else {
                m_dlg->SetNormalRate();
                notifyChanges();
            }
        } else if (v == kRates[2]) {
            m_dlg->OnFaster();
        } else {
            return message.createErrorReply(kInvalidArgs, QStringLiteral("the rate is 0.25, 1 or 2"));
        }
        return message.createReply();
    }
    // Volume: the slider moves as if the user had moved it. While no set is open it is kept for
    // the next set.
    if (!std::isfinite(v)) {
        return message.createErrorReply(kInvalidArgs, QStringLiteral("the volume is a number"));
    }
    if (HasSet()) {
        ApplyVolume(v);
    } else {
        m_idleVolume = std::clamp(v, 0.0, 1.0);
        notifyChanges();
    }
    return message.createReply();
}

void CMprisPlayer::ApplyVolume(double volume) {
    CVolumeSlider* slider = m_dlg->Bars().Volume();
    const int pos = static_cast<int>(std::lround(std::clamp(volume, 0.0, 1.0) * slider->GetRangeMax()));
    slider->SetPos(pos);
    emit slider->hscroll(slider->GetPos());
}

QDBusMessage CMprisPlayer::callMethod(const QDBusMessage& message) {
    const QString member = message.member();
    const QString signature = message.signature();
    const auto noArgs = [&] { return signature.isEmpty(); };
    CExternalFiles* files = m_dlg->findChild<CExternalFiles*>();
    const bool busy = files != nullptr && files->IsBusy();
    const auto busyReply = [&] { return message.createErrorReply(kBusy, QStringLiteral("Tetrav is busy")); };

    if (message.interface() != kPlayer && member == QLatin1String("Raise") && noArgs()) {
        m_dlg->setWindowState(m_dlg->windowState() & ~Qt::WindowMinimized);
        m_dlg->show();
        m_dlg->raise();
        m_dlg->activateWindow();
        return message.createReply();
    }
    if (message.interface() != kPlayer && member == QLatin1String("Quit") && noArgs()) {
        if (busy) {
            return busyReply();
        }
        // After the reply has gone.
        QTimer::singleShot(0, m_dlg, [dlg = m_dlg] { dlg->OnExit(); });
        return message.createReply();
    }
    if (message.interface() == kRoot) {
        return QDBusMessage();
    }

    if ((member == QLatin1String("Next") || member == QLatin1String("Previous")) && noArgs()) {
        return message.createReply(); // one set, no other track: nothing happens
    }
    const bool transport = member == QLatin1String("Play") || member == QLatin1String("Pause") ||
                           member == QLatin1String("PlayPause") || member == QLatin1String("Stop");
    if (transport && noArgs()) {
        if (busy) {
            return busyReply();
        }
        if (!HasSet()) {
            return message.createReply(); // nothing to play: no effect
        }
        const bool playing = m_dlg->IsTimerRunning(TIMER_SYNC);
        if (member == QLatin1String("Play")) {
            m_dlg->OnPlay();
        } else if (member == QLatin1String("Pause")) {
            m_dlg->OnPause();
        } else if (member == QLatin1String("PlayPause")) {
            playing ? m_dlg->OnPause() : m_dlg->OnPlay();
        } else {
            m_dlg->OnStop();
        }
        return message.createReply();
    }
    if (member == QLatin1String("Seek") && signature == QLatin1String("x")) {
        if (busy) {
            return busyReply();
        }
        if (!HasSet()) {
            return message.createReply();
        }
        const double target =
            PositionSecs() + static_cast<double>(message.arguments().at(0).toLongLong()) / 1e6;
        if (target > m_dlg->Set().TotalTime()) {
            return message.createErrorReply(kInvalidArgs, QStringLiteral("past the end of the set"));
        }
        return seekTo(message, std::max(0.0, target));
    }
    if (member == QLatin1String("SetPosition") && signature == QLatin1String("ox")) {
        if (busy) {
            return busyReply();
        }
        const QString track = message.arguments().at(0).value<QDBusObjectPath>().path();
        const double target = static_cast<double>(message.arguments().at(1).toLongLong()) / 1e6;
        if (!HasSet() || track != TrackId()) {
            return message.createErrorReply(kInvalidArgs, QStringLiteral("not the current track"));
        }
        if (target < 0.0 || target > m_dlg->Set().TotalTime()) {
            return message.createErrorReply(kInvalidArgs, QStringLiteral("outside the set's length"));
        }
        return seekTo(message, target);
    }
    if (member == QLatin1String("OpenUri") && signature == QLatin1String("s")) {
        const QUrl url(message.arguments().at(0).toString());
        if (files == nullptr || !url.isLocalFile()) {
            return message.createErrorReply(kInvalidArgs, QStringLiteral("only local files open"));
        }
        // After the reply: the open may show a message box.
        QTimer::singleShot(0, files, [files, url] { files->OpenAsSet({url}); });
        return message.createReply();
    }
    return message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
                                    QStringLiteral("no method %1(%2)").arg(member, signature));
}

QDBusMessage CMprisPlayer::seekTo(const QDBusMessage& message, double seconds) {
    // As the go-to command does: every channel, frame-accurately in frame sync.
    g_dGotoSecs = seconds;
    m_dlg->OnGotoPosition();
    QDBusMessage seeked = QDBusMessage::createSignal(QString::fromLatin1(DesktopIds::kMprisPath), kPlayer,
                                                     QStringLiteral("Seeked"));
    seeked << Micro(seconds);
    QDBusConnection::sessionBus().send(seeked);
    return message.createReply();
}

void CMprisPlayer::notifyChanges() {
    // A volume set while no set was open is the new set's.
    const bool set = HasSet();
    if (set && !m_hadSet && m_idleVolume != 1.0 && m_dlg->Bars().Volume()->isEnabled()) {
        ApplyVolume(m_idleVolume);
    }
    m_hadSet = set;
    QVariantMap now = PlayerProperties();
    now.remove(QStringLiteral("Position")); // read on demand; jumps are told by Seeked
    QVariantMap changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        if (m_lastPlayer.value(it.key()) != it.value()) {
            changed.insert(it.key(), it.value());
        }
    }
    m_lastPlayer = now;
    if (changed.isEmpty() || !m_registered) {
        return;
    }
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(DesktopIds::kMprisPath), kProperties,
                                                     QStringLiteral("PropertiesChanged"));
    signal << kPlayer << changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
}
