#pragma once
// Control ids on Qt widgets: the numeric id a dialog template gave each control, kept as a
// widget property so code can find a control by id and tell notifying controls apart.
class QWidget;

void SetDlgCtrlID(QWidget* control, int id);
int GetDlgCtrlID(const QWidget* control); // 0 when none was set
QWidget* GetDlgItem(const QWidget* parent, int id); // a descendant with that id, or null
