#pragma once
// A scroll bar drawn entirely from bitmaps (arrows, channel, thumb, one-pixel border). The
// main window uses one, horizontal, as the seek bar over the whole set. The owner reads the
// position back with GetScrollPos for every notification.
#include <QRect>
#include <QWidget>

class CXScrollBar : public QWidget {
    Q_OBJECT
public:
    explicit CXScrollBar(QWidget* parent = nullptr);
    ~CXScrollBar() override;

    // Takes the place and rectangle of pParent's control nIdStatic (hidden from then on); the
    // control gets the id nId. The bar is horizontal: a style with SBS_VERT is refused.
    bool CreateOverStatic(unsigned dwStyle, QWidget* pParent, int nIdStatic, int nId);
    void SetScrollRange(int nMinPos, int nMaxPos, bool bRedraw = true);
    int SetScrollPos(int nPos, bool bRedraw = true); // unclamped; returns the previous position
    int GetScrollPos() const { return m_nPos; }
    // Moves to nPos (kept within the range) as a click in the channel would, and tells the
    // owner with SB_THUMBTRACK; used by the accessibility interface.
    void TrackTo(int nPos);

    // Options, written by the owner right after creation.
    bool m_bUseThumbColor = false;
    bool m_bTintChannel = true;
    bool m_bShowGripper = true;

    // The client rectangle all geometry uses; the owner refreshes it after every move.
    QRect m_rectClient{QPoint(-1, -1), QPoint(-2, -2)};
    int m_nPos = 0;

    // Thumb colours, used only with m_bUseThumbColor (0x00BBGGRR).
    unsigned m_crThumb = 0x000000;
    unsigned m_crThumbHot = 0x00CCFF;

    // A span of the range shown along the channel (the set's in and out marks), as fractions of
    // the range; from >= to shows none.
    void SetMarkedSpan(double from, double to);
    QRect MarkedSpanRect() const; // in widget coordinates; empty when none is shown

    // State, read by tests and the accessibility interface.
    int ThumbLeft() const;
    QRect ThumbRect() const; // as last drawn; empty while no thumb is shown
    int Range() const;
    bool IsOverThumb() const;
    QSize BitmapSize() const; // the thumb bitmap's size

signals:
    // WM_HSCROLL to the owner: nSBCode is SB_LINELEFT (0), SB_LINERIGHT (1) or SB_THUMBTRACK
    // (5); nPos is the low 16 bits of m_nPos for SB_THUMBTRACK and 0 otherwise.
    void hscroll(int nSBCode, int nPos);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

    struct Impl;
    Impl* d;

private:
    void Redraw();
    void Render();
    void ClampThumb();
    void PosFromThumb();
    void ThumbFromPos();
    void LineLeft();
    void LineRight();
    void Notify(int code, int pos);
    void AnnounceValue(); // tells the accessibility interface about the position
    void SetOverThumb(bool over);
};
