#include "platform/ui/dialogs.h"

#include "platform/ui/lastfolder.h"

#include <QApplication>
#include <QColorDialog>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

#include <atomic>

namespace platform::ui {

Dialogs::~Dialogs() = default;

namespace {

// A request without a folder starts where the user last chose a file, in this or an earlier
// run. Set after construction: Qt's widget dialog restores its own last folder while it is
// built and would otherwise override the folder given to the constructor.
void startIn(QFileDialog &dialog, const FileDialogRequest &request) {
    const QString folder = LastFolder().startDirectory(request.directory);
    if (!folder.isEmpty())
        dialog.setDirectory(folder);
}

class QtDialogs final : public Dialogs {
public:
    int messageBox(QWidget *parent, const QString &text, const QString &title, int style) override {
        QMessageBox box(parent);
        box.setWindowTitle(title.isEmpty() ? QApplication::applicationDisplayName() : title);
        box.setText(QString(text).replace(QChar('\r'), QChar('\n')));
        switch (style & 0x70) {
        case Critical:
            box.setIcon(QMessageBox::Critical);
            break;
        case Question:
            box.setIcon(QMessageBox::Question);
            break;
        case Exclamation:
            box.setIcon(QMessageBox::Warning);
            break;
        case Information:
            box.setIcon(QMessageBox::Information);
            break;
        default:
            box.setIcon(QMessageBox::NoIcon);
        }
        QMessageBox::StandardButtons buttons;
        switch (style & 0x7) {
        case OkCancel:
            buttons = QMessageBox::Ok | QMessageBox::Cancel;
            break;
        case AbortRetryIgnore:
            buttons = QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
            break;
        case YesNoCancel:
            buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
            break;
        case YesNo:
            buttons = QMessageBox::Yes | QMessageBox::No;
            break;
        case RetryCancel:
            buttons = QMessageBox::Retry | QMessageBox::Cancel;
            break;
        default:
            buttons = QMessageBox::Ok;
        }
        box.setStandardButtons(buttons);
        switch (box.exec()) {
        case QMessageBox::Ok:
            return Ok;
        case QMessageBox::Abort:
            return Abort;
        case QMessageBox::Retry:
            return Retry;
        case QMessageBox::Ignore:
            return Ignore;
        case QMessageBox::Yes:
            return Yes;
        case QMessageBox::No:
            return No;
        default:
            return Cancel;
        }
    }

    void beep() override { QApplication::beep(); }

    // Every chosen file's folder is remembered for the next dialog.
    std::optional<QString> openFile(QWidget *parent, const FileDialogRequest &request) override {
        QFileDialog dialog(parent, request.title, QString(), qtFileFilter(request.filter));
        startIn(dialog, request);
        dialog.setFileMode(request.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::ReadOnly, false);
        if (!request.fileName.isEmpty())
            dialog.selectFile(request.fileName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        const QString chosen = dialog.selectedFiles().front();
        LastFolder().remember(chosen); // a store that cannot keep it only costs the convenience
        return chosen;
    }

    std::optional<QString> saveFile(QWidget *parent, const FileDialogRequest &request) override {
        QFileDialog dialog(parent, request.title, QString(), qtFileFilter(request.filter));
        startIn(dialog, request);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        // A name typed without an extension gets the first pattern's ("*.txt" gives txt).
        const QStringList parts = request.filter.split(QChar('|'));
        if (parts.size() >= 2) {
            const QString first = parts[1].section(QChar(';'), 0, 0);
            if (first.startsWith(QLatin1String("*.")) && !first.mid(2).contains(QChar('*')))
                dialog.setDefaultSuffix(first.mid(2));
        }
        if (!request.fileName.isEmpty())
            dialog.selectFile(request.fileName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        const QString chosen = dialog.selectedFiles().front();
        LastFolder().remember(chosen); // a store that cannot keep it only costs the convenience
        return chosen;
    }

    std::optional<QColor> chooseColor(QWidget *parent, const QColor &initial) override {
        const QColor c = QColorDialog::getColor(initial, parent);
        if (!c.isValid())
            return std::nullopt;
        return c;
    }

    int exec(QDialog &dialog) override { return dialog.exec(); }
};

QtDialogs &qtDialogs() {
    static QtDialogs seam;
    return seam;
}

std::atomic<Dialogs *> g_seam{nullptr};

} // namespace

Dialogs &dialogs() {
    Dialogs *s = g_seam.load();
    return s ? *s : qtDialogs();
}

void setDialogs(Dialogs *seam) {
    g_seam.store(seam);
}

QString qtFileFilter(const QString &barSeparated) {
    const QStringList parts = barSeparated.split(QChar('|'), Qt::SkipEmptyParts);
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QChar(';'), QChar(' '));
        // A description that shows its patterns already ("Text file (*.txt)") keeps its
        // words; Qt reads the patterns from the last parentheses, separated by blanks.
        QString description = parts[i];
        if (description.endsWith(QChar(')')) && description.contains(QChar('(')))
            description = description.left(description.lastIndexOf(QChar('('))).trimmed();
        filters << QStringLiteral("%1 (%2)").arg(description, patterns);
    }
    return filters.join(QStringLiteral(";;"));
}

} // namespace platform::ui
