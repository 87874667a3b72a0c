#include "start_up.h"

#include <QApplication>
#include <QIcon>
#include <QPointer>
#include <ctime>
#include <memory>

#include "dialog_seam.h"
#include "main_window.h"
#include "messages.h"
#include "single_instance.h"
#include "startup_hook.h"
#include "startup_project.h"
#include "station_loader.h"
#include "trace_device.h"

int run_programmator(int argc, char **argv, DialogSeam *dialogs)
{
    SingleInstanceGuard guard;
    const SingleInstanceGuard::Result held = guard.try_acquire();
    // Refusing to run for a folder nobody can write would keep the program from starting at
    // all; the technician is told and the program runs unguarded.
    if (held == SingleInstanceGuard::Unusable)
        write_diagnostic(QStringLiteral("Не удалось создать файл блокировки %1: проверка "
                                        "второй копии программы отключена\n")
                             .arg(guard.path()));
    if (held == SingleInstanceGuard::HeldByAnother) {
        if (dialogs) {
            dialogs->message_box(nullptr, single_instance_caption(), single_instance_message());
        } else {
            QApplication app(argc, argv);
            default_dialogs().message_box(nullptr, single_instance_caption(),
                                          single_instance_message());
        }
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icon/icon.png")));
    if (dialogs)
        set_default_dialogs(dialogs);

    auto splash = std::make_unique<STARTUP_PROJECT>();
    startup_project = splash.get();
    set_startup_splash_closer([] {
        if (startup_project)
            startup_project->Close();
    });
    splash->Close();
    splash->Show(QStringLiteral("Запуск программы: Ждите ..."));

    tzset();

    STATION_CONFIG station{};
    if (read_station_conf_from_file(&station, ".") == StationLoadResult::ExitSilently)
        return 0;

    // "--trace FILE" (or "--trace=FILE") records the exchange with the radio for a bug report.
    const QStringList arguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        QString trace;
        if (arguments[i] == QLatin1String("--trace"))
            trace = i + 1 < arguments.size() ? arguments[++i] : QString();
        else if (arguments[i].startsWith(QLatin1String("--trace=")))
            trace = arguments[i].mid(8);
        else
            continue;
        QString why;
        if (trace.isEmpty())
            write_diagnostic(QStringLiteral("Не указан файл трассировки: --trace ФАЙЛ\n"));
        else if (!com_start_trace(trace, &why))
            write_diagnostic(
                QStringLiteral("Не удалось открыть файл трассировки %1: %2\n").arg(trace, why));
    }

    auto window = std::make_unique<PROGRAMMATOR_K40>(nullptr, &station);
    window->setGeometry(10, 25, 760, 465);
    window->show();
    QObject::connect(&app, &QGuiApplication::lastWindowClosed, &app, &QCoreApplication::quit);

    const int result = QApplication::exec();
    window.reset();
    com_stop_trace();
    set_startup_splash_closer(nullptr);
    startup_project = nullptr;
    splash.reset();
    set_default_dialogs(nullptr);
    return result;
}
