// The one seam through which everything a user must answer or notice passes: message
// boxes, the beep, the open-file and colour dialogs, help windows and modal dialogs.
// Tests install their own Dialogs to answer and record; nothing ever waits for a click.
#pragma once

#include <QColor>
#include <QString>

#include <optional>

class QDialog;
class QWidget;

namespace platform::ui {

// Message box buttons and icons, with their Windows values, combined by addition.
enum MessageBoxStyle : int {
    OkOnly = 0,
    OkCancel = 1,
    AbortRetryIgnore = 2,
    YesNoCancel = 3,
    YesNo = 4,
    RetryCancel = 5,
    Critical = 16,
    Question = 32,
    Exclamation = 48,
    Information = 64,
};

// The button the user chose.
enum MessageBoxResult : int {
    Ok = 1,
    Cancel = 2,
    Abort = 3,
    Retry = 4,
    Ignore = 5,
    Yes = 6,
    No = 7
};

struct FileDialogRequest {
    QString title;
    QString filter; // "Description|*.a;*.b|Other|*.c", pairs separated by vertical bars
    QString directory;
    QString fileName;
    bool mustExist = true;
};

class Dialogs {
public:
    virtual ~Dialogs();
    virtual int messageBox(QWidget *parent, const QString &text, const QString &title,
                           int style) = 0;
    virtual void beep() = 0;
    // The chosen file, or nothing when the user cancelled.
    virtual std::optional<QString> openFile(QWidget *parent, const FileDialogRequest &request) = 0;
    // The file to write, or nothing when the user cancelled; an existing file is only
    // returned after the user agreed to replace it. `mustExist` is not used.
    virtual std::optional<QString> saveFile(QWidget *parent, const FileDialogRequest &request) = 0;
    virtual std::optional<QColor> chooseColor(QWidget *parent, const QColor &initial) = 0;
    // Runs a modal dialog and returns its result code (QDialog::Accepted / Rejected).
    virtual int exec(QDialog &dialog) = 0;
};

// The seam in force: real Qt dialogs unless a test installed its own.
Dialogs &dialogs();
// Installs a seam (not owned); nullptr restores the real dialogs.
void setDialogs(Dialogs *seam);

// Qt's form of a "Description|patterns|..." filter list.
QString qtFileFilter(const QString &barSeparated);

} // namespace platform::ui
