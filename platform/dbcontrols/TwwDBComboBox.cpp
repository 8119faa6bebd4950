#include "dbcontrols/TwwDBComboBox.h"

namespace dbcontrols {

TwwDBComboBox::TwwDBComboBox(QWidget *parent) : TwwDBCustomCombo(parent) {}

} // namespace dbcontrols
