#pragma once

#include "dravik/CustomEditButton.h"

#include "dbcontrols/TwwDBEdit.h"

namespace dravik {

// The data-aware edit inside a TwwDBEditButton. It stays a single-line edit
// whatever its word-wrap, want-returns and scroll-bar settings say.
class DRAVIK_EXPORT TDropDownwwDBEdit : public TDropDownEditT<dbcontrols::TwwDBEdit> {
    Q_OBJECT
public:
    explicit TDropDownwwDBEdit(QWidget *parent = nullptr);
};

// The edit-with-button control bound to a field of a data source. Its
// height always follows the inner edit (edit height + 5); its text and
// maximum length are the edit's masked ones, and its read-only state is the
// data-aware edit's.
class DRAVIK_EXPORT TwwDBEditButton : public TCustomEditButton {
    Q_OBJECT
    Q_PROPERTY(QString DataField READ GetDataField WRITE SetDataField)
    Q_PROPERTY(bool UsePictureMask READ GetUsePictureMask WRITE SetUsePictureMask)
    Q_PROPERTY(bool AutoFillDate READ GetAutoFillDate WRITE SetAutoFillDate)
    Q_PROPERTY(bool WordWrap READ GetWordWrap WRITE SetWordWrap)
    Q_PROPERTY(bool WantReturns READ GetWantReturns WRITE SetWantReturns)
    Q_PROPERTY(bool ShowVertScrollBar READ GetShowVertScrollBar WRITE SetShowVertScrollBar)
public:
    explicit TwwDBEditButton(QWidget *AOwner);

    TDropDownwwDBEdit *InnerEdit() const { return static_cast<TDropDownwwDBEdit *>(InnerLineEdit()); }

    dbcontrols::TDataSource *GetDataSource() const;
    void SetDataSource(dbcontrols::TDataSource *value);
    QString GetDataField() const;
    void SetDataField(const QString &value);
    dbcontrols::TwwDBPicture GetPicture() const;
    void SetPicture(const dbcontrols::TwwDBPicture &value);
    bool GetUsePictureMask() const;
    void SetUsePictureMask(bool value);
    bool GetAutoFillDate() const;
    void SetAutoFillDate(bool value);
    bool GetWordWrap() const;
    void SetWordWrap(bool value);
    bool GetWantReturns() const;
    void SetWantReturns(bool value);
    bool GetShowVertScrollBar() const;
    void SetShowVertScrollBar(bool value);

    // Published for the forms but without effect: reads false.
    bool GetHideSelection() const override { return false; }
    void SetHideSelection(bool) override {}

protected:
    // Builds the control as if creating the listed parts had failed.
    TwwDBEditButton(QWidget *AOwner, unsigned failingParts);

    bool EditReadOnly() const override;
    void SetEditReadOnly(bool value) override;
    QString EditText() const override;
    void SetEditText(const QString &value) override;
    int EditMaxLength() const override;
    void SetEditMaxLength(int value) override;
};

} // namespace dravik
