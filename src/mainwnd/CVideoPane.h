#pragma once
// One video pane: a black area whose channel draws its pictures inside it. A double click
// (zoom) and a right click (context menu) are reported to the main window with the pane's index. The wheel
// over the picture enlarges it around the pointer and a drag moves the enlarged picture. The panes carry the
// accessible names "视频一" to "视频四".
#include <QPoint>
#include <QWidget>

class CVideoWidget;

class CVideoPane : public QWidget {
    Q_OBJECT
public:
    // index 0 to 3; the control id is 1000 + index.
    CVideoPane(int index, QWidget* parent);
    ~CVideoPane() override;

    int index() const { return m_index; }
    static QString TitleOf(int index);
    // 还原画面: the whole picture again; whether a part of it is enlarged now.
    void ResetPicture();
    bool PictureEnlarged() const;
    // Each notch of the wheel enlarges (or reduces) the picture by this factor.
    static constexpr double kZoomStep = 1.25;

signals:
    void doubleClicked(int index);
    void rightClicked(int index);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    CVideoWidget* Picture() const;

    int m_index;
    bool m_dragging = false;
    QPoint m_dragFrom;
};
