#include "mainwnd/CVideoPane.h"

#include "platform/MessageBox.h"
#include "uikit/CBCGPControlIds.h"
#include "uikit/Resource.h"

#include <QMouseEvent>
#include <QPalette>

CVideoPane::CVideoPane(int index, QWidget* parent) : QWidget(parent), m_index(index) {
    SetDlgCtrlID(this, IDC_VIDEO1 + index);
    setObjectName(QStringLiteral("pane%1").arg(index + 1));
    setAccessibleName(TitleOf(index));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);
}

CVideoPane::~CVideoPane() = default;

QString CVideoPane::TitleOf(int index) {
    return PaneTitle(index);
}

bool CVideoPane::event(QEvent* event) {
    if (event->type() == static_cast<QEvent::Type>(QEvent::User + WM_GRAPHNOTIFY)) {
        emit graphNotify(m_index);
        return true;
    }
    return QWidget::event(event);
}

void CVideoPane::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        event->accept();
        emit rightClicked(m_index);
        return;
    }
    QWidget::mousePressEvent(event);
}

void CVideoPane::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        event->accept();
        emit doubleClicked(m_index);
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}
