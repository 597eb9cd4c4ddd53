#pragma once
// The masked edit of a play time, hh:mm:ss: hours up to 47, minutes up to 59, seconds any two
// digits.
#include "dialogs/CMaskEdit.h"

class CTimeEdit : public CMaskEdit {
    Q_OBJECT
public:
    explicit CTimeEdit(QWidget* parent = nullptr);
    ~CTimeEdit() override;
};
