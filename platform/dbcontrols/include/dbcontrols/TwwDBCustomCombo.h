#pragma once

#include "dbcontrols/TBorderStyle.h"
#include "dbcontrols/TwwEditFrame.h"

#include <QComboBox>

namespace dbcontrols {

// What the package's two combo controls share: frame settings, a border
// style and a read-only state. A read-only combo keeps its value: the list
// does not drop down, the arrow keys, the wheel and type-ahead do not pick
// another item, and the text of an editable combo cannot be typed over.
// Colour and font colour are the palette roles Base and Text.
class TwwDBCustomCombo : public QComboBox {
    Q_OBJECT
public:
    TwwEditFrame &GetFrame() { return FFrame; }
    const TwwEditFrame &GetFrame() const { return FFrame; }

    // bsSingle shows the widget's frame, bsNone hides it.
    TBorderStyle GetBorderStyle() const { return hasFrame() ? bsSingle : bsNone; }
    void SetBorderStyle(TBorderStyle value) { setFrame(value != bsNone); }

    bool GetReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value);

    // Drops the list down unless the combo is read-only or the control
    // refuses it (CanDropDown).
    void showPopup() override;

protected:
    explicit TwwDBCustomCombo(QWidget *parent);

    // Whether the control lets its list drop down apart from read-only.
    virtual bool CanDropDown() const { return true; }

    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void childEvent(QChildEvent *event) override;

private:
    void applyReadOnly();

    TwwEditFrame FFrame;
    bool FReadOnly = false;
};

} // namespace dbcontrols
