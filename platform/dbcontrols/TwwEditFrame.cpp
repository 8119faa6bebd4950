#include "dbcontrols/TwwEditFrame.h"

namespace dbcontrols {

void TwwEditFrame::SetEnabled(bool value)
{
    if (FEnabled == value)
        return;
    FEnabled = value;
    Changed();
}

void TwwEditFrame::SetFocusBorders(TwwEditFrameEnabledSet value)
{
    value &= wwAllBorders;
    if (FFocusBorders == value)
        return;
    FFocusBorders = value;
    Changed();
}

void TwwEditFrame::SetNonFocusBorders(TwwEditFrameEnabledSet value)
{
    value &= wwAllBorders;
    if (FNonFocusBorders == value)
        return;
    FNonFocusBorders = value;
    Changed();
}

void TwwEditFrame::SetFocusStyle(TwwEditFocusStyle value)
{
    if (FFocusStyle == value)
        return;
    FFocusStyle = value;
    Changed();
}

void TwwEditFrame::SetNonFocusStyle(TwwEditFocusStyle value)
{
    if (FNonFocusStyle == value)
        return;
    FNonFocusStyle = value;
    Changed();
}

void TwwEditFrame::Assign(const TwwEditFrame &source)
{
    SetEnabled(source.GetEnabled());
    SetFocusBorders(source.GetFocusBorders());
    SetNonFocusBorders(source.GetNonFocusBorders());
    SetFocusStyle(source.GetFocusStyle());
    SetNonFocusStyle(source.GetNonFocusStyle());
}

void TwwEditFrame::Changed()
{
    if (OnChange)
        OnChange();
}

} // namespace dbcontrols
