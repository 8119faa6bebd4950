#include "dbcontrols/TwwDBDateTimePicker.h"

namespace dbcontrols {

TwwDBDateTimePicker::TwwDBDateTimePicker(QWidget *parent) : QDateTimeEdit(parent)
{
    setCalendarPopup(true);
    FFrame.OnChange = [this] { update(); };
}

} // namespace dbcontrols
