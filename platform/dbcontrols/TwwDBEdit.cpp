#include "dbcontrols/TwwDBEdit.h"

#include "desktopdb/Table.h"

#include <QEvent>
#include <QtGlobal>

#include <exception>

namespace dbcontrols {

namespace {
// QLineEdit's own "no limit" value.
constexpr int kUnlimitedLength = 32767;
// Height of a new edit; the edit-with-button controls take 5 off it.
constexpr int kInitialWidth = 121;
constexpr int kInitialHeight = 25;
} // namespace

TwwDBEdit::TwwDBEdit(QWidget *parent) : QLineEdit(parent)
{
    resize(kInitialWidth, kInitialHeight);
    FFrame.OnChange = [this] { update(); };
    connect(this, &QLineEdit::textEdited, this, &TwwDBEdit::onTextEdited);
    connect(this, &QLineEdit::editingFinished, this, &TwwDBEdit::onEditingFinished);
}

TwwDBEdit::~TwwDBEdit()
{
    if (FDataSource)
        FDataSource->RemoveLink(this);
}

void TwwDBEdit::SetDataSource(TDataSource *value)
{
    if (FDataSource == value)
        return;
    if (FDataSource)
        FDataSource->RemoveLink(this);
    FDataSource = value;
    if (FDataSource)
        FDataSource->AddLink(this);
    DataChanged();
}

void TwwDBEdit::SetDataField(const QString &value)
{
    if (FDataField == value)
        return;
    FDataField = value;
    DataChanged();
}

void TwwDBEdit::SetReadOnly(bool value)
{
    FReadOnly = value;
    applyReadOnly();
}

void TwwDBEdit::SetMaskedText(const QString &value)
{
    setText(value);
}

int TwwDBEdit::GetMaxLength() const
{
    return maxLength() == kUnlimitedLength ? 0 : maxLength();
}

void TwwDBEdit::SetMaxLength(int value)
{
    setMaxLength(value <= 0 ? kUnlimitedLength : value);
}

void TwwDBEdit::SetAutoSize(bool value)
{
    FAutoSize = value;
    adjustHeight();
}

bool TwwDBEdit::bound() const
{
    if (!FDataSource || FDataField.isEmpty())
        return false;
    desktopdb::Table *table = FDataSource->GetDataSet();
    return table != nullptr && table->active() && table->findField(FDataField.toStdString()) != nullptr;
}

void TwwDBEdit::DataChanged()
{
    QString shown;
    if (bound()) {
        desktopdb::Table *table = FDataSource->GetDataSet();
        // An empty table has no current row to show.
        if (table->recordCount() > 0 || table->state() == desktopdb::DataSetState::Insert)
            shown = QString::fromStdString(table->findField(FDataField.toStdString())->asString());
    }
    FShowing = true;
    setText(shown);
    FShowing = false;
    FModified = false;
    applyReadOnly();
}

void TwwDBEdit::UpdateRecord()
{
    if (!FModified || !bound() || !FDataSource->Editing())
        return;
    FDataSource->GetDataSet()->findField(FDataField.toStdString())->setAsString(text().toStdString());
    FModified = false;
}

void TwwDBEdit::onTextEdited()
{
    if (FShowing)
        return;
    if (!FDataSource) {
        FModified = true;
        return;
    }
    try {
        if (!bound())
            throw std::runtime_error("The edit has no field to write to");
        FDataSource->Edit();
        FModified = true;
    } catch (const std::exception &e) {
        // The row cannot be edited: show what it holds again.
        qWarning("TwwDBEdit: %s", e.what());
        try {
            DataChanged();
        } catch (const std::exception &again) {
            qWarning("TwwDBEdit: %s", again.what());
        }
    }
}

void TwwDBEdit::onEditingFinished()
{
    if (!FModified || !FDataSource)
        return;
    try {
        UpdateRecord();
    } catch (const std::exception &e) {
        // The text stays pending; the next post reports it again.
        qWarning("TwwDBEdit: %s", e.what());
    }
}

void TwwDBEdit::applyReadOnly()
{
    // A bound edit whose field is not available cannot take typing.
    const bool unavailable = FDataSource && !bound();
    QLineEdit::setReadOnly(FReadOnly || unavailable);
}

void TwwDBEdit::adjustHeight()
{
    if (FAutoSize)
        resize(width(), sizeHint().height());
}

void TwwDBEdit::changeEvent(QEvent *event)
{
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        adjustHeight();
}

} // namespace dbcontrols
