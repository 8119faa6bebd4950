// The form and control helpers of the utility class.
#include "utils/Utils.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTextEdit>

#include <algorithm>

#include "ControlClass.h"
#include "dbcontrols/TDataSource.h"
#include "dbcontrols/TwwDBComboBox.h"
#include "dbcontrols/TwwDBDateTimePicker.h"
#include "dbcontrols/TwwDBEdit.h"
#include "dbcontrols/TwwDBLookupCombo.h"
#include "dbcontrols/TwwDBRichEdit.h"
#include "desktopdb/Table.h"
#include "dravik/CustomEditButton.h"

namespace {

using gvutils::ControlClassOf;
using gvutils::TControlClass;

// A form's pixels per inch: its "PixelsPerInch" property when it carries one
// (forms designed for a fixed resolution), else the screen's logical DPI.
int pixelsPerInch(const QWidget *form)
{
    const QVariant designed = form->property("PixelsPerInch");
    return designed.isValid() ? designed.toInt() : form->logicalDpiY();
}

int screenPixelsPerInch()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? qRound(screen->logicalDotsPerInchY()) : 96;
}

QSize screenSize()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->geometry().size() : QSize();
}

// Push buttons that are not bitmap buttons (those carry an icon).
bool isPlainPushButton(const QObject *o)
{
    const auto *button = qobject_cast<const QPushButton *>(o);
    return button != nullptr && button->icon().isNull();
}

void setTabStop(QWidget *w, bool on)
{
    const int policy = w->focusPolicy();
    w->setFocusPolicy(static_cast<Qt::FocusPolicy>(on ? policy | Qt::TabFocus : policy & ~Qt::TabFocus));
}

// The system colour of a role for this kind of control.
QColor systemColour(const QWidget *w, QPalette::ColorRole role)
{
    return QApplication::palette(w).color(role);
}

// The control's colour (its background): the inner edit's for the
// edit-with-button controls, the Base role for every other control.
void setColour(QWidget *w, QPalette::ColorRole system)
{
    if (auto *editButton = qobject_cast<dravik::TCustomEditButton *>(w)) {
        editButton->SetColor(systemColour(w, system));
        return;
    }
    QPalette palette = w->palette();
    palette.setColor(QPalette::Base, systemColour(w, system));
    w->setPalette(palette);
}

// The colour of the control's font: the Text role. The inner edits of the
// edit-with-button controls take it from their panel.
void setFontColour(QWidget *w, QPalette::ColorRole system)
{
    QPalette palette = w->palette();
    palette.setColor(QPalette::Text, systemColour(w, system));
    w->setPalette(palette);
}

// Button face (read-only) or window (editable) as the control's background.
void setFaceColour(QWidget *w, bool editable)
{
    setColour(w, editable ? QPalette::Base : QPalette::Button);
}

constexpr dbcontrols::TwwEditFrameEnabledSet kNoBorders = 0;
constexpr dbcontrols::TwwEditFrameEnabledSet kBottomBorder = dbcontrols::wwBorderBit(dbcontrols::efBottomBorder);

// The frame settings of a framed control; nullptr for other controls and
// for an edit-with-button control whose frame could not be created.
dbcontrols::TwwEditFrame *frameOf(QWidget *w)
{
    using C = TControlClass;
    switch (ControlClassOf(w)) {
    case C::EditButton:
    case C::DBEditButton:
        return static_cast<dravik::TCustomEditButton *>(w)->GetFrame();
    case C::wwDBEdit:
        return &static_cast<dbcontrols::TwwDBEdit *>(w)->GetFrame();
    case C::wwDBRichEdit:
        return &static_cast<dbcontrols::TwwDBRichEdit *>(w)->GetFrame();
    case C::wwDBDateTimePicker:
        return &static_cast<dbcontrols::TwwDBDateTimePicker *>(w)->GetFrame();
    case C::wwDBLookupCombo:
    case C::wwDBComboBox:
        return &static_cast<dbcontrols::TwwDBCustomCombo *>(w)->GetFrame();
    default:
        return nullptr;
    }
}

bool frameEnabled(QWidget *w)
{
    const dbcontrols::TwwEditFrame *frame = frameOf(w);
    return frame != nullptr && frame->GetEnabled();
}

bool isReadOnly(QWidget *w)
{
    using C = TControlClass;
    switch (ControlClassOf(w)) {
    case C::EditButton:
    case C::DBEditButton:
        return static_cast<dravik::TCustomEditButton *>(w)->GetReadOnly();
    case C::wwDBEdit:
        return static_cast<dbcontrols::TwwDBEdit *>(w)->GetReadOnly();
    case C::wwDBRichEdit:
        return static_cast<QTextEdit *>(w)->isReadOnly();
    case C::wwDBDateTimePicker:
        return static_cast<QAbstractSpinBox *>(w)->isReadOnly();
    case C::wwDBLookupCombo:
    case C::wwDBComboBox:
        return static_cast<dbcontrols::TwwDBCustomCombo *>(w)->GetReadOnly();
    default:
        return false;
    }
}

// The border style of a control of the package.
void setBorderStyle(QWidget *w, dbcontrols::TBorderStyle value)
{
    using C = TControlClass;
    switch (ControlClassOf(w)) {
    case C::wwDBEdit:
        static_cast<dbcontrols::TwwDBEdit *>(w)->SetBorderStyle(value);
        break;
    case C::wwDBRichEdit:
        static_cast<dbcontrols::TwwDBRichEdit *>(w)->SetBorderStyle(value);
        break;
    case C::wwDBDateTimePicker:
        static_cast<dbcontrols::TwwDBDateTimePicker *>(w)->SetBorderStyle(value);
        break;
    case C::wwDBLookupCombo:
    case C::wwDBComboBox:
        static_cast<dbcontrols::TwwDBCustomCombo *>(w)->SetBorderStyle(value);
        break;
    default:
        break;
    }
}

void setBothStyles(dbcontrols::TwwEditFrame &frame)
{
    frame.SetNonFocusStyle(dbcontrols::efsFrameFlat);
    frame.SetFocusStyle(dbcontrols::efsFrameFlat);
}

// The read-only look of a framed control of the package: shadow with
// highlighted text, flat in both states, no borders.
void setShadowLook(QWidget *w)
{
    dbcontrols::TwwEditFrame &frame = *frameOf(w);
    setColour(w, QPalette::Dark);
    setFontColour(w, QPalette::Light);
    setBothStyles(frame);
    frame.SetFocusBorders(kNoBorders);
    frame.SetNonFocusBorders(kNoBorders);
}

// The editable look of a framed control of the package: window colours in
// the classic look, else button face; flat in both states with only the
// bottom border.
void setUnderlinedLook(QWidget *w, bool classicLook)
{
    dbcontrols::TwwEditFrame &frame = *frameOf(w);
    setColour(w, classicLook ? QPalette::Base : QPalette::Button);
    setFontColour(w, classicLook ? QPalette::Text : QPalette::ButtonText);
    setBothStyles(frame);
    frame.SetFocusBorders(kBottomBorder);
    frame.SetNonFocusBorders(kBottomBorder);
}

void setEditButtonLook(dravik::TCustomEditButton *control, bool editable)
{
    if (frameEnabled(control)) {
        dravik::TKLXEditFrame *frame = control->GetFrame();
        setColour(control, editable ? QPalette::Button : QPalette::Dark);
        setFontColour(control, editable ? QPalette::ButtonText : QPalette::Light);
        frame->SetNonFocusStyle(dbcontrols::efsFrameFlat);
        frame->SetNonFocusBorders(editable ? kBottomBorder : kNoBorders);
    } else {
        setFaceColour(control, editable);
    }
    control->SetReadOnly(!editable);
    control->SetTabStop(editable);
}

void setRichEditLook(dbcontrols::TwwDBRichEdit *rich, bool editable)
{
    if (!frameEnabled(rich)) {
        setFaceColour(rich, editable);
    } else if (!editable) {
        setShadowLook(rich);
    } else {
        // The focus borders stay as the form has them.
        setColour(rich, QPalette::Base);
        setFontColour(rich, QPalette::Text);
        setBothStyles(rich->GetFrame());
        rich->GetFrame().SetNonFocusBorders(kNoBorders);
    }
    rich->setReadOnly(!editable);
    setTabStop(rich, editable);
}

void setLookupComboLook(dbcontrols::TwwDBLookupCombo *combo, bool editable)
{
    if (frameEnabled(combo)) {
        if (editable)
            setUnderlinedLook(combo, false);
        else
            setShadowLook(combo);
        if (QLineEdit *inner = combo->InnerEdit())
            setFontColour(inner, QPalette::Text);
    } else {
        setFaceColour(combo, editable);
    }
    // A read-only lookup combo stays enabled, so its value can be selected
    // and copied.
    combo->setEnabled(true);
    combo->SetReadOnly(!editable);
    combo->SetShowButton(editable);
    combo->SetAutoDropDown(editable);
    setTabStop(combo, editable);
}

// Applies the read-only (editable = false) or the editable look. The cases
// follow the order in which the classes are told apart; each control has
// exactly one class (ControlClassOf).
void setLook(QWidget *control, bool editable, bool classicLook)
{
    using C = TControlClass;
    switch (ControlClassOf(control)) {
    case C::Button:
    case C::RadioButton:
        control->setEnabled(editable);
        break;
    case C::Edit: {
        auto *edit = static_cast<QLineEdit *>(control);
        setFaceColour(edit, editable);
        edit->setReadOnly(!editable);
        setTabStop(edit, editable);
        break;
    }
    case C::EditButton:
    case C::DBEditButton:
        setEditButtonLook(static_cast<dravik::TCustomEditButton *>(control), editable);
        break;
    case C::wwDBEdit: {
        auto *edit = static_cast<dbcontrols::TwwDBEdit *>(control);
        if (!frameEnabled(edit))
            setFaceColour(edit, editable);
        else if (editable)
            setUnderlinedLook(edit, classicLook);
        else
            setShadowLook(edit);
        edit->SetReadOnly(!editable);
        setTabStop(edit, editable);
        break;
    }
    case C::SpinEdit: {
        auto *spin = static_cast<QAbstractSpinBox *>(control);
        setFaceColour(spin, editable);
        spin->setReadOnly(!editable);
        setTabStop(spin, editable);
        break;
    }
    case C::Memo: {
        auto *memo = static_cast<QPlainTextEdit *>(control);
        setFaceColour(memo, editable);
        memo->setReadOnly(!editable);
        setTabStop(memo, editable);
        break;
    }
    case C::wwDBRichEdit:
        setRichEditLook(static_cast<dbcontrols::TwwDBRichEdit *>(control), editable);
        break;
    case C::DBMemo: {
        auto *memo = static_cast<QTextEdit *>(control);
        setFaceColour(memo, editable);
        memo->setReadOnly(!editable);
        setTabStop(memo, editable);
        break;
    }
    case C::ComboBox:
    case C::DateTimePicker:
        setFaceColour(control, editable);
        control->setEnabled(editable);
        setTabStop(control, editable);
        break;
    case C::wwDBDateTimePicker:
        if (!frameEnabled(control))
            setFaceColour(control, editable);
        else if (editable)
            setUnderlinedLook(control, classicLook);
        else
            setShadowLook(control);
        control->setEnabled(editable);
        setTabStop(control, editable);
        break;
    case C::wwDBLookupCombo:
        setLookupComboLook(static_cast<dbcontrols::TwwDBLookupCombo *>(control), editable);
        break;
    case C::wwDBComboBox: {
        auto *combo = static_cast<dbcontrols::TwwDBComboBox *>(control);
        if (!frameEnabled(combo))
            setFaceColour(combo, editable);
        else if (editable)
            setUnderlinedLook(combo, classicLook);
        else
            setShadowLook(combo);
        combo->SetReadOnly(!editable);
        combo->EnableDropDown(editable);
        setTabStop(combo, editable);
        break;
    }
    case C::CheckBox:
        control->setEnabled(editable);
        setTabStop(control, editable);
        break;
    case C::ListBox:
    case C::StringGrid:
        setFaceColour(control, editable);
        control->setEnabled(editable);
        setTabStop(control, editable);
        break;
    case C::FileListBox:
        setFaceColour(control, editable);
        setTabStop(control, editable);
        break;
    default:
        break;
    }
}

} // namespace

bool TclsUtils::IsSmallFonts(QWidget *form)
{
    return form != nullptr && pixelsPerInch(form) == 96;
}

void TclsUtils::SetSmallFont(QWidget *form)
{
    if (form == nullptr)
        return;
    QFont font = form->font();
    font.setPointSize(IsSmallFonts(form) ? 8 : 7);
    form->setFont(font);
}

void TclsUtils::SetCaptionFont(QWidget *control)
{
    if (control == nullptr)
        return;
    QFont font(QStringLiteral("Arial"));
    font.setBold(true);
    font.setPointSize(screenPixelsPerInch() == 96 ? 7 : 6);
    control->setFont(font);
    QPalette palette = control->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    palette.setColor(QPalette::Text, Qt::black);
    control->setPalette(palette);
}

void TclsUtils::ShowRestored(QWidget *form)
{
    if (form == nullptr)
        return;
    if (form->windowState() & Qt::WindowMinimized)
        form->setWindowState(form->windowState() & ~Qt::WindowMinimized);
    form->show();
}

void TclsUtils::KeepOnScreen(QWidget *control)
{
    if (control == nullptr)
        return;
    const QSize screen = screenSize();
    const int w = screen.width();
    const int h = screen.height();
    const QRect frame = control->isWindow() ? control->frameGeometry() : control->geometry();
    int left = frame.left();
    int top = frame.top();
    if (left > w)
        left = w - frame.width();
    else if (left >= w - 50)
        left = w - 50;
    if (left + frame.width() < 0)
        left = 0;
    else if (left <= 80 - frame.width())
        left = 80 - frame.width();
    if (top > h)
        top = h - frame.height();
    else if (top >= h - 50)
        top = h - 50;
    if (top < 0)
        top = 0;
    control->move(left, top);
}

void TclsUtils::ArrangeButtons(QWidget *form, QWidget *container)
{
    if (container == nullptr)
        return;
    std::vector<QPushButton *> buttons;
    for (QObject *child : container->children())
        if (isPlainPushButton(child))
            buttons.push_back(static_cast<QPushButton *>(child));
    if (buttons.empty())
        return;

    bool column = false;
    int gap = 10;
    int margin = 10;
    const QRect first = buttons.front()->geometry();
    for (std::size_t i = 1; i < buttons.size(); ++i) {
        const QRect second = buttons[i]->geometry();
        if (second.top() == first.top()) {
            // A row keeps its left margin on the right as well.
            gap = second.left() - (first.left() + first.width());
            margin = first.left();
            break;
        }
        if (second.left() == first.left()) {
            column = true;
            gap = second.top() - (first.top() + first.height());
            margin = container->width() - (second.left() + second.width());
            break;
        }
    }

    const bool small = IsSmallFonts(form);
    const bool bold = IsOldWindows();
    QPushButton *previous = nullptr;
    for (QPushButton *button : buttons) {
        button->resize(small ? QSize(53, 22) : QSize(88, 28));
        QFont font = button->font();
        font.setBold(bold);
        button->setFont(font);
        if (previous != nullptr) {
            const QRect p = previous->geometry();
            if (column)
                button->move(p.left(), p.top() + p.height() + gap);
            else
                button->move(p.left() + p.width() + gap, p.top());
        }
        previous = button;
    }
    const QRect last = previous->geometry();
    container->resize(std::max(container->width(), margin + last.left() + last.width()),
                      std::max(container->height(), gap + last.top() + last.height()));
}

#ifdef GV_UTILS_UPDATER_COPY
namespace {

// One button of ScaleButtonsLargeFonts and the gap to its left neighbour.
struct TButtonInfo {
    QPushButton *button;
    int gap;
};

} // namespace

void TclsUtils::ScaleButtonsLargeFonts(QWidget *container)
{
    if (container == nullptr)
        return;
    const bool panel = container->metaObject() == &QFrame::staticMetaObject;
    const int rightEdge = container->x() + container->width();
    if (panel)
        container->resize(container->width(), qRound(container->height() * 1.25));

    std::vector<TButtonInfo> infos;
    for (QObject *child : container->children())
        if (auto *button = qobject_cast<QPushButton *>(child))
            infos.push_back({button, 0});
    if (infos.empty())
        return;
    std::stable_sort(infos.begin(), infos.end(),
                     [](const TButtonInfo &a, const TButtonInfo &b) { return a.button->x() < b.button->x(); });
    for (std::size_t i = 1; i < infos.size(); ++i) {
        const QPushButton *left = infos[i - 1].button;
        infos[i].gap = infos[i].button->x() - (left->x() + left->width());
    }

    int edge = infos.back().button->x() + infos.back().button->width();
    int gap = 0;
    for (auto it = infos.rbegin(); it != infos.rend(); ++it) {
        QPushButton *button = it->button;
        const int width = qRound(button->width() * 1.25);
        const int height = qRound(button->height() * 1.25);
        button->setGeometry(edge - gap - width, button->y(), width, height);
        edge = button->x();
        gap = it->gap;
    }
    if (panel)
        for (const auto &info : infos)
            info.button->move(info.button->x(), (container->height() - info.button->height()) / 2);

    // The buttons keep to the container's right edge, so widening it to the
    // left carries them along.
    const int overflow = -infos.front().button->x();
    if (overflow > 0) {
        container->resize(container->width() + overflow, container->height());
        for (const auto &info : infos)
            info.button->move(info.button->x() + overflow, info.button->y());
        if (panel)
            container->move(rightEdge - container->width(), container->y());
    }
}
#endif

QString TclsUtils::FitText(const QString &text, const QFontMetrics &canvas, int width)
{
    if (canvas.horizontalAdvance(text + QLatin1Char(' ')) <= width)
        return text;
    QString fitted = text;
    while (!fitted.isEmpty() && canvas.horizontalAdvance(fitted + QLatin1String("... ")) > width)
        fitted.chop(1);
    return fitted + QLatin1String("...");
}

void TclsUtils::StretchLastColumn(QTableView *grid)
{
    if (grid == nullptr || grid->model() == nullptr || grid->model()->columnCount() == 0)
        return;
    const int columns = grid->model()->columnCount();
    // A column's width here already includes its grid line.
    int sum = 0;
    for (int c = 0; c < columns; ++c)
        sum += grid->columnWidth(c);
    const int client = grid->viewport()->width();
    if (sum < client)
        grid->setColumnWidth(columns - 1, grid->columnWidth(columns - 1) + client - sum);
}

bool TclsUtils::ClassicLook() const
{
#ifdef GV_UTILS_UPDATER_COPY
    return FClassicLook;
#else
    return false;
#endif
}

void TclsUtils::MakeReadOnly(QWidget *control)
{
    if (control != nullptr)
        setLook(control, false, ClassicLook());
}

void TclsUtils::MakeEditable(QWidget *control)
{
    if (control != nullptr)
        setLook(control, true, ClassicLook());
}

namespace {

// The child controls of a container in creation order; the pages of a tab
// widget stand for its children.
std::vector<QWidget *> childControls(QWidget *container)
{
    std::vector<QWidget *> controls;
    if (auto *tabs = qobject_cast<QTabWidget *>(container)) {
        for (int i = 0; i < tabs->count(); ++i)
            controls.push_back(tabs->widget(i));
        return controls;
    }
    for (QObject *child : container->children())
        if (child->isWidgetType())
            controls.push_back(static_cast<QWidget *>(child));
    return controls;
}

// Whether a component belongs to a control of its own rather than to the
// container: the parts of an edit-with-button control are set through the
// control.
bool isPartOfControl(const QObject *component, const QObject *container)
{
    for (const QObject *p = component->parent(); p != nullptr && p != container; p = p->parent())
        if (qobject_cast<const dravik::TCustomEditButton *>(p))
            return true;
    return false;
}

} // namespace

void TclsUtils::MakeChildrenReadOnly(QWidget *container)
{
    if (container == nullptr)
        return;
    using C = TControlClass;
    for (QWidget *child : childControls(container)) {
        switch (ControlClassOf(child)) {
        case C::Panel:
        case C::GroupBox:
        case C::PageControl:
        case C::TabSheet:
            MakeChildrenReadOnly(child);
            break;
        case C::Label:
            break;
        default:
            MakeReadOnly(child);
            break;
        }
    }
    QCoreApplication::processEvents();
}

void TclsUtils::MakeChildrenEditable(QWidget *container)
{
    if (container == nullptr)
        return;
    using C = TControlClass;
    for (QWidget *child : childControls(container)) {
        switch (ControlClassOf(child)) {
        case C::Panel:
        case C::GroupBox:
        case C::PageControl:
        case C::TabSheet:
        case C::Notebook:
            MakeChildrenEditable(child);
            break;
        case C::Label:
            break;
        default:
            MakeEditable(child);
            break;
        }
    }
    QCoreApplication::processEvents();
}

void TclsUtils::SetFrameStyle(QObject *component, bool classic)
{
    using C = TControlClass;
    const C kind = ControlClassOf(component);
    // Components that are no widgets have no frame look.
    auto *control = qobject_cast<QWidget *>(component);
    if (control == nullptr)
        return;
    switch (kind) {
    case C::PageControl:
        static_cast<QTabWidget *>(control)->tabBar()->setExpanding(false);
        break;
    case C::GroupBox:
        static_cast<QGroupBox *>(control)->setFlat(!(classic || ClassicLook()));
        break;
    case C::wwDBEdit:
    case C::wwDBComboBox:
    case C::wwDBDateTimePicker:
    case C::wwDBLookupCombo:
    case C::wwDBRichEdit: {
        dbcontrols::TwwEditFrame &frame = *frameOf(control);
        // Rich edits keep their single border in the classic look.
        if (classic || (kind == C::wwDBRichEdit && ClassicLook())) {
            frame.SetEnabled(false);
            setBorderStyle(control, dbcontrols::bsSingle);
        } else {
            frame.SetEnabled(true);
            setBothStyles(frame);
        }
        break;
    }
    case C::EditButton:
    case C::DBEditButton:
        if (dravik::TKLXEditFrame *frame = static_cast<dravik::TCustomEditButton *>(control)->GetFrame()) {
            frame->SetEnabled(!classic);
            if (!classic)
                frame->SetNonFocusStyle(dbcontrols::efsFrameFlat);
        }
        break;
    default:
        break;
    }
}

void TclsUtils::FlattenFrames(QObject *container)
{
    if (container == nullptr)
        return;
    const QList<QObject *> owned = container->findChildren<QObject *>();
    for (QObject *component : owned)
        if (!isPartOfControl(component, container))
            SetFrameStyle(component, false);
    for (QObject *component : owned) {
        auto *label = qobject_cast<QLabel *>(component);
        QWidget *focus = label != nullptr ? label->buddy() : nullptr;
        if (focus == nullptr)
            continue;
        focus->move(focus->x(), label->y());
        label->move(label->x(), focus->y() + focus->height());
    }
}

void TclsUtils::SetEditFocusColors(QWidget *edit, bool focused)
{
    if (edit == nullptr || !frameEnabled(edit) || isReadOnly(edit))
        return;
    setColour(edit, focused ? QPalette::Base : QPalette::Button);
    setFontColour(edit, focused ? QPalette::Text : QPalette::ButtonText);
}

// The database numbers auto-increment fields itself; a copy leaves the
// target's own number in place.
void TclsUtils::CopyFields(desktopdb::Table &source, desktopdb::Table &target)
{
    for (desktopdb::Field *field : source.fields()) {
        if (field->def().kind != desktopdb::FieldKind::Data)
            continue;
        desktopdb::Field &into = target.fieldByName(field->name());
        if (into.dataType() != desktopdb::FieldType::AutoInc)
            into.assign(*field);
    }
}

void TclsUtils::CopyMatchingFields(desktopdb::Table &source, desktopdb::Table &target)
{
    const auto &defs = target.fieldDefs();
    const std::vector<desktopdb::Field *> targetFields = target.fields();
    for (desktopdb::Field *field : source.fields()) {
        if (field->def().kind != desktopdb::FieldKind::Data)
            continue;
        for (std::size_t i = 0; i < defs.size(); ++i) {
            if (defs[i].name != field->name())
                continue;
            if (i < targetFields.size() && targetFields[i]->dataType() == field->dataType() &&
                field->dataType() != desktopdb::FieldType::AutoInc)
                targetFields[i]->assign(*field);
            break;
        }
    }
}

bool TclsUtils::IsRecordInEdit(const QString &formName, QWidget *skipForm, int keyValue, const std::string &keyField,
                               const std::string &tableName)
{
    if (qobject_cast<QApplication *>(QCoreApplication::instance()) == nullptr)
        return false;
    const QString table = QString::fromStdString(tableName);
    for (QWidget *form : QApplication::topLevelWidgets()) {
        if (form == skipForm || form->objectName() != formName)
            continue;
        for (const auto *source : form->findChildren<dbcontrols::TDataSource *>()) {
            desktopdb::Table *dataSet = source->GetDataSet();
            // Table names compare as file names on the original system did: without case.
            if (dataSet == nullptr || !dataSet->active() ||
                QString::fromStdString(dataSet->tableName()).compare(table, Qt::CaseInsensitive) != 0)
                continue;
            const desktopdb::Field *key = dataSet->findField(keyField);
            if (key != nullptr && dataSet->state() == desktopdb::DataSetState::Edit && key->asInteger() == keyValue)
                return true;
        }
    }
    return false;
}
