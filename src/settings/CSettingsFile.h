#pragma once
// The settings file TetravSet.ini in the user's configuration folder
// ($XDG_CONFIG_HOME/tetrav, by default ~/.config/tetrav): twelve one-key sections.
// Numbers are read with atoi semantics and kept in 8 bits; a missing key reads as "1".
#include "settings/CSettings.h"

#include <QString>

struct HotKeySetting {
    unsigned virtualKey = 0; // Windows virtual-key code (low 16 bits)
    unsigned modifiers = 0;  // MOD_ALT 1 | MOD_CONTROL 2 | MOD_SHIFT 4 (low 16 bits)
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

    // Reads the four options into settings and the four hot keys (panes 1 to 4).
    static void Read(CSettings& settings, HotKeySetting hotKeys[4]);
    // Writes the defaults: the record gets 1, 1, 0 and "<current dir>/SavePic/", the file the
    // twelve sections in order. Returns false when the file could not be written.
    static bool WriteDefaults(CSettings& settings);
    // Writes the four options and the four hot keys (the options dialog's OK).
    static bool Write(const CSettings& settings, const HotKeySetting hotKeys[4]);

    // The classic atoi, kept in 8 bits ("257" -> 1, "abc" -> 0).
    static std::int8_t ToInt8(const QString& text);
    static int Atoi(const QString& text);
};
