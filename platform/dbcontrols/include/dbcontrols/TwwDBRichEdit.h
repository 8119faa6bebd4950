#pragma once

#include "dbcontrols/TBorderStyle.h"
#include "dbcontrols/TwwEditFrame.h"

#include <QTextEdit>

namespace dbcontrols {

// A rich-text edit of the package with its frame settings. Colour, font
// colour, read-only state, tab stop and enabled state are the widget's own
// (palette roles Base and Text, QTextEdit's read-only flag, the tab focus
// bit of the focus policy, QWidget's enabled flag).
class TwwDBRichEdit : public QTextEdit {
    Q_OBJECT
public:
    explicit TwwDBRichEdit(QWidget *parent = nullptr);

    TwwEditFrame &GetFrame() { return FFrame; }
    const TwwEditFrame &GetFrame() const { return FFrame; }

    // bsSingle shows the widget's frame, bsNone hides it.
    TBorderStyle GetBorderStyle() const;
    void SetBorderStyle(TBorderStyle value);

private:
    TwwEditFrame FFrame;
};

} // namespace dbcontrols
