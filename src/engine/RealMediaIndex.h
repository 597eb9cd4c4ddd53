#pragma once
// RealMedia files can be sought only through their index; files written without one (ffmpeg
// writes none) make the demuxer fail the seek after it has flushed the pipeline, which leaves
// the pipeline without a picture for good. The channel asks first.
#include <QString>

// True when path is a RealMedia file (".RMF" header) whose properties header names no index.
bool IsRealMediaWithoutIndex(const QString& path);
