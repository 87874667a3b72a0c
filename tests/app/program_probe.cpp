// The program built from its own start-up code with its dialogs printed, for the tests
// that run it as a separate process. K40_PROBE_LEAVE=action|close leaves it, once its
// window is up, by the "Выход" menu action or by closing the window.

#include "main_window.h"
#include "printed_dialogs.h"
#include "start_up.h"

#include <QAction>
#include <QApplication>
#include <QTimer>

namespace {

void leave_when_the_window_is_up()
{
    const QString how = qEnvironmentVariable("K40_PROBE_LEAVE");
    if (how.isEmpty())
        return;
    auto *timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, qApp, [timer, how] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *window = qobject_cast<PROGRAMMATOR_K40 *>(w);
            if (!window || !window->isVisible())
                continue;
            timer->stop();
            if (how == QLatin1String("action"))
                window->findChild<QAction *>(QStringLiteral("act_exit_from_program"))->trigger();
            else
                window->close();
            return;
        }
    });
    timer->start(100);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(leave_when_the_window_is_up)

int main(int argc, char **argv)
{
    PrintedDialogs printed;
    return run_programmator(argc, argv, &printed);
}
