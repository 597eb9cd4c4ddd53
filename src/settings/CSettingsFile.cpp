#include "settings/CSettingsFile.h"

#include "platform/CProfileFile.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kBufferChars = 256; // the classic read buffer, terminator included
constexpr int kPathChars = 4096;  // PATH_MAX
const QString kMissing = QStringLiteral("1");

const char* const kVirtualCodeSections[4] = {"VirtualCode1", "VirtualCode2", "VirtualCode3", "VirtualCode4"};
const char* const kModifierSections[4] = {"Modifiers1", "Modifiers2", "Modifiers3", "Modifiers4"};
constexpr unsigned kDefaultKeys[4] = {65, 66, 67, 68}; // A, B, C, D
constexpr unsigned kDefaultModifiers = 6;              // Ctrl + Shift

// When the file cannot be written, the values live here for the rest of the run, and reads
// see them before the file.
QHash<QString, QString>& memoryStore() {
    static QHash<QString, QString> store;
    return store;
}

QString memoryKey(const QString& section, const QString& key) {
    return (section + '\n' + key).toLower();
}

// The settings file the user has been told of (once a file, not at every change).
QString g_warnedPath;

// The settings file, read once for the keys read together.
CProfileFile loadedFile() {
    CProfileFile file(CSettingsFile::FilePath());
    file.load();
    return file;
}

QString readEntry(const CProfileFile& file, const QString& section, const QString& key,
                  const QString& missing = kMissing, int bufferChars = kBufferChars) {
    const auto& mem = memoryStore();
    const auto it = mem.constFind(memoryKey(section, key));
    if (it != mem.constEnd()) {
        return it.value();
    }
    return file.getString(section, key, missing, bufferChars);
}

QString readEntry(const QString& section, const QString& key, const QString& missing = kMissing,
                  int bufferChars = kBufferChars) {
    return readEntry(CProfileFile(CSettingsFile::FilePath()), section, key, missing, bufferChars);
}

const QString kCaptureAllCode = QStringLiteral("VirtualCode5");
const QString kCaptureAllModifiers = QStringLiteral("Modifiers5");
const char* const kCaptureAllKeys[2] = {"VirtualCodeNumber", "ModifiersNumber"};
const QString kPaneInfoSection = QStringLiteral("PaneInfo");
const char* const kPaneInfoKey[1] = {"PaneInfoNumber"};

// Writes every entry in one replacement of the file; when that fails they all stay in memory
// for this run.
bool writeEntries(const std::vector<std::pair<QString, QString>>& entries, const char* const keys[],
                  QString* why = nullptr) {
    std::vector<CProfileFile::Entry> all;
    for (size_t i = 0; i < entries.size(); ++i) {
        all.push_back({entries[i].first, QString::fromLatin1(keys[i]), entries[i].second});
    }
    const bool ok = CProfileFile(CSettingsFile::FilePath()).writeStrings(all, why);
    auto& mem = memoryStore();
    if (ok) {
        for (size_t i = 0; i < entries.size(); ++i) {
            mem.remove(memoryKey(entries[i].first, QString::fromLatin1(keys[i])));
        }
        return true;
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        mem.insert(memoryKey(entries[i].first, QString::fromLatin1(keys[i])), entries[i].second);
    }
    if (g_warnedPath != CSettingsFile::FilePath()) {
        g_warnedPath = CSettingsFile::FilePath();
        std::fprintf(stderr,
                     "Tetrav: cannot write the settings file %s; the settings are kept in memory for "
                     "this run only.\n",
                     qPrintable(QDir::toNativeSeparators(CSettingsFile::FilePath())));
    }
    return false;
}

std::vector<std::pair<QString, QString>> allEntries(const CSettings& s, const HotKeySetting hotKeys[4]) {
    std::vector<std::pair<QString, QString>> e;
    e.emplace_back(QStringLiteral("FramePhase"), QString::number(s.FramePhase));
    e.emplace_back(QStringLiteral("MiniVideo"), QString::number(s.MiniVideo));
    e.emplace_back(QStringLiteral("ForeView"), QString::number(s.ForeView));
    e.emplace_back(QStringLiteral("SaveMapPath"), s.SaveMapPath);
    for (int n = 0; n < 4; ++n) {
        e.emplace_back(QString::fromLatin1(kVirtualCodeSections[n]), QString::number(hotKeys[n].virtualKey));
        e.emplace_back(QString::fromLatin1(kModifierSections[n]), QString::number(hotKeys[n].modifiers));
    }
    return e;
}

const char* const kKeys[12] = {"FramePhaseNumber",  "MiniVideoNumber",   "ForeViewNumber",
                               "SaveMapPathNumber", "VirtualCodeNumber", "ModifiersNumber",
                               "VirtualCodeNumber", "ModifiersNumber",   "VirtualCodeNumber",
                               "ModifiersNumber",   "VirtualCodeNumber", "ModifiersNumber"};

} // namespace

QString CSettingsFile::Folder() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base)) {
        base = QDir::homePath() + QStringLiteral("/.config");
    }
    return base + QStringLiteral("/tetrav");
}

QString CSettingsFile::FilePath() {
    return Folder() + '/' + QString::fromLatin1(kFileName);
}

bool CSettingsFile::Exists() {
    return QFileInfo(FilePath()).isFile() ||
           memoryStore().contains(
               memoryKey(QStringLiteral("FramePhase"), QStringLiteral("FramePhaseNumber")));
}

QString CSettingsFile::ReadEntry(const QString& section, const QString& key) {
    return readEntry(section, key);
}

QString CSettingsFile::VirtualCodeSection(int pane) {
    return QString::fromLatin1(kVirtualCodeSections[pane]);
}

QString CSettingsFile::ModifiersSection(int pane) {
    return QString::fromLatin1(kModifierSections[pane]);
}

int CSettingsFile::Atoi(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    // atoi is (int) strtol: leading blanks, a sign, digits; anything else ends the number.
    return static_cast<int>(std::strtol(bytes.constData(), nullptr, 10));
}

std::int8_t CSettingsFile::ToInt8(const QString& text) {
    return static_cast<std::int8_t>(Atoi(text) & 0xFF);
}

void CSettingsFile::Read(CSettings& settings, HotKeySetting hotKeys[4]) {
    const CProfileFile file = loadedFile();
    const auto entry = [&file](const QString& section, const QString& key) {
        return readEntry(file, section, key);
    };
    settings.FramePhase = ToInt8(entry(QStringLiteral("FramePhase"), QStringLiteral("FramePhaseNumber")));
    settings.MiniVideo = ToInt8(entry(QStringLiteral("MiniVideo"), QStringLiteral("MiniVideoNumber")));
    settings.ForeView = ToInt8(entry(QStringLiteral("ForeView"), QStringLiteral("ForeViewNumber")));
    // Read whole: cut at 255 characters it would name another folder.
    settings.SaveMapPath = SnapshotFolder(readEntry(
        file, QStringLiteral("SaveMapPath"), QStringLiteral("SaveMapPathNumber"), QString(), kPathChars));
    for (int n = 0; n < 4; ++n) {
        hotKeys[n].virtualKey = unsigned(Atoi(entry(QString::fromLatin1(kVirtualCodeSections[n]),
                                                    QStringLiteral("VirtualCodeNumber")))) &
                                0xFFFFu;
        hotKeys[n].modifiers = unsigned(Atoi(entry(QString::fromLatin1(kModifierSections[n]),
                                                   QStringLiteral("ModifiersNumber")))) &
                               0xFFFFu;
    }
}

QString CSettingsFile::DefaultSnapshotFolder() {
    QString cwd = QDir::currentPath();
    if (!cwd.endsWith('/')) {
        cwd += '/';
    }
    return cwd + QStringLiteral("SavePic/");
}

QString CSettingsFile::SnapshotFolder(const QString& saveMapPath) {
    return saveMapPath.trimmed().isEmpty() ? DefaultSnapshotFolder() : saveMapPath;
}

QString CSettingsFile::ReadSnapshotFolder() {
    // Read whole: cut at 255 characters it would name another folder.
    return SnapshotFolder(
        readEntry(QStringLiteral("SaveMapPath"), QStringLiteral("SaveMapPathNumber"), QString(), kPathChars));
}

bool CSettingsFile::WriteDefaults(CSettings& settings) {
    settings.FramePhase = 1;
    settings.MiniVideo = 1;
    settings.ForeView = 0;
    settings.SaveMapPath = DefaultSnapshotFolder();
    HotKeySetting keys[4];
    for (int n = 0; n < 4; ++n) {
        keys[n] = {kDefaultKeys[n], kDefaultModifiers};
    }
    return Write(settings, keys);
}

bool CSettingsFile::Write(const CSettings& settings, const HotKeySetting hotKeys[4], QString* why) {
    return writeEntries(allEntries(settings, hotKeys), kKeys, why);
}

HotKeySetting CSettingsFile::ReadCaptureAllKey() {
    // An empty value counts as missing: the profile reader cannot tell the two apart.
    const CProfileFile file = loadedFile();
    const QString code = readEntry(file, kCaptureAllCode, QString::fromLatin1(kCaptureAllKeys[0]), QString());
    const QString modifiers =
        readEntry(file, kCaptureAllModifiers, QString::fromLatin1(kCaptureAllKeys[1]), QString());
    HotKeySetting key = kDefaultCaptureAllKey;
    if (!code.isEmpty()) {
        key.virtualKey = unsigned(Atoi(code)) & 0xFFFFu;
    }
    if (!modifiers.isEmpty()) {
        key.modifiers = unsigned(Atoi(modifiers)) & 0xFFFFu;
    }
    return key;
}

bool CSettingsFile::HasCaptureAllKey() {
    const CProfileFile file = loadedFile();
    return !readEntry(file, kCaptureAllCode, QString::fromLatin1(kCaptureAllKeys[0]), QString()).isEmpty() ||
           !readEntry(file, kCaptureAllModifiers, QString::fromLatin1(kCaptureAllKeys[1]), QString())
                .isEmpty();
}

bool CSettingsFile::WriteCaptureAllKey(const HotKeySetting& key, QString* why) {
    return writeEntries({{kCaptureAllCode, QString::number(key.virtualKey)},
                         {kCaptureAllModifiers, QString::number(key.modifiers)}},
                        kCaptureAllKeys, why);
}

bool CSettingsFile::ReadPaneInfo() {
    return Atoi(readEntry(kPaneInfoSection, QString::fromLatin1(kPaneInfoKey[0]), QStringLiteral("0"))) == 1;
}

bool CSettingsFile::WritePaneInfo(bool shown, QString* why) {
    return writeEntries({{kPaneInfoSection, shown ? QStringLiteral("1") : QStringLiteral("0")}}, kPaneInfoKey,
                        why);
}
