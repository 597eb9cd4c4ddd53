#pragma once
// The settings file TetravSet.ini in the user's configuration folder
// ($XDG_CONFIG_HOME/tetrav, by default ~/.config/tetrav): twelve one-key sections, and two more
// for the hot key that captures every pane at once. Numbers are read with atoi semantics and
// kept in 8 bits; a missing key reads as "1", except that the fifth hot key defaults to
// Ctrl+Shift+E, so files written before it existed keep working.
#include "settings/CSettings.h"

#include <QString>

struct HotKeySetting {
    unsigned virtualKey = 0; // Windows virtual-key code (low 16 bits)
    unsigned modifiers = 0;  // MOD_ALT 1 | MOD_CONTROL 2 | MOD_SHIFT 4 (low 16 bits)
    bool operator==(const HotKeySetting&) const = default;
};

class CSettingsFile {
public:
    static constexpr const char* kFileName = "TetravSet.ini";

    // The folder and the full path of the settings file.
    static QString Folder();
    static QString FilePath();
    static bool Exists();

    // One entry as the program reads it (default "1", at most 255 characters); values this run
    // could not write to the file come from memory.
    static QString ReadEntry(const QString& section, const QString& key);
    // The sections of pane n's (0..3) hot key.
    static QString VirtualCodeSection(int pane);
    static QString ModifiersSection(int pane);

    // The snapshot folder when none is set: "<current dir>/SavePic/".
    static QString DefaultSnapshotFolder();
    // The snapshot folder a SaveMapPath value means: the value, or the default when it is empty.
    static QString SnapshotFolder(const QString& saveMapPath);
    // The snapshot folder the file names (as Read reads it).
    static QString ReadSnapshotFolder();

    // Reads the four options into settings and the four hot keys (panes 1 to 4). A missing or
    // empty SaveMapPath is the default folder; a long one is read whole (never shortened into
    // another folder).
    static void Read(CSettings& settings, HotKeySetting hotKeys[4]);
    // Writes the defaults: the record gets 1, 1, 0 and "<current dir>/SavePic/", the file the
    // twelve sections in order. Returns false when the file could not be written.
    static bool WriteDefaults(CSettings& settings);
    // Writes the four options and the four hot keys (the options dialog's OK). A failed write
    // leaves the file as it was and *why (when given) says why.
    static bool Write(const CSettings& settings, const HotKeySetting hotKeys[4], QString* why = nullptr);

    // The fifth hot key, which captures all four panes at one instant (sections VirtualCode5
    // and Modifiers5; each missing one takes its part of Ctrl+Shift+E). Written on its own, so
    // the twelve entries and every other line of the file stay as they are.
    static constexpr HotKeySetting kDefaultCaptureAllKey{69, 6};
    static HotKeySetting ReadCaptureAllKey();
    static bool HasCaptureAllKey();
    static bool WriteCaptureAllKey(const HotKeySetting& key, QString* why = nullptr);

    // Whether the panes show their information (播放控制 -> 显示画面信息): section PaneInfo, key
    // PaneInfoNumber, 1 or 0; off when missing. Written on its own like the fifth hot key.
    static bool ReadPaneInfo();
    static bool WritePaneInfo(bool shown, QString* why = nullptr);

    // The classic atoi, kept in 8 bits ("257" -> 1, "abc" -> 0).
    static std::int8_t ToInt8(const QString& text);
    static int Atoi(const QString& text);
};
