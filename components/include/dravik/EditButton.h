#pragma once

#include "dravik/CustomEditButton.h"

namespace dravik {

// The borderless single-line edit inside a TEditButton.
class DRAVIK_EXPORT TDropDownEdit : public TDropDownEditT<QLineEdit> {
    Q_OBJECT
public:
    explicit TDropDownEdit(QWidget *parent = nullptr);
};

// The edit-with-button control on a plain edit.
class DRAVIK_EXPORT TEditButton : public TCustomEditButton {
    Q_OBJECT
public:
    explicit TEditButton(QWidget *AOwner);

    TDropDownEdit *InnerEdit() const { return static_cast<TDropDownEdit *>(InnerLineEdit()); }

protected:
    // Builds the control as if creating the listed parts had failed.
    TEditButton(QWidget *AOwner, unsigned failingParts);
};

} // namespace dravik
