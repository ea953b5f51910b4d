// The `orvane` program: the start procedure, then the main window, shown non-modally; the
// window's load sequence runs as it is built.

#include "app/common/appstate.h"
#include "app/shell/frmmain.h"
#include "app/shell/qttranslations.h"
#include "app/shell/startup.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

#include <functional>

namespace {

// Runs a call once, when the window is first activated (the window manager has placed it), or
// after a while where no activation comes.
class WhenPlaced : public QObject {
public:
    WhenPlaced(QWidget &window, std::function<void()> call)
        : QObject(&window), m_call(std::move(call)) {
        window.installEventFilter(this);
        QTimer::singleShot(1500, this, [this] { run(); });
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::WindowActivate)
            QTimer::singleShot(0, this, [this] { run(); });
        return false;
    }

private:
    void run() {
        if (!m_call)
            return;
        const auto call = std::move(m_call);
        m_call = nullptr;
        call();
    }
    std::function<void()> m_call;
};

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    shell::Startup::run(shell::Startup::currentEnvironment(app.arguments()));
    // Yes, No, Cancel and the file dialog in the interface language.
    shell::installQtTranslations(app, common::appState().UiLcid);
    shell::frmMain window;
    window.show();
    // Offers the work a crashed session left unsaved, and keeps this session's safe; the offer
    // waits until the window is in place, so that it appears over it.
    new WhenPlaced(window, [&window] { window.projects().startSession(); });
    return app.exec();
}
