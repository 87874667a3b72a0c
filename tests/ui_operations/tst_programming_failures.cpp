// Every failure of programming reports its own messages, in order, right before
// "Ошибка программирования". The window talks to the radio model in memory through the
// device seam, so no run waits for a real line.

#include <QtTest>

#include "../link/model_device.h"
#include "line_edit_int.h"
#include "param_editors.h"
#include "radio_protocol.h"
#include "operations_fixture.h"

namespace {

QString u(const char *s) { return QString::fromUtf8(s); }

class NoWait final : public Sleeper {
public:
    void sleep_ms(int) override {}
};

struct MemoryWindow {
    QTemporaryDir dir;
    NoWait sleeper;
    ScriptedDialogs dialogs;
    std::shared_ptr<ModelRadio> radio;
    STATION_CONFIG station;
    std::unique_ptr<PROGRAMMATOR_K40> window;
    QString old_cwd = QDir::currentPath();

    MemoryWindow(uint8_t sost, const SimFaults &faults)
    {
        set_default_sleeper(&sleeper);
        QDir::setCurrent(dir.path());
        radio = std::make_shared<ModelRadio>(sample_image(), SimState{0, 1, sost}, faults);
        com_set_device_factory([r = radio] { return std::make_unique<ModelDevice>(r); });
        station = shipped_station(dir.path());
        std::strncpy(station.Com_Port_Name, "/dev/k40-in-memory", sizeof station.Com_Port_Name - 1);
        station.Com_Port_BaudRate = 9600;
        window = std::make_unique<PROGRAMMATOR_K40>(nullptr, &station, &dialogs, &sleeper);
    }
    ~MemoryWindow()
    {
        window.reset();
        com_set_device_factory(nullptr);
        QDir::setCurrent(old_cwd);
        set_default_sleeper(nullptr);
    }
    PROGRAMMATOR_K40 &w() { return *window; }
};

enum Failure {
    EchoNeverMatches,
    StaysOnTheAir,
    ToneCallGoesOn,
    FormRejected,
    OtherBand,
    BatchWriteFails,
    EchoRequestWriteFails,
    CommitWriteFails,
};

}  // namespace

Q_DECLARE_METATYPE(Failure)

class TestProgrammingFailures : public QObject {
    Q_OBJECT
private slots:
    void messages_before_the_verdict_data()
    {
        QTest::addColumn<Failure>("failure");
        QTest::addColumn<QStringList>("messages");
        const QString sending = u("Error: Отправка 8 пакетов в р/ст");
        const QString checking = u(
            "Error: Проверка параметров в форме редактирования при программировании");
        const QString batch = u("Error: Запись в порт 8 пакетов при программировании");
        const QString request = u(
            "Error: Запись в порт запроса на считывание 8 пакетов при программировании");
        const QString again = u(". Повторяем операцию.");
        QTest::newRow("echo never matches")
            << EchoNeverMatches
            << QStringList{
                   u("Error: Не совпали записанные и считанные в порт 8 пакетов при программировании"),
                   sending};
        QTest::newRow("stays on the air")
            << StaysOnTheAir << QStringList{u("Error: Уход с передачи при программировании")};
        QTest::newRow("tone call goes on")
            << ToneCallGoesOn << QStringList{u("Error: Отмена тонвызова при программировании")};
        QTest::newRow("form data rejected")
            << FormRejected
            << QStringList{u("Ошибка в веденных данных конфигурации радиостанции."), checking};
        QTest::newRow("radio of another band")
            << OtherBand
            << QStringList{u("Ошибка: Программируемая радиостанция имеет другой диапазон."),
                           u("Нажмите \"Считать параметры\" или \"Считать из файла\"."), checking};
        QTest::newRow("batch not written")
            << BatchWriteFails << QStringList{batch + again, batch + again, batch, sending};
        QTest::newRow("echo request not written")
            << EchoRequestWriteFails
            << QStringList{request + again, request + again, request, sending};
        QTest::newRow("commit not written")
            << CommitWriteFails
            << QStringList{u("Error: Разрешение на запись EEPROM при программировании"), sending};
    }
    void messages_before_the_verdict()
    {
        QFETCH(Failure, failure);
        QFETCH(QStringList, messages);
        SimFaults faults;
        uint8_t sost = 0;
        switch (failure) {
        case EchoNeverMatches: faults.wrong_echo = FaultRule::always(); break;
        case StaysOnTheAir: sost = RADIO_SOST_TRANSMITTING; break;
        case ToneCallGoesOn: sost = RADIO_SOST_TONE_CALL; break;
        default: break;
        }
        if (failure == StaysOnTheAir || failure == ToneCallGoesOn)
            faults.ignore_mode = FaultRule::always();
        MemoryWindow f(sost, faults);
        f.w().run_operation(2004);
        QCOMPARE(strip_messages(f.w()).last(), u("Параметры считаны."));

        f.w().ed_ur_gromk->setText(f.w().ed_ur_gromk->text() == QLatin1String("20")
                                       ? QStringLiteral("21")
                                       : QStringLiteral("20"));
        switch (failure) {
        case FormRejected: f.w().cell_item(0, 0)->setText(QStringLiteral("180.000")); break;
        case OtherBand: f.w().diapazon_code = 2; break;
        case BatchWriteFails: f.radio->refused << "$PD"; break;
        case EchoRequestWriteFails: f.radio->refused << "$PSD"; break;
        case CommitWriteFails: f.radio->refused << "$PC"; break;
        default: break;
        }
        const QByteArray before = f.radio->model.image();
        f.w().run_operation(2003);

        const QStringList shown = strip_messages(f.w());
        QVERIFY(shown.size() > messages.size());
        QCOMPARE(shown.mid(shown.size() - messages.size() - 1),
                 messages + QStringList{u("Ошибка программирования")});
        QCOMPARE(f.radio->model.image(), before);
    }
};

QTEST_MAIN(TestProgrammingFailures)
#include "tst_programming_failures.moc"
