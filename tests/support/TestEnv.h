#pragma once
// Where the tests find the project's clips, sources and the built program.
#include <QString>

namespace tetrav::test {

// Folder of the clips made by scripts/make-clips.sh (TETRAV_CLIPS).
QString clipsDir();
// Full path of one clip in that folder, e.g. clip("h264_320x240_25.mp4").
QString clip(const QString& name);
// The project's source tree (TETRAV_SOURCE_DIR).
QString sourceDir();
// The built program (TETRAV_BINARY).
QString programPath();

} // namespace tetrav::test
