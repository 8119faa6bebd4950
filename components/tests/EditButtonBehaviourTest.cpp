#include "EditButtonTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QMimeData>
#include <QTest>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

using namespace dravikt;

namespace {

// Counts the key presses that reach a widget unhandled by its children.
class KeyCounter : public QObject {
public:
    int presses = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        // QTest presses the modifier keys too; only the arrow and F5 count.
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Down || key == Qt::Key_F5)
                ++presses;
        }
        return false;
    }
};

template <class Control>
class EditButtonBehaviourTest : public testing::Test {
protected:
    void SetUp() override
    {
        control()->SetOnButtonClick([this](QObject *sender) { senders.push_back(sender); });
    }

    Control *control() { return f.control; }
    void altDown(Qt::KeyboardModifiers modifiers = Qt::AltModifier)
    {
        QTest::keyClick(f.edit(), Qt::Key_Down, modifiers);
    }

    FormWith<Control> f;
    std::vector<QObject *> senders;
};

using Controls = testing::Types<TEditButton, TwwDBEditButton>;
TYPED_TEST_SUITE(EditButtonBehaviourTest, Controls);

TYPED_TEST(EditButtonBehaviourTest, ButtonClickFocusesTheEditAndRaisesWithTheButtonAsSender)
{
    auto *other = this->f.addOtherEdit();
    other->setFocus();
    QTest::mouseClick(this->f.button(), Qt::LeftButton);
    ASSERT_EQ(this->senders.size(), 1u);
    EXPECT_EQ(this->senders[0], this->f.button());
    EXPECT_EQ(this->f.form->focusWidget(), this->f.edit());
    EXPECT_TRUE(this->control()->IsActiveControl());
}

TYPED_TEST(EditButtonBehaviourTest, AltDownRaisesWithTheEditAsSender)
{
    this->altDown();
    ASSERT_EQ(this->senders.size(), 1u);
    EXPECT_EQ(this->senders[0], this->f.edit());
}

struct KeyCase {
    const char *name;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    bool raises;
};

TYPED_TEST(EditButtonBehaviourTest, OnlyAltDownWithoutShiftOrCtrlIsTheShortcut)
{
    const KeyCase cases[] = {
        {"AltDown", Qt::Key_Down, Qt::AltModifier, true},
        {"AltDownOnKeypad", Qt::Key_Down, Qt::AltModifier | Qt::KeypadModifier, true},
        {"AltShiftDown", Qt::Key_Down, Qt::AltModifier | Qt::ShiftModifier, false},
        {"CtrlAltDown", Qt::Key_Down, Qt::AltModifier | Qt::ControlModifier, false},
        {"PlainDown", Qt::Key_Down, Qt::NoModifier, false},
        {"AltUp", Qt::Key_Up, Qt::AltModifier, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        this->senders.clear();
        std::vector<int> keysSeen;
        this->control()->SetOnKeyDown([&](QObject *, int &key, Qt::KeyboardModifiers) {
            if (key == c.key)
                keysSeen.push_back(key);
        });
        QTest::keyClick(this->f.edit(), c.key, c.modifiers);
        EXPECT_EQ(this->senders.size(), c.raises ? 1u : 0u);
        // The shortcut never reaches the edit's own key handling.
        EXPECT_EQ(keysSeen.empty(), c.raises);
    }
}

struct StateCase {
    const char *name;
    std::function<void(TCustomEditButton &)> steps;
    bool editEnabled;
    bool buttonEnabled;
    bool editReadOnly;
    bool altDownRaises;
};

TYPED_TEST(EditButtonBehaviourTest, ButtonStateFollowsEnabledReadOnlyAndButtonSettings)
{
    const StateCase cases[] = {
        {"New", [](TCustomEditButton &) {}, true, true, false, true},
        {"ReadOnlyThenEnabled",
         [](TCustomEditButton &c) {
             c.SetReadOnly(true);
             c.SetEnabled(true);
         },
         true, false, true, false},
        {"ReadOnlyOffAgain",
         [](TCustomEditButton &c) {
             c.SetReadOnly(true);
             c.SetEnabled(true);
             c.SetReadOnly(false);
         },
         true, true, false, true},
        {"ReadOnlyOffWhileDisabled",
         [](TCustomEditButton &c) {
             c.SetEnabled(false);
             c.SetReadOnly(true);
             c.SetReadOnly(false);
         },
         false, false, false, false},
        {"Disabled", [](TCustomEditButton &c) { c.SetEnabled(false); }, false, false, false, false},
        {"DisabledThenEnabled",
         [](TCustomEditButton &c) {
             c.SetEnabled(false);
             c.SetEnabled(true);
         },
         true, true, false, true},
        {"ButtonDisabled", [](TCustomEditButton &c) { c.SetButtonEnabled(false); }, true, false, false, false},
        {"ButtonEnabledWhileReadOnly",
         [](TCustomEditButton &c) {
             c.SetReadOnly(true);
             c.SetButtonEnabled(true);
         },
         true, true, true, true},
        {"ButtonHidden", [](TCustomEditButton &c) { c.SetButtonVisible(false); }, true, true, false, false},
        {"ButtonShownAgain",
         [](TCustomEditButton &c) {
             c.SetButtonVisible(false);
             c.SetButtonVisible(true);
         },
         true, true, false, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        FormWith<TypeParam> f;
        int raised = 0;
        f.control->SetOnButtonClick([&](QObject *) { ++raised; });
        c.steps(*f.control);
        EXPECT_TRUE(f.control->isEnabled()) << "the panel itself stays enabled";
        EXPECT_EQ(f.edit()->isEnabled(), c.editEnabled);
        EXPECT_EQ(f.control->GetEnabled(), c.editEnabled);
        EXPECT_EQ(f.button()->isEnabled(), c.buttonEnabled);
        EXPECT_EQ(f.control->GetButtonEnabled(), c.buttonEnabled);
        EXPECT_EQ(f.edit()->isReadOnly(), c.editReadOnly);
        EXPECT_EQ(f.control->GetReadOnly(), c.editReadOnly);
        QTest::keyClick(f.edit(), Qt::Key_Down, Qt::AltModifier);
        EXPECT_EQ(raised, c.altDownRaises ? 1 : 0);
    }
}

TYPED_TEST(EditButtonBehaviourTest, RefusedAltDownIsStillSwallowed)
{
    KeyCounter counter;
    this->f.form->installEventFilter(&counter);
    this->control()->SetButtonEnabled(false);
    this->altDown();
    EXPECT_TRUE(this->senders.empty());
    EXPECT_EQ(counter.presses, 0);
    // A key the edit does not handle does travel up to the form.
    QTest::keyClick(this->f.edit(), Qt::Key_F5);
    EXPECT_EQ(counter.presses, 1);
}

TYPED_TEST(EditButtonBehaviourTest, AltDownGoesToTheEditBeforeWindowShortcuts)
{
    int shortcuts = 0;
    auto *action = new QAction(this->f.form.get());
    action->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Down));
    this->f.form->addAction(action);
    QObject::connect(action, &QAction::triggered, [&] { ++shortcuts; });
    this->control()->SetFocus();
    QTest::keyClick(this->f.edit(), Qt::Key_Down, Qt::AltModifier);
    EXPECT_EQ(shortcuts, 0);
    EXPECT_EQ(this->senders.size(), 1u);
}

TYPED_TEST(EditButtonBehaviourTest, DisabledButtonIsGreyed)
{
    QPalette pal = this->f.button()->palette();
    pal.setColor(QPalette::Dark, QColor(100, 90, 80));
    pal.setColor(QPalette::Light, QColor(250, 245, 240));
    this->f.button()->setPalette(pal);
    this->control()->SetButtonEnabled(false);
    const QImage image = this->f.button()->grab().toImage();
    EXPECT_EQ(image.pixelColor(4, 9), pal.color(QPalette::Dark));
    EXPECT_EQ(image.pixelColor(5, 10), pal.color(QPalette::Light));
}

TYPED_TEST(EditButtonBehaviourTest, ClickEndsSilentlyWhenTheFormRefusesTheFocus)
{
    // The other edit takes the focus back as soon as it loses it.
    auto *other = this->f.addOtherEdit();
    struct Keeper : QObject {
        QLineEdit *edit;
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::FocusOut)
                QMetaObject::invokeMethod(edit, [e = edit] { e->setFocus(); }, Qt::DirectConnection);
            return false;
        }
    } keeper;
    keeper.edit = other;
    other->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), other);
    other->installEventFilter(&keeper);

    QTest::mouseClick(this->f.button(), Qt::LeftButton);
    EXPECT_TRUE(this->senders.empty());
    EXPECT_EQ(this->f.form->focusWidget(), other);
    other->removeEventFilter(&keeper);
}

TYPED_TEST(EditButtonBehaviourTest, ClickEndsSilentlyWhenTheEditCannotTakeTheFocus)
{
    this->f.edit()->setEnabled(false);
    this->control()->EditButtonOnClick(this->f.button());
    EXPECT_TRUE(this->senders.empty());
}

TYPED_TEST(EditButtonBehaviourTest, HintShowsOverEditAndButton)
{
    this->control()->SetHint(QStringLiteral("Choose a supplier"));
    EXPECT_EQ(this->f.edit()->toolTip(), QStringLiteral("Choose a supplier"));
    EXPECT_EQ(this->f.button()->toolTip(), QStringLiteral("Choose a supplier"));
    EXPECT_EQ(this->control()->GetHint(), QStringLiteral("Choose a supplier"));
}

TYPED_TEST(EditButtonBehaviourTest, IsActiveControlFollowsTheFormsFocus)
{
    auto *other = this->f.addOtherEdit();
    other->setFocus();
    EXPECT_FALSE(this->control()->IsActiveControl());
    this->control()->SetFocus();
    EXPECT_TRUE(this->control()->IsActiveControl());
}

TYPED_TEST(EditButtonBehaviourTest, ControlWithoutFormCannotTellWhetherItIsActive)
{
    TypeParam loose(nullptr);
    EXPECT_EQ(TCustomEditButton::FindParentForm(&loose), nullptr);
    try {
        (void)loose.IsActiveControl();
        FAIL() << "no failure";
    } catch (const std::runtime_error &e) {
        EXPECT_STREQ(e.what(), "Could not locate parent form");
    }
    // Without a form the button still raises its event.
    int raised = 0;
    loose.SetOnButtonClick([&](QObject *) { ++raised; });
    loose.EditButtonOnClick(loose.Button());
    EXPECT_EQ(raised, 1);
}

TYPED_TEST(EditButtonBehaviourTest, FormIsTheWindowAboveNestedContainers)
{
    auto *panel = new QFrame(this->f.form.get());
    auto *inner = new QWidget(panel);
    auto *nested = new TypeParam(inner);
    EXPECT_EQ(TCustomEditButton::FindParentForm(nested), this->f.form.get());
}

TYPED_TEST(EditButtonBehaviourTest, ForwardedEventsComeFromTheInnerEdit)
{
    std::vector<std::string> raised;
    QObject *edit = this->f.edit();
    auto note = [&](const char *name) {
        return [&, name](QObject *sender) {
            EXPECT_EQ(sender, edit) << name;
            raised.push_back(name);
        };
    };
    auto *c = this->control();
    c->SetOnChange(note("Change"));
    c->SetOnClick(note("Click"));
    c->SetOnDblClick(note("DblClick"));
    c->SetOnEnter(note("Enter"));
    c->SetOnExit(note("Exit"));
    c->SetOnKeyDown([&](QObject *s, int &, Qt::KeyboardModifiers) { note("KeyDown")(s); });
    c->SetOnKeyPress([&](QObject *s, QChar &) { note("KeyPress")(s); });
    c->SetOnKeyUp([&](QObject *s, int &, Qt::KeyboardModifiers) { note("KeyUp")(s); });
    c->SetOnMouseDown([&](QObject *s, Qt::MouseButton, Qt::KeyboardModifiers, int, int) { note("MouseDown")(s); });
    c->SetOnMouseMove([&](QObject *s, Qt::KeyboardModifiers, int, int) { note("MouseMove")(s); });
    c->SetOnMouseUp([&](QObject *s, Qt::MouseButton, Qt::KeyboardModifiers, int, int) { note("MouseUp")(s); });
    c->SetOnDragOver([&](QObject *s, QObject *, int, int, TDragState, bool &) { note("DragOver")(s); });
    c->SetOnDragDrop([&](QObject *s, QObject *, int, int) { note("DragDrop")(s); });

    auto *other = this->f.addOtherEdit();
    other->setFocus();
    this->control()->SetFocus();
    other->setFocus();
    QTest::keyClick(this->f.edit(), Qt::Key_A);
    QTest::mouseClick(this->f.edit(), Qt::LeftButton);
    QTest::mouseDClick(this->f.edit(), Qt::LeftButton);
    QTest::mouseMove(this->f.edit(), QPoint(5, 5));
    QMimeData mime;
    mime.setText(QStringLiteral("x"));
    QDragEnterEvent enter(QPoint(4, 4), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(this->f.edit(), &enter);
    QDropEvent drop(QPointF(4, 4), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(this->f.edit(), &drop);

    for (const char *name : {"Change", "Click", "DblClick", "Enter", "Exit", "KeyDown", "KeyPress", "KeyUp",
                             "MouseDown", "MouseUp", "DragOver", "DragDrop"})
        EXPECT_THAT(raised, testing::Contains(std::string(name)));
    EXPECT_EQ(c->GetText(), QStringLiteral("a")) << "the handled drop inserts nothing";
}

TYPED_TEST(EditButtonBehaviourTest, DraggingTheSelectionRaisesStartAndEndDrag)
{
    // On a windowing system the drag loop waits for a real pointer; only the
    // offscreen platform lets a synthetic drag finish.
    if (QGuiApplication::platformName() != "offscreen")
        GTEST_SKIP() << "a synthetic drag needs the offscreen platform";
    std::vector<std::string> raised;
    QObject *edit = this->f.edit();
    this->control()->SetOnStartDrag([&](QObject *sender) {
        EXPECT_EQ(sender, edit);
        raised.push_back("StartDrag");
    });
    this->control()->SetOnEndDrag([&](QObject *sender, QObject *target, int, int) {
        EXPECT_EQ(sender, edit);
        EXPECT_EQ(target, nullptr) << "dropped nowhere";
        raised.push_back("EndDrag");
    });
    this->control()->SetText(QStringLiteral("hello world"));
    this->f.edit()->setDragEnabled(true);
    this->f.edit()->selectAll();
    QTest::mousePress(this->f.edit(), Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(this->f.edit(), QPoint(10 + 4 * QApplication::startDragDistance(), 10));
    QTest::mouseRelease(this->f.edit(), Qt::LeftButton, {}, QPoint(10 + 4 * QApplication::startDragDistance(), 10));
    EXPECT_EQ(raised, (std::vector<std::string>{"StartDrag", "EndDrag"}));
}

TYPED_TEST(EditButtonBehaviourTest, KeyHandlersCanSwallowOrReplaceKeys)
{
    auto *c = this->control();
    c->SetOnKeyPress([](QObject *, QChar &key) {
        if (key == QLatin1Char('x'))
            key = QChar();
        else if (key == QLatin1Char('a'))
            key = QLatin1Char('b');
    });
    c->SetOnKeyDown([](QObject *, int &key, Qt::KeyboardModifiers) {
        if (key == Qt::Key_Backspace)
            key = 0;
    });
    QTest::keyClicks(this->f.edit(), QStringLiteral("xaz"));
    QTest::keyClick(this->f.edit(), Qt::Key_Backspace);
    EXPECT_EQ(c->GetText(), QStringLiteral("bz"));
}

TYPED_TEST(EditButtonBehaviourTest, HandlerWrittenBeforeOrAfterIsRaised)
{
    int changes = 0;
    this->control()->SetOnChange([&](QObject *) { ++changes; });
    this->control()->SetText(QStringLiteral("one"));
    this->control()->SetOnChange(nullptr);
    this->control()->SetText(QStringLiteral("two"));
    EXPECT_EQ(changes, 1);
}

TYPED_TEST(EditButtonBehaviourTest, FailingHandlerDoesNotEscapeTheEventLoop)
{
    this->control()->SetOnButtonClick([](QObject *) { throw std::runtime_error("handler failed"); });
    QTest::mouseClick(this->f.button(), Qt::LeftButton);
    this->altDown();
    SUCCEED();
}

// A form built in Qt Designer stores these settings by name and sets them
// through the meta-object, enumerations by their names.
TYPED_TEST(EditButtonBehaviourTest, StoredSettingsCanBeSetByNameAsAFormDoes)
{
    struct Case {
        const char *property;
        QVariant value;
        std::function<bool(TCustomEditButton &)> holds;
    };
    const Case cases[] = {
        {"BorderStyle", QStringLiteral("bsSingle"), [](auto &c) { return c.GetBorderStyle() == ::bsSingle; }},
        {"CharCase", QStringLiteral("ecUpperCase"), [](auto &c) { return c.GetCharCase() == ::ecUpperCase; }},
        {"PasswordChar", QVariant::fromValue(QChar(u'*')), [](auto &c) { return c.GetPasswordChar() == u'*'; }},
        {"FrameEnabled", true, [](auto &c) { return c.GetFrame()->GetEnabled(); }},
        {"FrameFocusBorders", QStringLiteral("TopBorder"),
         [](auto &c) { return c.GetFrame()->GetFocusBorders() == 2u; }},
        {"FrameNonFocusBorders", QStringLiteral("LeftBorder|BottomBorder"),
         [](auto &c) { return c.GetFrame()->GetNonFocusBorders() == 9u; }},
        {"FrameFocusStyle", QStringLiteral("efsFrameFlat"),
         [](auto &c) { return c.GetFrame()->GetFocusStyle() == dbcontrols::efsFrameFlat; }},
        {"FrameNonFocusStyle", QStringLiteral("efsFrameSunken"),
         [](auto &c) { return c.GetFrame()->GetNonFocusStyle() == dbcontrols::efsFrameSunken; }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.property);
        const QMetaObject *meta = this->control()->metaObject();
        const int index = meta->indexOfProperty(c.property);
        ASSERT_GE(index, 0);
        EXPECT_TRUE(meta->property(index).isDesignable());
        EXPECT_TRUE(meta->property(index).isStored());
        ASSERT_TRUE(this->control()->setProperty(c.property, c.value));
        EXPECT_TRUE(c.holds(*this->control()));
    }
}

TEST(EditButtonSettingsTest, EditSettingsReachTheInnerEdit)
{
    FormWith<TEditButton> f;
    auto *c = f.control;
    c->SetMaxLength(4);
    c->SetText(QStringLiteral("abcdef"));
    EXPECT_EQ(c->GetText(), QStringLiteral("abcd"));
    c->SetMaxLength(0);
    c->SetText(QStringLiteral("abcdef"));
    EXPECT_EQ(c->GetText(), QStringLiteral("abcdef"));

    c->SetCharCase(ecUpperCase);
    EXPECT_EQ(c->GetText(), QStringLiteral("ABCDEF"));
    f.edit()->end(false);
    QTest::keyClicks(f.edit(), QStringLiteral("gh"));
    EXPECT_EQ(c->GetText(), QStringLiteral("ABCDEFGH"));

    // Without tab stop a click still focuses the edit.
    c->SetTabStop(false);
    EXPECT_EQ(f.edit()->focusPolicy(), Qt::ClickFocus);
}

TEST(EditButtonSettingsTest, SelectionStaysWhenHideSelectionIsOff)
{
    for (bool hide : {true, false}) {
        SCOPED_TRACE(hide);
        FormWith<TEditButton> f;
        auto *other = f.addOtherEdit();
        f.control->SetHideSelection(hide);
        f.control->SetText(QStringLiteral("hello"));
        f.control->SetFocus();
        f.edit()->setSelection(1, 3);
        other->setFocus();
        EXPECT_EQ(f.edit()->hasSelectedText(), !hide);
    }
}

struct MissingCase {
    const char *name;
    unsigned failing;
};

TEST(EditButtonMissingPartTest, ControlWorksWithoutTheFailedParts)
{
    const MissingCase cases[] = {
        {"NoEdit", TestEditButton::ptInnerEdit},
        {"NoButton", TestEditButton::ptButton},
        {"NoFrame", TestEditButton::ptFrame},
        {"Nothing", TestEditButton::ptInnerEdit | TestEditButton::ptButton | TestEditButton::ptFrame},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QWidget form;
        auto *control = new TestEditButton(&form, c.failing);
        form.show();
        const bool hasEdit = !(c.failing & TestEditButton::ptInnerEdit);
        const bool hasButton = !(c.failing & TestEditButton::ptButton);
        EXPECT_EQ(control->InnerEdit() != nullptr, hasEdit);
        EXPECT_EQ(control->Button() != nullptr, hasButton);
        EXPECT_EQ(control->GetFrame() != nullptr, !(c.failing & TestEditButton::ptFrame));

        control->SetText(QStringLiteral("abc"));
        control->SetMaxLength(2);
        control->SetHint(QStringLiteral("hint"));
        control->SetColor(Qt::red);
        control->SetEnabled(true);
        control->SetReadOnly(false);
        control->SetButtonEnabled(true);
        control->SetButtonVisible(false);
        control->SetAutoSelect(true);
        control->SetTabStop(true);
        control->resize(120, 40);
        control->EditButtonOnClick(control);
        (void)control->grab();

        EXPECT_EQ(control->GetText(), hasEdit ? QStringLiteral("ab") : QString());
        EXPECT_EQ(control->GetMaxLength(), hasEdit ? 2 : 0);
        EXPECT_EQ(control->GetHint(), hasEdit ? QStringLiteral("hint") : QString());
        EXPECT_EQ(control->GetEnabled(), hasEdit);
        EXPECT_EQ(control->GetReadOnly(), !hasEdit);
        EXPECT_EQ(control->GetAutoSelect(), hasEdit);
        EXPECT_EQ(control->GetTabStop(), hasEdit);
        EXPECT_FALSE(control->GetButtonVisible());
        EXPECT_EQ(control->GetButtonEnabled(), hasButton);
        EXPECT_EQ(control->GetColor(), hasEdit ? QColor(Qt::red) : control->palette().color(QPalette::Window));
        if (!hasEdit) {
            EXPECT_EQ(control->size(), QSize(120, 40)) << "without edit nothing fixes the height";
        }
    }
}

} // namespace
