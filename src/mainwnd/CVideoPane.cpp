#include "mainwnd/CVideoPane.h"

#include "engine/CVideoWidget.h"
#include "platform/MessageBox.h"
#include "uikit/CBCGPControlIds.h"
#include "uikit/Resource.h"

#include <QMouseEvent>
#include <QPalette>
#include <QWheelEvent>

#include <cmath>

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

CVideoWidget* CVideoPane::Picture() const {
    CVideoWidget* picture = findChild<CVideoWidget*>(QString(), Qt::FindDirectChildrenOnly);
    return picture != nullptr && picture->isVisible() ? picture : nullptr;
}

void CVideoPane::ResetPicture() {
    if (CVideoWidget* picture = Picture()) {
        picture->resetView();
    }
    unsetCursor();
}

bool CVideoPane::PictureEnlarged() const {
    const CVideoWidget* picture = Picture();
    return picture != nullptr && !picture->isWhole();
}

void CVideoPane::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        event->accept();
        emit rightClicked(m_index);
        return;
    }
    if (event->button() == Qt::LeftButton && PictureEnlarged()) {
        m_dragging = true;
        m_dragFrom = event->position().toPoint();
        setCursor(Qt::ClosedHandCursor);
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void CVideoPane::mouseMoveEvent(QMouseEvent* event) {
    CVideoWidget* picture = Picture();
    if (!m_dragging || picture == nullptr || (event->buttons() & Qt::LeftButton) == 0) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    const QPoint at = event->position().toPoint();
    picture->panBy(QPointF(at - m_dragFrom));
    m_dragFrom = at;
    event->accept();
}

void CVideoPane::mouseReleaseEvent(QMouseEvent* event) {
    if (m_dragging && event->button() == Qt::LeftButton) {
        m_dragging = false;
        if (PictureEnlarged()) {
            setCursor(Qt::OpenHandCursor);
        } else {
            unsetCursor();
        }
        event->accept();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void CVideoPane::wheelEvent(QWheelEvent* event) {
    CVideoWidget* picture = Picture();
    const int delta = event->angleDelta().y();
    if (picture == nullptr || delta == 0) {
        QWidget::wheelEvent(event);
        return;
    }
    // A notch is 120; touch pads send parts of one.
    const QPointF at = picture->mapFrom(this, event->position());
    picture->zoomAt(at, std::pow(kZoomStep, delta / 120.0));
    if (picture->isWhole()) {
        unsetCursor();
    } else {
        setCursor(Qt::OpenHandCursor);
    }
    event->accept();
}

void CVideoPane::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        event->accept();
        emit doubleClicked(m_index);
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}
