#pragma once

#include "dbcontrols/TBorderStyle.h"
#include "dbcontrols/TDataSource.h"
#include "dbcontrols/TwwDBPicture.h"
#include "dbcontrols/TwwEditFrame.h"

#include <QLineEdit>
#include <QPointer>

namespace dbcontrols {

// A single-line edit bound to one field of its data source's current row.
//
// It shows the field's text whenever the data source reports a change.
// When the user changes the text, the row is put into edit state (a row
// that cannot be edited brings the stored text back). The text is written
// into the field when editing finishes (Return or leaving the edit) and,
// at the latest, when the data source posts the row. A text that does not
// fit the field stays in the edit and pending, so the post raises instead
// of dropping it. Without a data source or field the edit is a plain edit.
class TwwDBEdit : public QLineEdit, private TDataLink {
    Q_OBJECT
public:
    explicit TwwDBEdit(QWidget *parent = nullptr);
    ~TwwDBEdit() override;

    TDataSource *GetDataSource() const { return FDataSource; }
    void SetDataSource(TDataSource *value);
    const QString &GetDataField() const { return FDataField; }
    void SetDataField(const QString &value);

    // Own read-only flag; the edit also refuses typing while its field
    // cannot be edited.
    bool GetReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value);

    // The text with its picture mask applied; the mask is carried, not
    // applied, so this is the plain text.
    QString GetMaskedText() const { return text(); }
    void SetMaskedText(const QString &value);
    // 0 means no limit.
    int GetMaxLength() const;
    void SetMaxLength(int value);

    // Whether the text has changed since it was last shown or written.
    bool GetModified() const { return FModified; }
    // Writes a pending text into the field (the row must be editable).
    void UpdateRecord() override;

    TwwEditFrame &GetFrame() { return FFrame; }
    const TwwEditFrame &GetFrame() const { return FFrame; }
    // bsSingle shows the edit's frame, bsNone hides it.
    TBorderStyle GetBorderStyle() const { return hasFrame() ? bsSingle : bsNone; }
    void SetBorderStyle(TBorderStyle value) { setFrame(value != bsNone); }
    TwwDBPicture &GetPicture() { return FPicture; }
    const TwwDBPicture &GetPicture() const { return FPicture; }
    void SetPicture(const TwwDBPicture &value) { FPicture = value; }

    bool GetUsePictureMask() const { return FUsePictureMask; }
    void SetUsePictureMask(bool value) { FUsePictureMask = value; }
    bool GetAutoFillDate() const { return FAutoFillDate; }
    void SetAutoFillDate(bool value) { FAutoFillDate = value; }
    bool GetWordWrap() const { return FWordWrap; }
    void SetWordWrap(bool value) { FWordWrap = value; }
    bool GetWantReturns() const { return FWantReturns; }
    void SetWantReturns(bool value) { FWantReturns = value; }
    bool GetShowVertScrollBar() const { return FShowVertScrollBar; }
    void SetShowVertScrollBar(bool value) { FShowVertScrollBar = value; }

    // While on, the edit's height follows its font (the height of its size
    // hint). It is on at creation.
    bool GetAutoSize() const { return FAutoSize; }
    void SetAutoSize(bool value);

    // Shows the bound field of the current row again, dropping a pending
    // text.
    void DataChanged() override;

protected:
    void changeEvent(QEvent *event) override;

private:
    struct BoundField;
    void onTextEdited();
    void onEditingFinished();
    void applyReadOnly();
    void adjustHeight();
    bool bound() const;

    QPointer<TDataSource> FDataSource;
    QString FDataField;
    bool FReadOnly = false;
    bool FModified = false;
    bool FShowing = false;
    TwwEditFrame FFrame;
    TwwDBPicture FPicture;
    bool FUsePictureMask = true;
    bool FAutoFillDate = true;
    bool FWordWrap = false;
    bool FWantReturns = false;
    bool FShowVertScrollBar = false;
    bool FAutoSize = true;
};

} // namespace dbcontrols
