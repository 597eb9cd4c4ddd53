#pragma once
// INI profile reader and writer with the semantics of the classic profile functions:
// section and key names compare case-insensitively; a missing file, section or key reads as
// the given default; a write replaces the key's value in place (or appends the key to its
// section, or the section to the file) and keeps every other line of the file as it was
// (comments, blank lines, unknown sections, CRLF line ends). Values are UTF-8 text.
#include <QString>

#include <memory>
#include <vector>

class CProfileFile {
public:
    explicit CProfileFile(QString path);

    const QString& path() const { return m_path; }
    bool exists() const;

    // Reads the file once: later reads answer from what it held then, until a write (for
    // several keys read together). Without it, every read reads the file.
    void load();

    // GetPrivateProfileString: the value of key in section, or def when missing or unreadable.
    // At most maxChars - 1 characters are returned (the classic buffer and its terminator).
    QString getString(const QString& section, const QString& key, const QString& def,
                      int maxChars = 256) const;

    // WritePrivateProfileString: creates the folder, file and section as needed.
    // Returns false when the file cannot be written; the file on disk is then unchanged, and
    // *why (when given) says why.
    bool writeString(const QString& section, const QString& key, const QString& value);

    // Several writes in one replacement of the file: all of them land, or none.
    struct Entry {
        QString section, key, value;
    };
    bool writeStrings(const std::vector<Entry>& entries, QString* why = nullptr);

private:
    struct Loaded;
    QString m_path;
    std::shared_ptr<const Loaded> m_loaded;
};
