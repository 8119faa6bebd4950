#include "dravik/DBEditButton.h"

namespace dravik {

TDropDownwwDBEdit::TDropDownwwDBEdit(QWidget *parent) : TDropDownEditT<dbcontrols::TwwDBEdit>(parent) {}

TwwDBEditButton::TwwDBEditButton(QWidget *AOwner) : TwwDBEditButton(AOwner, 0u) {}

TwwDBEditButton::TwwDBEditButton(QWidget *AOwner, unsigned failingParts)
    : TCustomEditButton(
          AOwner,
          [](QWidget *parent) -> TDropDownCore * {
              auto *edit = new TDropDownwwDBEdit(parent);
              // The control sets the edit's height; the font must not.
              edit->SetAutoSize(false);
              return edit;
          },
          failingParts)
{
}

dbcontrols::TDataSource *TwwDBEditButton::GetDataSource() const
{
    return InnerEdit() ? InnerEdit()->GetDataSource() : nullptr;
}

void TwwDBEditButton::SetDataSource(dbcontrols::TDataSource *value)
{
    if (InnerEdit())
        InnerEdit()->SetDataSource(value);
}

QString TwwDBEditButton::GetDataField() const
{
    return InnerEdit() ? InnerEdit()->GetDataField() : QString();
}

void TwwDBEditButton::SetDataField(const QString &value)
{
    if (InnerEdit())
        InnerEdit()->SetDataField(value);
}

dbcontrols::TwwDBPicture TwwDBEditButton::GetPicture() const
{
    return InnerEdit() ? InnerEdit()->GetPicture() : dbcontrols::TwwDBPicture();
}

void TwwDBEditButton::SetPicture(const dbcontrols::TwwDBPicture &value)
{
    if (InnerEdit())
        InnerEdit()->SetPicture(value);
}

bool TwwDBEditButton::GetUsePictureMask() const
{
    return InnerEdit() ? InnerEdit()->GetUsePictureMask() : false;
}

void TwwDBEditButton::SetUsePictureMask(bool value)
{
    if (InnerEdit())
        InnerEdit()->SetUsePictureMask(value);
}

bool TwwDBEditButton::GetAutoFillDate() const
{
    return InnerEdit() ? InnerEdit()->GetAutoFillDate() : false;
}

void TwwDBEditButton::SetAutoFillDate(bool value)
{
    if (InnerEdit())
        InnerEdit()->SetAutoFillDate(value);
}

bool TwwDBEditButton::GetWordWrap() const
{
    return InnerEdit() ? InnerEdit()->GetWordWrap() : false;
}

void TwwDBEditButton::SetWordWrap(bool value)
{
    if (InnerEdit())
        InnerEdit()->SetWordWrap(value);
}

bool TwwDBEditButton::GetWantReturns() const
{
    return InnerEdit() ? InnerEdit()->GetWantReturns() : false;
}

void TwwDBEditButton::SetWantReturns(bool value)
{
    if (InnerEdit())
        InnerEdit()->SetWantReturns(value);
}

bool TwwDBEditButton::GetShowVertScrollBar() const
{
    return InnerEdit() ? InnerEdit()->GetShowVertScrollBar() : false;
}

void TwwDBEditButton::SetShowVertScrollBar(bool value)
{
    if (InnerEdit())
        InnerEdit()->SetShowVertScrollBar(value);
}

bool TwwDBEditButton::EditReadOnly() const
{
    return InnerEdit()->GetReadOnly();
}

void TwwDBEditButton::SetEditReadOnly(bool value)
{
    InnerEdit()->SetReadOnly(value);
}

QString TwwDBEditButton::EditText() const
{
    return InnerEdit()->GetMaskedText();
}

void TwwDBEditButton::SetEditText(const QString &value)
{
    InnerEdit()->SetMaskedText(value);
}

int TwwDBEditButton::EditMaxLength() const
{
    return InnerEdit()->GetMaxLength();
}

void TwwDBEditButton::SetEditMaxLength(int value)
{
    InnerEdit()->SetMaxLength(value);
}

} // namespace dravik
