#include "engine/CVideoWidget.h"

#include "engine/CVideoOutput.h"

#include <QPainter>

CVideoWidget::CVideoWidget(CVideoOutput* output, QWidget* pane) : QWidget(pane), m_output(output) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    setObjectName(QStringLiteral("videoPicture"));
}

void CVideoWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!m_output || !m_output->paint(painter, rect())) {
        painter.fillRect(rect(), Qt::black);
    }
}
