// The read-only, editable and frame looks of the edit-with-button controls
// and of the data-aware controls.
#include "utils/Utils.h"

#include "dbcontrols/TwwDBComboBox.h"
#include "dbcontrols/TwwDBDateTimePicker.h"
#include "dbcontrols/TwwDBEdit.h"
#include "dbcontrols/TwwDBLookupCombo.h"
#include "dbcontrols/TwwDBRichEdit.h"
#include "dravik/DBEditButton.h"
#include "dravik/EditButton.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>

#include <gtest/gtest.h>

#include <functional>
#include <optional>

namespace {

using namespace dravik;
using dbcontrols::TwwEditFrame;
using Role = QPalette::ColorRole;

constexpr Role Face = QPalette::Button;
constexpr Role Shadow = QPalette::Dark;
constexpr Role HighlightText = QPalette::Light;
constexpr Role FaceText = QPalette::ButtonText;
constexpr Role Window = QPalette::Base;
constexpr Role WindowText = QPalette::Text;

constexpr int Flat = dbcontrols::efsFrameFlat;
constexpr int Box = dbcontrols::efsFrameBox;
constexpr unsigned Bottom = 8;
constexpr unsigned AllBorders = 0x0F;
// A font colour no system role has, to see whether it was changed.
const QColor Untouched(1, 2, 3);

enum class Kind { EditButton, DBEditButton, DBEdit, RichEdit, DateTimePicker, LookupCombo, ComboBox };

struct KindInfo {
    const char *name;
    QWidget *(*make)(QWidget *parent);
};

template <class T> QWidget *makeOne(QWidget *parent)
{
    return new T(parent);
}

// In the order of Kind.
const KindInfo kKinds[] = {
    {"TEditButton", makeOne<TEditButton>},
    {"TwwDBEditButton", makeOne<TwwDBEditButton>},
    {"TwwDBEdit", makeOne<dbcontrols::TwwDBEdit>},
    {"TwwDBRichEdit", makeOne<dbcontrols::TwwDBRichEdit>},
    {"TwwDBDateTimePicker", makeOne<dbcontrols::TwwDBDateTimePicker>},
    {"TwwDBLookupCombo", makeOne<dbcontrols::TwwDBLookupCombo>},
    {"TwwDBComboBox", makeOne<dbcontrols::TwwDBComboBox>},
};

const char *kindName(Kind kind)
{
    return kKinds[static_cast<int>(kind)].name;
}

QWidget *make(Kind kind, QWidget *parent)
{
    return kKinds[static_cast<int>(kind)].make(parent);
}

// What the tests read and preset on any of the controls, each through the
// control's own properties.
struct Probe {
    explicit Probe(QWidget *w) : w(w) {}

    TCustomEditButton *editButton() const { return qobject_cast<TCustomEditButton *>(w); }
    dbcontrols::TwwDBCustomCombo *combo() const { return qobject_cast<dbcontrols::TwwDBCustomCombo *>(w); }
    dbcontrols::TwwDBLookupCombo *lookup() const { return qobject_cast<dbcontrols::TwwDBLookupCombo *>(w); }

    TwwEditFrame &frame() const
    {
        if (auto *b = editButton())
            return *b->GetFrame();
        if (auto *e = qobject_cast<dbcontrols::TwwDBEdit *>(w))
            return e->GetFrame();
        if (auto *r = qobject_cast<dbcontrols::TwwDBRichEdit *>(w))
            return r->GetFrame();
        if (auto *d = qobject_cast<dbcontrols::TwwDBDateTimePicker *>(w))
            return d->GetFrame();
        return combo()->GetFrame();
    }
    QColor colour() const { return editButton() ? editButton()->GetColor() : w->palette().color(QPalette::Base); }
    // The edit-with-button controls show their font in the inner edit.
    QColor font() const
    {
        const QWidget *shown = editButton() ? editButton()->InnerLineEdit() : w;
        return shown->palette().color(QPalette::Text);
    }
    bool readOnly() const
    {
        if (auto *b = editButton())
            return b->GetReadOnly();
        if (auto *e = qobject_cast<dbcontrols::TwwDBEdit *>(w))
            return e->GetReadOnly();
        if (auto *r = qobject_cast<QTextEdit *>(w))
            return r->isReadOnly();
        if (auto *d = qobject_cast<QAbstractSpinBox *>(w))
            return d->isReadOnly();
        return combo()->GetReadOnly();
    }
    bool tabStop() const
    {
        if (auto *b = editButton())
            return b->GetTabStop();
        return (w->focusPolicy() & Qt::TabFocus) != 0;
    }
    bool enabled() const { return editButton() ? editButton()->GetEnabled() : w->isEnabled(); }
    // nullopt for the edit-with-button controls, which have no border style.
    std::optional<dbcontrols::TBorderStyle> border() const
    {
        if (auto *e = qobject_cast<dbcontrols::TwwDBEdit *>(w))
            return e->GetBorderStyle();
        if (auto *r = qobject_cast<dbcontrols::TwwDBRichEdit *>(w))
            return r->GetBorderStyle();
        if (auto *d = qobject_cast<dbcontrols::TwwDBDateTimePicker *>(w))
            return d->GetBorderStyle();
        if (auto *c = combo())
            return c->GetBorderStyle();
        return std::nullopt;
    }
    void removeBorder() const
    {
        if (auto *e = qobject_cast<dbcontrols::TwwDBEdit *>(w))
            e->SetBorderStyle(dbcontrols::bsNone);
        else if (auto *r = qobject_cast<dbcontrols::TwwDBRichEdit *>(w))
            r->SetBorderStyle(dbcontrols::bsNone);
        else if (auto *d = qobject_cast<dbcontrols::TwwDBDateTimePicker *>(w))
            d->SetBorderStyle(dbcontrols::bsNone);
        else if (auto *c = combo())
            c->SetBorderStyle(dbcontrols::bsNone);
    }

    // Puts the control into the state opposite to the look about to be
    // applied, so that every change shows.
    void preset(bool frameEnabled, bool readOnlyState) const
    {
        TwwEditFrame &f = frame();
        f.SetEnabled(frameEnabled);
        f.SetNonFocusStyle(dbcontrols::efsFrameBox);
        f.SetFocusStyle(dbcontrols::efsFrameBox);
        f.SetNonFocusBorders(AllBorders);
        f.SetFocusBorders(AllBorders);
        QPalette palette = w->palette();
        palette.setColor(QPalette::Text, Untouched);
        w->setPalette(palette);
        const bool on = !readOnlyState;
        if (auto *b = editButton()) {
            b->SetReadOnly(readOnlyState);
            b->SetTabStop(on);
            b->SetEnabled(on);
            return;
        }
        w->setFocusPolicy(on ? Qt::StrongFocus : Qt::ClickFocus);
        w->setEnabled(on);
        if (auto *e = qobject_cast<dbcontrols::TwwDBEdit *>(w))
            e->SetReadOnly(readOnlyState);
        else if (auto *r = qobject_cast<QTextEdit *>(w))
            r->setReadOnly(readOnlyState);
        else if (auto *d = qobject_cast<QAbstractSpinBox *>(w))
            d->setReadOnly(readOnlyState);
        else
            combo()->SetReadOnly(readOnlyState);
        if (auto *l = lookup()) {
            l->SetShowButton(on);
            l->SetAutoDropDown(on);
            QPalette inner = l->InnerEdit()->palette();
            inner.setColor(QPalette::Text, Untouched);
            l->InnerEdit()->setPalette(inner);
        } else if (auto *c = qobject_cast<dbcontrols::TwwDBComboBox *>(w)) {
            c->EnableDropDown(on);
        }
    }

    QWidget *w;
};

QColor system(const QWidget *w, Role role)
{
    return QApplication::palette(w).color(role);
}

// Every role the looks use gets a colour of its own, so that a wrong role
// shows.
class FramedControls : public testing::Test {
protected:
    void SetUp() override
    {
        saved = QApplication::palette();
        QPalette palette = saved;
        const std::pair<Role, QColor> colours[] = {
            {Face, QColor(200, 200, 190)},
            {Shadow, QColor(120, 120, 110)},
            {HighlightText, QColor(250, 250, 240)},
            {FaceText, QColor(10, 10, 80)},
            {Window, QColor(255, 255, 255)},
            {WindowText, QColor(0, 0, 0)},
            {QPalette::Window, QColor(210, 205, 200)},
        };
        for (const auto &[role, colour] : colours)
            palette.setColor(role, colour);
        QApplication::setPalette(palette);
    }
    void TearDown() override { QApplication::setPalette(saved); }

    QPalette saved;
};

struct LookRow {
    Kind kind;
    bool frameEnabled;
    bool editable;
    bool classicLook; // updater copy only
    Role colour;
    std::optional<Role> font; // nullopt: the font colour stays
    int nonFocusStyle, focusStyle;
    unsigned nonFocusBorders, focusBorders;
    // nullopt where the look leaves the property alone.
    std::optional<bool> readOnly, enabled;
    // The lookup combo's show-button and further switch, the combo box's
    // drop-down switch.
    std::optional<bool> showButton, further;
    std::optional<Role> innerFont; // the lookup combo's inner edit
};

const LookRow kLookRows[] = {
    // Edit-with-button controls: colour and the non-focus frame only.
    {Kind::EditButton, true, false, false, Shadow, HighlightText, Flat, Box, 0, AllBorders, true, {}, {}, {}, {}},
    {Kind::EditButton, false, false, false, Face, {}, Box, Box, AllBorders, AllBorders, true, {}, {}, {}, {}},
    {Kind::EditButton, true, true, false, Face, FaceText, Flat, Box, Bottom, AllBorders, false, {}, {}, {}, {}},
    {Kind::EditButton, false, true, false, Window, {}, Box, Box, AllBorders, AllBorders, false, {}, {}, {}, {}},
    {Kind::DBEditButton, true, false, false, Shadow, HighlightText, Flat, Box, 0, AllBorders, true, {}, {}, {}, {}},
    {Kind::DBEditButton, false, false, false, Face, {}, Box, Box, AllBorders, AllBorders, true, {}, {}, {}, {}},
    {Kind::DBEditButton, true, true, false, Face, FaceText, Flat, Box, Bottom, AllBorders, false, {}, {}, {}, {}},
    {Kind::DBEditButton, false, true, false, Window, {}, Box, Box, AllBorders, AllBorders, false, {}, {}, {}, {}},
    // The data-aware edit, with and without the classic look.
    {Kind::DBEdit, true, false, false, Shadow, HighlightText, Flat, Flat, 0, 0, true, {}, {}, {}, {}},
    {Kind::DBEdit, false, false, false, Face, {}, Box, Box, AllBorders, AllBorders, true, {}, {}, {}, {}},
    {Kind::DBEdit, true, true, false, Face, FaceText, Flat, Flat, Bottom, Bottom, false, {}, {}, {}, {}},
    {Kind::DBEdit, true, true, true, Window, WindowText, Flat, Flat, Bottom, Bottom, false, {}, {}, {}, {}},
    {Kind::DBEdit, false, true, false, Window, {}, Box, Box, AllBorders, AllBorders, false, {}, {}, {}, {}},
    // The rich edit keeps its focus borders when made editable.
    {Kind::RichEdit, true, false, false, Shadow, HighlightText, Flat, Flat, 0, 0, true, {}, {}, {}, {}},
    {Kind::RichEdit, false, false, false, Face, {}, Box, Box, AllBorders, AllBorders, true, {}, {}, {}, {}},
    {Kind::RichEdit, true, true, false, Window, WindowText, Flat, Flat, 0, AllBorders, false, {}, {}, {}, {}},
    {Kind::RichEdit, true, true, true, Window, WindowText, Flat, Flat, 0, AllBorders, false, {}, {}, {}, {}},
    {Kind::RichEdit, false, true, false, Window, {}, Box, Box, AllBorders, AllBorders, false, {}, {}, {}, {}},
    // The date-time picker is disabled rather than read-only.
    {Kind::DateTimePicker, true, false, false, Shadow, HighlightText, Flat, Flat, 0, 0, {}, false, {}, {}, {}},
    {Kind::DateTimePicker, false, false, false, Face, {}, Box, Box, AllBorders, AllBorders, {}, false, {}, {}, {}},
    {Kind::DateTimePicker, true, true, false, Face, FaceText, Flat, Flat, Bottom, Bottom, {}, true, {}, {}, {}},
    {Kind::DateTimePicker, true, true, true, Window, WindowText, Flat, Flat, Bottom, Bottom, {}, true, {}, {}, {}},
    {Kind::DateTimePicker, false, true, false, Window, {}, Box, Box, AllBorders, AllBorders, {}, true, {}, {}, {}},
    // The lookup combo stays enabled and ignores the classic look.
    {Kind::LookupCombo, true, false, false, Shadow, HighlightText, Flat, Flat, 0, 0, true, true, false, false,
     WindowText},
    {Kind::LookupCombo, false, false, false, Face, {}, Box, Box, AllBorders, AllBorders, true, true, false, false, {}},
    {Kind::LookupCombo, true, true, false, Face, FaceText, Flat, Flat, Bottom, Bottom, false, true, true, true,
     WindowText},
    {Kind::LookupCombo, true, true, true, Face, FaceText, Flat, Flat, Bottom, Bottom, false, true, true, true,
     WindowText},
    {Kind::LookupCombo, false, true, false, Window, {}, Box, Box, AllBorders, AllBorders, false, true, true, true, {}},
    // The combo box leaves its enabled state alone.
    {Kind::ComboBox, true, false, false, Shadow, HighlightText, Flat, Flat, 0, 0, true, {}, {}, false, {}},
    {Kind::ComboBox, false, false, false, Face, {}, Box, Box, AllBorders, AllBorders, true, {}, {}, false, {}},
    {Kind::ComboBox, true, true, false, Face, FaceText, Flat, Flat, Bottom, Bottom, false, {}, {}, true, {}},
    {Kind::ComboBox, true, true, true, Window, WindowText, Flat, Flat, Bottom, Bottom, false, {}, {}, true, {}},
    {Kind::ComboBox, false, true, false, Window, {}, Box, Box, AllBorders, AllBorders, false, {}, {}, true, {}},
};

TEST_F(FramedControls, ReadOnlyAndEditableLookPerClass)
{
    for (const LookRow &row : kLookRows) {
#ifndef GV_UTILS_UPDATER_COPY
        // The registration program's copy has no classic look.
        if (row.classicLook)
            continue;
#endif
        SCOPED_TRACE(std::string(kindName(row.kind)) + (row.editable ? " editable" : " read-only") +
                     (row.frameEnabled ? ", frame enabled" : ", frame disabled") +
                     (row.classicLook ? ", classic look" : ""));
        TclsUtils utils;
#ifdef GV_UTILS_UPDATER_COPY
        utils.FClassicLook = row.classicLook;
#endif
        QWidget form;
        const Probe probe(make(row.kind, &form));
        probe.preset(row.frameEnabled, row.editable);
        const bool wasEnabled = probe.enabled();
        if (row.editable)
            utils.MakeEditable(probe.w);
        else
            utils.MakeReadOnly(probe.w);

        EXPECT_EQ(probe.colour(), system(probe.w, row.colour));
        EXPECT_EQ(probe.font(), row.font ? system(probe.w, *row.font) : Untouched);
        const TwwEditFrame &frame = probe.frame();
        EXPECT_EQ(frame.GetEnabled(), row.frameEnabled);
        EXPECT_EQ(frame.GetNonFocusStyle(), row.nonFocusStyle);
        EXPECT_EQ(frame.GetFocusStyle(), row.focusStyle);
        EXPECT_EQ(frame.GetNonFocusBorders(), row.nonFocusBorders);
        EXPECT_EQ(frame.GetFocusBorders(), row.focusBorders);
        EXPECT_EQ(probe.tabStop(), row.editable);
        // The preset read-only state is the opposite of the look's.
        EXPECT_EQ(probe.readOnly(), row.readOnly.value_or(row.editable));
        EXPECT_EQ(probe.enabled(), row.enabled.value_or(wasEnabled));
        if (auto *lookup = probe.lookup()) {
            EXPECT_EQ(lookup->GetShowButton(), *row.showButton);
            EXPECT_EQ(lookup->GetAutoDropDown(), *row.further);
            EXPECT_EQ(lookup->InnerEdit()->palette().color(QPalette::Text),
                      row.innerFont ? system(probe.w, *row.innerFont) : Untouched);
        }
        if (auto *combo = qobject_cast<dbcontrols::TwwDBComboBox *>(probe.w)) {
            EXPECT_EQ(combo->GetDropDownEnabled(), *row.further);
        }
    }
}

TEST_F(FramedControls, EditButtonWithoutFrameTakesTheFramelessLook)
{
    class FramelessEditButton : public TEditButton {
    public:
        explicit FramelessEditButton(QWidget *owner) : TEditButton(owner, ptFrame) {}
    };
    TclsUtils utils;
    QWidget form;
    FramelessEditButton control(&form);
    ASSERT_EQ(control.GetFrame(), nullptr);
    utils.MakeReadOnly(&control);
    EXPECT_EQ(control.GetColor(), system(&control, Face));
    EXPECT_TRUE(control.GetReadOnly());
    utils.MakeEditable(&control);
    EXPECT_EQ(control.GetColor(), system(&control, Window));
    utils.SetFrameStyle(&control, false);
    utils.SetEditFocusColors(&control, true);
    EXPECT_EQ(control.GetColor(), system(&control, Window));
}

struct FrameStyleRow {
    Kind kind;
    bool classic;
    bool classicLook;
    bool frameEnabled;
    // Styles as preset (Box) where the row leaves them alone.
    int nonFocusStyle, focusStyle;
    std::optional<dbcontrols::TBorderStyle> border; // nullopt: the control has none
};

TEST_F(FramedControls, SetFrameStyleSwitchesTheFramesOnAndOff)
{
    using dbcontrols::bsNone;
    using dbcontrols::bsSingle;
    const FrameStyleRow rows[] = {
        {Kind::EditButton, false, false, true, Flat, Box, {}},
        {Kind::EditButton, true, false, false, Box, Box, {}},
        {Kind::DBEditButton, false, false, true, Flat, Box, {}},
        {Kind::DBEditButton, true, false, false, Box, Box, {}},
        {Kind::DBEdit, false, false, true, Flat, Flat, bsNone},
        {Kind::DBEdit, true, false, false, Box, Box, bsSingle},
        {Kind::DBEdit, false, true, true, Flat, Flat, bsNone},
        {Kind::ComboBox, false, false, true, Flat, Flat, bsNone},
        {Kind::ComboBox, true, false, false, Box, Box, bsSingle},
        {Kind::DateTimePicker, false, false, true, Flat, Flat, bsNone},
        {Kind::DateTimePicker, true, false, false, Box, Box, bsSingle},
        {Kind::LookupCombo, false, false, true, Flat, Flat, bsNone},
        {Kind::LookupCombo, true, false, false, Box, Box, bsSingle},
        {Kind::RichEdit, false, false, true, Flat, Flat, bsNone},
        {Kind::RichEdit, true, false, false, Box, Box, bsSingle},
        // Rich edits keep their single border in the classic look.
        {Kind::RichEdit, false, true, false, Box, Box, bsSingle},
    };
    for (const FrameStyleRow &row : rows) {
#ifndef GV_UTILS_UPDATER_COPY
        if (row.classicLook)
            continue;
#endif
        SCOPED_TRACE(std::string(kindName(row.kind)) + (row.classic ? " classic" : " frames on") +
                     (row.classicLook ? ", classic look" : ""));
        TclsUtils utils;
#ifdef GV_UTILS_UPDATER_COPY
        utils.FClassicLook = row.classicLook;
#endif
        QWidget form;
        const Probe probe(make(row.kind, &form));
        probe.preset(!row.frameEnabled, false);
        // Start without a border, so that the single border shows.
        probe.removeBorder();

        utils.SetFrameStyle(probe.w, row.classic);
        const TwwEditFrame &frame = probe.frame();
        EXPECT_EQ(frame.GetEnabled(), row.frameEnabled);
        EXPECT_EQ(frame.GetNonFocusStyle(), row.nonFocusStyle);
        EXPECT_EQ(frame.GetFocusStyle(), row.focusStyle);
        EXPECT_EQ(probe.border(), row.border);
    }
}

TEST_F(FramedControls, FlattenFramesReachesOwnedControlsButNotTheirParts)
{
    TclsUtils utils;
    QWidget form;
    auto *panel = new QFrame(&form);
    auto *editButton = new TwwDBEditButton(panel);
    auto *edit = new dbcontrols::TwwDBEdit(&form);
    utils.FlattenFrames(&form);
    EXPECT_TRUE(editButton->GetFrame()->GetEnabled());
    EXPECT_TRUE(edit->GetFrame().GetEnabled());
    // The inner edit is the control's own part, drawn by the control.
    EXPECT_FALSE(editButton->InnerEdit()->GetFrame().GetEnabled());
}

TEST_F(FramedControls, EditFocusColoursOnlyForEditableFramedEdits)
{
    const struct {
        Kind kind;
        bool frameEnabled;
        bool readOnly;
        bool changes;
    } rows[] = {
        {Kind::DBEdit, true, false, true},         {Kind::DBEdit, false, false, false},
        {Kind::DBEdit, true, true, false},         {Kind::EditButton, true, false, true},
        {Kind::EditButton, true, true, false},     {Kind::DBEditButton, false, false, false},
        {Kind::ComboBox, true, false, true},       {Kind::LookupCombo, true, true, false},
        {Kind::DateTimePicker, true, false, true}, {Kind::RichEdit, true, false, true},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(std::string(kindName(row.kind)) + (row.frameEnabled ? " framed" : " unframed") +
                     (row.readOnly ? " read-only" : ""));
        TclsUtils utils;
        QWidget form;
        const Probe probe(make(row.kind, &form));
        probe.preset(row.frameEnabled, row.readOnly);
        const QColor before = probe.colour();
        utils.SetEditFocusColors(probe.w, true);
        EXPECT_EQ(probe.colour(), row.changes ? system(probe.w, Window) : before);
        EXPECT_EQ(probe.font(), row.changes ? system(probe.w, WindowText) : Untouched);
        utils.SetEditFocusColors(probe.w, false);
        EXPECT_EQ(probe.colour(), row.changes ? system(probe.w, Face) : before);
        EXPECT_EQ(probe.font(), row.changes ? system(probe.w, FaceText) : Untouched);
    }
}

TEST_F(FramedControls, MakeChildrenReachesEditButtonsInPanelsAndTabPages)
{
    TclsUtils utils;
    QWidget form;
    auto *outer = new QFrame(&form);
    auto *inner = new QWidget(outer);
    auto *nested = new TEditButton(inner);
    nested->GetFrame()->SetEnabled(true);
    auto *label = new QLabel("Supplier", inner);
    QPalette labelPalette = label->palette();
    labelPalette.setColor(QPalette::Text, Untouched);
    label->setPalette(labelPalette);
    auto *tabs = new QTabWidget(&form);
    auto *page = new QWidget;
    tabs->addTab(page, "Vehicle");
    auto *onPage = new TwwDBEditButton(page);
    auto *dataEdit = new dbcontrols::TwwDBEdit(page);

    utils.MakeChildrenReadOnly(&form);
    EXPECT_TRUE(nested->GetReadOnly());
    EXPECT_FALSE(nested->GetTabStop());
    EXPECT_EQ(nested->GetColor(), system(nested, Shadow));
    EXPECT_TRUE(onPage->GetReadOnly());
    EXPECT_EQ(onPage->GetColor(), system(onPage, Face));
    EXPECT_TRUE(dataEdit->GetReadOnly());
    EXPECT_EQ(label->palette().color(QPalette::Text), Untouched);
    EXPECT_TRUE(label->isEnabled());

    utils.MakeChildrenEditable(&form);
    EXPECT_FALSE(nested->GetReadOnly());
    EXPECT_TRUE(nested->GetTabStop());
    EXPECT_EQ(nested->GetColor(), system(nested, Face));
    EXPECT_EQ(nested->GetFrame()->GetNonFocusBorders(), Bottom);
    EXPECT_FALSE(onPage->GetReadOnly());
    EXPECT_EQ(onPage->GetColor(), system(onPage, Window));
    EXPECT_FALSE(dataEdit->GetReadOnly());
}

} // namespace
