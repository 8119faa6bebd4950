#pragma once

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace conduit {

// "Change HotSync Action": the user picks what the next HotSync does with
// the conduit's data, and whether that becomes the default.
class TfrmConfigure : public QDialog {
    Q_OBJECT

public:
    explicit TfrmConfigure(QWidget *parent = nullptr);

    // Sync type code of the checked radio button: 0, 3, 2, else 6.
    int GetAction() const;
    // 0 checks "&Synchronize the files", 3 "&Desktop overwrites handheld",
    // 2 "H&andheld overwrites Desktop", any other code "Do &nothing".
    void SetAction(int code);
    bool GetSetAsDefault() const;
    bool okPressed() const { return FOkPressed; }

    QGroupBox *gbxAction;
    QLabel *imgMain;
    QRadioButton *rbSynchronize;
    QRadioButton *rbPCtoHH;
    QRadioButton *rbHHtoPC;
    QRadioButton *rbNothing;
    QPushButton *btnOK;
    QPushButton *btnCancel;
    QPushButton *btnHelp;
    QCheckBox *chkDefault;

protected:
    bool event(QEvent *e) override;

private:
    void FormActivate();
    void btnOKClick();
    void btnCancelClick();

    bool FOkPressed = false;
};

// The picture beside the radio buttons: a handheld and a desktop with the
// arrows of a HotSync between them.
QPixmap conduitPicture();

} // namespace conduit
