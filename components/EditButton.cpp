#include "dravik/EditButton.h"

namespace dravik {

namespace {
// Height of a new edit; the control takes 5 off it, which gives the 20
// pixels of its layout.
constexpr int kInitialWidth = 121;
constexpr int kInitialHeight = 25;
} // namespace

TDropDownEdit::TDropDownEdit(QWidget *parent) : TDropDownEditT<QLineEdit>(parent)
{
    resize(kInitialWidth, kInitialHeight);
}

TEditButton::TEditButton(QWidget *AOwner) : TEditButton(AOwner, 0u) {}

TEditButton::TEditButton(QWidget *AOwner, unsigned failingParts)
    : TCustomEditButton(
          AOwner, [](QWidget *parent) -> TDropDownCore * { return new TDropDownEdit(parent); }, failingParts)
{
}

} // namespace dravik
