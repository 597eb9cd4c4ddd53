#include "mainwnd/CStatusBar.h"

#include "uikit/CBCGPControlIds.h"
#include "uikit/Resource.h"

#include <QFrame>
#include <QLabel>
#include <QResizeEvent>

#include <algorithm>

CStatusBar::CStatusBar(QWidget* parent) : QStatusBar(parent) {
    SetDlgCtrlID(this, IDC_STATUSBAR);
    setObjectName(QStringLiteral("statusBar"));
    setAccessibleName(QStringLiteral("状态栏"));
    setAutoFillBackground(true);
}

CStatusBar::~CStatusBar() = default;

bool CStatusBar::SetParts(int count, const int* rightEdges) {
    if (count < 1 || count > 255 || rightEdges == nullptr) {
        return false;
    }
    while (static_cast<int>(m_parts.size()) > count) {
        delete m_parts.back().label;
        m_parts.pop_back();
    }
    while (static_cast<int>(m_parts.size()) < count) {
        auto* label = new QLabel(this);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setContentsMargins(2, 0, 2, 0);
        label->setTextFormat(Qt::PlainText);
        label->show();
        m_parts.push_back(Part{0, label});
    }
    for (int i = 0; i < count; ++i) {
        m_parts[static_cast<size_t>(i)].rightEdge = rightEdges[i];
    }
    placeParts();
    return true;
}

int CStatusBar::RightEdge(int part) const {
    if (part < 0 || part >= GetParts()) {
        return 0;
    }
    return m_parts[static_cast<size_t>(part)].rightEdge;
}

QRect CStatusBar::PartRect(int part) const {
    if (part < 0 || part >= GetParts()) {
        return {};
    }
    const int left = part == 0 ? 0 : RightEdge(part - 1);
    int right = RightEdge(part);
    if (right < 0 || right > width()) {
        right = width();
    }
    return QRect(left, 0, std::max(0, right - left), height());
}

bool CStatusBar::SetText(int part, const QString& text) {
    QLabel* label = PartLabel(part);
    if (label == nullptr) {
        return false;
    }
    label->setText(text);
    label->setAccessibleName(text);
    return true;
}

QString CStatusBar::GetText(int part) const {
    QLabel* label = PartLabel(part);
    return label == nullptr ? QString() : label->text();
}

QLabel* CStatusBar::PartLabel(int part) const {
    if (part < 0 || part >= GetParts()) {
        return nullptr;
    }
    return m_parts[static_cast<size_t>(part)].label;
}

int CStatusBar::PreferredHeight() const {
    return fontMetrics().height() + 6;
}

void CStatusBar::Reposition() {
    QWidget* parent = parentWidget();
    if (parent == nullptr) {
        return;
    }
    const int h = PreferredHeight();
    setGeometry(0, parent->height() - h, parent->width(), h);
}

void CStatusBar::resizeEvent(QResizeEvent* event) {
    QStatusBar::resizeEvent(event);
    placeParts();
}

void CStatusBar::placeParts() {
    for (int i = 0; i < GetParts(); ++i) {
        m_parts[static_cast<size_t>(i)].label->setGeometry(PartRect(i).adjusted(0, 1, -1, -1));
    }
}
