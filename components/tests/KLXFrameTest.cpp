#include "dravik/KLXFrame.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include <functional>

using namespace dbcontrols;
using namespace dravik;

namespace {

class PaintCounter : public QWidget {
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent *) override { ++paints; }
};

struct WriteCase {
    const char *name;
    std::function<void(TKLXEditFrame &)> write;
};

TEST(KLXFrameTest, EveryWriteRepaintsTheOwner)
{
    const WriteCase cases[] = {
        {"Enabled", [](TKLXEditFrame &f) { f.SetEnabled(true); }},
        {"EnabledUnchanged", [](TKLXEditFrame &f) { f.SetEnabled(f.GetEnabled()); }},
        {"FocusBorders", [](TKLXEditFrame &f) { f.SetFocusBorders(8); }},
        {"NonFocusBorders", [](TKLXEditFrame &f) { f.SetNonFocusBorders(0); }},
        {"FocusStyle", [](TKLXEditFrame &f) { f.SetFocusStyle(efsFrameFlat); }},
        {"NonFocusStyle", [](TKLXEditFrame &f) { f.SetNonFocusStyle(efsFrameFlat); }},
    };
    PaintCounter owner;
    owner.resize(50, 20);
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    TKLXEditFrame frame(&owner);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QApplication::processEvents();
        owner.paints = 0;
        c.write(frame);
        QApplication::processEvents();
        EXPECT_GT(owner.paints, 0);
    }
}

TEST(KLXFrameTest, OnlyAWidgetOwnerIsTheOwnerControl)
{
    QObject plainOwner;
    TKLXEditFrame loose(&plainOwner);
    EXPECT_EQ(loose.OwnerControl(), nullptr);
    loose.SetEnabled(true); // nothing to repaint
    EXPECT_TRUE(loose.GetEnabled());

    auto owner = std::make_unique<QWidget>();
    TKLXEditFrame frame(owner.get());
    EXPECT_EQ(frame.OwnerControl(), owner.get());
    owner.reset();
    EXPECT_EQ(frame.OwnerControl(), nullptr);
    frame.SetNonFocusBorders(3);
}

TEST(KLXFrameTest, BorderSetsKeepOnlyTheFourBorders)
{
    TKLXEditFrame frame(nullptr);
    frame.SetNonFocusBorders(0xFF);
    frame.SetFocusBorders(0x18);
    EXPECT_EQ(frame.GetNonFocusBorders(), 0x0Fu);
    EXPECT_EQ(frame.GetFocusBorders(), 0x08u);
}

} // namespace
