#pragma once
// The transport tool bar, in the flat XP style: 16 x 16 buttons from bitmap 128 with hot,
// pressed and disabled looks. Buttons send their command ids through command(); enabling
// goes through EnableButton (TB_ENABLEBUTTON).
#include <QToolBar>

class QAction;
class QToolButton;

class CToolBarXP : public QToolBar {
    Q_OBJECT
public:
    explicit CToolBarXP(QWidget* parent = nullptr);
    ~CToolBarXP() override;

    // Creates the bar, visible, as a child of parent with the control bar id.
    bool CreateEx(QWidget* parent, int nId);
    // Loads the buttons of tool bar resource nIDResource (128): play, pause, stop, |,
    // slower, normal speed, faster, |, open. TRUE when the resource and its bitmap loaded.
    bool LoadToolBar(int nIDResource);

    bool EnableButton(int commandId, bool enable);
    bool IsButtonEnabled(int commandId) const;
    // The tool tip text of a button (also its accessible name).
    void UpdateTipText(int commandId, const QString& text);
    QString GetTipText(int commandId) const;
    QAction* ButtonAction(int commandId) const;
    QList<int> ButtonIds() const; // in the order of the bar, separators left out

signals:
    void command(int id);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void PaintButton(QToolButton* button);
    void PaintSeparator(QWidget* separator);
};
