#pragma once
// Opens the program's HTML help and its support page in the desktop's browser. The help lives in
// a folder "help" found, in this order, beside the program, in the installed layout
// (<prefix>/share/tetrav/help for a program in <prefix>/bin) and in the source tree the program
// was built from. When no help is found or nothing can open it, an error box says so.
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

class HelpLauncher {
public:
    // The help's start page and the support page, inside the help folder.
    static constexpr const char* kIndexPage = "index.html";
    static constexpr const char* kSupportPage = "support.html";

    // The folders searched for the help, in order, for a program in programDir.
    static QStringList SearchFolders(const QString& programDir);
    // The path of a page of the help, or empty when no folder holds it.
    static QString FindPage(const QString& page, const QString& programDir);

    // ID_HELP_CONTENTS and the About box's support button. False (after an error box) when the
    // page is missing or cannot be opened.
    static bool OpenHelp();
    static bool OpenSupportPage();

    // What opens an address (default: the desktop's browser through QDesktopServices). Tests put
    // a recorder here. Returns the opener in force before; an empty one restores the default.
    using UrlOpener = std::function<bool(const QUrl&)>;
    static UrlOpener SetUrlOpener(UrlOpener opener);

    // Opens a page of the help found from programDir (the commands above use the program's own
    // folder).
    static bool OpenPage(const QString& page, const QString& programDir);
};
