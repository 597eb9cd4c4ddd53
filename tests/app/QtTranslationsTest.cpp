// Qt's own dialog texts come in Chinese once the program has installed Qt's translations.
#include "app/QtTranslations.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>

namespace {

TEST(QtTranslationsTest, TheStandardFileDialogSpeaksChinese) {
    ASSERT_TRUE(QtTranslations::Install(*qApp)) << "qt6-translations-l10n is not installed";
    QFileDialog dialog(nullptr, QStringLiteral("打开"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    QStringList texts;
    for (const QLabel* label : dialog.findChildren<QLabel*>()) {
        texts << label->text();
    }
    for (const QPushButton* button : dialog.findChildren<QPushButton*>()) {
        texts << button->text();
    }
    ASSERT_FALSE(texts.isEmpty());
    for (const char* english : {"Look in:", "File name:", "Files of type:", "&Open", "Cancel"}) {
        EXPECT_FALSE(texts.contains(QString::fromLatin1(english)))
            << english << " in " << qPrintable(texts.join('|'));
    }
    EXPECT_TRUE(texts.contains(QStringLiteral("取消"))) << qPrintable(texts.join('|'));
}

} // namespace
