// The port survey over a fake machine: /sys, /dev and /proc folders laid out as Linux lays
// them out for USB serial adapters, a legacy port, a virtual terminal and a CH340 that the
// Braille service took.

#include "port_survey.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString USB_BUS = QStringLiteral("sys/devices/pci0000:00/0000:00:14.0/usb1");
const QString FTDI_BY_ID = QStringLiteral("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");

class FakeSystem {
public:
    FakeSystem() { QDir(dir.path()).mkpath(QStringLiteral("proc")); }

    SystemRoots roots() const
    {
        return SystemRoots{path(QStringLiteral("sys")), path(QStringLiteral("dev")),
                           path(QStringLiteral("proc"))};
    }
    QString path(const QString &relative) const { return dir.filePath(relative); }

    // A USB device `usb` ("1-2") with its vendor:product; `tty` names its port, none when
    // empty. ttyUSB ports hang off a usb-serial port below the interface, ttyACM off the
    // interface itself.
    void usb_adapter(const QString &usb, const QString &id, const QString &tty,
                     const QString &product = QString(), int latency = -1)
    {
        const QString device = USB_BUS + QLatin1Char('/') + usb;
        file(device + QStringLiteral("/idVendor"), id.section(QLatin1Char(':'), 0, 0));
        file(device + QStringLiteral("/idProduct"), id.section(QLatin1Char(':'), 1, 1));
        if (!product.isEmpty())
            file(device + QStringLiteral("/product"), product);
        const QString iface = device + QLatin1Char('/') + usb + QStringLiteral(":1.0");
        mkdir(iface);
        link(QStringLiteral("sys/bus/usb/devices/") + usb, device);
        if (tty.isEmpty())
            return;
        const bool usb_serial = tty.startsWith(QLatin1String("ttyUSB"));
        const QString parent = usb_serial ? iface + QLatin1Char('/') + tty : iface;
        tty_class(tty, parent);
        if (usb_serial) {
            link(QStringLiteral("sys/bus/usb-serial/devices/") + tty, parent);
            if (latency >= 0)
                file(parent + QStringLiteral("/latency_timer"), QString::number(latency));
        }
    }
    // A port on the machine's board; type 0 means there is no UART behind it.
    void legacy_port(const QString &tty, int type)
    {
        const QString parent = QStringLiteral("sys/devices/platform/serial8250");
        tty_class(tty, parent);
        file(parent + QStringLiteral("/tty/") + tty + QStringLiteral("/type"),
             QString::number(type));
    }
    void virtual_terminal(const QString &tty)
    {
        const QString own = QStringLiteral("sys/devices/virtual/tty/") + tty;
        mkdir(own);
        link(QStringLiteral("sys/class/tty/") + tty, own);
        file(QStringLiteral("dev/") + tty, QString());
    }
    void by_id(const QString &name, const QString &tty)
    {
        mkdir(QStringLiteral("dev/serial/by-id"));
        QFile::link(QStringLiteral("../../") + tty,
                    path(QStringLiteral("dev/serial/by-id/") + name));
    }
    void process(const QString &pid, const QString &comm, const QString &open_file)
    {
        file(QStringLiteral("proc/") + pid + QStringLiteral("/comm"), comm + QLatin1Char('\n'));
        mkdir(QStringLiteral("proc/") + pid + QStringLiteral("/fd"));
        QFile::link(open_file, path(QStringLiteral("proc/") + pid + QStringLiteral("/fd/3")));
    }

private:
    QTemporaryDir dir;

    void mkdir(const QString &relative) const { QDir(dir.path()).mkpath(relative); }
    void file(const QString &relative, const QString &text) const
    {
        mkdir(QFileInfo(relative).path());
        QFile f(path(relative));
        if (f.open(QIODevice::WriteOnly))
            f.write(text.toUtf8() + '\n');
    }
    // A symbolic link at `at` to `target`, both relative to the machine's root.
    void link(const QString &at, const QString &target) const
    {
        mkdir(QFileInfo(at).path());
        QFile::link(QDir(path(QFileInfo(at).path())).relativeFilePath(path(target)), path(at));
    }
    // The tty's class folder below its parent, its class link, its `device` link and its
    // device node (a plain file the user may open).
    void tty_class(const QString &tty, const QString &parent) const
    {
        const QString own = parent + QStringLiteral("/tty/") + tty;
        mkdir(own);
        link(QStringLiteral("sys/class/tty/") + tty, own);
        link(own + QStringLiteral("/device"), parent);
        file(QStringLiteral("dev/") + tty, QString());
        QFile::setPermissions(path(QStringLiteral("dev/") + tty),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
                                  | QFile::WriteGroup);
    }
};

// Every kind of port a technician's machine shows, and a CH340 without one.
void typical_machine(FakeSystem &m)
{
    m.usb_adapter(QStringLiteral("1-2"), QStringLiteral("0403:6001"), QStringLiteral("ttyUSB0"),
                  QStringLiteral("FT232R USB UART"), 16);
    m.by_id(FTDI_BY_ID, QStringLiteral("ttyUSB0"));
    m.usb_adapter(QStringLiteral("1-3"), QStringLiteral("1a86:7523"), QStringLiteral("ttyUSB1"),
                  QStringLiteral("USB Serial"));
    m.usb_adapter(QStringLiteral("1-4"), QStringLiteral("2341:0043"), QStringLiteral("ttyACM0"));
    m.usb_adapter(QStringLiteral("1-5"), QStringLiteral("1a86:7523"), QString());
    m.legacy_port(QStringLiteral("ttyS0"), 4);
    m.legacy_port(QStringLiteral("ttyS1"), 0);
    m.virtual_terminal(QStringLiteral("tty1"));
}

}  // namespace

class TestPortSurvey : public QObject {
    Q_OBJECT
private slots:
    void adapter_chips_data()
    {
        QTest::addColumn<QString>("usb_id");
        QTest::addColumn<QString>("chip");
        QTest::newRow("FT232R") << "0403:6001"
                                << "FTDI";
        QTest::newRow("FT232H") << "0403:6014"
                                << "FTDI";
        QTest::newRow("CH340") << "1a86:7523"
                               << "WCH CH340";
        QTest::newRow("PL2303") << "067b:2303"
                                << "Prolific PL2303";
        QTest::newRow("CP210x") << "10c4:ea60"
                                << "Silicon Labs CP210x";
        QTest::newRow("another device") << "2341:0043"
                                        << "";
    }
    void adapter_chips()
    {
        QFETCH(QString, usb_id);
        QTEST(adapter_chip(usb_id), "chip");
    }

    void lists_every_port_with_its_adapter_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("line");  // `k40 ports` line, the dev root shown as "/dev"
        QTest::newRow("FTDI with a stable name and timer")
            << "ttyUSB0"
            << "/dev/ttyUSB0\t/dev/serial/by-id/" + FTDI_BY_ID
                   + "\tUSB 0403:6001 FTDI (FT232R USB UART)\tтаймер задержки 16 мс\tдоступ есть";
        QTest::newRow("CH340 without a timer")
            << "ttyUSB1"
            << "/dev/ttyUSB1\t-\tUSB 1a86:7523 WCH CH340 (USB Serial)\t-\tдоступ есть";
        QTest::newRow("ACM device of no known chip")
            << "ttyACM0"
            << "/dev/ttyACM0\t-\tUSB 2341:0043\t-\tдоступ есть";
        QTest::newRow("port on the board") << "ttyS0"
                                           << "/dev/ttyS0\t-\t-\t-\tдоступ есть";
    }
    void lists_every_port_with_its_adapter()
    {
        QFETCH(QString, name);
        QFETCH(QString, line);
        FakeSystem m;
        typical_machine(m);
        const PortSurvey survey = survey_ports(m.roots());
        QStringList names;
        for (const SurveyedPort &p : survey.ports)
            names << p.name;
        // No UART behind ttyS1, no device behind a virtual terminal.
        QCOMPARE(names, (QStringList{"ttyACM0", "ttyS0", "ttyUSB0", "ttyUSB1"}));
        for (const SurveyedPort &p : survey.ports)
            if (p.name == name)
                QCOMPARE(port_line(p).replace(m.path("dev"), "/dev"), line);
    }

    void may_read_write_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("uid");
        QTest::addColumn<bool>("in_group");
        QTest::addColumn<bool>("may");
        QTest::newRow("dialout member") << 0660 << 1000 << true << true;
        QTest::newRow("not a member") << 0660 << 1000 << false << false;
        QTest::newRow("owner") << 0600 << 500 << false << true;
        QTest::newRow("owner may only read") << 0466 << 500 << true << false;
        QTest::newRow("open to all") << 0666 << 1000 << false << true;
        QTest::newRow("root") << 0000 << 0 << false << true;
    }
    void may_read_write()
    {
        QFETCH(int, mode);
        QFETCH(int, uid);
        QFETCH(bool, in_group);
        const gid_t dialout = 20;
        const std::vector<gid_t> groups = in_group ? std::vector<gid_t>{100, dialout}
                                                   : std::vector<gid_t>{100};
        QTEST(::may_read_write(mode_t(mode), 500, dialout, uid_t(uid), groups), "may");
    }

    void ch340_without_a_port_names_the_braille_service()
    {
        FakeSystem m;
        typical_machine(m);
        const PortSurvey survey = survey_ports(m.roots());
        // The CH340 at 1-3 has its port; the one at 1-5 has none.
        QCOMPARE(survey.trouble.size(), 1);
        QVERIFY(survey.trouble[0].contains("WCH CH340 (USB 1a86:7523, 1-5)"));
        QVERIFY(survey.trouble[0].contains("brltty"));
        QVERIFY(survey.trouble[0].contains("\"sudo apt-get remove brltty\""));
    }

    void missing_port_names_the_ports_there_are_data()
    {
        QTest::addColumn<bool>("typical");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("ports and a claimed CH340") << true
                                                   << QStringList{"; имеющиеся порты: ",
                                                                  "/dev/serial/by-id/" + FTDI_BY_ID,
                                                                  "ttyS0, ",
                                                                  "Com_Port_Name",
                                                                  "; адаптер WCH CH340",
                                                                  "brltty"};
        QTest::newRow("no port at all")
            << false << QStringList{"; последовательных портов в системе не найдено"};
    }
    void missing_port_names_the_ports_there_are()
    {
        QFETCH(bool, typical);
        QFETCH(QStringList, texts);
        FakeSystem m;
        if (typical)
            typical_machine(m);
        const QString advice = missing_port_advice(m.roots());
        for (const QString &t : texts)
            QVERIFY2(advice.contains(t), qPrintable(advice));
        QCOMPARE(advice.contains("brltty"), typical);
    }

    void holders_of_a_busy_port()
    {
        FakeSystem m;
        m.process("812", "minicom", "/dev/ttyUSB0");
        m.process("900", "bash", "/dev/pts/1");
        m.process("913", "ModemManager", "/dev/ttyUSB0");
        // The asking program's own handles are not another program's.
        m.process(QString::number(::getpid()), "k40", "/dev/ttyUSB0");
        QCOMPARE(port_holders("/dev/ttyUSB0", m.roots()),
                 QStringLiteral(": minicom (PID 812), ModemManager (PID 913)"));
        QCOMPARE(port_holders("ttyUSB0", m.roots()),
                 QStringLiteral(": minicom (PID 812), ModemManager (PID 913)"));
        QCOMPARE(port_holders("/dev/ttyUSB7", m.roots()), QString());
    }
};

QTEST_GUILESS_MAIN(TestPortSurvey)
#include "tst_port_survey.moc"
