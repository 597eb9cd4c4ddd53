// The transport tool bar: its buttons from resource 128, enabling, tips and commands.
#include "app/CBCGPControlIds.h"
#include "app/Resource.h"
#include "controls/CToolBarXP.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QWidget>
#include <memory>

namespace {

class ToolBar : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<QWidget>();
        window->resize(400, 100);
        bar = new CToolBarXP(window.get());
        ASSERT_TRUE(bar->CreateEx(window.get(), AFX_IDW_TOOLBAR));
        ASSERT_TRUE(bar->LoadToolBar(IDR_MAINFRAME));
        bar->setGeometry(0, 0, 400, 30);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    QToolButton* Button(int id) {
        return qobject_cast<QToolButton*>(bar->widgetForAction(bar->ButtonAction(id)));
    }

    std::unique_ptr<QWidget> window;
    CToolBarXP* bar = nullptr;
};

TEST_F(ToolBar, ButtonsInTheOrderOfTheResourceWithTheirImages) {
    EXPECT_EQ(GetDlgCtrlID(bar), AFX_IDW_TOOLBAR);
    const QList<int> expected{ID_TB_PLAY,         ID_TB_PAUSE,  ID_TB_STOP, ID_TB_SLOWER,
                              ID_TB_NORMAL_SPEED, ID_TB_FASTER, ID_TB_OPEN};
    EXPECT_EQ(bar->ButtonIds(), expected);
    const auto all = bar->actions();
    ASSERT_EQ(all.size(), 9);
    EXPECT_TRUE(all[3]->isSeparator());
    EXPECT_TRUE(all[7]->isSeparator());
    QList<QImage> images;
    for (int id : expected) {
        QAction* a = bar->ButtonAction(id);
        ASSERT_NE(a, nullptr);
        const QImage img = a->icon().pixmap(16, 16).toImage();
        ASSERT_EQ(img.size(), QSize(16, 16));
        EXPECT_FALSE(images.contains(img)) << "each button has its own picture";
        images.append(img);
    }
    EXPECT_FALSE(bar->LoadToolBar(999)) << "no such resource";
}

TEST_F(ToolBar, EnabledButtonsSendTheirCommandsAndDisabledOnesDoNot) {
    QSignalSpy spy(bar, &CToolBarXP::command);
    for (int id : bar->ButtonIds()) {
        bar->EnableButton(id, id == ID_TB_OPEN);
    }
    EXPECT_TRUE(bar->IsButtonEnabled(ID_TB_OPEN));
    EXPECT_FALSE(bar->IsButtonEnabled(ID_TB_PLAY));
    EXPECT_FALSE(Button(ID_TB_PLAY)->isEnabled());
    QTest::mouseClick(Button(ID_TB_PLAY), Qt::LeftButton);
    EXPECT_EQ(spy.count(), 0);
    QTest::mouseClick(Button(ID_TB_OPEN), Qt::LeftButton);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), ID_TB_OPEN);

    EXPECT_TRUE(bar->EnableButton(ID_TB_PLAY, true));
    QTest::mouseClick(Button(ID_TB_PLAY), Qt::LeftButton);
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(1).at(0).toInt(), ID_TB_PLAY);
    EXPECT_FALSE(bar->EnableButton(12345, true));
    EXPECT_FALSE(bar->IsButtonEnabled(12345));
}

TEST_F(ToolBar, TipTextIsAlsoTheAccessibleName) {
    bar->UpdateTipText(ID_TB_PLAY, QStringLiteral("播放"));
    bar->UpdateTipText(ID_TB_OPEN, QStringLiteral("打开文件"));
    EXPECT_EQ(bar->GetTipText(ID_TB_PLAY), QStringLiteral("播放"));
    EXPECT_EQ(Button(ID_TB_OPEN)->toolTip(), QStringLiteral("打开文件"));
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(Button(ID_TB_PLAY));
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("播放"));
    EXPECT_EQ(iface->role(), QAccessible::Button);
    EXPECT_TRUE(Button(ID_TB_PLAY)->text().isEmpty() ||
                Button(ID_TB_PLAY)->toolButtonStyle() == Qt::ToolButtonIconOnly)
        << "only the image is shown";
    // Pressing through the accessibility interface runs the command.
    QSignalSpy spy(bar, &CToolBarXP::command);
    iface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), ID_TB_PLAY);
}

} // namespace
