#include "dravik/KLXFrame.h"

namespace dravik {

TKLXEditFrame::TKLXEditFrame(QObject *AOwner) : FOwnerControl(qobject_cast<QWidget *>(AOwner)) {}

void TKLXEditFrame::SetEnabled(bool value)
{
    TwwEditFrame::SetEnabled(value);
    InvalidateOwner();
}

void TKLXEditFrame::SetFocusBorders(dbcontrols::TwwEditFrameEnabledSet value)
{
    TwwEditFrame::SetFocusBorders(value);
    InvalidateOwner();
}

void TKLXEditFrame::SetNonFocusBorders(dbcontrols::TwwEditFrameEnabledSet value)
{
    TwwEditFrame::SetNonFocusBorders(value);
    InvalidateOwner();
}

void TKLXEditFrame::SetFocusStyle(dbcontrols::TwwEditFocusStyle value)
{
    FFocusStyle = value;
    InvalidateOwner();
}

void TKLXEditFrame::SetNonFocusStyle(dbcontrols::TwwEditFocusStyle value)
{
    TwwEditFrame::SetNonFocusStyle(value);
    InvalidateOwner();
}

void TKLXEditFrame::InvalidateOwner()
{
    if (FOwnerControl)
        FOwnerControl->update();
}

} // namespace dravik
