#include "fennick/HTTPCheckVersion.h"

#include "formfont/FormFont.h"

#include "fennick/HTTPNewVersionAvailable.h"
#include "fennick/HTTPTransferUpdate.h"
#include "registry/Registry.h"
#include "updater/IniFile.h"
#include "utils/Utils.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include <stdexcept>
#include <system_error>

namespace {

void removeIfExists(const std::string &fileName)
{
    std::error_code ignored;
    std::filesystem::remove(fileName, ignored);
}

const char *const successTexts[] = {"Get Succeeded",    "Options Succeeded", "Head Succeeded",   "Post Succeeded",
                                    "Put Succeeded",    "Patch Succeeded",   "Copy Succeeded",   "Move Succeeded",
                                    "Delete Succeeded", "Link Succeeded",    "UnLink Succeeded", "Trace Succeeded",
                                    "Wrapped Succeeded"};

} // namespace

TfrmCheckInternet::TfrmCheckInternet(TclsUtils &utils, const TUpdateServer &server, QWidget *parent)
    : QDialog(parent), FUtils(utils), FServer(server)
{
    setObjectName(QStringLiteral("frmCheckInternet"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFont(formfont::DialogFont(8));
    setFixedSize(354, 187);

    pnlMain = new QFrame(this);
    pnlMain->setObjectName(QStringLiteral("pnlMain"));
    pnlMain->setFrameShape(QFrame::NoFrame);
    pnlMain->setGeometry(0, 0, 354, 187);

    lblMain = new QLabel(pnlMain);
    lblMain->setObjectName(QStringLiteral("lblMain"));
    lblMain->setWordWrap(true);
    lblMain->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblMain->setGeometry(19, 15, 320, 75);

    lblMakeSure = new QLabel(pnlMain);
    lblMakeSure->setObjectName(QStringLiteral("lblMakeSure"));
    lblMakeSure->setWordWrap(true);
    lblMakeSure->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblMakeSure->setGeometry(19, 92, 320, 35);
    lblMakeSure->setText(QStringLiteral("Make sure your modem is operating properly before continuing."));

    lblUpdateStatus = new QLabel(pnlMain);
    lblUpdateStatus->setObjectName(QStringLiteral("lblUpdateStatus"));
    lblUpdateStatus->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lblUpdateStatus->move(129, 128);

    pnlButtons = new QFrame(pnlMain);
    pnlButtons->setObjectName(QStringLiteral("pnlButtons"));
    pnlButtons->setFrameShape(QFrame::NoFrame);
    pnlButtons->setGeometry(92, 145, 170, 39);

    btnCheck = new QPushButton(QStringLiteral("Start"), pnlButtons);
    btnCheck->setObjectName(QStringLiteral("btnCheck"));
    btnCheck->setGeometry(8, 8, 75, 25);
    btnCheck->setDefault(true);

    btnCancel = new QPushButton(QStringLiteral("Cancel"), pnlButtons);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(88, 8, 75, 25);

    NMHTTP1 = new TNMHTTP(this);
    NMHTTP1->setObjectName(QStringLiteral("NMHTTP1"));
    NMHTTP1->OnConnect = [this] { NMHTTP1Connect(); };
    NMHTTP1->OnHostResolved = [this] { NMHTTP1HostResolved(); };
    NMHTTP1->OnInvalidHost = [this] { NMHTTP1InvalidHost(); };
    NMHTTP1->OnStatus = [this](const QString &status) { NMHTTP1Status(status); };
    NMHTTP1->OnPacketRecvd = [this] { NMHTTP1PacketRecvd(); };
    NMHTTP1->OnSuccess = [this](int command) { NMHTTP1Success(command); };

    connect(btnCheck, &QPushButton::clicked, this, [this] { btnCheckClick(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });

    // The layout grows with the font the form actually gets.
    formfont::ScaleForm(this);
    FormCreate();
}

TfrmCheckInternet::~TfrmCheckInternet()
{
    auto &events = TApplicationEvents::Instance();
    events.OnMinimize = nullptr;
    events.OnRestore = nullptr;
}

int TfrmCheckInternet::RunProgram()
{
    // Boxes and dialogs come and go while this form is hidden; the program
    // ends when this form closes, not when the last visible window does.
    QApplication::setQuitOnLastWindowClosed(false);
    FEndsProgram = true;
    show();
    const int result = QApplication::exec();
    FEndsProgram = false;
    return result;
}

bool TfrmCheckInternet::RestoreWindow()
{
    TApplicationEvents::Instance().Restore();
    QWidget *window = QApplication::activeModalWidget();
    if (window == nullptr || !window->isVisible()) {
        window = nullptr;
        for (QWidget *candidate : QApplication::topLevelWidgets())
            if (candidate->isVisible() && candidate->windowType() != Qt::Popup &&
                candidate->windowType() != Qt::ToolTip) {
                window = candidate;
                break;
            }
    }
    if (window == nullptr)
        return false;
    window->showNormal();
    window->raise();
    window->activateWindow();
    return true;
}

void TfrmCheckInternet::FormCreate()
{
    setWindowTitle(QStringLiteral("Check For New Version"));
    TApplicationEvents::SetTitle(windowTitle());
    lblUpdateStatus->clear();
    FMinimized = false;
    auto &events = TApplicationEvents::Instance();
    events.OnMinimize = [this] { AppMinimized(); };
    events.OnRestore = [this] { AppRestored(); };
    lblMain->setText(QStringLiteral("This will check to see if a newer version of Gearvane is available on the ") +
                     FServer.WebHost +
                     QStringLiteral(" web site.  It will not affect Gearvane operation during the checking or file "
                                    "transfer."));
}

void TfrmCheckInternet::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Laid out once: a second show after a failed check must not grow the form again.
    if (!event->spontaneous() && !FLaidOut) {
        FLaidOut = true;
        FormShow();
    }
}

void TfrmCheckInternet::FormShow()
{
    if (!FUtils.IsSmallFonts(this)) {
        const int before = pnlButtons->height();
        FUtils.ScaleButtonsLargeFonts(pnlButtons);
        setFixedHeight(height() + pnlButtons->height() - before);
        pnlMain->resize(pnlMain->width(), height());
    }
    const int left = (width() + pnlButtons->contentsRect().width() - btnCheck->x() - btnCancel->x() -
                      btnCancel->width() - pnlButtons->width()) /
                     2;
    pnlButtons->move(left, pnlButtons->y());
    lblUpdateStatus->setGeometry(0, lblUpdateStatus->y(), pnlMain->contentsRect().width(),
                                 lblUpdateStatus->sizeHint().height());
}

void TfrmCheckInternet::btnCheckClick()
{
    btnCheck->setEnabled(false);
    btnCheck->setDefault(false);
    const std::string localFile = tempFile("version.ini");
    FChecking = true;
    bool completed = false;
    bool silent = false;
    std::string failure;
    try {
        FetchToFile(QStringLiteral("http://") + FServer.WebHost + QStringLiteral("/version.ini"), localFile,
                    QStringLiteral("Retrieving version information..."));
        CheckVersion(localFile);
        completed = true;
    } catch (const EAbort &) {
        silent = true;
    } catch (const std::exception &e) {
        failure = e.what();
    } catch (...) {
        failure = "Unknown error";
    }
    FChecking = false;
    removeIfExists(localFile);
    removeIfExists(tempFile("ftpfmt.ini"));
    btnCheck->setEnabled(true);
    btnCheck->setDefault(true);
    if (completed || FCloseRequested) {
        close();
        return;
    }
    show();
    if (!silent)
        FUtils.ShowError(failure);
}

void TfrmCheckInternet::btnCancelClick()
{
    close();
}

void TfrmCheckInternet::reject()
{
    btnCancel->click();
}

void TfrmCheckInternet::closeEvent(QCloseEvent *event)
{
    bool canClose = true;
    FormCloseQuery(canClose);
    if (!canClose) {
        event->ignore();
        return;
    }
    if (FChecking) {
        // The check is still running below this call: let it unwind, then it
        // closes the form itself.
        FCloseRequested = true;
        NMHTTP1->Abort();
        if (FNewVersionDialog != nullptr)
            FNewVersionDialog->btnCancel->click();
        event->ignore();
        return;
    }
    event->accept();
    if (FEndsProgram)
        QCoreApplication::quit();
}

void TfrmCheckInternet::FormCloseQuery(bool &canClose)
{
    if (!FMinimized)
        return;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window == this || !window->isVisible())
            continue;
        if (auto *form = dynamic_cast<TCloseQueryForm *>(window)) {
            bool formCanClose = true;
            form->FormCloseQuery(formCanClose);
            canClose = formCanClose;
            if (!canClose)
                return;
        }
    }
}

std::string TfrmCheckInternet::tempFile(const char *name)
{
    return FUtils.TempDirectory() + name;
}

void TfrmCheckInternet::FetchToFile(const QString &url, const std::string &localFile, const QString &message)
{
    FStatusMessage = message;
    NMHTTP1->Body.clear();
    NMHTTP1->InputFileMode = true;
    NMHTTP1->OutputFileMode = false;
    NMHTTP1->ReportLevel = 2;
    NMHTTP1->HeaderInfo.Clear();

    const QString savedStatus = lblUpdateStatus->text();
    const QString savedMakeSure = lblMakeSure->text();
    const Qt::Alignment savedAlignment = lblMakeSure->alignment();
    struct RestoreLabels {
        TfrmCheckInternet *form;
        const QString &status;
        const QString &makeSure;
        Qt::Alignment alignment;
        ~RestoreLabels()
        {
            form->lblUpdateStatus->setText(status);
            form->lblMakeSure->setText(makeSure);
            form->lblMakeSure->setAlignment(alignment);
        }
    } restore{this, savedStatus, savedMakeSure, savedAlignment};

    lblMakeSure->setText(QStringLiteral("Just a moment..."));
    lblMakeSure->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    NMHTTP1->Body = QString::fromStdString(localFile);
    FInvalidHost = false;
    lblUpdateStatus->setText(QStringLiteral("Connecting to ") + FServer.DomainName + QStringLiteral(" server..."));

    try {
        NMHTTP1->Get(url);
        if (NMHTTP1->BytesRecvd() != NMHTTP1->BytesTotal())
            throw std::runtime_error("Transfer interrupted.");
    } catch (const std::exception &e) {
        if (std::string(e.what()) == "Socket send aborted") {
            lblUpdateStatus->setText(QStringLiteral("Transfer aborted by user"));
            return;
        }
        lblUpdateStatus->setText(QStringLiteral("Transfer aborted"));
        if (FInvalidHost || FCloseRequested)
            throw EAbort();
        throw;
    }
}

void TfrmCheckInternet::CheckVersion(const std::string &localFile)
{
    const updater::TIniFile ini(localFile);
    std::string installed;
    ReadInstalledVersion(installed);
    const std::string published = ini.ReadString("GEARVANE", "Version", "");
    if (published == installed) {
        lblMakeSure->setEnabled(false);
        FUtils.ShowInformation("The latest version is installed.");
        return;
    }
    FetchToFile(QStringLiteral("http://") + FServer.WebHost + QStringLiteral("/ftpfmt.ini"), tempFile("ftpfmt.ini"),
                QStringLiteral("Updated version found, getting transfer protocol criteria..."));
    std::string host;
    std::string userId;
    std::string password;
    ReadFtpSettings(host, userId, password);
    hide();
    TfrmNewVersionAvailable dialog(FUtils, FServer, this);
    FNewVersionDialog = &dialog;
    struct Forget {
        TfrmNewVersionAvailable *&dialog;
        ~Forget() { dialog = nullptr; }
    } forget{FNewVersionDialog};
    dialog.FFtpHost = host;
    dialog.FFtpUserId = userId;
    dialog.FFtpPassword = password;
    dialog.LoadVersionInfo(ini, installed, "GEARVANE");
    if (!FCloseRequested)
        dialog.exec();
}

void TfrmCheckInternet::ReadInstalledVersion(std::string &version)
{
    version.clear();
    try {
        const registry::Registry registry =
            FRegistryRoot ? registry::Registry(*FRegistryRoot) : registry::Registry::atDefaultRoot();
        version = registry.stringValue(registry::Hive::LocalMachine, "\\Software\\Brenholt\\Gearvane\\", "Version")
                      .value_or(std::string());
    } catch (...) {
        version.clear();
    }
}

void TfrmCheckInternet::ReadFtpSettings(std::string &host, std::string &userId, std::string &password)
{
    const std::string fileName = tempFile("ftpfmt.ini");
    struct Remove {
        const std::string &fileName;
        ~Remove() { removeIfExists(fileName); }
    } remove{fileName};
    const updater::TIniFile ini(fileName);
    host = ini.ReadString("BRENHOLT", "Host Name", "");
    userId = ini.ReadString("BRENHOLT", "User ID", "");
    password = ini.ReadString("BRENHOLT", "Password", "");
    if (host.empty() || userId.empty() || password.empty())
        throw std::runtime_error("Unable to continue with transfer, some required FTP setup information is missing.");
}

void TfrmCheckInternet::AppMinimized()
{
    FMinimized = true;
}

void TfrmCheckInternet::AppRestored()
{
    FMinimized = false;
}

void TfrmCheckInternet::NMHTTP1Connect() {}

void TfrmCheckInternet::NMHTTP1HostResolved()
{
    lblMakeSure->setText(FStatusMessage);
}

void TfrmCheckInternet::NMHTTP1InvalidHost()
{
    FUtils.ShowInformation("Unable to resolve " + FServer.DomainName.toStdString() +
                           " server.\r\rThis usually means that the internet connection is not open.\r"
                           "Check to make sure your internet settings are correct.");
    FInvalidHost = true;
}

void TfrmCheckInternet::NMHTTP1Status(const QString &status)
{
    lblUpdateStatus->setText(NMHTTP1->ReplyNumber() == 404 ? QStringLiteral("Object Not Found") : status);
}

void TfrmCheckInternet::NMHTTP1PacketRecvd()
{
    lblUpdateStatus->setText(QStringLiteral("%1 of %2 bytes retrieved")
                                 .arg(NMHTTP1->BytesRecvd())
                                 .arg(qMax<qint64>(NMHTTP1->BytesTotal(), 0)));
    QApplication::processEvents();
}

void TfrmCheckInternet::NMHTTP1Success(int command)
{
    const int code = command & 0x7F;
    if (code >= 0 && code < static_cast<int>(std::size(successTexts)))
        lblUpdateStatus->setText(QString::fromLatin1(successTexts[code]));
}
