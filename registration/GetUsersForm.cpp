#include "selbow/GetUsersForm.h"

#include "formfont/FormFont.h"

#include "palmcontrols/ControlFactory.h"
#include "palmcontrols/TUserData.h"
#include "palmcontrols/TUserManager.h"
#include "utils/Utils.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableWidget>

#include <cmath>

namespace selbow {

namespace {

// Qt counts a grid line into the size of the row or column before it; the
// sizes below are those of the cells themselves.
constexpr int GridLineWidth = 1;

const char *const MemoLines[] = {
    "There are multiple Palm users on this computer.  Select each user you want to ",
    "install Gearvane to by making sure a check mark appears appears next to ",
    "the appropriate user's name.",
};

QRect cellRect(int left, int top, int right, int bottom)
{
    return QRect(left, top, right - left, bottom - top);
}

// The string grid: no incremental search by typed characters, which would
// move the current row on a blank.
class TUserGrid : public QTableWidget {
public:
    using QTableWidget::QTableWidget;
    void keyboardSearch(const QString &) override {}
};

// Draws the data cells through the form's grdUsersDrawCell.
class TUserGridDelegate : public QStyledItemDelegate {
public:
    TUserGridDelegate(TfrmGetUsers &form) : QStyledItemDelegate(&form), form_(form) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        TGridDrawState state;
        state.Selected = (option.state & QStyle::State_Selected) != 0;
        state.Focused = (option.state & QStyle::State_HasFocus) != 0;
        painter->save();
        form_.grdUsersDrawCell(*painter, index.column(), index.row() + 1, option.rect, state);
        painter->restore();
    }

private:
    TfrmGetUsers &form_;
};

// The grid's fixed header row, drawn through the form's grdUsersDrawCell
// with the fixed grid lines at its right and bottom.
class TUserGridHeader : public QHeaderView {
public:
    TUserGridHeader(TfrmGetUsers &form, QWidget *parent) : QHeaderView(Qt::Horizontal, parent), form_(form)
    {
        setSectionsClickable(false);
        setHighlightSections(false);
        setSectionResizeMode(QHeaderView::Fixed);
    }

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override
    {
        if (!rect.isValid())
            return;
        painter->save();
        const QRect cell(rect.left(), rect.top(), rect.width() - GridLineWidth, rect.height() - GridLineWidth);
        TGridDrawState state;
        state.Fixed = true;
        form_.grdUsersDrawCell(*painter, logicalIndex, 0, cell, state);
        painter->setPen(palette().color(QPalette::Active, QPalette::Shadow));
        painter->drawLine(rect.right(), rect.top(), rect.right(), rect.bottom());
        painter->drawLine(rect.left(), rect.bottom(), rect.right(), rect.bottom());
        painter->restore();
    }

private:
    TfrmGetUsers &form_;
};

} // namespace

TfrmGetUsers::TfrmGetUsers(TclsUtils &utils, QWidget *parent) : QDialog(parent), FUtils(utils)
{
    setObjectName(QStringLiteral("frmGetUsers"));
    setWindowTitle(QStringLiteral("Identify Gearvane Users"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    setFixedSize(390, 227);
    formfont::RegisterSubstitutes();
    QFont font(QString::fromLatin1(formfont::DialogFamily));
    font.setPixelSize(11);
    setFont(font);
    QPalette face = palette();
    face.setColor(QPalette::Window, QApplication::palette().color(QPalette::Button));
    face.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::WindowText));
    setPalette(face);

    Memo3 = new QPlainTextEdit(this);
    Memo3->setObjectName(QStringLiteral("Memo3"));
    Memo3->setGeometry(12, 20, 366, 46);
    Memo3->setFrameShape(QFrame::NoFrame);
    Memo3->setReadOnly(true);
    Memo3->setFocusPolicy(Qt::ClickFocus);
    Memo3->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo3->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette memo = Memo3->palette();
    memo.setColor(QPalette::Base, palette().color(QPalette::Window));
    Memo3->setPalette(memo);
    Memo3->document()->setDocumentMargin(0);
    Memo3->setPlainText(QString::fromLatin1(MemoLines[0]) + QLatin1Char('\n') + QString::fromLatin1(MemoLines[1]) +
                        QLatin1Char('\n') + QString::fromLatin1(MemoLines[2]));

    grdUsers = new TUserGrid(this);
    grdUsers->setObjectName(QStringLiteral("grdUsers"));
    grdUsers->setGeometry(12, 82, 366, 75);
    grdUsers->setHorizontalHeader(new TUserGridHeader(*this, grdUsers));
    grdUsers->setItemDelegate(new TUserGridDelegate(*this));
    grdUsers->verticalHeader()->hide();
    grdUsers->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grdUsers->setShowGrid(true);
    grdUsers->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdUsers->setSelectionMode(QAbstractItemView::SingleSelection);
    grdUsers->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdUsers->setTabKeyNavigation(false);
    grdUsers->setWordWrap(false);
    grdUsers->installEventFilter(this);
    grdUsers->viewport()->installEventFilter(this);

    btnOK = new QPushButton(QStringLiteral("&OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setGeometry(225, 193, 75, 25);
    btnOK->setAutoDefault(false);
    connect(btnOK, &QPushButton::clicked, this, &TfrmGetUsers::btnOKClick);

    btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(303, 193, 75, 25);
    btnCancel->setAutoDefault(false);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmGetUsers::btnCancelClick);

    setTabOrder(btnOK, btnCancel);
    setTabOrder(btnCancel, grdUsers);

    // The layout grows with the font the dialog actually gets.
    formfont::ScaleForm(this);
    FormCreate();
}

TfrmGetUsers::~TfrmGetUsers()
{
    // The grid only refers to the entries; they go with FUsers.
    if (grdUsers != nullptr) {
        for (int r = 0; r < grdUsers->rowCount(); ++r)
            if (QTableWidgetItem *item = grdUsers->item(r, 0))
                item->setData(Qt::UserRole, QVariant());
    }
}

void TfrmGetUsers::FormCreate()
{
    LoadUsers();
    FUtils.MakeCheckGlyphs(CheckedImage, UncheckedImage, false, 0);
    FGlyphWidth = CheckedImage.width();
    FGlyphHeight = CheckedImage.height();
    SetupGrid();
    FillGrid();
}

void TfrmGetUsers::LoadUsers()
{
    auto manager = palmcontrols::createControl<palmcontrols::TUserManager>();
    auto data = palmcontrols::createControl<palmcontrols::TUserData>();
    const std::int32_t count = manager->UserCount();
    for (std::int32_t i = 0; i < count; ++i) {
        const std::int32_t id = manager->UserIdAt(i);
        data->SelectUser(id);
        auto user = std::make_unique<TUserObject>();
        user->UserId = id;
        user->UserName = data->Username();
        user->UserDirectory = data->Directory();
        auto info = std::make_unique<TUserInfo>();
        info->User = std::move(user);
        std::string name = info->User->UserName;
        FUsers.Add(std::move(name), std::move(info));
    }
}

void TfrmGetUsers::SetupGrid()
{
    const QFontMetrics metrics(grdUsers->font());
    const int rowHeight = metrics.height() + 4;
    grdUsers->verticalHeader()->setMinimumSectionSize(1);
    grdUsers->verticalHeader()->setDefaultSectionSize(rowHeight + GridLineWidth);
    grdUsers->horizontalHeader()->setMinimumSectionSize(1);
    grdUsers->horizontalHeader()->setFixedHeight(rowHeight + GridLineWidth);
    grdUsers->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    grdUsers->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette colours = grdUsers->palette();
    colours.setColor(QPalette::Base, QApplication::palette().color(QPalette::Button));
    grdUsers->setPalette(colours);
    grdUsers->setColumnCount(2);
    grdUsers->setHorizontalHeaderLabels({QStringLiteral("Selected"), QStringLiteral("User Name")});
    const int firstWidth = metrics.horizontalAdvance(QStringLiteral(" Selected ")) + 4;
    grdUsers->setColumnWidth(0, firstWidth + GridLineWidth);
    grdUsers->setColumnWidth(1, ClientWidth() - firstWidth + GridLineWidth);
}

void TfrmGetUsers::ClearGrid()
{
    grdUsers->setRowCount(1);
    for (int c = 0; c < grdUsers->columnCount(); ++c)
        grdUsers->setItem(0, c, new QTableWidgetItem(QString()));
    QCoreApplication::processEvents();
}

void TfrmGetUsers::FillGrid()
{
    struct Finish {
        TfrmGetUsers &form;
        ~Finish()
        {
            form.FitLastColumn();
            if (form.RowEntry(form.grdUsers->rowCount()) != nullptr)
                form.FUtils.MakeEditable(form.grdUsers);
            else
                form.FUtils.MakeReadOnly(form.grdUsers);
            form.UpdateOkButton();
        }
    } finish{*this};

    ClearGrid();
    for (std::size_t i = 0; i < FUsers.Count(); ++i) {
        int last = grdUsers->rowCount();
        if (last > 1 || RowEntry(last) != nullptr) {
            grdUsers->insertRow(last);
            last = grdUsers->rowCount();
        }
        auto *slot = new QTableWidgetItem(QString());
        slot->setData(Qt::UserRole, QVariant::fromValue(static_cast<void *>(&FUsers.Object(i))));
        grdUsers->setItem(last - 1, 0, slot);
        RefreshRow(last);
    }
    grdUsers->setCurrentCell(0, 0);
}

TUserInfo *TfrmGetUsers::RowEntry(int row) const
{
    if (row < 1 || row > grdUsers->rowCount())
        return nullptr;
    const QTableWidgetItem *item = grdUsers->item(row - 1, 0);
    return item != nullptr ? static_cast<TUserInfo *>(item->data(Qt::UserRole).value<void *>()) : nullptr;
}

void TfrmGetUsers::RefreshRow(int row)
{
    if (TUserInfo *entry = RowEntry(row)) {
        grdUsers->item(row - 1, 0)->setText(entry->Selected ? QStringLiteral("X") : QStringLiteral(" "));
        QTableWidgetItem *name = grdUsers->item(row - 1, 1);
        if (name == nullptr) {
            name = new QTableWidgetItem();
            grdUsers->setItem(row - 1, 1, name);
        }
        name->setText(QString::fromStdString(entry->User->UserName));
    }
    QCoreApplication::processEvents();
}

int TfrmGetUsers::ClientWidth() const
{
    // Before the grid is shown its viewport has not been laid out yet.
    if (grdUsers->isVisible())
        return grdUsers->viewport()->width();
    int width = grdUsers->width() - 2 * grdUsers->frameWidth();
    const int rowsHeight = grdUsers->rowCount() * grdUsers->verticalHeader()->defaultSectionSize();
    if (rowsHeight > grdUsers->height() - 2 * grdUsers->frameWidth() - grdUsers->horizontalHeader()->height())
        width -= grdUsers->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, grdUsers);
    return width;
}

void TfrmGetUsers::FitLastColumn()
{
    const int last = grdUsers->columnCount() - 1;
    const int width = ClientWidth() - (grdUsers->columnWidth(0) - GridLineWidth) - 2 * GridLineWidth;
    grdUsers->setColumnWidth(last, width + GridLineWidth);
}

void TfrmGetUsers::UpdateOkButton()
{
    bool any = false;
    for (std::size_t i = 0; i < FUsers.Count() && !any; ++i)
        any = FUsers.Object(i).Selected;
    btnOK->setEnabled(any);
    btnOK->setDefault(any);
}

void TfrmGetUsers::ToggleRow(int row)
{
    TUserInfo *entry = RowEntry(row);
    if (entry == nullptr)
        return;
    entry->Selected = !entry->Selected;
    RefreshRow(row);
    UpdateOkButton();
    grdUsers->viewport()->update();
}

void TfrmGetUsers::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        if (const QScreen *screen = this->screen())
            move(screen->availableGeometry().center() - rect().center());
        FormShow();
    }
}

void TfrmGetUsers::FormShow()
{
    FitLastColumn();
    OkPressed = false;
    // OK starts disabled, so the focus would land on Cancel, where a Space
    // meant for the grid closes the picker. The grid takes it: Space marks
    // the current row, and Enter does nothing until OK is enabled.
    grdUsers->setFocus(Qt::OtherFocusReason);
}

void TfrmGetUsers::btnOKClick()
{
    OkPressed = true;
    close();
}

void TfrmGetUsers::btnCancelClick()
{
    close();
}

bool TfrmGetUsers::eventFilter(QObject *watched, QEvent *event)
{
    if (grdUsers != nullptr) {
        if (watched == grdUsers->viewport() && event->type() == QEvent::MouseButtonRelease)
            grdUsersMouseUp(static_cast<QMouseEvent *>(event));
        else if (watched == grdUsers && event->type() == QEvent::KeyPress)
            grdUsersKeyPress(static_cast<QKeyEvent *>(event));
        else if (watched == grdUsers && event->type() == QEvent::Resize)
            FitLastColumn();
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmGetUsers::grdUsersMouseUp(QMouseEvent *event)
{
    const QModelIndex cell = grdUsers->indexAt(event->position().toPoint());
    if (!cell.isValid())
        return;
    const int row = cell.row() + 1;
    if (row >= 1 && cell.column() == 0)
        ToggleRow(row);
}

void TfrmGetUsers::grdUsersKeyPress(QKeyEvent *event)
{
    if (event->text() == QLatin1String(" "))
        ToggleRow(grdUsers->currentRow() + 1);
}

void TfrmGetUsers::grdUsersDrawCell(QPainter &canvas, int col, int row, const QRect &rect, TGridDrawState state)
{
    const int L = rect.left();
    const int T = rect.top();
    const int R = rect.left() + rect.width();
    const int B = rect.top() + rect.height();

    QString text;
    if (row == 0) {
        if (const QTableWidgetItem *header = grdUsers->horizontalHeaderItem(col))
            text = header->text();
    } else if (const QTableWidgetItem *item = grdUsers->item(row - 1, col)) {
        text = item->text();
    }

    canvas.setFont(grdUsers->font());
    const QFontMetrics metrics(grdUsers->font());
    const int textWidth = metrics.horizontalAdvance(text);
    const int x = col == 1 ? L + 2 : L + static_cast<int>(std::lrint((R - L - textWidth) * 0.5));

    const QPalette &colours = grdUsers->palette();
    QColor background;
    QColor foreground;
    if (state.Fixed) {
        background = colours.color(QPalette::Active, QPalette::Button);
        foreground = colours.color(QPalette::Active, QPalette::ButtonText);
    } else if (state.Selected || state.Focused) {
        background = colours.color(QPalette::Active, QPalette::Highlight);
        foreground = colours.color(QPalette::Active, QPalette::HighlightedText);
    } else {
        background = colours.color(QPalette::Active, QPalette::Base);
        foreground = colours.color(QPalette::Active, QPalette::Text);
    }
    canvas.setRenderHint(QPainter::Antialiasing, false);
    canvas.fillRect(rect, background);
    canvas.setBrush(background);

    TUserInfo *entry = row >= 1 ? RowEntry(row) : nullptr;
    if (col == 0 && entry != nullptr) {
        int top = T + (B - T - FGlyphHeight) / 2;
        if (top < T + 1)
            top = T + 1;
        const int left = L + 1 + (R - L) / 2 - FGlyphWidth / 2;
        FUtils.DrawTransparent(canvas, cellRect(left, top, left + FGlyphWidth, top + FGlyphHeight), background,
                               entry->Selected ? CheckedImage : UncheckedImage, rect);
    } else {
        canvas.save();
        canvas.setClipRect(rect);
        canvas.setPen(foreground);
        canvas.drawText(QPoint(x, T + 2 + metrics.ascent()), text);
        canvas.restore();
    }

    if (state.Fixed) {
        // Raised edge; as on the original canvas, a line leaves out its end point.
        canvas.setPen(colours.color(QPalette::Active, QPalette::Light));
        canvas.drawLine(L, T, R - 2, T);
        canvas.drawLine(L, T, L, B - 1);
        canvas.setPen(colours.color(QPalette::Active, QPalette::Dark));
        canvas.drawLine(L + 1, B - 1, R - 2, B - 1);
        canvas.drawLine(R - 1, T, R - 1, B - 1);
    }
}

NoDisplayError::NoDisplayError()
    : std::runtime_error("Choosing the HotSync users who get Gearvane needs a display, and none is set (DISPLAY or "
                         "WAYLAND_DISPLAY). Without one, queue the file for each user with \"hotsync install --user "
                         "NAME Gearvane.prc\".")
{
}

TUserList PickUsers(TclsUtils &utils, bool hasDisplay)
{
    TUserList result;
    auto dialog = std::make_unique<TfrmGetUsers>(utils);
    const auto &users = dialog->Users();
    bool accepted = true;
    if (users.Count() >= 2) {
        if (!hasDisplay)
            throw NoDisplayError();
        dialog->exec();
        accepted = dialog->OkPressed;
    }
    if (accepted) {
        ClearUserList(result);
        for (std::size_t i = 0; i < users.Count(); ++i) {
            const TUserInfo &entry = users.Object(i);
            if (entry.Selected || users.Count() == 1) {
                auto user = std::make_unique<TUserObject>();
                CopyUser(*user, *entry.User);
                std::string name = user->UserName;
                result.Add(std::move(name), std::move(user));
            }
        }
    }
    return result;
}

} // namespace selbow
