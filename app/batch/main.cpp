// `orvane-track`: batch tracking of one project from the command line, without a display.
// Progress, lost markers and the summary go to standard error; standard output carries only
// the --help and --version texts. Exit codes: batch::kExit* (batchtrack.h).

#include "app/batch/batchtrack.h"
#include "app/shell/startup.h"

#include <QApplication>
#include <QStandardPaths>

#include <cstdio>

namespace {

void say(const QString &line) {
    std::fprintf(stderr, "orvane-track: %s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

// Qt's own chatter (a missing runtime folder, fonts of the offscreen platform) says nothing
// about the run and would drown the progress lines; only its errors are passed on.
void qtMessages(QtMsgType type, const QMessageLogContext &, const QString &message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        say(QStringLiteral("Qt: ") + message);
}

} // namespace

int main(int argc, char *argv[]) {
    // The command line is read before Qt starts, so that --help, --version and a bad command
    // line need neither a display nor Qt's platform plugins.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const batch::CommandLine line = batch::parseCommandLine(arguments);
    if (line.help) {
        std::fputs(batch::usageText().toLocal8Bit().constData(), stdout);
        return batch::kExitDone;
    }
    if (line.version) {
        std::printf("orvane-track %s\n", ORVANE_VERSION_TEXT);
        return batch::kExitDone;
    }
    if (!line.options) {
        say(line.error);
        std::fputs(batch::usageText().toLocal8Bit().constData(), stderr);
        return batch::kExitUsage;
    }

    // Headless on any machine: no display is needed, whatever the environment says.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(qtMessages);
    QApplication app(argc, argv);

    batch::Options options = *line.options;
    // Unless the command line names one, the application's own settings file, found as the
    // program finds it: this program is installed beside it.
    if (options.settingsFile.isEmpty())
        options.settingsFile = shell::settingsFileFor(
            shell::programDirFromExecutable(QCoreApplication::applicationFilePath()),
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                QStringLiteral("/Orvane"));

    int shownPercent = -1;
    batch::Reporter reporter;
    reporter.progress = [&shownPercent](int frame, int first, int last) {
        const int percent = last > first ? int((frame - first) * 100LL / (last - first)) : 100;
        if (percent == shownPercent)
            return;
        shownPercent = percent;
        say(QStringLiteral("frame %1 of %2 (%3%)").arg(frame).arg(last).arg(percent));
    };
    reporter.lost = [](const batch::Loss &loss) {
        say(QStringLiteral("marker \"%1\" lost at frame %2").arg(loss.marker).arg(loss.frame));
    };

    const batch::Outcome outcome = batch::run(options, reporter);
    if (outcome.exitCode == batch::kExitError) {
        say(QStringLiteral("error: ") + outcome.error);
        return outcome.exitCode;
    }
    say(QStringLiteral("%1 marker(s) over frames %2 to %3, %4 lost; project saved, export "
                       "written to %5")
            .arg(outcome.markers)
            .arg(outcome.first)
            .arg(outcome.last)
            .arg(outcome.losses.size())
            .arg(options.exportPath));
    return outcome.exitCode;
}
