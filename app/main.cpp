// The `orvane` program: the start procedure, then the main window, shown non-modally; the
// window's load sequence runs as it is built.

#include "app/shell/frmmain.h"
#include "app/shell/startup.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    shell::Startup::run(shell::Startup::currentEnvironment(app.arguments()));
    shell::frmMain window;
    window.show();
    // Offers the work a crashed session left unsaved, and keeps this session's safe.
    window.projects().startSession();
    return app.exec();
}
