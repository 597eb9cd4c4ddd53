#pragma once
// The settings in force for this run: the stored record g_settings (what the settings file and
// the options dialog hold) with what a saved set or the command line set for this run over it.
// This run's values stay apart from the stored ones, so storing the options never reverts them;
// a sync mode or reference rule the user changes in the options dialog takes over from this
// run's. Whoever acts on a setting follows changed() instead of reading the record again and
// again.
#include "settings/CSettings.h"

#include <QObject>

#include <optional>

class CSettingsModel : public QObject {
    Q_OBJECT
public:
    explicit CSettingsModel(QObject* parent = nullptr);
    ~CSettingsModel() override;

    // 1 = frame sync, 0 = time sync.
    int SyncMode() const;
    // 1 = the shortest video is the reference, 0 = the longest.
    int ReferenceRule() const;
    // The stored values (the display mode and the snapshot folder have no value for this run).
    const CSettings& Stored() const;

    // Stores values as the user's own (the options dialog's OK, the settings file read at start).
    // A sync mode or reference rule that differs from the stored one replaces this run's.
    void Store(const CSettings& values);
    // This run's sync mode and reference rule, as a saved set or the command line give them
    // (-1 leaves one as it is).
    void SetForRun(int syncMode, int reference);

signals:
    // What is in force changed.
    void changed();

private:
    std::optional<int> m_runSyncMode;
    std::optional<int> m_runReference;
};
