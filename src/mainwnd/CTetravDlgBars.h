#pragma once
// The main window's bars in its client area: the tool bar, the seek bar (播放进度, 0 to 200), the
// volume slider (音量) and the status bar with its four parts, laid out from the screen's size.
#include <QObject>
#include <QPoint>
#include <QSize>

struct MainLayout;
class CStatusBar;
class CToolBarXP;
class CVolumeSlider;
class CXScrollBar;
class QString;
class QWidget;

class CTetravDlgBars : public QObject {
    Q_OBJECT
public:
    // Makes the volume slider and the seek bar's place in client; parent owns this.
    CTetravDlgBars(QWidget* client, QObject* parent);

    // The screen size the layout is computed from (m_nScreenWidth, m_nScreenHeight).
    void SetScreenSize(QSize size);
    int ScreenWidth() const { return m_nScreenWidth; }
    int ScreenHeight() const { return m_nScreenHeight; }

    // The seek bar, the tool bar and the status bar with its first texts, on the first show.
    void Create();
    bool Created() const { return m_bBarsCreated; }
    // Each bar where the layout for the client area's size puts it; returns that layout (the panes' places).
    MainLayout Layout();
    void SetVisible(bool visible);

    // Only 打开文件 enabled (no set), or every button.
    void SetToolBarIdle();
    void SetToolBarOpen();
    // A status bar part's text (nothing before the bar is made).
    void SetText(int part, const QString& text);
    // Seconds as the time texts show them: hh:mm:ss.
    static QString TimeText(double seconds);
    // The screen position at which pane i's context menu opens.
    QPoint ContextMenuPos(int pane) const;

    // Null until Create (the volume slider: made at once).
    CXScrollBar* SeekBar() const { return m_wndSeekBar; }
    CToolBarXP* ToolBar() const { return m_pToolBarCtrl; }
    CStatusBar* StatusBar() const { return m_wndStatusBar; }
    CVolumeSlider* Volume() const { return m_wndVolume; }

signals:
    // A tool bar button's command; the seek bar moved by the user.
    void command(int id);
    void seekBarScrolled();

private:
    QWidget* m_pClient;
    CXScrollBar* m_wndSeekBar = nullptr;
    CToolBarXP* m_wndToolBar = nullptr;
    CToolBarXP* m_pToolBarCtrl = nullptr; // the tool bar once it has loaded its buttons
    CStatusBar* m_wndStatusBar = nullptr;
    CVolumeSlider* m_wndVolume = nullptr;
    int m_nScreenWidth = 0;
    int m_nScreenHeight = 0;
    bool m_bBarsCreated = false;
};
