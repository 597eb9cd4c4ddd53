#pragma once
// The status bar at the bottom of the main window's client area: parts whose right edges are
// given in pixels, each showing one text. Every part is its own label, so the desktop's
// accessibility interface reads each part's current text as its name, inside a bar it announces
// as a status bar.
#include <QStatusBar>

#include <vector>

class QLabel;

class CStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit CStatusBar(QWidget* parent = nullptr);
    ~CStatusBar() override;

    // SB_SETPARTS: the right edge of each part; -1 runs to the right end.
    bool SetParts(int count, const int* rightEdges);
    int GetParts() const { return static_cast<int>(m_parts.size()); }
    int RightEdge(int part) const;
    QRect PartRect(int part) const;
    // SB_SETTEXT / SB_GETTEXT
    bool SetText(int part, const QString& text);
    QString GetText(int part) const;
    QLabel* PartLabel(int part) const;

    // Height the bar takes at the bottom of its parent.
    int PreferredHeight() const;
    // Places the bar along the bottom of its parent (CCS_BOTTOM).
    void Reposition();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeParts();

    struct Part {
        int rightEdge;
        QLabel* label;
    };
    std::vector<Part> m_parts;
};
