#include "qt_serial_device.h"

#include "deadline.h"
#include "messages.h"
#include "port_survey.h"

#include <QSerialPort>
#include <QThread>

#include <algorithm>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <linux/serial.h>
#endif

namespace {

// Anything but a plain time-out while waiting means the device is unusable. On a
// pseudo-terminal whose far end closed, Qt reports ReadError at once and would spin.
bool wait_failed_for_good(QSerialPort *port)
{
    const QSerialPort::SerialPortError e = port->error();
    return e != QSerialPort::NoError && e != QSerialPort::TimeoutError;
}

constexpr int DRAIN_POLL_MS = 2;

// Why a port did not open, in words a technician can act on. Qt reports both a device the
// user may not open and one another program holds (its lock file) as PermissionError, so
// the device's own permissions tell them apart; its other texts are English and name no
// cause, so the device's kind is looked at first.
QString open_failure_reason(const QSerialPort &port, const char *name)
{
#ifdef Q_OS_UNIX
    // The device's path as Qt forms it; looking the name up among the enumerated ports
    // would miss any device the enumeration does not list (a pseudo-terminal).
    QByteArray path(name);
    if (!path.startsWith('/') && !path.startsWith("./") && !path.startsWith("../"))
        path.prepend("/dev/");
    struct stat st {};
    if (::stat(path.constData(), &st) != 0)
        return errno == ENOENT ? QStringLiteral("нет такого устройства") + missing_port_advice()
                               : system_error_text(errno);
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("это папка, а не последовательный порт");
    if (S_ISREG(st.st_mode))
        return QStringLiteral("это обычный файл, а не последовательный порт");
    if (!S_ISCHR(st.st_mode))
        return QStringLiteral("это не устройство последовательного порта");
    if (::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES) {
        const struct group *g = ::getgrgid(st.st_gid);
        const QString group = g ? QString::fromLocal8Bit(g->gr_name) : QString::number(st.st_gid);
        // Joining the group helps only where the group may read and write the device.
        if (st.st_gid == 0 || (st.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP))
            return QStringLiteral("нет прав доступа; устройство открыто только для его "
                                  "владельца (группа %1): права на него может дать только "
                                  "администратор, например правилом udev")
                .arg(group);
        return QStringLiteral("нет прав доступа; устройство принадлежит группе %1%2: добавьте "
                              "пользователя в эту группу командой \"sudo usermod -aG %1 "
                              "$USER\" и войдите в систему заново")
            .arg(group, group == QLatin1String("dialout")
                            ? QString()
                            : QStringLiteral(" (в Debian это dialout)"));
    }
#else
    Q_UNUSED(name);
#endif
    switch (port.error()) {
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("нет такого устройства") + missing_port_advice();
    case QSerialPort::PermissionError:
    case QSerialPort::OpenError:
        return QStringLiteral("порт занят другой программой")
               + port_holders(QString::fromLocal8Bit(name));
    case QSerialPort::UnsupportedOperationError:
        return QStringLiteral("устройство не является последовательным портом");
    case QSerialPort::ResourceError: return QStringLiteral("устройство недоступно");
    default: return QStringLiteral("устройство не открывается как последовательный порт");
    }
}

// A USB adapter holds short answers until its latency timer runs out (16 ms by default);
// the serial driver's low-latency flag makes the commonest adapter driver use 1 ms. An
// ordinary user may set it; drivers without the request (a pseudo-terminal) are left as
// they are.
QString request_low_latency(int fd)
{
#ifdef Q_OS_LINUX
    serial_struct ss{};
    if (::ioctl(fd, TIOCGSERIAL, &ss) != 0)
        return QStringLiteral("режим низкой задержки драйвером не поддерживается");
    if (ss.flags & ASYNC_LOW_LATENCY)
        return QStringLiteral("режим низкой задержки уже включен");
    ss.flags |= ASYNC_LOW_LATENCY;
    if (::ioctl(fd, TIOCSSERIAL, &ss) != 0)
        return QStringLiteral("режим низкой задержки не включен: %1")
            .arg(QString::fromLocal8Bit(std::strerror(errno)));
    serial_struct check{};
    if (::ioctl(fd, TIOCGSERIAL, &check) == 0 && (check.flags & ASYNC_LOW_LATENCY))
        return QStringLiteral("режим низкой задержки включен");
    return QStringLiteral("режим низкой задержки драйвером не принят");
#else
    (void)fd;
    return QStringLiteral("режим низкой задержки в этой системе не запрашивается");
#endif
}

}  // namespace

std::unique_ptr<SerialDevice> make_qt_serial_device() { return std::make_unique<QtSerialDevice>(); }

QtSerialDevice::QtSerialDevice() = default;

QtSerialDevice::~QtSerialDevice() { close(); }

bool QtSerialDevice::open(const char *name, int speed)
{
    close();
    last_error_.clear();
    open_note_.clear();
    auto *port = new QSerialPort;
    port->setPortName(QString::fromLocal8Bit(name));
    if (!port->open(QIODevice::ReadWrite)) {
        last_error_ = open_failure_reason(*port, name);
        write_diagnostic("Не удалось открыть порт\n");
        delete port;
        return false;
    }
#ifdef Q_OS_UNIX
    // Held until close, whatever lock folder each program uses: two programs never share a
    // port.
    if (::flock(static_cast<int>(port->handle()), LOCK_EX | LOCK_NB) != 0) {
        last_error_ = QStringLiteral("порт занят другой программой")
                      + port_holders(port->portName());
        write_diagnostic("Не удалось открыть порт\n");
        port->close();
        delete port;
        return false;
    }
#endif
    const bool ok = port->setBaudRate(speed) && port->setDataBits(QSerialPort::Data8)
                    && port->setParity(QSerialPort::NoParity)
                    && port->setStopBits(QSerialPort::OneStop)
                    && port->setFlowControl(QSerialPort::NoFlowControl);
    if (!ok) {
        last_error_ = port->errorString();
        write_diagnostic("Не удалось установить DCB\n");
        port->close();
        delete port;
        return false;
    }
#ifdef Q_OS_UNIX
    open_note_ = request_low_latency(static_cast<int>(port->handle()));
#endif
    port->clear(QSerialPort::Input);
    port->clearError();
    port_ = port;
    return true;
}

void QtSerialDevice::close()
{
    if (!port_)
        return;
#ifdef Q_OS_UNIX
    // Closing a tty waits for its output to drain, on a wedged adapter for half a minute.
    if (output_pending() > 0)
        port_->clear(QSerialPort::Output);
#endif
    port_->close();
    delete port_;
    port_ = nullptr;
}

int QtSerialDevice::output_pending() const
{
#ifdef Q_OS_UNIX
    int pending = 0;
    if (port_ && ::ioctl(static_cast<int>(port_->handle()), TIOCOUTQ, &pending) == 0)
        return pending;
#endif
    return 0;
}

int QtSerialDevice::read(uint8_t *buffer, int length, int timeout_ms)
{
    if (length <= 0)
        return 0;
    std::memset(buffer, 0, static_cast<size_t>(length));
    if (!port_)
        return SERIAL_LOST;
    const DEADLINE deadline = deadline_in(timeout_ms);
    int count = 0;
    for (;;) {
        if (port_->bytesAvailable() > 0) {
            const qint64 n = port_->read(reinterpret_cast<char *>(buffer) + count, length - count);
            if (n > 0)
                count += static_cast<int>(n);
            if (count >= length)
                break;
        }
        const int wait = deadline_remaining_ms(deadline);
        if (wait <= 0)
            break;
        port_->clearError();
        if (!port_->waitForReadyRead(wait) && wait_failed_for_good(port_))
            return SERIAL_LOST;
    }
    return count;
}

int QtSerialDevice::write(const uint8_t *data, int length, int timeout_ms)
{
    if (length <= 0)
        return 0;
    if (!port_)
        return SERIAL_LOST;
    port_->clearError();
    const DEADLINE deadline = deadline_in(timeout_ms);
    bool ok = port_->write(reinterpret_cast<const char *>(data), length) == length;
    while (ok && port_->bytesToWrite() > 0) {
        const int wait = deadline_remaining_ms(deadline);
        ok = wait > 0 && port_->waitForBytesWritten(wait);
    }
    // The write is done when the bytes are on the line, as the radio's reply time counts
    // from there. Polled rather than drained: a drain has no time limit.
    while (ok && output_pending() > 0) {
        const int wait = deadline_remaining_ms(deadline);
        ok = wait > 0;
        if (ok)
            QThread::msleep(static_cast<unsigned long>(std::min(wait, DRAIN_POLL_MS)));
    }
    if (ok)
        return length;
    write_diagnostic("\nWrite To COM  - ERROR\n\n");
    const QSerialPort::SerialPortError e = port_->error();
    // What did not leave in time is dropped: it would go out ahead of the next frame.
    port_->clear(QSerialPort::Output);
    if (e == QSerialPort::ResourceError || e == QSerialPort::WriteError
        || e == QSerialPort::ReadError)
        return SERIAL_LOST;
    return -1;
}

bool QtSerialDevice::purge_rx()
{
    if (!port_)
        return false;
    port_->clearError();
    port_->clear(QSerialPort::Input);
    return port_->error() != QSerialPort::ResourceError;
}

void QtSerialDevice::purge_tx()
{
    // Every write waits until its bytes have left, so nothing of ours is ever pending here.
    // Flushing the kernel's output queue is deliberately avoided: on a pseudo-terminal it
    // discards bytes the far end has not read yet.
}

void QtSerialDevice::set_dtr(bool level)
{
    if (!port_)
        return;
    port_->setDataTerminalReady(level);
    port_->clearError();
}

void QtSerialDevice::set_rts(bool level)
{
    if (!port_)
        return;
    port_->setRequestToSend(level);
    port_->clearError();
}

int QtSerialDevice::bytes_waiting()
{
    if (!port_)
        return SERIAL_LOST;
    port_->clearError();
    if (!port_->waitForReadyRead(0) && wait_failed_for_good(port_))
        return SERIAL_LOST;
    return static_cast<int>(port_->bytesAvailable());
}
