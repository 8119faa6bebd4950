#include "dbcontrols/TwwDBRichEdit.h"

namespace dbcontrols {

TwwDBRichEdit::TwwDBRichEdit(QWidget *parent) : QTextEdit(parent)
{
    FFrame.OnChange = [this] { update(); };
}

TBorderStyle TwwDBRichEdit::GetBorderStyle() const
{
    return frameShape() == QFrame::NoFrame ? bsNone : bsSingle;
}

void TwwDBRichEdit::SetBorderStyle(TBorderStyle value)
{
    setFrameShape(value == bsNone ? QFrame::NoFrame : QFrame::StyledPanel);
}

} // namespace dbcontrols
