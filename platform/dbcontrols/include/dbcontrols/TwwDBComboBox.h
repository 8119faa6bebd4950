#pragma once

#include "dbcontrols/TwwDBCustomCombo.h"

namespace dbcontrols {

// The package's combo box: a list of values to choose from. Besides the
// read-only state it has a drop-down switch, changed through
// EnableDropDown: while off, the list does not drop down, though the arrow
// keys may still pick the neighbouring value.
class TwwDBComboBox : public TwwDBCustomCombo {
    Q_OBJECT
public:
    explicit TwwDBComboBox(QWidget *parent = nullptr);

    bool GetDropDownEnabled() const { return FDropDownEnabled; }
    void EnableDropDown(bool value) { FDropDownEnabled = value; }

protected:
    bool CanDropDown() const override { return FDropDownEnabled; }

private:
    bool FDropDownEnabled = true;
};

} // namespace dbcontrols
