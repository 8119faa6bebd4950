#include "ControlClass.h"

#include "dbcontrols/TwwDBComboBox.h"
#include "dbcontrols/TwwDBDateTimePicker.h"
#include "dbcontrols/TwwDBEdit.h"
#include "dbcontrols/TwwDBLookupCombo.h"
#include "dbcontrols/TwwDBRichEdit.h"
#include "dravik/DBEditButton.h"
#include "dravik/EditButton.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableView>
#include <QTextEdit>

namespace gvutils {

namespace {

bool isTabPage(const QWidget *w)
{
    const QWidget *stack = w->parentWidget();
    return stack != nullptr && qobject_cast<const QStackedWidget *>(stack) != nullptr &&
           qobject_cast<const QTabWidget *>(stack->parentWidget()) != nullptr;
}

} // namespace

TControlClass ControlClassOf(const QObject *object)
{
    using C = TControlClass;
    if (object == nullptr || !object->isWidgetType())
        return C::Other;
    const auto *w = static_cast<const QWidget *>(object);

    // The package's and the edit-with-button controls first: they derive
    // from the standard Qt widgets that stand for other classes.
    if (qobject_cast<const dravik::TwwDBEditButton *>(w))
        return C::DBEditButton;
    if (qobject_cast<const dravik::TEditButton *>(w))
        return C::EditButton;
    if (qobject_cast<const dbcontrols::TwwDBEdit *>(w))
        return C::wwDBEdit;
    if (qobject_cast<const dbcontrols::TwwDBRichEdit *>(w))
        return C::wwDBRichEdit;
    if (qobject_cast<const dbcontrols::TwwDBDateTimePicker *>(w))
        return C::wwDBDateTimePicker;
    if (qobject_cast<const dbcontrols::TwwDBLookupCombo *>(w))
        return C::wwDBLookupCombo;
    if (qobject_cast<const dbcontrols::TwwDBComboBox *>(w))
        return C::wwDBComboBox;

    if (qobject_cast<const QPushButton *>(w))
        return C::Button;
    if (qobject_cast<const QRadioButton *>(w))
        return C::RadioButton;
    if (qobject_cast<const QCheckBox *>(w))
        return C::CheckBox;
    if (qobject_cast<const QLineEdit *>(w))
        return C::Edit;
    if (qobject_cast<const QDateTimeEdit *>(w))
        return C::DateTimePicker;
    if (qobject_cast<const QAbstractSpinBox *>(w))
        return C::SpinEdit;
    if (qobject_cast<const QPlainTextEdit *>(w))
        return C::Memo;
    if (qobject_cast<const QTextEdit *>(w))
        return C::DBMemo;
    if (qobject_cast<const QComboBox *>(w))
        return C::ComboBox;
    if (const auto *list = qobject_cast<const QListView *>(w))
        return qobject_cast<const QFileSystemModel *>(list->model()) ? C::FileListBox : C::ListBox;
    if (qobject_cast<const QTableView *>(w))
        return C::StringGrid;
    if (qobject_cast<const QGroupBox *>(w))
        return C::GroupBox;
    if (qobject_cast<const QTabWidget *>(w))
        return C::PageControl;
    if (qobject_cast<const QLabel *>(w))
        return C::Label;
    if (isTabPage(w))
        return C::TabSheet;
    if (qobject_cast<const QStackedWidget *>(w))
        return C::Notebook;
    if (w->metaObject() == &QWidget::staticMetaObject || w->metaObject() == &QFrame::staticMetaObject)
        return C::Panel;
    return C::Other;
}

} // namespace gvutils
