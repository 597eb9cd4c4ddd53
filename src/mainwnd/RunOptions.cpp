#include "mainwnd/RunOptions.h"

#include <cmath>

namespace {

const QString kSync = QStringLiteral("tetrav-sync");
const QString kReference = QStringLiteral("tetrav-reference");
const QString kOffset = QStringLiteral("tetrav-offset%1");
const QString kStart = QStringLiteral("tetrav-start");
const QString kRate = QStringLiteral("tetrav-rate");
const QString kPlay = QStringLiteral("tetrav-play");
const QString kAlignAudio = QStringLiteral("tetrav-align-audio");

constexpr double kMaxSeconds = 24.0 * 3600.0;

std::optional<double> Seconds(const QVariantMap& data, const QString& key, double low) {
    if (!data.contains(key)) {
        return std::nullopt;
    }
    bool ok = false;
    const double v = data.value(key).toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < low || v > kMaxSeconds) {
        return std::nullopt;
    }
    return v;
}

int Mode(const QVariantMap& data, const QString& key) {
    bool ok = false;
    const int v = data.value(key).toInt(&ok);
    return ok && (v == 0 || v == 1) ? v : -1;
}

} // namespace

bool RunOptions::IsEmpty() const {
    return *this == RunOptions{};
}

bool RunOptions::NeedsASet() const {
    bool any = start.has_value() || rate != 0.0 || play || alignAudio;
    for (const auto& o : offset) {
        any = any || o.has_value();
    }
    return any;
}

QVariantMap RunOptions::ToPlatformData() const {
    QVariantMap data;
    if (syncMode >= 0) {
        data.insert(kSync, syncMode);
    }
    if (reference >= 0) {
        data.insert(kReference, reference);
    }
    for (int k = 0; k < 4; ++k) {
        if (offset[k]) {
            data.insert(kOffset.arg(k + 1), *offset[k]);
        }
    }
    if (start) {
        data.insert(kStart, *start);
    }
    if (rate != 0.0) {
        data.insert(kRate, rate);
    }
    if (play) {
        data.insert(kPlay, true);
    }
    if (alignAudio) {
        data.insert(kAlignAudio, true);
    }
    return data;
}

RunOptions RunOptions::FromPlatformData(const QVariantMap& data) {
    RunOptions options;
    options.syncMode = Mode(data, kSync);
    options.reference = Mode(data, kReference);
    for (int k = 0; k < 4; ++k) {
        options.offset[k] = Seconds(data, kOffset.arg(k + 1), -kMaxSeconds);
    }
    options.start = Seconds(data, kStart, 0.0);
    const double rate = data.value(kRate).toDouble();
    options.rate = rate == 0.25 || rate == 1.0 || rate == 2.0 ? rate : 0.0;
    options.play = data.value(kPlay).toBool();
    options.alignAudio = data.value(kAlignAudio).toBool();
    return options;
}
