#include "dravik/CustomEditButton.h"

#include <QEvent>
#include <QGroupBox>
#include <QMainWindow>
#include <QPainter>
#include <QResizeEvent>
#include <QStackedWidget>
#include <QTabWidget>

#include <stdexcept>

namespace {

// QLineEdit's own "no limit" value.
constexpr int kUnlimitedLength = 32767;
// Size of a new panel, kept when the inner edit cannot be created.
constexpr int kPanelWidth = 185;
constexpr int kPanelHeight = 41;
constexpr int kControlWidth = 83;
constexpr int kEditLeft = 3;
constexpr int kEditTop = 3;
// The control is this much higher than its inner edit.
constexpr int kHeightOverEdit = 5;

void fillHLine(QPainter &painter, const QColor &colour, int x0, int y, int x1)
{
    if (x1 > x0)
        painter.fillRect(x0, y, x1 - x0, 1, colour);
}

void fillVLine(QPainter &painter, const QColor &colour, int x, int y0, int y1)
{
    if (y1 > y0)
        painter.fillRect(x, y0, 1, y1 - y0, colour);
}

// Three dots on a white bitmap one pixel narrower than the button face
// inside its borders; white is the transparent colour.
QImage threeDotGlyph(int width, int height, const QColor &dotColour)
{
    QImage glyph(width, height, QImage::Format_RGB32);
    glyph.fill(Qt::white);
    const int y = (height - 2) / 2;
    for (int x : {3, 3 + ((width - 5) - 3) / 2, width - 5})
        if (x >= 0 && x < width && y >= 0 && y < height)
            glyph.setPixelColor(x, y, dotColour);
    return glyph;
}

void failIf(bool fail, const char *part)
{
    if (fail)
        throw std::runtime_error(part);
}

// A page of a tab widget: a child of the tab widget's page stack.
bool isTabPage(const QWidget *widget)
{
    const QWidget *stack = widget->parentWidget();
    return qobject_cast<const QStackedWidget *>(stack) != nullptr && stack->parentWidget() != nullptr &&
           qobject_cast<const QTabWidget *>(stack->parentWidget()) != nullptr;
}

} // namespace

TCustomEditButton::TCustomEditButton(QWidget *AOwner, const TEditFactory &createEdit, unsigned failingParts)
    : QFrame(AOwner)
{
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::NoFocus);
    resize(kPanelWidth, kPanelHeight);

    try {
        failIf(failingParts & ptInnerEdit, "inner edit");
        FDropDown = createEdit(this);
        FEdit = FDropDown->LineEdit();
        FEdit->resize(FEdit->width(), FEdit->height() - kHeightOverEdit);
        resize(kControlWidth, FEdit->height() + kHeightOverEdit);
    } catch (...) {
        // The control works without the part.
        delete FEdit;
        FEdit = nullptr;
        FDropDown = nullptr;
    }
    try {
        failIf(failingParts & ptButton, "button");
        FButton = new TSpeedButton(this);
        FButton->setObjectName(QStringLiteral("FButton"));
    } catch (...) {
        FButton = nullptr;
    }
    try {
        failIf(failingParts & ptFrame, "frame");
        FFrame = std::make_unique<TKLXEditFrame>(this);
    } catch (...) {
        FFrame.reset();
    }

    if (FEdit) {
        FEdit->setObjectName(QStringLiteral("FEdit"));
        FEdit->setFrame(false);
        FEdit->move(kEditLeft, kEditTop);
        FEdit->installEventFilter(this);
        FDropDown->Events = FEvents;
        FDropDown->DropDownHandler = [this](QObject *sender) { EditButtonOnClick(sender); };
        setFocusProxy(FEdit);
    }
    if (FEdit && FButton) {
        const int side = FEdit->height() + 1;
        FButton->resize(side, side);
        FButton->move(width() - side - 2, FEdit->y() - 1);
        FEdit->resize(FButton->x() - FEdit->x(), FEdit->height());
        FButton->SetGlyph(threeDotGlyph(side - 3, side, palette().color(QPalette::ButtonText)));
        FButton->installEventFilter(this);
        connect(FButton, &QAbstractButton::clicked, this, [this] {
            try {
                EditButtonOnClick(FButton);
            } catch (const std::exception &e) {
                ReportHandlerFailure(e.what());
            }
        });
    }
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

TCustomEditButton::~TCustomEditButton()
{
    // The edit outlives this part of the control; its handlers must not
    // reach the control any more.
    if (FDropDown) {
        FDropDown->DropDownHandler = nullptr;
        FDropDown->Events = TEditEvents();
    }
}

bool TCustomEditButton::GetAutoSelect() const
{
    return FDropDown ? FDropDown->GetAutoSelect() : false;
}

void TCustomEditButton::SetAutoSelect(bool value)
{
    if (FDropDown)
        FDropDown->SetAutoSelect(value);
}

void TCustomEditButton::SetBorderStyle(TFormBorderStyle value)
{
    FBorderStyle = value;
    update();
}

bool TCustomEditButton::GetButtonEnabled() const
{
    return FButton ? FButton->isEnabledTo(const_cast<TCustomEditButton *>(this)) : false;
}

void TCustomEditButton::SetButtonEnabled(bool value)
{
    if (!FButton)
        return;
    FButton->setEnabled(value);
    UpdateDropDownAllowed();
}

bool TCustomEditButton::GetButtonVisible() const
{
    return FButton ? FButton->isVisibleTo(const_cast<TCustomEditButton *>(this)) : false;
}

void TCustomEditButton::SetButtonVisible(bool value)
{
    if (!FButton || GetButtonVisible() == value)
        return;
    FButton->setVisible(value);
    UpdateDropDownAllowed();
    // A hidden control receives its resize events only when shown, so the
    // layout is redone here directly.
    WMSize();
}

TEditCharCase TCustomEditButton::GetCharCase() const
{
    return FDropDown ? FDropDown->GetCharCase() : ::ecNormal;
}

void TCustomEditButton::SetCharCase(TEditCharCase value)
{
    if (FDropDown)
        FDropDown->SetCharCase(value);
}

QColor TCustomEditButton::GetColor() const
{
    return FEdit ? FEdit->palette().color(QPalette::Base) : palette().color(QPalette::Window);
}

void TCustomEditButton::SetColor(const QColor &value)
{
    if (!FEdit)
        return;
    QPalette pal = FEdit->palette();
    pal.setColor(QPalette::Base, value);
    FEdit->setPalette(pal);
    update();
}

bool TCustomEditButton::GetEnabled() const
{
    return FEdit ? FEdit->isEnabledTo(const_cast<TCustomEditButton *>(this)) : false;
}

void TCustomEditButton::SetEnabled(bool value)
{
    if (FEdit)
        FEdit->setEnabled(value);
    if (FButton)
        FButton->setEnabled(value && !GetReadOnly());
    UpdateDropDownAllowed();
}

bool TCustomEditButton::GetHideSelection() const
{
    return FDropDown ? FDropDown->GetHideSelection() : false;
}

void TCustomEditButton::SetHideSelection(bool value)
{
    if (FDropDown)
        FDropDown->SetHideSelection(value);
}

QString TCustomEditButton::GetHint() const
{
    return FEdit ? FEdit->toolTip() : QString();
}

void TCustomEditButton::SetHint(const QString &value)
{
    setToolTip(value);
    if (FEdit)
        FEdit->setToolTip(value);
    if (FButton)
        FButton->setToolTip(value);
}

bool TCustomEditButton::IsActiveControl() const
{
    const QWidget *form = FindParentForm(this);
    if (!form)
        throw std::runtime_error("Could not locate parent form");
    return FEdit != nullptr && form->focusWidget() == FEdit;
}

int TCustomEditButton::GetMaxLength() const
{
    return FEdit ? EditMaxLength() : 0;
}

void TCustomEditButton::SetMaxLength(int value)
{
    if (FEdit)
        SetEditMaxLength(value);
}

QChar TCustomEditButton::GetPasswordChar() const
{
    return FDropDown ? FDropDown->GetPasswordChar() : QChar();
}

void TCustomEditButton::SetPasswordChar(QChar value)
{
    if (FDropDown)
        FDropDown->SetPasswordChar(value);
}

bool TCustomEditButton::GetReadOnly() const
{
    return FEdit ? EditReadOnly() : true;
}

void TCustomEditButton::SetReadOnly(bool value)
{
    if (FEdit)
        SetEditReadOnly(value);
    if (FButton)
        FButton->setEnabled(!value && GetEnabled());
    UpdateDropDownAllowed();
}

bool TCustomEditButton::GetTabStop() const
{
    return FEdit ? (FEdit->focusPolicy() & Qt::TabFocus) != 0 : false;
}

void TCustomEditButton::SetTabStop(bool value)
{
    // Without tab stop the edit still takes the focus from a click.
    if (FEdit)
        FEdit->setFocusPolicy(value ? Qt::StrongFocus : Qt::ClickFocus);
}

QString TCustomEditButton::GetText() const
{
    return FEdit ? EditText() : QString();
}

void TCustomEditButton::SetText(const QString &value)
{
    if (FEdit)
        SetEditText(value);
}

void TCustomEditButton::SetFocus()
{
    if (FEdit)
        FEdit->setFocus(Qt::OtherFocusReason);
    else
        QWidget::setFocus(Qt::OtherFocusReason);
}

QWidget *TCustomEditButton::FindParentForm(const QWidget *control)
{
    // A control on a form has the form as its window; a control without
    // parent is a window of its own and on no form.
    if (control == nullptr || control->parentWidget() == nullptr)
        return nullptr;
    return control->parentWidget()->window();
}

void TCustomEditButton::EditButtonOnClick(QObject *Sender)
{
    QWidget *form = FindParentForm(this);
    if (FEdit && form) {
        FEdit->setFocus(Qt::OtherFocusReason);
        // The form may refuse, for instance when leaving the previous control
        // moved the focus back: the click then ends silently.
        if (form->focusWidget() != FEdit)
            return;
    }
    if (FOnButtonClick)
        FOnButtonClick(Sender);
}

void TCustomEditButton::SetHeightFromEdit()
{
    if (FEdit && height() != FEdit->height() + kHeightOverEdit)
        resize(width(), FEdit->height() + kHeightOverEdit);
}

QSize TCustomEditButton::sizeHint() const
{
    if (!FEdit)
        return QSize(kPanelWidth, kPanelHeight);
    return QSize(kControlWidth, FEdit->height() + kHeightOverEdit);
}

bool TCustomEditButton::EditReadOnly() const
{
    return FEdit->isReadOnly();
}

void TCustomEditButton::SetEditReadOnly(bool value)
{
    FEdit->setReadOnly(value);
}

QString TCustomEditButton::EditText() const
{
    return FEdit->text();
}

void TCustomEditButton::SetEditText(const QString &value)
{
    FEdit->setText(value);
}

int TCustomEditButton::EditMaxLength() const
{
    return FEdit->maxLength() == kUnlimitedLength ? 0 : FEdit->maxLength();
}

void TCustomEditButton::SetEditMaxLength(int value)
{
    FEdit->setMaxLength(value <= 0 ? kUnlimitedLength : value);
}

void TCustomEditButton::UpdateDropDownAllowed()
{
    if (FDropDown)
        FDropDown->DropDownAllowed = GetButtonEnabled() && GetButtonVisible();
}

void TCustomEditButton::WMSize()
{
    if (!FEdit || !FButton)
        return;
    FButton->move(width() - FButton->width() - 2, FButton->y());
    const int editWidth = GetButtonVisible() ? FButton->x() - FEdit->x() : width() - 2 - FEdit->x();
    FEdit->resize(editWidth, FEdit->height());
    SetHeightFromEdit();
}

void TCustomEditButton::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    WMSize();
}

bool TCustomEditButton::FrameEnabled() const
{
    return FFrame ? FFrame->GetEnabled() : false;
}

void TCustomEditButton::SetFrameEnabled(bool value)
{
    if (FFrame)
        FFrame->SetEnabled(value);
}

TCustomEditButton::TFrameBorders TCustomEditButton::FrameFocusBorders() const
{
    return TFrameBorders::fromInt(FFrame ? static_cast<int>(FFrame->GetFocusBorders()) : 0);
}

void TCustomEditButton::SetFrameFocusBorders(TFrameBorders value)
{
    if (FFrame)
        FFrame->SetFocusBorders(static_cast<dbcontrols::TwwEditFrameEnabledSet>(value.toInt()));
}

TCustomEditButton::TFrameBorders TCustomEditButton::FrameNonFocusBorders() const
{
    return TFrameBorders::fromInt(FFrame ? static_cast<int>(FFrame->GetNonFocusBorders()) : 0);
}

void TCustomEditButton::SetFrameNonFocusBorders(TFrameBorders value)
{
    if (FFrame)
        FFrame->SetNonFocusBorders(static_cast<dbcontrols::TwwEditFrameEnabledSet>(value.toInt()));
}

TCustomEditButton::TFocusStyleValue TCustomEditButton::FrameFocusStyle() const
{
    return static_cast<TFocusStyleValue>(FFrame ? FFrame->GetFocusStyle() : dbcontrols::efsFrameBox);
}

void TCustomEditButton::SetFrameFocusStyle(TFocusStyleValue value)
{
    if (FFrame)
        FFrame->SetFocusStyle(static_cast<dbcontrols::TwwEditFocusStyle>(value));
}

TCustomEditButton::TFocusStyleValue TCustomEditButton::FrameNonFocusStyle() const
{
    return static_cast<TFocusStyleValue>(FFrame ? FFrame->GetNonFocusStyle() : dbcontrols::efsFrameBox);
}

void TCustomEditButton::SetFrameNonFocusStyle(TFocusStyleValue value)
{
    if (FFrame)
        FFrame->SetNonFocusStyle(static_cast<dbcontrols::TwwEditFocusStyle>(value));
}

QColor TCustomEditButton::BackgroundColor() const
{
    // Panels (a plain QWidget or a QFrame), group boxes, notebooks
    // (QStackedWidget is a QFrame) and forms lend the control their colour.
    // Other parents, such as the page of a tab widget, leave it the button
    // face: a tab page is a plain QWidget too, told apart by its tab widget.
    // The central widget of a main window stands for the form itself.
    const QWidget *parent = parentWidget();
    const auto *mainWindow = parent ? qobject_cast<const QMainWindow *>(parent->parentWidget()) : nullptr;
    const bool centralWidget = mainWindow != nullptr && mainWindow->centralWidget() == parent;
    const bool plainPanel = parent != nullptr && parent->metaObject() == &QWidget::staticMetaObject &&
                            !isTabPage(parent);
    if (parent && (qobject_cast<const QFrame *>(parent) || qobject_cast<const QGroupBox *>(parent) ||
                   parent->isWindow() || centralWidget || plainPanel))
        return parent->palette().color(parent->backgroundRole());
    return palette().color(QPalette::Button);
}

void TCustomEditButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const int w = width();
    const int h = height();
    painter.fillRect(rect(), BackgroundColor());

    if (FFrame && FFrame->GetEnabled()) {
        using namespace dbcontrols;
        const TwwEditFrameEnabledSet borders = FFrame->GetNonFocusBorders();
        const bool left = borders & wwBorderBit(dbcontrols::efLeftBorder);
        const bool top = borders & wwBorderBit(dbcontrols::efTopBorder);
        const bool right = borders & wwBorderBit(dbcontrols::efRightBorder);
        const bool bottom = borders & wwBorderBit(dbcontrols::efBottomBorder);
        const QColor black(Qt::black);
        const int x0 = left ? 1 : 2;
        const int x1 = right ? w - 1 : w - 2;
        if (top)
            fillHLine(painter, black, x0, 1, x1);
        if (left)
            fillVLine(painter, black, 1, 2, h - 2);
        if (bottom)
            fillHLine(painter, black, x0, h - 2, x1);
        if (right)
            fillVLine(painter, black, w - 2, 2, h - 2);
    } else {
        const QColor shadow = palette().color(QPalette::Dark);
        const QColor highlight = palette().color(QPalette::Light);
        const QColor black(Qt::black);
        fillHLine(painter, shadow, 0, 0, w - 1);
        fillVLine(painter, shadow, 0, 0, h - 1);
        fillVLine(painter, highlight, w - 1, 0, h);
        fillHLine(painter, highlight, 0, h - 1, w - 1);
        fillHLine(painter, black, 1, 1, w - 2);
        fillVLine(painter, black, 1, 1, h - 2);
    }

    if (FEdit) {
        // The one-pixel gap above and left of the edit takes the edit's colour.
        const QColor editColour = FEdit->palette().color(QPalette::Base);
        fillHLine(painter, editColour, 2, 2, FEdit->width() + 3);
        fillVLine(painter, editColour, 2, 2, h - 2);
    }
}

bool TCustomEditButton::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip && !FShowHint) {
        event->ignore();
        return true;
    }
    return QFrame::event(event);
}

bool TCustomEditButton::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ToolTip && !FShowHint)
        return true;
    return QFrame::eventFilter(watched, event);
}
