#pragma once
// The video picture inside a pane: a child widget that paints the channel's current frame,
// letterboxed in black, the part of it the view shows (zoom and pan), and the pane information
// over it when shown. It lets mouse events through to the pane (the pane's double click, context
// menu, wheel and drags work over the picture) and never takes the keyboard focus.
#include <QPointer>
#include <QWidget>

class CVideoOutput;

class CVideoWidget : public QWidget {
    Q_OBJECT
public:
    CVideoWidget(CVideoOutput* output, QWidget* pane);

    // Zoom by factor around at (this widget's coordinates), move the enlarged picture, the whole
    // picture again; whether the whole picture is shown.
    void zoomAt(const QPointF& at, double factor);
    void panBy(const QPointF& delta);
    void resetView();
    bool isWhole() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    // The pane hidden or shown, the window minimized or restored.
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QPointer<CVideoOutput> m_output;
};
