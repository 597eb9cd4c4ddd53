#pragma once
// Qt's own texts (the buttons and labels of the standard file, folder and message dialogs) in
// Simplified Chinese, like the rest of the program, from Debian's Qt translations.
class QCoreApplication;

class QtTranslations {
public:
    // Installs the Chinese translations of Qt's own texts into app; false (nothing installed) when
    // they are not on this system, and the dialogs then keep Qt's English.
    static bool Install(QCoreApplication& app);
};
