#pragma once

#include <functional>

namespace dbcontrols {

// The four borders a frame can draw; a border set holds them as bits
// 0 to 3 (1 << border).
enum TwwEditFrameEnabledType { efLeftBorder = 0, efTopBorder = 1, efRightBorder = 2, efBottomBorder = 3 };

using TwwEditFrameEnabledSet = unsigned;

constexpr TwwEditFrameEnabledSet wwBorderBit(TwwEditFrameEnabledType border)
{
    return 1u << static_cast<unsigned>(border);
}
constexpr TwwEditFrameEnabledSet wwAllBorders = 0x0Fu;

// Look of a framed edit while it has or lacks the focus. The forms of the
// suite only ever use efsFrameFlat (5).
enum TwwEditFocusStyle {
    efsFrameBox = 0,
    efsFrameSunken = 1,
    efsFrameRaised = 2,
    efsFrameEtched = 3,
    efsFrameSingle = 4,
    efsFrameFlat = 5,
};

// Frame settings of a framed edit control. Every write that changes a
// value calls OnChange, so that the control carrying the frame can redraw.
class TwwEditFrame {
public:
    TwwEditFrame() = default;
    virtual ~TwwEditFrame() = default;
    TwwEditFrame(const TwwEditFrame &) = delete;
    TwwEditFrame &operator=(const TwwEditFrame &) = delete;

    bool GetEnabled() const { return FEnabled; }
    TwwEditFrameEnabledSet GetFocusBorders() const { return FFocusBorders; }
    TwwEditFrameEnabledSet GetNonFocusBorders() const { return FNonFocusBorders; }
    TwwEditFocusStyle GetFocusStyle() const { return FFocusStyle; }
    TwwEditFocusStyle GetNonFocusStyle() const { return FNonFocusStyle; }

    // Bits above the four borders are dropped.
    virtual void SetEnabled(bool value);
    virtual void SetFocusBorders(TwwEditFrameEnabledSet value);
    virtual void SetNonFocusBorders(TwwEditFrameEnabledSet value);
    virtual void SetFocusStyle(TwwEditFocusStyle value);
    virtual void SetNonFocusStyle(TwwEditFocusStyle value);

    // Copies the five settings of another frame.
    void Assign(const TwwEditFrame &source);

    std::function<void()> OnChange;

protected:
    void Changed();

    bool FEnabled = false;
    TwwEditFrameEnabledSet FFocusBorders = wwAllBorders;
    TwwEditFrameEnabledSet FNonFocusBorders = wwAllBorders;
    TwwEditFocusStyle FFocusStyle = efsFrameBox;
    TwwEditFocusStyle FNonFocusStyle = efsFrameBox;
};

} // namespace dbcontrols
