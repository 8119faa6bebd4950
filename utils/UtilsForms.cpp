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

#include "dbcontrols/TDataSource.h"
#include "desktopdb/Table.h"

namespace {

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

// A panel is a plain container: a QWidget or a QFrame, not a subclass.
bool isPanel(const QWidget *w)
{
    return w->metaObject() == &QWidget::staticMetaObject || w->metaObject() == &QFrame::staticMetaObject;
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

// Button face (read-only) or window (editable) as the control's background.
void setFaceColour(QWidget *w, bool editable)
{
    const QPalette standard = QApplication::palette(w);
    QPalette palette = w->palette();
    palette.setColor(QPalette::Base, standard.color(editable ? QPalette::Base : QPalette::Button));
    w->setPalette(palette);
}

// Applies the read-only (editable = false) or the editable look.
void setLook(QWidget *control, bool editable)
{
    if (qobject_cast<QPushButton *>(control) || qobject_cast<QRadioButton *>(control)) {
        control->setEnabled(editable);
    } else if (auto *edit = qobject_cast<QLineEdit *>(control)) {
        setFaceColour(edit, editable);
        edit->setReadOnly(!editable);
        setTabStop(edit, editable);
    } else if (qobject_cast<QComboBox *>(control) || qobject_cast<QDateTimeEdit *>(control)) {
        setFaceColour(control, editable);
        control->setEnabled(editable);
        setTabStop(control, editable);
    } else if (auto *spin = qobject_cast<QAbstractSpinBox *>(control)) {
        setFaceColour(spin, editable);
        spin->setReadOnly(!editable);
        setTabStop(spin, editable);
    } else if (auto *memo = qobject_cast<QPlainTextEdit *>(control)) {
        setFaceColour(memo, editable);
        memo->setReadOnly(!editable);
        setTabStop(memo, editable);
    } else if (auto *rich = qobject_cast<QTextEdit *>(control)) {
        setFaceColour(rich, editable);
        rich->setReadOnly(!editable);
        setTabStop(rich, editable);
    } else if (qobject_cast<QCheckBox *>(control)) {
        control->setEnabled(editable);
        setTabStop(control, editable);
    } else if (qobject_cast<QListView *>(control) || qobject_cast<QTableView *>(control)) {
        setFaceColour(control, editable);
        control->setEnabled(editable);
        setTabStop(control, editable);
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

void TclsUtils::MakeReadOnly(QWidget *control)
{
    if (control != nullptr)
        setLook(control, false);
}

void TclsUtils::MakeEditable(QWidget *control)
{
    if (control != nullptr)
        setLook(control, true);
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

bool isTabPage(const QWidget *w)
{
    const QWidget *stack = w->parentWidget();
    return stack != nullptr && qobject_cast<const QTabWidget *>(stack->parentWidget()) != nullptr &&
           qobject_cast<const QStackedWidget *>(stack) != nullptr;
}

} // namespace

void TclsUtils::MakeChildrenReadOnly(QWidget *container)
{
    if (container == nullptr)
        return;
    for (QWidget *child : childControls(container)) {
        if (isPanel(child) || qobject_cast<QGroupBox *>(child) || qobject_cast<QTabWidget *>(child) || isTabPage(child))
            MakeChildrenReadOnly(child);
        else if (!qobject_cast<QLabel *>(child))
            MakeReadOnly(child);
    }
    QCoreApplication::processEvents();
}

void TclsUtils::MakeChildrenEditable(QWidget *container)
{
    if (container == nullptr)
        return;
    for (QWidget *child : childControls(container)) {
        if (isPanel(child) || qobject_cast<QGroupBox *>(child) || qobject_cast<QTabWidget *>(child) ||
            isTabPage(child) || qobject_cast<QStackedWidget *>(child))
            MakeChildrenEditable(child);
        else if (!qobject_cast<QLabel *>(child))
            MakeEditable(child);
    }
    QCoreApplication::processEvents();
}

void TclsUtils::SetFrameStyle(QObject *component, bool classic)
{
    if (auto *pages = qobject_cast<QTabWidget *>(component)) {
        pages->tabBar()->setExpanding(false);
    } else if (auto *group = qobject_cast<QGroupBox *>(component)) {
#ifdef GV_UTILS_UPDATER_COPY
        const bool classicLook = FClassicLook;
#else
        const bool classicLook = false;
#endif
        group->setFlat(!(classic || classicLook));
    }
}

void TclsUtils::FlattenFrames(QObject *container)
{
    if (container == nullptr)
        return;
    const QList<QObject *> owned = container->findChildren<QObject *>();
    for (QObject *component : owned)
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

void TclsUtils::SetEditFocusColors(QWidget *, bool)
{
    // Only the framed edits of the data-aware control set change colour with
    // the focus; standard controls keep theirs.
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
