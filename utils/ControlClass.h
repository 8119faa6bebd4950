#pragma once

class QObject;

namespace gvutils {

// The control classes that the form helpers tell apart, named after the
// classes of the forms they were designed with. Each Qt widget stands for
// exactly one of them (see ControlClassOf); a widget of a class that derives
// from another one's Qt counterpart is the more specific class, so that a
// data-aware edit, which is a QLineEdit, never counts as a plain edit.
enum class TControlClass {
    Other,
    Button,             // QPushButton (with or without an icon)
    RadioButton,        // QRadioButton
    Edit,               // QLineEdit
    EditButton,         // TEditButton
    DBEditButton,       // TwwDBEditButton
    wwDBEdit,           // dbcontrols::TwwDBEdit (also the inner edit of a TwwDBEditButton)
    SpinEdit,           // QSpinBox, QDoubleSpinBox
    Memo,               // QPlainTextEdit
    wwDBRichEdit,       // dbcontrols::TwwDBRichEdit
    DBMemo,             // QTextEdit
    ComboBox,           // QComboBox
    DateTimePicker,     // QDateTimeEdit (QDateEdit, QTimeEdit)
    wwDBDateTimePicker, // dbcontrols::TwwDBDateTimePicker
    wwDBLookupCombo,    // dbcontrols::TwwDBLookupCombo
    wwDBComboBox,       // dbcontrols::TwwDBComboBox
    CheckBox,           // QCheckBox (the data-aware check box too)
    ListBox,            // QListView, QListWidget, unless it lists files
    StringGrid,         // QTableView, QTableWidget
    FileListBox,        // QListView showing a QFileSystemModel
    GroupBox,           // QGroupBox
    Panel,              // a plain QWidget or QFrame
    PageControl,        // QTabWidget
    TabSheet,           // a page of a QTabWidget
    Notebook,           // QStackedWidget
    Label,              // QLabel
};

TControlClass ControlClassOf(const QObject *object);

} // namespace gvutils
