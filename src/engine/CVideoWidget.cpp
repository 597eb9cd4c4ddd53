#include "engine/CVideoWidget.h"

#include "engine/CPaneInfoOverlay.h"
#include "engine/CVideoOutput.h"

#include <QPainter>

CVideoWidget::CVideoWidget(CVideoOutput* output, QWidget* pane) : QWidget(pane), m_output(output) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    setObjectName(QStringLiteral("videoPicture"));
}

void CVideoWidget::zoomAt(const QPointF& at, double factor) {
    if (m_output) {
        m_output->zoomAt(at, factor);
    }
}

void CVideoWidget::panBy(const QPointF& delta) {
    if (m_output) {
        m_output->panBy(delta);
    }
}

void CVideoWidget::resetView() {
    if (m_output) {
        m_output->resetView();
    }
}

bool CVideoWidget::isWhole() const {
    return !m_output || m_output->viewWhole();
}

void CVideoWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const CVideoOutput::Painted painted =
        m_output ? m_output->paint(painter, rect()) : CVideoOutput::Painted{};
    if (!painted.painted) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    if (m_output->info().shown && painted.streamNs >= 0) {
        CPaneInfoOverlay::Paint(painter, rect(), m_output->info(), painted.streamNs);
    }
}

void CVideoWidget::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_output) {
        m_output->setOnScreen(true);
    }
}

void CVideoWidget::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (m_output) {
        m_output->setOnScreen(false);
    }
}
