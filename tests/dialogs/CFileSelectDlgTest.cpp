// The file selection dialog run modally: controls, scripted picks of real files, cancels, and the
// real QFileDialog behind the default picker.
#include "dialogs/CFileSelectDlg.h"
#include "support/FileBytes.h"
#include "support/TestEnv.h"
#include "uikit/CBCGPControlIds.h"
#include "uikit/Resource.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <optional>

namespace {

constexpr int kEditIds[4] = {IDC_FILE1, IDC_FILE2, IDC_FILE3, IDC_FILE4};
constexpr int kOpenIds[4] = {IDC_OPEN1, IDC_OPEN2, IDC_OPEN3, IDC_OPEN4};

const char* const kExpectedQtFilter =
    "视频文件 (*.mpeg *.avi *.mov *.m2t *.vob *.rm *.rmvb *.mp4 *.mkv *.webm *.m4v *.ts *.wmv *.flv);;"
    "mpeg视频文件 (*.mpeg);;avi视频文件 (*.avi);;mov视频文件 (*.mov);;m2t视频文件 (*.m2t);;"
    "DVD视频文件 (*.vob);;RM视频文件 (*.rm);;RMVB视频文件 (*.rmvb);;所有文件 (*)";

// Files on disk to pick, names with spaces and Chinese characters among them.
struct PickFiles : QStringList {
    PickFiles() {
        for (const char* name : {"one.mp4", "two.avi", "第 三 个 视频.mkv", "four.MOV"}) {
            append(dir.filePath(QString::fromUtf8(name)));
            tetrav::test::writeAll(last(), "not really a video");
        }
    }
    QTemporaryDir dir;
};

// Replaces the file-open dialog with a queue of answers ("" = cancel) and records its arguments.
class ScriptedPicker {
public:
    ScriptedPicker() {
        m_previous =
            CFileSelectDlg::SetFilePicker([this](QWidget* parent, const QString& filter, auto answer) {
                parents.push_back(parent);
                filters.push_back(filter);
                EXPECT_FALSE(answers.isEmpty()) << "file-open dialog run more often than scripted";
                answer(answers.isEmpty() ? QString() : answers.takeFirst());
            });
    }
    ~ScriptedPicker() { CFileSelectDlg::SetFilePicker(m_previous); }

    QStringList answers;
    std::vector<QWidget*> parents;
    QStringList filters;

private:
    CFileSelectDlg::FilePicker m_previous;
};

class FileSelectDlgTest : public ::testing::Test {
protected:
    // The set's paths the next dialog opens with.
    void setPaths(const QStringList& p) {
        for (std::size_t i = 0; i < 4; ++i) {
            m_start[i] = p[int(i)];
        }
    }
    static QStringList paths(const CFileSelectDlg& d) {
        return QStringList(d.Picked().begin(), d.Picked().end());
    }

    CFileSelectDlg::PathList m_start;

    static QLineEdit* edit(const QWidget& dlg, int slot) {
        return qobject_cast<QLineEdit*>(GetDlgItem(&dlg, kEditIds[slot]));
    }
    static QPushButton* button(const QWidget& dlg, int id) {
        return qobject_cast<QPushButton*>(GetDlgItem(&dlg, id));
    }
    static void clickOpen(const QWidget& dlg, int slot) {
        QTest::mouseClick(button(dlg, kOpenIds[slot]), Qt::LeftButton);
    }

    // Runs the dialog modally and plays the script inside its event loop. A dialog the script
    // leaves open is ended by a watchdog, and that is a failure.
    static int runModal(CFileSelectDlg& dlg, const std::function<void()>& script) {
        bool timedOut = false;
        QTimer::singleShot(0, &dlg, script);
        QTimer::singleShot(10000, &dlg, [&] {
            timedOut = true;
            dlg.hide();
        });
        const int rc = dlg.DoModal();
        EXPECT_FALSE(timedOut) << "the dialog did not close";
        return rc;
    }
};

// The controls: glyphs for their texts, each row's label, box and button left to right in the
// group box with no text cut off, boxes empty whatever the paths, OK and Cancel below a sunken
// line (their names: TetravDesktopTest). Picks by click and by Enter on an Open button (the dialog
// stays open) are written at once, a relative answer as a full path; a cancelled pick empties its
// slot, the box keeping the last pick; the boxes show black on white and refuse typing; Enter in
// a box is OK.
TEST_F(FileSelectDlgTest, ControlsShowTheirTextsWholeAndPicksAreWrittenAtOnce) {
    PickFiles files;
    ScriptedPicker picker;
    picker.answers = {files[0], files[1], "", QFileInfo(files[2]).fileName(), files[3]};
    setPaths({"/old/1.mp4", "/old/2.mp4", "/old/3.mp4", "/old/4.mp4"});
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(files.dir.path()));
    CFileSelectDlg dlg(nullptr, m_start);
    const auto pressEnterOn = [&](int slot) {
        QPushButton* open = button(dlg, kOpenIds[slot]);
        open->setFocus(Qt::TabFocusReason);
        QTest::keyClick(open, Qt::Key_Return);
        EXPECT_EQ(QApplication::activeModalWidget(), &dlg)
            << "Enter on Open " << slot << " closed the dialog";
    };
    const int rc = runModal(dlg, [&] {
        QPushButton* ok = button(dlg, IDOK);
        QPushButton* cancel = button(dlg, IDCANCEL);
        ASSERT_TRUE(ok && cancel);
        EXPECT_TRUE(ok->isDefault());
        const QFontMetrics fm(dlg.font());
        for (QChar c : QStringLiteral("第一个视频文件：打开确定放弃")) {
            EXPECT_TRUE(fm.inFontUcs4(c.unicode())) << int(c.unicode());
        }
        const auto groups = dlg.findChildren<QGroupBox*>();
        ASSERT_EQ(groups.size(), 1);
        const QRect group = groups[0]->geometry();
        for (int i = 0; i < 4; ++i) {
            SCOPED_TRACE(i);
            QLineEdit* e = edit(dlg, i);
            QPushButton* b = button(dlg, kOpenIds[i]);
            ASSERT_TRUE(e && b);
            EXPECT_EQ(b->text(), QStringLiteral("打开(&%1)").arg(QChar('A' + i)));
            EXPECT_TRUE(e->isReadOnly() && e->text().isEmpty() && (e->focusPolicy() & Qt::TabFocus));
            const QLabel* label = nullptr;
            for (QLabel* l : dlg.findChildren<QLabel*>()) {
                label = l->buddy() == e ? l : label;
            }
            ASSERT_NE(label, nullptr) << "no label for the box";
            EXPECT_EQ(label->text(), QStringLiteral("第%1个视频文件：").arg(QString("一二三四")[i]));
            EXPECT_LE(label->geometry().right(), e->geometry().left());
            EXPECT_LE(e->geometry().right(), b->geometry().left());
            EXPECT_TRUE(group.contains(label->geometry() | e->geometry() | b->geometry()));
            EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width());
            EXPECT_LE(b->fontMetrics().horizontalAdvance(b->text().remove('&')), b->width() - 4);
            EXPECT_GE(e->height(), e->fontMetrics().height() + 2);
            EXPECT_TRUE(i == 0 || e->geometry().top() >= edit(dlg, i - 1)->geometry().bottom()) << "overlap";
        }
        const QFrame* line = nullptr;
        for (QFrame* f : dlg.findChildren<QFrame*>()) {
            line = f->frameShape() == QFrame::HLine ? f : line;
        }
        ASSERT_NE(line, nullptr);
        EXPECT_EQ(line->frameShadow(), QFrame::Sunken);
        EXPECT_GT(line->geometry().top(), group.bottom());
        EXPECT_LT(line->geometry().bottom(), std::min(ok->geometry().top(), cancel->geometry().top()));
        EXPECT_LT(ok->geometry().right(), cancel->geometry().left());
        EXPECT_TRUE(dlg.rect().contains(ok->geometry() | cancel->geometry()));
        clickOpen(dlg, 0);
        QLineEdit* e = edit(dlg, 0);
        EXPECT_EQ(e->text(), files[0]);
        EXPECT_EQ(dlg.Picked()[0], files[0]);
        // Rendered white, with dark text pixels somewhere.
        const QImage img = e->grab().toImage();
        EXPECT_EQ(img.pixelColor(img.width() / 2, img.height() - 4), QColor(Qt::white));
        EXPECT_EQ(e->palette().color(QPalette::Text), QColor(Qt::black));
        bool dark = false;
        for (int x = 0; x < img.width() && !dark; ++x) {
            dark = qGray(img.pixel(x, img.height() / 2)) < 80;
        }
        EXPECT_TRUE(dark) << "no text drawn in the box";
        // Typing, deleting and pasting change nothing.
        e->setFocus();
        QTest::keyClicks(e, "xyz");
        for (const Qt::Key k : {Qt::Key_Backspace, Qt::Key_Delete, Qt::Key_Home, Qt::Key_Delete}) {
            QTest::keyClick(e, k);
        }
        QApplication::clipboard()->setText(QStringLiteral("/tmp/typed.mp4"));
        QTest::keyClick(e, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(e->text(), files[0]);

        pressEnterOn(1);
        EXPECT_EQ(dlg.Picked()[1], files[1]);
        EXPECT_EQ(edit(dlg, 1)->text(), files[1]);
        clickOpen(dlg, 1); // the user thinks again and cancels
        EXPECT_TRUE(dlg.Picked()[1].isEmpty());
        EXPECT_EQ(edit(dlg, 1)->text(), files[1]) << "the box keeps the previous pick";
        pressEnterOn(3); // a path with spaces and Chinese characters, answered relative
        EXPECT_EQ(edit(dlg, 3)->text(), files[2]);
        pressEnterOn(2);
        EXPECT_EQ(paths(dlg), QStringList({files[0], "", files[3], files[2]}));
        edit(dlg, 0)->setFocus(Qt::TabFocusReason);
        QTest::keyClick(edit(dlg, 0), Qt::Key_Return);
    });
    QDir::setCurrent(cwd);
    EXPECT_EQ(rc, IDOK);
    EXPECT_EQ(paths(dlg), QStringList({files[0], "", files[3], files[2]}));
    EXPECT_EQ(QStringList({dlg.m_strFile1, dlg.m_strFile2, dlg.m_strFile3, dlg.m_strFile4}),
              QStringList({files[0], files[1], files[3], files[2]}));
    // Every pick ran the file-open dialog over this dialog, with the nine filters in Qt's form.
    ASSERT_EQ(picker.filters.size(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(picker.parents[i], &dlg);
        EXPECT_EQ(picker.filters[i], QString::fromUtf8(kExpectedQtFilter));
    }
}

// Every way of cancelling the whole dialog puts the four paths back as they were when it opened,
// whatever was picked or cancelled meanwhile; OK without a pick keeps them and runs no file-open
// dialog.
TEST_F(FileSelectDlgTest, CancelRestoresThePathsAndOkWithoutPicksKeepsThem) {
    PickFiles files;
    const QStringList before = {"/old/1.mp4", "", "/old/3.mp4", "/v/d 视频.mp4"};
    const std::vector<std::pair<const char*, std::function<void(CFileSelectDlg&)>>> ways = {
        {"OK button", [](CFileSelectDlg& d) { QTest::mouseClick(button(d, IDOK), Qt::LeftButton); }},
        {"放弃 button", [](CFileSelectDlg& d) { QTest::mouseClick(button(d, IDCANCEL), Qt::LeftButton); }},
        {"Escape key", [](CFileSelectDlg& d) { QTest::keyClick(&d, Qt::Key_Escape); }},
        {"close box", [](CFileSelectDlg& d) { d.close(); }},
    };
    for (const auto& [name, end] : ways) {
        SCOPED_TRACE(name);
        const bool confirm = QByteArray(name).startsWith("OK");
        setPaths(before);
        ScriptedPicker picker;
        if (!confirm) {
            picker.answers = {files[2], "", files[3]};
        }
        CFileSelectDlg dlg(nullptr, m_start);
        const int rc = runModal(dlg, [&] {
            if (!confirm) {
                clickOpen(dlg, 2); // slot 3 picked
                clickOpen(dlg, 0); // slot 1 cancelled, so emptied
                clickOpen(dlg, 1); // slot 2 picked
                EXPECT_EQ(paths(dlg), QStringList({"", files[3], files[2], before[3]}));
            }
            end(dlg);
        });
        EXPECT_EQ(rc, confirm ? IDOK : IDCANCEL);
        EXPECT_EQ(paths(dlg), before);
        EXPECT_EQ(picker.filters.isEmpty(), confirm);
    }
}

// The default picker is Qt's file-open dialog for one existing file, with the nine filters (their
// text: ControlsShowTheirTextsWholeAndPicksAreWrittenAtOnce) and the first selected; a typed name is
// answered as a full path, a cancel as nothing.
TEST_F(FileSelectDlgTest, DefaultPickerIsAFileDialogWithTheFilters) {
    QTemporaryDir dir;
    tetrav::test::writeAll(dir.filePath("README"), {});
    for (bool accept : {true, false}) {
        SCOPED_TRACE(accept ? "file picked" : "dialog cancelled");
        bool inspected = false;
        QTimer poll; // inspects the file dialog once it is up, then picks a file or cancels
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* fd = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (fd == nullptr || inspected) {
                return;
            }
            inspected = true;
            EXPECT_EQ(fd->fileMode(), QFileDialog::ExistingFile);
            EXPECT_EQ(fd->acceptMode(), QFileDialog::AcceptOpen);
            EXPECT_EQ(fd->nameFilters().size(), 9);
            EXPECT_EQ(fd->selectedNameFilter(), fd->nameFilters().value(0));
            fd->setDirectory(dir.path());
            fd->selectNameFilter(fd->nameFilters().value(8));
            auto* name = fd->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            if (accept && name != nullptr) { // the user types the name and presses Enter
                name->setFocus();
                QTest::keyClicks(name, QStringLiteral("README"));
                QTest::keyClick(name, Qt::Key_Return);
            } else {
                EXPECT_FALSE(accept) << "no file name box";
                fd->reject();
            }
        });
        poll.start(20);
        QTimer::singleShot(15000, &poll, [] { // a dialog left open would hang the test
            if (auto* w = QApplication::activeModalWidget()) {
                w->close();
            }
        });
        std::optional<QString> answered;
        CFileSelectDlg::RunFileDialog(nullptr, QString::fromUtf8(kExpectedQtFilter),
                                      [&answered](const QString& path) { answered = path; });
        ASSERT_TRUE(tetrav::test::WaitUntil([&] { return answered.has_value(); }, 20000)) << "no answer";
        EXPECT_TRUE(inspected) << "no file dialog appeared";
        EXPECT_EQ(*answered, accept ? dir.filePath("README") : QString());
    }
}

} // namespace
