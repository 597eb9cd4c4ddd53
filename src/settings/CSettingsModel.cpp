#include "settings/CSettingsModel.h"

namespace {

int SyncModeOf(const CSettings& s) {
    return s.FramePhase != 0 ? 1 : 0;
}

int ReferenceRuleOf(const CSettings& s) {
    return s.MiniVideo == 1 ? 1 : 0;
}

} // namespace

CSettingsModel::CSettingsModel(QObject* parent) : QObject(parent) {}

CSettingsModel::~CSettingsModel() = default;

int CSettingsModel::SyncMode() const {
    return m_runSyncMode.value_or(SyncModeOf(g_settings));
}

int CSettingsModel::ReferenceRule() const {
    return m_runReference.value_or(ReferenceRuleOf(g_settings));
}

const CSettings& CSettingsModel::Stored() const {
    return g_settings;
}

void CSettingsModel::Store(const CSettings& values) {
    const int syncBefore = SyncMode();
    const int referenceBefore = ReferenceRule();
    const CSettings storedBefore = g_settings;
    if (SyncModeOf(values) != SyncModeOf(storedBefore)) {
        m_runSyncMode.reset();
    }
    if (ReferenceRuleOf(values) != ReferenceRuleOf(storedBefore)) {
        m_runReference.reset();
    }
    g_settings = values;
    if (SyncMode() != syncBefore || ReferenceRule() != referenceBefore ||
        values.ForeView != storedBefore.ForeView || values.SaveMapPath != storedBefore.SaveMapPath) {
        emit changed();
    }
}

void CSettingsModel::SetForRun(int syncMode, int reference) {
    const int syncBefore = SyncMode();
    const int referenceBefore = ReferenceRule();
    if (syncMode >= 0) {
        m_runSyncMode = syncMode != 0 ? 1 : 0;
    }
    if (reference >= 0) {
        m_runReference = reference == 1 ? 1 : 0;
    }
    if (SyncMode() != syncBefore || ReferenceRule() != referenceBefore) {
        emit changed();
    }
}
