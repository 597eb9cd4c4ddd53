#pragma once
// The settings record. Its fields carry the names of their sections in the settings file.
#include <QString>

#include <cstdint>

struct CSettings {
    std::int8_t FramePhase = 0; // 1 = frame sync, 0 = time sync
    std::int8_t MiniVideo = 0;  // 1 = the shortest video is the reference, else the longest
    std::int8_t ForeView = 0;   // 1 = topmost, else standard
    QString SaveMapPath;        // snapshot folder
};

extern CSettings g_settings;
