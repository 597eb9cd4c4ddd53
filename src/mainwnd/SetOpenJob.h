#pragma once
// Opening a set of files as a job beside the event loop: every channel starts its preroll and
// every file is examined side by side; the window goes on repainting and answering the desktop
// meanwhile. When all have settled (a preroll that stops getting anywhere gives up by itself),
// the channels are finished in pane order, the set is measured, and the messages come in the
// order of the channels, as if each had been opened in turn. Then finished() tells the window.
//
// The busy cursor is shown and the given controls take no command while the files preroll.
#include "engine/CStreamProbe.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <array>
#include <future>

class IChannel;
class CVideoPane;
class PlaySet;
class QTimer;

struct SetOpenResult {
    double total = 0.0;               // the reference's length; 0 when no channel has one
    QList<int> opened;                // panes whose channel opened with a length
    QList<int> failed;                // panes with a file that did not open
    std::array<StreamFacts, 4> facts; // what examining each file found
};

class SetOpenJob : public QObject {
    Q_OBJECT
public:
    // The channel objects come from the set's factory (PlaySet::MakeChannel).
    SetOpenJob(PlaySet& set, const std::array<CVideoPane*, 4>& panes, QObject* parent = nullptr);
    ~SetOpenJob() override;

    // While the files preroll these are disabled (and enabled again as they were).
    void SetControls(const QList<QWidget*>& controls);
    // Starts the files of the set's paths (channels in place must be closed already); the
    // reference rule picks the reference when the set is measured.
    void Start(int referenceRule);
    // The window closes: the job ends without finished() and deletes itself.
    void Cancel();

signals:
    void finished(const SetOpenResult& result);

private:
    enum class Begun { NotCreated, Refused, Started };
    Begun StartChannel(int i, const QString& path);
    void FinishChannel(int i, const QString& path, Begun begun);
    bool Settled();
    void ShowBusy(bool busy);
    void Finish();
    // Videos that give their length only once they play (raw H.264 streams) play a moment,
    // silent and unseen, until they tell it; then they go back to their first picture. False
    // when no channel needs it.
    bool StartMeasuring();
    bool LengthsMeasured();
    void Probe();
    // The set measured, once the messages of the open have been closed.
    void Measured(SetOpenResult result, const ProbeState& probe);

    PlaySet& m_set;
    std::array<CVideoPane*, 4> m_panes;
    QList<QPointer<QWidget>> m_controls;
    QList<bool> m_wasEnabled;
    std::array<QString, 4> m_paths;
    std::array<Begun, 4> m_begun{};
    std::array<std::future<StreamFacts>, 4> m_detections;
    int m_rule = 1;
    QTimer* m_poll = nullptr;
    enum class Length { Known, Playing, Returning };
    std::array<Length, 4> m_length{};
    std::array<long, 4> m_volume{};
    QElapsedTimer m_measuring; // since the first stream without a length started playing
    SetOpenResult m_result;
    bool m_busyShown = false;
    bool m_cancelled = false;
};
