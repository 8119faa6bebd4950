#include "utils/Utils.h"

#include "utils/FlagFile.h"
#include "utils/SystemInfo.h"
#include "utils/TextFormat.h"
#include "utils/VersionInfo.h"

#include "updater/LaunchUtils.h"

#include <QApplication>
#include <QCursor>
#include <QLocale>
#include <QPointer>
#include <QWidget>

#include <set>

namespace {

const char *const canStartRefusal = "Another application is currently performing a critical process\r"
                                    "and cannot be interrupted.\r\r"
                                    "This application will not start until the other process finishes.";

std::string flagFileError(const std::string &fileName)
{
    return "Unable to create \"flag\" file: " + fileName +
           "\r\r"
           "This file name is derived from the \"COMPUTERNAME\" environment variable.\r\r"
           "Lack of proper access to the above drive/path could also cause this problem.\r"
           "If this is the case, other problems with the application may be encountered.\r\r"
           "Please report this error to your administrator!";
}

bool haveWidgets()
{
    return qobject_cast<QApplication *>(QCoreApplication::instance()) != nullptr;
}

// Message texts separate lines with carriage returns; a label breaks lines
// at line feeds.
QString displayText(const std::string &text)
{
    QString shown = QString::fromStdString(text);
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

// The locale's long time format without the time zone, which the date-time
// line of the flag file does not carry.
QString localeTimeText(const QLocale &locale, const QTime &time)
{
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString kept;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (quoted || c != QLatin1Char('t'))
            kept += c;
    }
    return time.toString(kept.trimmed());
}

} // namespace

TclsUtils::TclsUtils() = default;
TclsUtils::~TclsUtils() = default;

void TclsUtils::setSoundHook(TSoundHook hook)
{
    FSoundHook = std::move(hook);
}

void TclsUtils::setAnswerHook(TAnswerHook hook)
{
    FAnswerHook = std::move(hook);
}

void TclsUtils::setClock(TClock clock)
{
    FClock = std::move(clock);
}

QDateTime TclsUtils::now() const
{
    return FClock ? FClock() : QDateTime::currentDateTime();
}

// ---- Messages and cursor

namespace {

// Replaces the application's cursor without processing pending events, so a
// box can be shown from inside an event handler or a timer without first
// running other queued work.
Qt::CursorShape replaceCursor(Qt::CursorShape cursor)
{
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()) == nullptr)
        return Qt::ArrowCursor;
    const QCursor *current = QGuiApplication::overrideCursor();
    const Qt::CursorShape previous = current != nullptr ? current->shape() : Qt::ArrowCursor;
    if (current != nullptr)
        QGuiApplication::changeOverrideCursor(QCursor(cursor));
    else if (cursor != Qt::ArrowCursor)
        QGuiApplication::setOverrideCursor(QCursor(cursor));
    return previous;
}

// The window a box belongs to: the active modal window, else the active
// window, else the first visible top-level window. A box with a parent is a
// secondary window, so answering it never closes the program's last window
// while its main form is hidden.
QWidget *boxParent()
{
    if (QWidget *modal = QApplication::activeModalWidget(); modal != nullptr && modal->isVisible())
        return modal;
    if (QWidget *active = QApplication::activeWindow(); active != nullptr && active->isVisible())
        return active;
    for (QWidget *window : QApplication::topLevelWidgets())
        if (window->isVisible() && window->windowType() != Qt::Popup && window->windowType() != Qt::ToolTip)
            return window;
    return nullptr;
}

} // namespace

Qt::CursorShape TclsUtils::SetCursor(Qt::CursorShape cursor)
{
    const Qt::CursorShape previous = replaceCursor(cursor);
    QCoreApplication::processEvents();
    return previous;
}

QMessageBox::StandardButton TclsUtils::showBox(TMsgDlgType type, const std::string &text,
                                               QMessageBox::StandardButtons buttons, unsigned int beep) noexcept
{
    try {
        if (FSoundHook)
            FSoundHook(beep);
        else if (haveWidgets())
            QApplication::beep();

        struct RestoreCursor {
            Qt::CursorShape shape;
            ~RestoreCursor() { replaceCursor(shape); }
        } restore{replaceCursor(Qt::ArrowCursor)};

        if (FAnswerHook)
            return FAnswerHook(TMessageBoxRequest{type, text, buttons});
        if (!haveWidgets())
            return QMessageBox::NoButton;

        static const struct {
            QMessageBox::Icon icon;
            const char *title;
        } looks[] = {{QMessageBox::Warning, "Warning"},
                     {QMessageBox::Critical, "Error"},
                     {QMessageBox::Information, "Information"},
                     {QMessageBox::Question, "Confirm"},
                     {QMessageBox::NoIcon, nullptr}};
        const auto &look = looks[type >= mtWarning && type <= mtCustom ? type : mtCustom];
        const QString title = look.title ? QString::fromLatin1(look.title) : QGuiApplication::applicationDisplayName();
        // On the heap: a parent that goes away while the box is open takes
        // the box with it.
        QPointer<QMessageBox> box = new QMessageBox(look.icon, title, displayText(text), buttons, boxParent());
        const int answer = box->exec();
        delete box.data();
        return static_cast<QMessageBox::StandardButton>(answer);
    } catch (...) {
        return QMessageBox::NoButton;
    }
}

void TclsUtils::ShowInformation(const std::string &text)
{
    showBox(mtInformation, text, QMessageBox::Ok, beepAsterisk);
}

void TclsUtils::ShowError(const std::string &text)
{
    showBox(mtError, text, QMessageBox::Ok, beepHand);
}

void TclsUtils::ShowWarning(const std::string &text)
{
    showBox(mtWarning, text, QMessageBox::Ok, beepExclamation);
}

bool TclsUtils::ConfirmYesCancel(const std::string &text)
{
    return showBox(mtConfirmation, text, QMessageBox::Yes | QMessageBox::Cancel, beepQuestion) == QMessageBox::Yes;
}

bool TclsUtils::ConfirmYesNo(const std::string &text)
{
    return showBox(mtConfirmation, text, QMessageBox::Yes | QMessageBox::No, beepQuestion) == QMessageBox::Yes;
}

QMessageBox::StandardButton TclsUtils::AskYesNoCancel(const std::string &text, TMsgDlgType type)
{
    static const unsigned int sounds[] = {beepExclamation, beepHand, beepAsterisk, beepQuestion, beepDefault};
    const unsigned int beep = type >= mtWarning && type <= mtCustom ? sounds[type] : beepDefault;
    const auto answer = showBox(type, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, beep);
    return answer == QMessageBox::Yes || answer == QMessageBox::No ? answer : QMessageBox::Cancel;
}

// ---- Texts and numbers

std::string TclsUtils::TrimBlanks(const std::string &text)
{
    return gvutils::trimBlanks(text);
}

std::string TclsUtils::TrimLeftBlanks(const std::string &text)
{
    return gvutils::trimLeftBlanks(text);
}

std::string TclsUtils::TrimRightBlanks(const std::string &text)
{
    return gvutils::trimRightBlanks(text);
}

std::string TclsUtils::CenterText(const std::string &text, int width, char pad)
{
    return gvutils::centerText(text, width, pad);
}

std::string TclsUtils::PadLeft(const std::string &text, int length, char pad)
{
    return gvutils::padLeft(text, length, pad);
}

std::string TclsUtils::PadRight(const std::string &text, int length, char pad)
{
    return gvutils::padRight(text, length, pad);
}

bool TclsUtils::IsBlank(const std::string &text)
{
    return gvutils::isBlank(text);
}

std::string TclsUtils::FormatThousands(std::int32_t value)
{
#ifdef GV_UTILS_REGISTRATION_COPY
    return gvutils::groupThousands(value, ",");
#else
    return gvutils::groupThousands(value, QLocale().groupSeparator().toStdString());
#endif
}

std::string TclsUtils::TimeText()
{
    const QTime time = now().time();
    return gvutils::clockText(time.hour(), time.minute(), time.second());
}

std::string TclsUtils::StripAmpersands(const std::string &text)
{
    return gvutils::stripAmpersands(text);
}

std::string TclsUtils::AddBackslash(const std::string &path)
{
    return gvutils::addPathSeparator(path);
}

std::string TclsUtils::NowText()
{
    const QDateTime stamp = now();
    const std::string date = QLocale().toString(stamp.date(), QLocale::ShortFormat).toStdString();
    return gvutils::dateAndHourText(date, stamp.time().hour(), stamp.time().minute());
}

std::string TclsUtils::IntervalText(int months)
{
    return gvutils::intervalText(months);
}

double TclsUtils::RoundMoney(double value)
{
    return gvutils::roundMoney(value);
}

// ---- System information

std::string TclsUtils::WindowsVersionText()
{
    return gvutils::osVersionText();
}

double TclsUtils::WindowsVersion()
{
    return gvutils::versionNumber(WindowsVersionText());
}

std::string TclsUtils::WindowsServicePack()
{
    return gvutils::osUpdateText();
}

bool TclsUtils::IsOldWindows()
{
    return WindowsVersion() < 4;
}

void TclsUtils::FileVersionInfo(const std::string &fileName, std::string &fileVersion, std::string &productVersion)
{
    fileVersion = "??";
    productVersion = "??";
    if (const auto note = gvutils::readVersionNote(fileName)) {
        fileVersion = gvutils::versionText(note->fileVersion);
        productVersion = gvutils::versionText(note->productVersion);
    }
}

std::string TclsUtils::ComputerName(bool forFileName)
{
    return gvutils::computerName(forFileName);
}

int TclsUtils::NextInstanceNumber(const std::string &className, const std::string &title)
{
    std::set<QString> titles;
    // Other instances run in processes of their own: every top-level window
    // of the display counts by its title. An X11 window carries no widget
    // class, so the class name narrows only this process's own windows.
    for (const updater::TTopLevelWindow &window : updater::TopLevelWindows())
        titles.insert(QString::fromStdString(window.title));
    if (haveWidgets()) {
        const QString wantedClass = QString::fromStdString(className);
        for (const QWidget *window : QApplication::topLevelWidgets()) {
            QString name = QString::fromLatin1(window->metaObject()->className());
            name = name.mid(name.lastIndexOf(QLatin1String("::")) + (name.contains(QLatin1String("::")) ? 2 : 0));
            if (name == wantedClass || window->objectName() == wantedClass)
                titles.insert(window->windowTitle());
        }
    }
    const QString base = QString::fromStdString(title);
    int n = 1;
    while (titles.count(n == 1 ? base : base + QLatin1Char(':') + QString::number(n)) != 0)
        ++n;
    return n;
}

// ---- Files

std::string TclsUtils::TempDirectory()
{
    return gvutils::tempDirectory();
}

std::string TclsUtils::TempFileName(const std::string &directory)
{
    return gvutils::tempFileName(directory);
}

gvutils::THandle TclsUtils::OpenFile(const std::string &fileName, std::uint32_t access, std::uint32_t creation,
                                     std::uint32_t shareMode)
{
    return gvutils::openFile(fileName, access, creation, shareMode);
}

std::uint32_t TclsUtils::WriteBuffer(gvutils::THandle handle, const void *buffer, std::uint32_t count)
{
    return gvutils::writeBuffer(handle, buffer, count);
}

void TclsUtils::WriteLine(gvutils::THandle handle, const std::string &text)
{
    gvutils::writeLine(handle, text);
}

void TclsUtils::ReadLine(gvutils::THandle handle, const std::string &terminator, std::string &line, bool &eof)
{
    gvutils::readLine(handle, terminator, line, eof);
}

bool TclsUtils::AppendLines(const std::string &fileName, const std::vector<std::string> &lines)
{
    return gvutils::appendLines(fileName, lines);
}

std::vector<std::string> TclsUtils::DeleteFiles(const std::string &pattern)
{
    return gvutils::deleteFiles(pattern);
}

// ---- Flag file

std::string TclsUtils::FlagFilePath()
{
    // Qt takes its own options (-platform and the like) off the command line.
    if (QCoreApplication::instance() != nullptr) {
        const QStringList arguments = QCoreApplication::arguments();
        std::optional<std::string> first;
        if (arguments.size() > 1)
            first = arguments.at(1).toStdString();
        return gvutils::flagFilePath(first, QCoreApplication::applicationDirPath().toStdString());
    }
    return gvutils::flagFilePath(gvutils::firstProgramParameter(), gvutils::programDirectory());
}

gvutils::THandle TclsUtils::CreateFlagFile(const std::string &fileName)
{
    const gvutils::THandle handle = gvutils::createFlagFile(fileName);
    if (handle == gvutils::INVALID_HANDLE_VALUE)
        ShowError(flagFileError(fileName));
    return handle;
}

void TclsUtils::WriteFlagFile(const std::string &fileName, gvutils::THandle &handle, const std::string &line1,
                              const std::string &line2, const std::string &line3)
{
    if (handle == gvutils::INVALID_HANDLE_VALUE)
        return;
    const QLocale locale;
    const QDateTime stamp = now();
    const std::string written =
        (locale.toString(stamp.date(), QLocale::ShortFormat) + QLatin1Char(' ') + localeTimeText(locale, stamp.time()))
            .toStdString();
    const std::vector<std::string> lines{line1, line2, line3, written};
    // The handle keeps its lock while the content changes. Only a handle that
    // cannot hold the file is swapped for a fresh one.
    if (gvutils::rewriteFlagFile(handle, fileName, lines))
        return;
    gvutils::closeFile(handle);
    handle = CreateFlagFile(fileName);
    if (handle != gvutils::INVALID_HANDLE_VALUE)
        gvutils::rewriteFlagFile(handle, fileName, lines);
}

bool TclsUtils::DeleteFlagFile()
{
    return gvutils::deleteFlagFile(FlagFilePath());
}

bool TclsUtils::ReleaseFlagFile(gvutils::THandle handle)
{
    gvutils::closeFile(handle);
    return DeleteFlagFile();
}

bool TclsUtils::CanStart()
{
    if (DeleteFlagFile())
        return true;
    ShowInformation(canStartRefusal);
    return false;
}
