#pragma once

#include "dbcontrols/TBorderStyle.h"
#include "dbcontrols/TwwEditFrame.h"

#include <QDateTimeEdit>

namespace dbcontrols {

// A date and time edit of the package with a drop-down calendar and its
// frame settings. Colour and font colour are the palette roles Base and
// Text; read-only, tab stop and enabled state are the widget's own.
class TwwDBDateTimePicker : public QDateTimeEdit {
    Q_OBJECT
public:
    explicit TwwDBDateTimePicker(QWidget *parent = nullptr);

    TwwEditFrame &GetFrame() { return FFrame; }
    const TwwEditFrame &GetFrame() const { return FFrame; }

    // bsSingle shows the widget's frame, bsNone hides it.
    TBorderStyle GetBorderStyle() const { return hasFrame() ? bsSingle : bsNone; }
    void SetBorderStyle(TBorderStyle value) { setFrame(value != bsNone); }

private:
    TwwEditFrame FFrame;
};

} // namespace dbcontrols
