#pragma once

#include "dravik/DravikExport.h"

#include "dbcontrols/TwwEditFrame.h"

#include <QPointer>
#include <QWidget>

namespace dravik {

// Frame settings of the edit-with-button controls. Every write repaints the
// owning control, whose painting draws the frame.
class DRAVIK_EXPORT TKLXEditFrame : public dbcontrols::TwwEditFrame {
public:
    // The owner becomes OwnerControl when it is a widget.
    explicit TKLXEditFrame(QObject *AOwner);

    QWidget *OwnerControl() const { return FOwnerControl; }

    void SetEnabled(bool value) override;
    void SetFocusBorders(dbcontrols::TwwEditFrameEnabledSet value) override;
    void SetNonFocusBorders(dbcontrols::TwwEditFrameEnabledSet value) override;
    void SetFocusStyle(dbcontrols::TwwEditFocusStyle value) override;
    void SetNonFocusStyle(dbcontrols::TwwEditFocusStyle value) override;

private:
    void InvalidateOwner();

    QPointer<QWidget> FOwnerControl;
};

} // namespace dravik
