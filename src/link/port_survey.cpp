#include "port_survey.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>

#include <algorithm>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString read_line(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLocal8Bit(f.readLine(256)).trimmed();
}

// The USB device a port hangs off: the nearest folder above its device with a vendor id.
// ttyUSB ports sit two levels below it (interface, port), ttyACM one.
QString usb_device_of(const QString &device_link, const QString &sys)
{
    const QString top = QFileInfo(sys).canonicalFilePath();
    QString dir = QFileInfo(device_link).canonicalFilePath();
    for (int up = 0; up < 4 && !dir.isEmpty() && dir.startsWith(top) && dir != top; ++up) {
        if (QFileInfo::exists(dir + QStringLiteral("/idVendor")))
            return dir;
        dir = QFileInfo(dir).path();
    }
    return QString();
}

QString usb_id_of(const QString &usb_dir)
{
    const QString vendor = read_line(usb_dir + QStringLiteral("/idVendor")).toLower();
    const QString product = read_line(usb_dir + QStringLiteral("/idProduct")).toLower();
    return vendor.isEmpty() || product.isEmpty() ? QString() : vendor + QLatin1Char(':') + product;
}

// The stable names under dev/serial/by-id, by the device each one resolves to.
QMap<QString, QString> stable_names(const QString &dev)
{
    QMap<QString, QString> names;
    const QDir by_id(dev + QStringLiteral("/serial/by-id"));
    for (const QFileInfo &link :
         by_id.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString target = link.canonicalFilePath();
        if (!target.isEmpty() && !names.contains(target))
            names.insert(target, link.filePath());
    }
    return names;
}

std::vector<gid_t> own_groups()
{
    std::vector<gid_t> groups(size_t(std::max(0, ::getgroups(0, nullptr))));
    if (!groups.empty())
        groups.resize(size_t(std::max(0, ::getgroups(int(groups.size()), groups.data()))));
    groups.push_back(::getegid());
    return groups;
}

// A CH340 that has no tty below any of its interfaces.
bool has_no_tty(const QString &usb_dir)
{
    const QString name = QFileInfo(usb_dir).fileName();
    const QDir device(usb_dir);
    for (const QString &iface : device.entryList({name + QStringLiteral(":*")}, QDir::Dirs))
        if (!QDir(device.filePath(iface)).entryList({QStringLiteral("tty*")}, QDir::Dirs).isEmpty())
            return false;
    return true;
}

QString shown_name(const SurveyedPort &p)
{
    return p.stable_name.isEmpty() ? p.device
                                   : QStringLiteral("%1 (%2)").arg(p.stable_name, p.device);
}

}  // namespace

QString adapter_chip(const QString &usb_id)
{
    if (usb_id.startsWith(QLatin1String("0403:")))
        return QStringLiteral("FTDI");
    static const QMap<QString, QString> chips = {
        {QStringLiteral("1a86:7523"), QStringLiteral("WCH CH340")},
        {QStringLiteral("1a86:5523"), QStringLiteral("WCH CH341")},
        {QStringLiteral("1a86:55d3"), QStringLiteral("WCH CH343")},
        {QStringLiteral("1a86:55d4"), QStringLiteral("WCH CH9102")},
        {QStringLiteral("067b:2303"), QStringLiteral("Prolific PL2303")},
        {QStringLiteral("067b:23a3"), QStringLiteral("Prolific PL2303")},
        {QStringLiteral("067b:23c3"), QStringLiteral("Prolific PL2303")},
        {QStringLiteral("067b:23d3"), QStringLiteral("Prolific PL2303")},
        {QStringLiteral("10c4:ea60"), QStringLiteral("Silicon Labs CP210x")},
        {QStringLiteral("10c4:ea70"), QStringLiteral("Silicon Labs CP2105")},
        {QStringLiteral("10c4:ea71"), QStringLiteral("Silicon Labs CP2108")},
    };
    return chips.value(usb_id);
}

bool may_read_write(mode_t mode, uid_t owner, gid_t group, uid_t uid,
                    const std::vector<gid_t> &groups)
{
    if (uid == 0)
        return true;
    // The first class that matches decides, as the kernel checks.
    if (uid == owner)
        return (mode & (S_IRUSR | S_IWUSR)) == (S_IRUSR | S_IWUSR);
    if (std::find(groups.begin(), groups.end(), group) != groups.end())
        return (mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    return (mode & (S_IROTH | S_IWOTH)) == (S_IROTH | S_IWOTH);
}

PortSurvey survey_ports(const SystemRoots &roots)
{
    PortSurvey survey;
    const QMap<QString, QString> stable = stable_names(roots.dev);
    const std::vector<gid_t> groups = own_groups();
    const QDir ttys(roots.sys + QStringLiteral("/class/tty"));
    for (const QString &name : ttys.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString base = ttys.filePath(name);
        // Virtual terminals have no device; a legacy port without a UART reports type 0.
        if (!QFileInfo::exists(base + QStringLiteral("/device"))
            || read_line(base + QStringLiteral("/type")) == QLatin1String("0"))
            continue;
        SurveyedPort p;
        p.name = name;
        p.device = roots.dev + QLatin1Char('/') + name;
        struct stat st {};
        if (::stat(QFile::encodeName(p.device).constData(), &st) != 0)
            continue;
        p.may_open = may_read_write(st.st_mode, st.st_uid, st.st_gid, ::geteuid(), groups);
        if (const struct group *g = ::getgrgid(st.st_gid))
            p.group = QString::fromLocal8Bit(g->gr_name);
        p.stable_name = stable.value(QFileInfo(p.device).canonicalFilePath());
        const QString usb = usb_device_of(base + QStringLiteral("/device"), roots.sys);
        if (!usb.isEmpty()) {
            p.usb_id = usb_id_of(usb);
            p.chip = adapter_chip(p.usb_id);
            p.product = read_line(usb + QStringLiteral("/product"));
        }
        bool ok = false;
        const int latency =
            read_line(roots.sys
                      + QStringLiteral("/bus/usb-serial/devices/%1/latency_timer").arg(name))
                .toInt(&ok);
        if (ok)
            p.latency_ms = latency;
        survey.ports.push_back(p);
    }

    const QDir usb_devices(roots.sys + QStringLiteral("/bus/usb/devices"));
    for (const QString &name :
         usb_devices.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString dir = usb_devices.filePath(name);
        if (usb_id_of(dir) == QLatin1String("1a86:7523") && has_no_tty(dir))
            survey.trouble << QStringLiteral(
                                  "адаптер WCH CH340 (USB 1a86:7523, %1) подключен, но "
                                  "последовательного порта у него нет: в Debian и Ubuntu его "
                                  "обычно забирает служба брайлевских дисплеев brltty. "
                                  "Удалите ее командой \"sudo apt-get remove brltty\" и "
                                  "подключите кабель заново")
                                  .arg(name);
    }
    return survey;
}

QString port_line(const SurveyedPort &p)
{
    QString adapter = QStringLiteral("-");
    if (!p.usb_id.isEmpty()) {
        adapter = QStringLiteral("USB ") + p.usb_id;
        if (!p.chip.isEmpty())
            adapter += QLatin1Char(' ') + p.chip;
        if (!p.product.isEmpty())
            adapter += QStringLiteral(" (%1)").arg(p.product);
    }
    const QString latency = p.latency_ms >= 0
                                ? QStringLiteral("таймер задержки %1 мс").arg(p.latency_ms)
                                : QStringLiteral("-");
    QString access = QStringLiteral("доступ есть");
    if (!p.may_open)
        access = p.group.isEmpty() || p.group == QLatin1String("root")
                     ? QStringLiteral("нет прав доступа")
                     : QStringLiteral("нет прав доступа: добавьте пользователя в группу %1 "
                                      "(sudo usermod -aG %1 $USER) и войдите в систему заново")
                           .arg(p.group);
    return QStringList{p.device, p.stable_name.isEmpty() ? QStringLiteral("-") : p.stable_name,
                       adapter, latency, access}
        .join(QLatin1Char('\t'));
}

QString missing_port_advice(const SystemRoots &roots)
{
    const PortSurvey survey = survey_ports(roots);
    QStringList names;
    for (const SurveyedPort &p : survey.ports)
        names << shown_name(p);
    QString text = names.isEmpty()
                       ? QStringLiteral("; последовательных портов в системе не найдено")
                       : QStringLiteral("; имеющиеся порты: %1 (укажите один из них в "
                                        "Com_Port_Name файла torvel.txt)")
                             .arg(names.join(QStringLiteral(", ")));
    for (const QString &t : survey.trouble)
        text += QStringLiteral("; ") + t;
    return text;
}

QString port_holders(const QString &device, const SystemRoots &roots)
{
    // A bare name is under /dev, as the serial port library takes it.
    const QString path = device.startsWith(QLatin1Char('/')) || device.startsWith(QLatin1Char('.'))
                             ? device
                             : QStringLiteral("/dev/") + device;
    QString target = QFileInfo(path).canonicalFilePath();
    if (target.isEmpty())
        target = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const QString self = QString::number(::getpid());
    QStringList holders;
    const QDir proc(roots.proc);
    for (const QString &pid : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool numeric = false;
        pid.toLongLong(&numeric);
        if (!numeric || pid == self)
            continue;
        const QDir fds(proc.filePath(pid + QStringLiteral("/fd")));
        for (const QFileInfo &fd :
             fds.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
            if (fd.symLinkTarget() != target)
                continue;
            holders << QStringLiteral("%1 (PID %2)")
                           .arg(read_line(proc.filePath(pid + QStringLiteral("/comm"))), pid);
            break;
        }
    }
    return holders.isEmpty() ? QString()
                             : QStringLiteral(": ") + holders.join(QStringLiteral(", "));
}
