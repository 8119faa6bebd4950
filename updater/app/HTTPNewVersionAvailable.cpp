#include "fennick/HTTPNewVersionAvailable.h"

#include "formfont/FormFont.h"

#include "fennick/HTTPTransferUpdate.h"
#include "updater/IniFile.h"
#include "utils/Utils.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>

#include <iomanip>
#include <sstream>

namespace {

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text, Qt::Alignment alignment,
                  const QRect &geometry)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(alignment | Qt::AlignVCenter);
    label->setGeometry(geometry);
    return label;
}

} // namespace

TfrmNewVersionAvailable::TfrmNewVersionAvailable(TclsUtils &utils, const TUpdateServer &server, QWidget *parent)
    : QDialog(parent), FUtils(utils), FServer(server)
{
    setObjectName(QStringLiteral("frmNewVersionAvailable"));
    setWindowTitle(QStringLiteral("New Version Available"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFont(formfont::DialogFont(8));
    setMinimumSize(462, 251);
    setMaximumWidth(462);

    const auto right = Qt::AlignRight;
    const auto left = Qt::AlignLeft;
    Label5 = makeLabel(this, "Label5", QStringLiteral("Application Name:"), right, {8, 12, 112, 17});
    lblApplication = makeLabel(this, "lblApplication", QString(), left, {126, 12, 326, 17});
    Label7 = makeLabel(this, "Label7", QStringLiteral("Available Version:"), right, {8, 32, 112, 17});
    lblCurrentVersion = makeLabel(this, "lblCurrentVersion", QString(), left, {126, 32, 326, 17});
    Label6 = makeLabel(this, "Label6", QStringLiteral("Your Version:"), right, {8, 52, 112, 17});
    lblYourVersion = makeLabel(this, "lblYourVersion", QString(), left, {126, 52, 326, 17});
    Label1 = makeLabel(this, "Label1", QStringLiteral("Description of Available Version"), left, {8, 78, 300, 17});

    memInfo = new QTextEdit(this);
    memInfo->setObjectName(QStringLiteral("memInfo"));
    memInfo->setReadOnly(true);
    memInfo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    Label2 = makeLabel(this, "Label2", QStringLiteral("Update Method"), left, {8, 0, 150, 17});
    rbPatchOnly = new QRadioButton(QStringLiteral("Patch only"), this);
    rbPatchOnly->setObjectName(QStringLiteral("rbPatchOnly"));
    rbPatchOnly->setChecked(true);
    rbFullInstallation = new QRadioButton(QStringLiteral("Complete"), this);
    rbFullInstallation->setObjectName(QStringLiteral("rbFullInstallation"));

    btnUpdate = new QPushButton(QStringLiteral("Update"), this);
    btnUpdate->setObjectName(QStringLiteral("btnUpdate"));
    btnUpdate->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));

    connect(btnUpdate, &QPushButton::clicked, this, [this] { btnUpdateClick(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });
    resize(462, 341);
    // The layout grows with the font the dialog actually gets.
    FScale = formfont::ScaleForm(this);
}

TfrmNewVersionAvailable::~TfrmNewVersionAvailable() = default;

TfrmTransferUpdate *TfrmNewVersionAvailable::TransferDialog() const
{
    return FTransferDialog.data();
}

void TfrmNewVersionAvailable::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    // The description grows with the window; the method and buttons stay at
    // the bottom. Places are in the layout's own pixels, scaled with the font.
    const int h = qRound(height() / FScale.height());
    const auto place = [this](QWidget *control, const QRect &rect) {
        control->setGeometry(formfont::Scaled(rect, FScale));
    };
    place(memInfo, {8, 96, 446, h - 96 - 84});
    place(Label2, {8, h - 80, 150, 17});
    place(rbPatchOnly, {16, h - 60, 100, 20});
    place(rbFullInstallation, {124, h - 60, 100, 20});
    place(btnUpdate, {294, h - 36, 75, 25});
    place(btnCancel, {377, h - 36, 75, 25});
}

void TfrmNewVersionAvailable::LoadVersionInfo(const updater::TIniFile &ini, const std::string &installedVersion,
                                              const std::string &section)
{
    memInfo->clear();
    lblApplication->setText(QString::fromStdString(ini.ReadString(section, "AppName", "")));
    lblYourVersion->setText(QString::fromStdString(installedVersion));
    lblCurrentVersion->setText(QString::fromStdString(ini.ReadString(section, "Version", "")));
    FFileName = ini.ReadString(section, "FileName", "");
    FFileSize = ini.ReadInteger(section, "FileSize", 0);
    FFullFileName = ini.ReadString(section, "FullFileName", "");
    FFullFileSize = ini.ReadInteger(section, "FullFileSize", 0);

    if (!FFullFileName.empty() && FFullFileName == FFileName) {
        rbFullInstallation->setChecked(true);
        rbFullInstallation->setEnabled(true);
        rbPatchOnly->setEnabled(false);
    } else {
        rbFullInstallation->setEnabled(!FFullFileName.empty());
        if (!rbFullInstallation->isEnabled())
            rbPatchOnly->setChecked(true);
    }

    QStringList lines;
    for (int n = 0;; ++n) {
        std::ostringstream key;
        key << "Info" << std::setw(2) << std::setfill('0') << n;
        const std::string line = ini.ReadString(section, key.str(), "");
        if (line.empty())
            break;
        lines << (line == "#PARA#" ? QString() : QString::fromStdString(line));
    }
    memInfo->setPlainText(lines.join(QLatin1Char('\n')));
    memInfo->moveCursor(QTextCursor::Start);
}

void TfrmNewVersionAvailable::btnUpdateClick()
{
    btnUpdate->setEnabled(false);
    btnUpdate->setDefault(false);
    btnCancel->setEnabled(false);
    const bool full = rbFullInstallation->isChecked();
    auto *transfer = new TfrmTransferUpdate(FUtils, FServer, this);
    FTransferDialog = transfer;
    transfer->SetTransferInfo(this, full ? FFullFileName : FFileName, FFtpPassword, FFtpUserId, FFtpHost,
                              full ? FFullFileSize : FFileSize);
    transfer->show();
}

void TfrmNewVersionAvailable::btnCancelClick()
{
    close();
}

void TfrmNewVersionAvailable::FormCloseQuery(bool &canClose)
{
    if (!btnCancel->isEnabled()) {
        QApplication::beep();
        canClose = false;
    }
}

void TfrmNewVersionAvailable::reject()
{
    bool canClose = true;
    FormCloseQuery(canClose);
    if (canClose)
        QDialog::reject();
}

void TfrmNewVersionAvailable::closeEvent(QCloseEvent *event)
{
    bool canClose = true;
    FormCloseQuery(canClose);
    if (!canClose) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TfrmNewVersionAvailable::TransferFinished()
{
    FTransferDialog = nullptr;
    btnCancel->setEnabled(true);
    close();
}
