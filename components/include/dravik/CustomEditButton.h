#pragma once

#include "dravik/DravikExport.h"
#include "dravik/DropDownEditT.h"
#include "dravik/EditEvents.h"
#include "dravik/KLXFrame.h"
#include "dravik/SpeedButton.h"

#include <QColor>
#include <QFrame>

#include <functional>
#include <memory>

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };

// An edit box with a three-dot button at its right end, inside a panel that
// draws the border of the whole. TEditButton and TwwDBEditButton share all
// of it and differ only in their inner edit.
//
// The inner edit, the button and the frame settings are created in the
// constructor; each may be missing when its creation failed, and every
// operation checks for that. Reads then give the neutral values (false,
// empty, 0; ReadOnly true) and writes that need the part do nothing.
//
// Clicking the button, or Alt+Down in the edit, moves the focus into the
// edit and raises OnButtonClick.
class DRAVIK_EXPORT TCustomEditButton : public QFrame {
    Q_OBJECT
    // Published for forms built in Qt Designer.
    Q_PROPERTY(bool AutoSelect READ GetAutoSelect WRITE SetAutoSelect)
    Q_PROPERTY(bool ButtonEnabled READ GetButtonEnabled WRITE SetButtonEnabled)
    Q_PROPERTY(bool ButtonVisible READ GetButtonVisible WRITE SetButtonVisible)
    Q_PROPERTY(QColor Color READ GetColor WRITE SetColor)
    Q_PROPERTY(bool Enabled READ GetEnabled WRITE SetEnabled)
    Q_PROPERTY(bool HideSelection READ GetHideSelection WRITE SetHideSelection)
    Q_PROPERTY(QString Hint READ GetHint WRITE SetHint)
    Q_PROPERTY(int MaxLength READ GetMaxLength WRITE SetMaxLength)
    Q_PROPERTY(bool ReadOnly READ GetReadOnly WRITE SetReadOnly)
    Q_PROPERTY(bool ShowHint READ GetShowHint WRITE SetShowHint)
    Q_PROPERTY(bool TabStop READ GetTabStop WRITE SetTabStop)
    Q_PROPERTY(QString Text READ GetText WRITE SetText)
    Q_PROPERTY(TBorderStyleValue BorderStyle READ DesignBorderStyle WRITE SetDesignBorderStyle)
    Q_PROPERTY(TCharCaseValue CharCase READ DesignCharCase WRITE SetDesignCharCase)
    Q_PROPERTY(QChar PasswordChar READ GetPasswordChar WRITE SetPasswordChar)
    // The frame settings, which a form stores with the control.
    Q_PROPERTY(bool FrameEnabled READ FrameEnabled WRITE SetFrameEnabled)
    Q_PROPERTY(TFrameBorders FrameFocusBorders READ FrameFocusBorders WRITE SetFrameFocusBorders)
    Q_PROPERTY(TFrameBorders FrameNonFocusBorders READ FrameNonFocusBorders WRITE SetFrameNonFocusBorders)
    Q_PROPERTY(TFocusStyleValue FrameFocusStyle READ FrameFocusStyle WRITE SetFrameFocusStyle)
    Q_PROPERTY(TFocusStyleValue FrameNonFocusStyle READ FrameNonFocusStyle WRITE SetFrameNonFocusStyle)
public:
    // The values of the enumerated settings as Qt Designer lists them; each
    // has the value of the setting of the same name.
    enum TBorderStyleValue {
        bsNone = ::bsNone,
        bsSingle = ::bsSingle,
        bsSizeable = ::bsSizeable,
        bsDialog = ::bsDialog,
        bsToolWindow = ::bsToolWindow,
        bsSizeToolWin = ::bsSizeToolWin
    };
    Q_ENUM(TBorderStyleValue)
    enum TCharCaseValue { ecNormal = ::ecNormal, ecUpperCase = ::ecUpperCase, ecLowerCase = ::ecLowerCase };
    Q_ENUM(TCharCaseValue)
    enum TFocusStyleValue {
        efsFrameBox = dbcontrols::efsFrameBox,
        efsFrameSunken = dbcontrols::efsFrameSunken,
        efsFrameRaised = dbcontrols::efsFrameRaised,
        efsFrameEtched = dbcontrols::efsFrameEtched,
        efsFrameSingle = dbcontrols::efsFrameSingle,
        efsFrameFlat = dbcontrols::efsFrameFlat
    };
    Q_ENUM(TFocusStyleValue)
    // The four borders as the bits of a border set.
    enum TFrameBorder {
        LeftBorder = 1 << dbcontrols::efLeftBorder,
        TopBorder = 1 << dbcontrols::efTopBorder,
        RightBorder = 1 << dbcontrols::efRightBorder,
        BottomBorder = 1 << dbcontrols::efBottomBorder
    };
    Q_DECLARE_FLAGS(TFrameBorders, TFrameBorder)
    Q_FLAG(TFrameBorders)

    ~TCustomEditButton() override;

    bool GetAutoSelect() const;
    void SetAutoSelect(bool value);
    TFormBorderStyle GetBorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TFormBorderStyle value);
    bool GetButtonEnabled() const;
    void SetButtonEnabled(bool value);
    bool GetButtonVisible() const;
    void SetButtonVisible(bool value);
    TEditCharCase GetCharCase() const;
    void SetCharCase(TEditCharCase value);
    // The inner edit's background colour.
    QColor GetColor() const;
    void SetColor(const QColor &value);
    // The panel itself stays enabled; the edit and the button follow.
    virtual bool GetEnabled() const;
    virtual void SetEnabled(bool value);
    QFont GetFont() const { return font(); }
    void SetFont(const QFont &value) { setFont(value); }
    TKLXEditFrame *GetFrame() const { return FFrame.get(); }
    virtual bool GetHideSelection() const;
    virtual void SetHideSelection(bool value);
    // The hint (tool tip) of the edit; a write sets it on the panel, the
    // edit and the button.
    QString GetHint() const;
    void SetHint(const QString &value);
    // Whether the inner edit is the focus widget of the form holding the
    // control; raises std::runtime_error "Could not locate parent form" when
    // the control is not on a form.
    bool IsActiveControl() const;
    // 0 means no limit.
    int GetMaxLength() const;
    void SetMaxLength(int value);
    QChar GetPasswordChar() const;
    void SetPasswordChar(QChar value);
    bool GetReadOnly() const;
    void SetReadOnly(bool value);
    // While false, no hints show over the control.
    bool GetShowHint() const { return FShowHint; }
    void SetShowHint(bool value) { FShowHint = value; }
    bool GetTabStop() const;
    void SetTabStop(bool value);
    QString GetText() const;
    void SetText(const QString &value);

    const TNotifyEvent &GetOnButtonClick() const { return FOnButtonClick; }
    void SetOnButtonClick(TNotifyEvent handler) { FOnButtonClick = std::move(handler); }

#define DRAVIK_FORWARDED_EVENT(Type, Name)                                                                             \
    const Type &Get##Name() const { return FEvents.Name; }                                                             \
    void Set##Name(Type handler)                                                                                       \
    {                                                                                                                  \
        FEvents.Name = handler;                                                                                        \
        if (FDropDown)                                                                                                 \
            FDropDown->Events.Name = std::move(handler);                                                               \
    }
    DRAVIK_FORWARDED_EVENT(TNotifyEvent, OnChange)
    DRAVIK_FORWARDED_EVENT(TNotifyEvent, OnClick)
    DRAVIK_FORWARDED_EVENT(TNotifyEvent, OnDblClick)
    DRAVIK_FORWARDED_EVENT(TDragDropEvent, OnDragDrop)
    DRAVIK_FORWARDED_EVENT(TDragOverEvent, OnDragOver)
    DRAVIK_FORWARDED_EVENT(TEndDragEvent, OnEndDrag)
    DRAVIK_FORWARDED_EVENT(TNotifyEvent, OnEnter)
    DRAVIK_FORWARDED_EVENT(TNotifyEvent, OnExit)
    DRAVIK_FORWARDED_EVENT(TKeyEvent, OnKeyDown)
    DRAVIK_FORWARDED_EVENT(TKeyPressEvent, OnKeyPress)
    DRAVIK_FORWARDED_EVENT(TKeyEvent, OnKeyUp)
    DRAVIK_FORWARDED_EVENT(TMouseEvent, OnMouseDown)
    DRAVIK_FORWARDED_EVENT(TMouseMoveEvent, OnMouseMove)
    DRAVIK_FORWARDED_EVENT(TMouseEvent, OnMouseUp)
    DRAVIK_FORWARDED_EVENT(TStartDragEvent, OnStartDrag)
#undef DRAVIK_FORWARDED_EVENT

    // Focuses the inner edit (the panel without one).
    virtual void SetFocus();
    // The window (form) that holds the control; nullptr for a control
    // without parent.
    static QWidget *FindParentForm(const QWidget *control);
    // The handler behind the button and Alt+Down.
    void EditButtonOnClick(QObject *Sender);
    // Control height := inner edit height + 5.
    void SetHeightFromEdit();

    // The settings as Qt Designer reads and writes them. Without the frame
    // part, reads give false, no border and efsFrameBox; writes do nothing.
    TBorderStyleValue DesignBorderStyle() const { return static_cast<TBorderStyleValue>(GetBorderStyle()); }
    void SetDesignBorderStyle(TBorderStyleValue value) { SetBorderStyle(static_cast<TFormBorderStyle>(value)); }
    TCharCaseValue DesignCharCase() const { return static_cast<TCharCaseValue>(GetCharCase()); }
    void SetDesignCharCase(TCharCaseValue value) { SetCharCase(static_cast<TEditCharCase>(value)); }
    bool FrameEnabled() const;
    void SetFrameEnabled(bool value);
    TFrameBorders FrameFocusBorders() const;
    void SetFrameFocusBorders(TFrameBorders value);
    TFrameBorders FrameNonFocusBorders() const;
    void SetFrameNonFocusBorders(TFrameBorders value);
    TFocusStyleValue FrameFocusStyle() const;
    void SetFrameFocusStyle(TFocusStyleValue value);
    TFocusStyleValue FrameNonFocusStyle() const;
    void SetFrameNonFocusStyle(TFocusStyleValue value);

    QLineEdit *InnerLineEdit() const { return FEdit; }
    TSpeedButton *Button() const { return FButton; }

    QSize sizeHint() const override;

protected:
    // Parts whose creation a test can make fail.
    enum TPart : unsigned { ptInnerEdit = 1, ptButton = 2, ptFrame = 4 };
    using TEditFactory = std::function<TDropDownCore *(QWidget *parent)>;

    // The owner becomes the parent; failingParts lists the parts whose
    // creation is made to fail.
    TCustomEditButton(QWidget *AOwner, const TEditFactory &createEdit, unsigned failingParts);

    // Access to the inner edit's own settings, which the data-aware edit
    // keeps differently.
    virtual bool EditReadOnly() const;
    virtual void SetEditReadOnly(bool value);
    virtual QString EditText() const;
    virtual void SetEditText(const QString &value);
    virtual int EditMaxLength() const;
    virtual void SetEditMaxLength(int value);

    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    // Lays the button and the edit out for the control's width.
    void WMSize();

    TDropDownCore *DropDown() const { return FDropDown; }

private:
    void UpdateDropDownAllowed();
    QColor BackgroundColor() const;

    QLineEdit *FEdit = nullptr;
    TDropDownCore *FDropDown = nullptr;
    TSpeedButton *FButton = nullptr;
    std::unique_ptr<TKLXEditFrame> FFrame;
    TFormBorderStyle FBorderStyle = ::bsNone;
    bool FShowHint = true;
    TNotifyEvent FOnButtonClick;
    TEditEvents FEvents;
};
