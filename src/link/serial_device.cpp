#include "serial_device.h"

#include "deadline.h"

#include <QSerialPort>

#include <cstdio>
#include <cstring>

#ifdef Q_OS_UNIX
#include <termios.h>
#endif

namespace {

void print_line(const char *text)
{
    std::fputs(text, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Anything but a plain time-out while waiting means the device is unusable. On a
// pseudo-terminal whose far end closed, Qt reports ReadError at once and would spin.
bool wait_failed_for_good(QSerialPort *port)
{
    const QSerialPort::SerialPortError e = port->error();
    return e != QSerialPort::NoError && e != QSerialPort::TimeoutError;
}

}  // namespace

QSerialPort *serial_open(const char *name, int speed)
{
    auto *port = new QSerialPort;
    port->setPortName(QString::fromLocal8Bit(name));
    if (!port->open(QIODevice::ReadWrite)) {
        print_line("Не удалось открыть порт");
        delete port;
        return nullptr;
    }
    const bool ok = port->setBaudRate(speed) && port->setDataBits(QSerialPort::Data8)
        && port->setParity(QSerialPort::NoParity) && port->setStopBits(QSerialPort::OneStop)
        && port->setFlowControl(QSerialPort::NoFlowControl);
    if (!ok) {
        print_line("Не удалось установить DCB");
        port->close();
        delete port;
        return nullptr;
    }
    port->clear(QSerialPort::Input);
    port->clearError();
    return port;
}

void serial_close(QSerialPort *port)
{
    if (!port)
        return;
    port->close();
    delete port;
}

int serial_read(QSerialPort *port, uint8_t *buffer, int length, int timeout_ms)
{
    if (length <= 0)
        return 0;
    std::memset(buffer, 0, static_cast<size_t>(length));
    const DEADLINE deadline = deadline_in(timeout_ms);
    int count = 0;
    for (;;) {
        if (port->bytesAvailable() > 0) {
            const qint64 n = port->read(reinterpret_cast<char *>(buffer) + count, length - count);
            if (n > 0)
                count += static_cast<int>(n);
            if (count >= length)
                break;
        }
        const int wait = deadline_remaining_ms(deadline);
        if (wait <= 0)
            break;
        port->clearError();
        if (!port->waitForReadyRead(wait) && wait_failed_for_good(port))
            return SERIAL_LOST;
    }
    return count;
}

int serial_write(QSerialPort *port, const uint8_t *data, int length)
{
    if (length <= 0)
        return 0;
    port->clearError();
    const DEADLINE deadline = deadline_in(1000);
    bool ok = port->write(reinterpret_cast<const char *>(data), length) == length;
    while (ok && port->bytesToWrite() > 0) {
        const int wait = deadline_remaining_ms(deadline);
        ok = wait > 0 && port->waitForBytesWritten(wait);
    }
#ifdef Q_OS_UNIX
    // The write is done when the bytes are on the line, as the radio's reply time counts
    // from there; a pseudo-terminal returns at once.
    if (ok)
        ok = tcdrain(static_cast<int>(port->handle())) == 0;
#endif
    if (ok)
        return length;
    std::fputs("\nWrite To COM  - ERROR\n\n", stdout);
    std::fflush(stdout);
    const QSerialPort::SerialPortError e = port->error();
    // What did not leave in time is dropped: it would go out ahead of the next frame.
    port->clear(QSerialPort::Output);
    if (e == QSerialPort::ResourceError || e == QSerialPort::WriteError
        || e == QSerialPort::ReadError)
        return SERIAL_LOST;
    return -1;
}

bool serial_purge_rx(QSerialPort *port)
{
    port->clearError();
    port->clear(QSerialPort::Input);
    return port->error() != QSerialPort::ResourceError;
}

void serial_purge_tx(QSerialPort *port)
{
    // Every write waits until its bytes have left, so nothing of ours is ever pending here.
    // Flushing the kernel's output queue is deliberately avoided: on a pseudo-terminal it
    // discards bytes the far end has not read yet.
    (void)port;
}

void serial_set_dtr(QSerialPort *port, bool level)
{
    port->setDataTerminalReady(level);
    port->clearError();
}

void serial_set_rts(QSerialPort *port, bool level)
{
    port->setRequestToSend(level);
    port->clearError();
}

int serial_bytes_waiting(QSerialPort *port)
{
    port->clearError();
    if (!port->waitForReadyRead(0) && wait_failed_for_good(port))
        return SERIAL_LOST;
    return static_cast<int>(port->bytesAvailable());
}
