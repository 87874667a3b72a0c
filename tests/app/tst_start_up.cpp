// Start-up and shutdown: the single-instance guard in-process and across real program runs
// (the program built from the same start-up code with its dialogs printed), the ways out of
// a normal run, the silent exit on a damaged station file, and the splash.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>
#include <memory>

#include "single_instance.h"
#include "startup_project.h"

namespace {

// A working directory with the shipped station file and a port that does not exist, and a
// private runtime folder so the guard never meets a copy running outside the test.
struct ProgramPlace {
    QTemporaryDir work;
    QTemporaryDir runtime;
    QTemporaryDir tmp;

    bool prepare(bool damage_station_file = false)
    {
        const QString station = work.filePath(QStringLiteral("torvel.configuration.K40"));
        if (!QFile::copy(QStringLiteral(K40_SOURCE_DIR "/data/torvel.configuration.K40"), station))
            return false;
        if (damage_station_file) {
            QFile f(station);
            if (!f.open(QIODevice::ReadWrite))
                return false;
            QByteArray text = f.readAll();
            text.replace("146000", "146025");  // breaks the seal, not the syntax
            f.resize(0);
            f.write(text);
        }
        QFile port(work.filePath(QStringLiteral("torvel.txt")));
        if (!port.open(QIODevice::WriteOnly))
            return false;
        port.write("[Com_Port_Name]=[/dev/k40-test-no-such-port]\n"
                   "[Com_Port_BaudRate]=[9600]\n");
        return true;
    }

    QString lock_path() const
    {
        return QDir(runtime.path()).filePath(QString::fromLatin1(SINGLE_INSTANCE_NAME));
    }

    // tmpdir: what TMPDIR says for this copy (the shared one when empty).
    // leave: how the copy leaves once its window is up ("action", "close"), or never.
    std::unique_ptr<QProcess> start(const QString &tmpdir = QString(),
                                    const QString &leave = QString(),
                                    const QStringList &arguments = {}) const
    {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        env.insert(QStringLiteral("TMPDIR"), tmpdir.isEmpty() ? tmp.path() : tmpdir);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        if (!leave.isEmpty())
            env.insert(QStringLiteral("K40_PROBE_LEAVE"), leave);
        p->setProcessEnvironment(env);
        p->setWorkingDirectory(work.path());
        p->start(QStringLiteral(K40_PROGRAM), arguments);
        return p;
    }
};

void stop(QProcess &p)
{
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished(5000);
    }
}

}  // namespace

class TestStartUp : public QObject {
    Q_OBJECT
private slots:
    void message_text();
    void guard_refuses_second_after_wait();
    void guard_free_again_after_release();
    void guard_in_unwritable_folder_is_no_second_copy();
    void guard_passes_over_unwritable_runtime_folder();
    void second_program_refused_first_unaffected();
    void damaged_station_file_exits_silently();
    void guard_holds_whatever_tmpdir_says();
    void normal_run_ends_with_status_zero_data();
    void normal_run_ends_with_status_zero();
    void trace_argument_data();
    void trace_argument();
    void splash_layout();
    void splash_show_close_and_drag();
};

void TestStartUp::message_text()
{
    QCOMPARE(single_instance_caption(), QStringLiteral("Внимание"));
    QCOMPARE(single_instance_message(),
             QStringLiteral("\n\n\n\n\n\n\n\n\nМожнго запускать на исполнение только одну копию "
                            "программы !\n\n\n\n\n\n\n\n\n"));
    QCOMPARE(QString::fromLatin1(SINGLE_INSTANCE_NAME), QStringLiteral("Programmator K40.loc"));
}

void TestStartUp::guard_refuses_second_after_wait()
{
    QTemporaryDir dir;
    SingleInstanceGuard first(dir.path());
    QVERIFY(first.acquire());
    QCOMPARE(first.path(), dir.filePath(QStringLiteral("Programmator K40.loc")));
    SingleInstanceGuard second(dir.path());
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!second.acquire());
    QVERIFY2(clock.elapsed() >= 900, "the second copy waits about 1000 ms");
    QVERIFY(clock.elapsed() < 5000);
}

void TestStartUp::guard_free_again_after_release()
{
    QTemporaryDir dir;
    {
        SingleInstanceGuard first(dir.path());
        QVERIFY(first.acquire());
    }
    SingleInstanceGuard next(dir.path());
    QElapsedTimer clock;
    clock.start();
    QVERIFY(next.acquire());
    QVERIFY(clock.elapsed() < 500);
}

// A lock that cannot be made tells nothing of another copy; no wait either.
void TestStartUp::guard_in_unwritable_folder_is_no_second_copy()
{
    SingleInstanceGuard guard(QStringLiteral("/proc"));  // not even root makes files there
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(guard.try_acquire(), SingleInstanceGuard::Unusable);
    QVERIFY(clock.elapsed() < 900);
}

void TestStartUp::guard_passes_over_unwritable_runtime_folder()
{
    if (::geteuid() == 0)
        QSKIP("root writes in any folder");
    QTemporaryDir runtime;
    QVERIFY(QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::ExeOwner));
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    SingleInstanceGuard guard;
    const SingleInstanceGuard::Result held = guard.try_acquire();
    qputenv("XDG_RUNTIME_DIR", saved);
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY2(!guard.path().startsWith(runtime.path()), qPrintable(guard.path()));
    QCOMPARE(held, SingleInstanceGuard::Acquired);
}

void TestStartUp::second_program_refused_first_unaffected()
{
    ProgramPlace place;
    QVERIFY(place.prepare());

    auto first = place.start();
    QVERIFY(first->waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(place.lock_path()), 10000);

    auto second = place.start();
    QVERIFY(second->waitForFinished(15000));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    const QString said = QString::fromLocal8Bit(second->readAllStandardOutput());
    QVERIFY2(said.contains(QStringLiteral("[Внимание]") + single_instance_message()),
             qPrintable(said));
    QCOMPARE(first->state(), QProcess::Running);

    // The first copy dies without cleaning up; a copy started right away still runs.
    first->kill();
    QVERIFY(first->waitForFinished(5000));
    QVERIFY(QFile::exists(place.lock_path()));  // left behind
    auto third = place.start();
    QVERIFY(third->waitForStarted(5000));
    QTest::qWait(2500);
    QCOMPARE(third->state(), QProcess::Running);
    const QString third_said = QString::fromLocal8Bit(third->readAllStandardOutput());
    QVERIFY2(!third_said.contains(QStringLiteral("Внимание")), qPrintable(third_said));
    stop(*third);
}

void TestStartUp::damaged_station_file_exits_silently()
{
    ProgramPlace place;
    QVERIFY(place.prepare(true));
    auto p = place.start();
    QVERIFY(p->waitForFinished(15000));
    QCOMPARE(p->exitStatus(), QProcess::NormalExit);
    QCOMPARE(p->exitCode(), 0);
    QCOMPARE(p->readAllStandardOutput(), QByteArray());
    QCOMPARE(p->readAllStandardError(), QByteArray());
}

void TestStartUp::guard_holds_whatever_tmpdir_says()
{
    ProgramPlace place;
    QVERIFY(place.prepare());
    QTemporaryDir other_tmp;
    auto first = place.start();
    QVERIFY(first->waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(place.lock_path()), 10000);

    auto second = place.start(other_tmp.path());
    QVERIFY(second->waitForFinished(15000));
    QCOMPARE(second->exitCode(), 0);
    const QString said = QString::fromLocal8Bit(second->readAllStandardOutput());
    QVERIFY2(said.contains(QStringLiteral("[Внимание]")), qPrintable(said));
    QCOMPARE(first->state(), QProcess::Running);
    stop(*first);
}

void TestStartUp::normal_run_ends_with_status_zero_data()
{
    QTest::addColumn<QString>("leave");
    QTest::newRow("menu action Выход") << QStringLiteral("action");
    QTest::newRow("last window closed") << QStringLiteral("close");
}

void TestStartUp::normal_run_ends_with_status_zero()
{
    QFETCH(QString, leave);
    ProgramPlace place;
    QVERIFY(place.prepare());
    auto p = place.start(QString(), leave);
    QVERIFY(p->waitForStarted(5000));
    const bool ended = p->waitForFinished(20000);
    if (!ended)
        stop(*p);
    QVERIFY(ended);
    QCOMPARE(p->exitStatus(), QProcess::NormalExit);
    QCOMPARE(p->exitCode(), 0);
    // The port and the guard were let go: the next copy starts.
    auto next = place.start(QString(), leave);
    QVERIFY(next->waitForFinished(20000));
    QCOMPARE(next->exitCode(), 0);
    QVERIFY(!QString::fromLocal8Bit(next->readAllStandardOutput())
                 .contains(QStringLiteral("Внимание")));
}

void TestStartUp::trace_argument_data()
{
    QTest::addColumn<QStringList>("arguments");  // "@" stands for the trace file's path
    QTest::addColumn<bool>("traced");
    QTest::addColumn<QString>("output");
    QTest::newRow("--trace FILE") << QStringList{QStringLiteral("--trace"), QStringLiteral("@")}
                                  << true << QString();
    QTest::newRow("--trace=FILE") << QStringList{QStringLiteral("--trace=@")} << true << QString();
    QTest::newRow("no file") << QStringList{QStringLiteral("--trace")} << false
                             << QStringLiteral("Не указан файл трассировки: --trace ФАЙЛ");
    QTest::newRow("folder missing")
        << QStringList{QStringLiteral("--trace"), QStringLiteral("@/no/such/folder")} << false
        << QStringLiteral("Не удалось открыть файл трассировки");
}

// The window takes the trace file as k40 does; the file is opened for appending at start.
void TestStartUp::trace_argument()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, traced);
    QFETCH(QString, output);
    ProgramPlace place;
    QVERIFY(place.prepare());
    const QString file = place.work.filePath(QStringLiteral("trace.log"));
    for (QString &a : arguments)
        a.replace(QLatin1Char('@'), file);
    auto p = place.start(QString(), QStringLiteral("action"), arguments);
    const bool ended = p->waitForFinished(20000);
    if (!ended)
        stop(*p);
    QVERIFY(ended);
    QCOMPARE(p->exitCode(), 0);
    QCOMPARE(QFile::exists(file), traced);
    // The window opens its port at start: a trace that records it is one the port uses.
    if (traced) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        QVERIFY2(text.contains(QStringLiteral(" -- открытие ")), qPrintable(text));
    }
    const QString out = QString::fromLocal8Bit(p->readAllStandardOutput());
    QVERIFY2(output.isEmpty() ? !out.contains(QStringLiteral("трассировки")) : out.contains(output),
             qPrintable(out));
}

void TestStartUp::splash_layout()
{
    STARTUP_PROJECT splash;
    QVERIFY(!splash.isVisible());
    const QImage logo(QStringLiteral(":/startup_project/logo.png"));
    QVERIFY(!logo.isNull());
    QCOMPARE(splash.size(), logo.size());
    const QRect desktop = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(splash.pos(),
             QPoint((desktop.width() - logo.width()) / 2, (desktop.height() - logo.height()) / 2));
    QCOMPARE(splash.label()->geometry(), QRect(10, 277, logo.width() - 20, 20));
    QCOMPARE(splash.label()->text(), QStringLiteral("<b>Ждите ...</b>"));
    QCOMPARE(splash.windowTitle(), QStringLiteral("Запуск программы"));
    QCOMPARE(splash.windowType(), Qt::SplashScreen);
    QVERIFY(splash.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(splash.hasMouseTracking());
    // The veil pales the logo: every pixel moves towards white.
    const QColor before = logo.pixelColor(5, 150);
    const QColor after = splash.image().pixelColor(5, 150);
    QVERIFY(after.lightness() >= before.lightness());
    QVERIFY(splash.image() != logo.convertToFormat(splash.image().format()));
}

void TestStartUp::splash_show_close_and_drag()
{
    STARTUP_PROJECT splash;
    splash.Show(QStringLiteral("Запуск программы: Ждите ..."));
    QVERIFY(splash.isVisible());
    QCOMPARE(splash.text(), QStringLiteral("Запуск программы: Ждите ..."));
    QCOMPARE(splash.label()->text(), QStringLiteral("<b>Запуск программы: Ждите ...</b>"));

    const QPoint start = splash.frameGeometry().topLeft();
    const QPoint grip = start + QPoint(40, 30);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(40, 30), QPointF(grip), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&splash, &press);
    const QPoint to = grip + QPoint(25, -10);
    QMouseEvent move(QEvent::MouseMove, QPointF(65, 20), QPointF(to), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(&splash, &move);
    QCOMPARE(splash.cursor().shape(), Qt::ClosedHandCursor);
    QCOMPARE(splash.frameGeometry().topLeft(), start + QPoint(25, -10));
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(65, 20), QPointF(to), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&splash, &release);
    QCOMPARE(splash.cursor().shape(), Qt::ArrowCursor);

    splash.Close();
    QVERIFY(!splash.isVisible());
}

QTEST_MAIN(TestStartUp)
#include "tst_start_up.moc"
