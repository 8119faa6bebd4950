#include "ConfigureForm.h"

#include "formfont/FormFont.h"

#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadioButton>

namespace conduit {

TfrmConfigure::TfrmConfigure(QWidget *parent) : QDialog(parent)
{
    setObjectName("frmConfigure");
    setWindowTitle("Change HotSync Action");
    setFixedSize(390, 227);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFont(formfont::DialogFont(8));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);

    gbxAction = new QGroupBox("HotSync Action for Gearvane", this);
    gbxAction->setObjectName("gbxAction");
    gbxAction->setGeometry(11, 13, 265, 201);

    imgMain = new QLabel(gbxAction);
    imgMain->setObjectName("imgMain");
    QPixmap picture = conduitPicture();
    imgMain->setPixmap(picture);
    imgMain->setGeometry(5, 27, picture.width(), picture.height());
    imgMain->setAttribute(Qt::WA_TranslucentBackground);

    auto radio = [&](const char *name, const char *caption, int left, int top, int width) {
        auto *rb = new QRadioButton(caption, gbxAction);
        rb->setObjectName(name);
        rb->setGeometry(left, top, width, 17);
        return rb;
    };
    rbSynchronize = radio("rbSynchronize", "&Synchronize the files", 97, 37, 119);
    rbPCtoHH = radio("rbPCtoHH", "&Desktop overwrites handheld", 97, 80, 160);
    rbHHtoPC = radio("rbHHtoPC", "H&andheld overwrites Desktop", 97, 125, 163);
    rbNothing = radio("rbNothing", "Do &nothing", 97, 168, 75);
    rbSynchronize->setChecked(true);

    auto button = [&](const char *name, const char *caption, int top) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setGeometry(293, top, 75, 25);
        b->setAutoDefault(false);
        return b;
    };
    btnOK = button("btnOK", "OK", 18);
    btnCancel = button("btnCancel", "Cancel", 45);
    btnHelp = button("btnHelp", "&Help", 71);
    btnOK->setDefault(true);

    chkDefault = new QCheckBox("Se&t as default", this);
    chkDefault->setObjectName("chkDefault");
    chkDefault->setGeometry(293, 119, 97, 17);

    setTabOrder(rbSynchronize, rbPCtoHH);
    setTabOrder(rbPCtoHH, rbHHtoPC);
    setTabOrder(rbHHtoPC, rbNothing);
    setTabOrder(rbNothing, btnOK);
    setTabOrder(btnOK, btnCancel);
    setTabOrder(btnCancel, btnHelp);
    setTabOrder(btnHelp, chkDefault);

    connect(btnOK, &QPushButton::clicked, this, [this] { btnOKClick(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });
    // "&Help" has no action of its own.

    // The layout grows with the font the dialog actually gets; the picture
    // keeps its own size.
    formfont::ScaleForm(this);
    imgMain->resize(picture.size());
}

int TfrmConfigure::GetAction() const
{
    if (rbSynchronize->isChecked())
        return 0;
    if (rbPCtoHH->isChecked())
        return 3;
    if (rbHHtoPC->isChecked())
        return 2;
    return 6;
}

void TfrmConfigure::SetAction(int code)
{
    switch (code) {
    case 0: rbSynchronize->setChecked(true); break;
    case 3: rbPCtoHH->setChecked(true); break;
    case 2: rbHHtoPC->setChecked(true); break;
    default: rbNothing->setChecked(true); break;
    }
}

bool TfrmConfigure::GetSetAsDefault() const { return chkDefault->isChecked(); }

bool TfrmConfigure::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate)
        FormActivate();
    return QDialog::event(e);
}

void TfrmConfigure::FormActivate() { FOkPressed = false; }

void TfrmConfigure::btnOKClick()
{
    FOkPressed = true;
    close();
}

void TfrmConfigure::btnCancelClick() { close(); }

QPixmap conduitPicture()
{
    QPixmap pixmap(60, 164);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);

    // The handheld, top.
    p.setPen(QPen(QColor(40, 40, 40), 1.5));
    p.setBrush(QColor(90, 100, 110));
    p.drawRoundedRect(QRectF(14, 4, 32, 52), 5, 5);
    p.setBrush(QColor(170, 200, 160));
    p.drawRect(QRectF(19, 10, 22, 26));
    p.setBrush(QColor(60, 60, 60));
    for (int i = 0; i < 4; ++i)
        p.drawEllipse(QRectF(17 + i * 7, 42, 5, 5));

    // The HotSync arrows, middle.
    p.setPen(QPen(QColor(0, 90, 170), 3));
    p.drawLine(QPointF(22, 66), QPointF(22, 98));
    p.drawLine(QPointF(38, 98), QPointF(38, 66));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 90, 170));
    QPainterPath down;
    down.moveTo(16, 96);
    down.lineTo(28, 96);
    down.lineTo(22, 106);
    down.closeSubpath();
    QPainterPath up;
    up.moveTo(32, 68);
    up.lineTo(44, 68);
    up.lineTo(38, 58);
    up.closeSubpath();
    p.drawPath(down);
    p.drawPath(up);

    // The desktop, bottom.
    p.setPen(QPen(QColor(40, 40, 40), 1.5));
    p.setBrush(QColor(200, 200, 190));
    p.drawRect(QRectF(6, 112, 48, 32));
    p.setBrush(QColor(30, 60, 120));
    p.drawRect(QRectF(10, 116, 40, 24));
    p.setBrush(QColor(200, 200, 190));
    p.drawRect(QRectF(20, 146, 20, 5));
    p.drawRect(QRectF(4, 152, 52, 8));
    return pixmap;
}

} // namespace conduit
