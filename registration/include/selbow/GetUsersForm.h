#pragma once

#include "selbow/UserObject.h"

#include <QDialog>
#include <QPixmap>

#include <stdexcept>

class QKeyEvent;
class QMouseEvent;
class QPainter;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class TclsUtils;

namespace selbow {

// How a grid cell is to be drawn.
struct TGridDrawState {
    bool Selected = false; // on the current row
    bool Focused = false;  // the current cell of the focused grid
    bool Fixed = false;    // the header row
};

// The picker of the HotSync users who carry Gearvane: a grid of every
// HotSync user with a check mark to set per user. Creating it reads the
// users; OkPressed tells whether the operator closed it with OK.
class TfrmGetUsers : public QDialog {
    Q_OBJECT

public:
    // Raises the Palm desktop controls' error when the users cannot be read.
    explicit TfrmGetUsers(TclsUtils &utils, QWidget *parent = nullptr);
    ~TfrmGetUsers() override;

    // The users, sorted by name without regard to case; grid row r (from 1)
    // shows entry r - 1.
    const TSortedNameList<TUserInfo> &Users() const { return FUsers; }

    bool OkPressed = false;
    QPixmap CheckedImage;
    QPixmap UncheckedImage;

    QPlainTextEdit *Memo3 = nullptr;
    QTableWidget *grdUsers = nullptr;
    QPushButton *btnOK = nullptr;
    QPushButton *btnCancel = nullptr;

    // Cell drawing of the grid; row 0 is the header, rect the cell's area.
    void grdUsersDrawCell(QPainter &canvas, int col, int row, const QRect &rect, TGridDrawState state);

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormCreate();
    void FormShow();
    void btnOKClick();
    void btnCancelClick();
    void grdUsersMouseUp(QMouseEvent *event);
    void grdUsersKeyPress(QKeyEvent *event);

    void LoadUsers();
    void SetupGrid();
    void ClearGrid();
    void FillGrid();
    void RefreshRow(int row);
    void FitLastColumn();
    void UpdateOkButton();
    void ToggleRow(int row);
    TUserInfo *RowEntry(int row) const;
    int ClientWidth() const;

    TclsUtils &FUtils;
    TSortedNameList<TUserInfo> FUsers;
    int FGlyphWidth = 0;
    int FGlyphHeight = 0;
};

// Asks the operator which HotSync users carry Gearvane and returns them,
// sorted by name: with no user an empty list, with one user that user
// without asking, with more the users marked in the picker (none when it
// was not closed with OK).
//
// Without a display (`hasDisplay` false) nobody could answer the picker:
// with more than one user NoDisplayError is raised instead of showing it.
TUserList PickUsers(TclsUtils &utils, bool hasDisplay = true);

// The picker would be needed, but there is no display to show it on.
class NoDisplayError : public std::runtime_error {
public:
    NoDisplayError();
};

} // namespace selbow
