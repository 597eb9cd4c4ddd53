#pragma once
// The words for an alignment's outcome: the window's summary (Chinese) and the command line's
// reasons (English).
#include "align/CAudioAligner.h"

#include <QString>

namespace AlignReport {

// Why a pane kept its offset ("没有音轨", ...); empty for the reference and aligned panes.
QString Reason(PaneAlignment::Outcome outcome);
// The same for the command line ("it has no audio track", ...).
QString EnglishReason(PaneAlignment::Outcome outcome);

// The message after the command: one line per pane with a file (names[k] is pane k's file name
// as shown, empty = no file): its offset and how sure the match is, or why it kept its own.
// offsets: each pane's offset after the command.
QString Summary(const AlignResult& result, const QString names[4], const double offsets[4]);

// "+1.234 秒" style offsets, to the millisecond.
QString OffsetText(double seconds);

} // namespace AlignReport
