#pragma once

#include "dbcontrols/TwwDBCustomCombo.h"

class QLineEdit;

namespace dbcontrols {

// The package's lookup combo: an edit whose value is looked up in a list
// that drops down below it. ShowButton shows the drop-down arrow; while it
// is hidden the list drops down only from the keyboard (Alt+Down, F4).
// AutoDropDown drops the list down as soon as the user types into the edit.
// The inner edit has a font colour of its own (palette role Text of
// InnerEdit()).
class TwwDBLookupCombo : public TwwDBCustomCombo {
    Q_OBJECT
public:
    explicit TwwDBLookupCombo(QWidget *parent = nullptr);

    QLineEdit *InnerEdit() const { return lineEdit(); }

    bool GetShowButton() const { return FShowButton; }
    void SetShowButton(bool value);
    bool GetAutoDropDown() const { return FAutoDropDown; }
    void SetAutoDropDown(bool value) { FAutoDropDown = value; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    bool FShowButton = true;
    bool FAutoDropDown = false;
};

} // namespace dbcontrols
