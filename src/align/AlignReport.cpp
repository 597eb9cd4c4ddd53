#include "align/AlignReport.h"

#include <QStringList>

namespace AlignReport {

namespace {
const char* const kPaneNames[4] = {"视频一", "视频二", "视频三", "视频四"};
}

QString Reason(PaneAlignment::Outcome outcome) {
    switch (outcome) {
    case PaneAlignment::Outcome::NoAudio:
        return QStringLiteral("没有音轨");
    case PaneAlignment::Outcome::Undecodable:
        return QStringLiteral("声音无法解码");
    case PaneAlignment::Outcome::TooShort:
        return QStringLiteral("声音不足一秒");
    case PaneAlignment::Outcome::Silent:
        return QStringLiteral("没有可听的声音");
    case PaneAlignment::Outcome::NoMatch:
        return QStringLiteral("声音与参考视频对不上");
    case PaneAlignment::Outcome::NotAsked:
    case PaneAlignment::Outcome::Reference:
    case PaneAlignment::Outcome::Aligned:
        break;
    }
    return {};
}

QString EnglishReason(PaneAlignment::Outcome outcome) {
    switch (outcome) {
    case PaneAlignment::Outcome::NoAudio:
        return QStringLiteral("it has no audio track");
    case PaneAlignment::Outcome::Undecodable:
        return QStringLiteral("its audio cannot be decoded");
    case PaneAlignment::Outcome::TooShort:
        return QStringLiteral("its audio is shorter than a second");
    case PaneAlignment::Outcome::Silent:
        return QStringLiteral("its audio is silent");
    case PaneAlignment::Outcome::NoMatch:
        return QStringLiteral("its sound does not match the reference's");
    case PaneAlignment::Outcome::NotAsked:
    case PaneAlignment::Outcome::Reference:
    case PaneAlignment::Outcome::Aligned:
        break;
    }
    return {};
}

QString OffsetText(double seconds) {
    return QString::asprintf("%+.3f 秒", seconds);
}

QString Summary(const AlignResult& result, const QString names[4], const double offsets[4]) {
    QStringList lines;
    const int ref = result.reference;
    if (!result.ReferenceHasSound()) {
        const PaneAlignment::Outcome why =
            ref >= 0 && ref < 4 ? result.panes[std::size_t(ref)].outcome : PaneAlignment::Outcome::NoAudio;
        lines << QStringLiteral("参考视频(%1)%2，无法按声音对齐，偏移未改变。")
                     .arg(ref >= 0 && ref < 4 ? QString::fromUtf8(kPaneNames[ref]) : QString(),
                          Reason(why).isEmpty() ? QStringLiteral("没有声音") : Reason(why));
        return lines.join(QLatin1Char('\n'));
    }
    lines << QStringLiteral("已按声音对齐 %1 个视频。").arg(result.AlignedCount());
    for (int k = 0; k < 4; ++k) {
        if (names[k].isEmpty()) {
            continue;
        }
        const PaneAlignment& pane = result.panes[std::size_t(k)];
        const QString head = QStringLiteral("%1 %2：").arg(QString::fromUtf8(kPaneNames[k]), names[k]);
        switch (pane.outcome) {
        case PaneAlignment::Outcome::Reference:
            lines << head + QStringLiteral("参考视频，偏移 %1").arg(OffsetText(offsets[k]));
            break;
        case PaneAlignment::Outcome::Aligned:
            lines << head + QStringLiteral("偏移 %1，置信度 %2")
                                .arg(OffsetText(offsets[k]))
                                .arg(pane.confidence, 0, 'f', 1);
            break;
        case PaneAlignment::Outcome::NotAsked:
            break;
        default:
            lines << head + QStringLiteral("%1，偏移未改变（%2）")
                                .arg(Reason(pane.outcome), OffsetText(offsets[k]));
            break;
        }
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace AlignReport
