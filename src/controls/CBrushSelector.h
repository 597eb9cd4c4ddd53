#pragma once
// Selects a solid brush of a colour into a painter for the lifetime of this object; the colour
// kNoColor (0xFFFFFFFF) selects a hollow brush, so shapes draw only their outline.
#include "controls/ColorHls.h"

#include <QBrush>

class QPainter;

class CBrushSelector {
public:
    CBrushSelector(QPainter* painter, COLORREF color);
    ~CBrushSelector();
    CBrushSelector(const CBrushSelector&) = delete;
    CBrushSelector& operator=(const CBrushSelector&) = delete;

    void SetColor(COLORREF color);

private:
    static QBrush MakeBrush(COLORREF color);

    QPainter* m_painter;
    QBrush m_previous;
};
