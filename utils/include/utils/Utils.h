#pragma once

#include "utils/FileAccess.h"

#include <QDateTime>
#include <QMessageBox>
#include <Qt>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#if defined(GV_UTILS_UPDATER_COPY) == defined(GV_UTILS_REGISTRATION_COPY)
#error "Build the utility class as exactly one program's copy: GV_UTILS_UPDATER_COPY or GV_UTILS_REGISTRATION_COPY"
#endif

class QColor;
class QFontMetrics;
class QObject;
class QPainter;
class QPixmap;
class QRect;
class QTableView;
class QWidget;

namespace desktopdb {
class Table;
}

// Kinds of message box, in the order callers pass them as numbers.
enum TMsgDlgType { mtWarning = 0, mtError = 1, mtInformation = 2, mtConfirmation = 3, mtCustom = 4 };

// System sounds played before a message box.
enum TBeep : unsigned int {
    beepDefault = 0,
    beepHand = 16,
    beepQuestion = 32,
    beepExclamation = 48,
    beepAsterisk = 64
};

// What a message box is about to show; handed to the answer hook.
struct TMessageBoxRequest {
    TMsgDlgType type;
    std::string text;
    QMessageBox::StandardButtons buttons;
};

// The utility class that each program creates once, before its first form,
// and frees after its message loop. Every operation is virtual so that a
// program can refine it; the order of the operations is fixed.
class TclsUtils {
public:
    using TSoundHook = std::function<void(unsigned int beep)>;
    using TAnswerHook = std::function<QMessageBox::StandardButton(const TMessageBoxRequest &)>;
    using TClock = std::function<QDateTime()>;

    TclsUtils();
    virtual ~TclsUtils();
    TclsUtils(const TclsUtils &) = delete;
    TclsUtils &operator=(const TclsUtils &) = delete;

#ifdef GV_UTILS_UPDATER_COPY
    // Classic (Windows 9x) look of framed edits and group boxes; off by default.
    bool FClassicLook = false;
#endif

    virtual void SetSmallFont(QWidget *form);
    virtual void ArrangeButtons(QWidget *form, QWidget *container);
    virtual bool IsSmallFonts(QWidget *form);
    virtual void KeepOnScreen(QWidget *control);
    virtual Qt::CursorShape SetCursor(Qt::CursorShape cursor);
    virtual void MakeReadOnly(QWidget *control);
    virtual void MakeEditable(QWidget *control);
    virtual void MakeChildrenReadOnly(QWidget *container);
    virtual void MakeChildrenEditable(QWidget *container);
    // Caption look (font and black text) for a label or other control.
    virtual void SetCaptionFont(QWidget *control);
    virtual void ShowRestored(QWidget *form);
    virtual int NextInstanceNumber(const std::string &className, const std::string &title);
    virtual double WindowsVersion();
    virtual std::string WindowsVersionText();
    virtual std::string WindowsServicePack();
    virtual bool IsOldWindows();
    virtual std::string TempDirectory();
    virtual std::string TempFileName(const std::string &directory);
    virtual void FileVersionInfo(const std::string &fileName, std::string &fileVersion, std::string &productVersion);
    virtual std::string ComputerName(bool forFileName);
    virtual void ShowInformation(const std::string &text);
    virtual void ShowError(const std::string &text);
    virtual void ShowWarning(const std::string &text);
    virtual bool ConfirmYesCancel(const std::string &text);
    virtual bool ConfirmYesNo(const std::string &text);
    // Yes, No or Cancel.
    virtual QMessageBox::StandardButton AskYesNoCancel(const std::string &text, TMsgDlgType type);
    virtual std::string TrimBlanks(const std::string &text);
    virtual std::string TrimLeftBlanks(const std::string &text);
    virtual std::string TrimRightBlanks(const std::string &text);
    virtual std::string CenterText(const std::string &text, int width, char pad);
    virtual std::string PadLeft(const std::string &text, int length, char pad);
    virtual std::string PadRight(const std::string &text, int length, char pad);
    virtual bool IsBlank(const std::string &text);
    virtual std::string FormatThousands(std::int32_t value);
    virtual std::string TimeText();
    virtual QString FitText(const QString &text, const QFontMetrics &canvas, int width);
    virtual std::string StripAmpersands(const std::string &text);
    virtual gvutils::THandle OpenFile(const std::string &fileName, std::uint32_t access, std::uint32_t creation,
                                      std::uint32_t shareMode);
    virtual std::uint32_t WriteBuffer(gvutils::THandle handle, const void *buffer, std::uint32_t count);
    virtual void WriteLine(gvutils::THandle handle, const std::string &text);
    virtual void ReadLine(gvutils::THandle handle, const std::string &terminator, std::string &line, bool &eof);
    virtual bool AppendLines(const std::string &fileName, const std::vector<std::string> &lines);
    virtual std::string FlagFilePath();
    virtual bool ReleaseFlagFile(gvutils::THandle handle);
    virtual bool DeleteFlagFile();
    virtual gvutils::THandle CreateFlagFile(const std::string &fileName);
    virtual bool CanStart();
    virtual void WriteFlagFile(const std::string &fileName, gvutils::THandle &handle, const std::string &line1,
                               const std::string &line2, const std::string &line3);
    virtual std::string AddBackslash(const std::string &path);
    // The files that matched but were left: held by another process or not
    // deletable. Empty when every matching file went.
    virtual std::vector<std::string> DeleteFiles(const std::string &pattern);
    virtual void FlattenFrames(QObject *container);
    virtual void SetEditFocusColors(QWidget *edit, bool focused);
    virtual void CopyFields(desktopdb::Table &source, desktopdb::Table &target);
    virtual void CopyMatchingFields(desktopdb::Table &source, desktopdb::Table &target);
    virtual bool IsRecordInEdit(const QString &formName, QWidget *skipForm, int keyValue, const std::string &keyField,
                                const std::string &tableName);
    virtual std::string NowText();
    virtual std::string IntervalText(int months);
    virtual void StretchLastColumn(QTableView *grid);
    virtual double RoundMoney(double value);

    void SetFrameStyle(QObject *component, bool classic);
#ifdef GV_UTILS_UPDATER_COPY
    void ScaleButtonsLargeFonts(QWidget *container);
#else
    // The picture is an image control (a QLabel showing a pixmap) or a bitmap;
    // other objects draw nothing.
    void DrawTransparent(QPainter &canvas, const QRect &target, const QColor &background, const QObject *picture,
                         const QRect &clip);
    void DrawTransparent(QPainter &canvas, const QRect &target, const QColor &background, const QPixmap &picture,
                         const QRect &clip);
    void MakeCheckGlyphs(QPixmap &marked, QPixmap &unmarked, bool alternative, int kind);
#endif

    // Seams. The sound hook plays the system sound before a box (default:
    // the application's beep). The answer hook, when set, answers a box
    // instead of showing it; throwing from it counts as a failure to show.
    // The clock gives the current local date and time.
    void setSoundHook(TSoundHook hook);
    void setAnswerHook(TAnswerHook hook);
    void setClock(TClock clock);

private:
    // FClassicLook in the update checker's copy; the registration program's
    // copy always has the modern look.
    bool ClassicLook() const;
    QMessageBox::StandardButton showBox(TMsgDlgType type, const std::string &text, QMessageBox::StandardButtons buttons,
                                        unsigned int beep) noexcept;
    QDateTime now() const;

    TSoundHook FSoundHook;
    TAnswerHook FAnswerHook;
    TClock FClock;
};
