#pragma once
// The video picture inside a pane: a child widget that paints the channel's current frame,
// letterboxed in black. It lets mouse events through to the pane (the pane's double click and
// context menu work over the picture) and never takes the keyboard focus.
#include <QPointer>
#include <QWidget>

class CVideoOutput;

class CVideoWidget : public QWidget {
    Q_OBJECT
public:
    CVideoWidget(CVideoOutput* output, QWidget* pane);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPointer<CVideoOutput> m_output;
};
