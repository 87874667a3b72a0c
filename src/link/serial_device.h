#pragma once
// The one place that touches a serial device. The channel's worker thread creates, uses and
// destroys every device, so an implementation needs no locking of its own.

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

// Result of an operation whose device went away (far end closed, cable pulled).
constexpr int SERIAL_LOST = -2;

class SerialDevice {
public:
    virtual ~SerialDevice() = default;
    // Opens `name` at `speed` bit/s, 8 data bits, no parity, one stop bit, no flow control,
    // receive queue empty. The channel drives DTR and RTS low right after.
    virtual bool open(const char *name, int speed) = 0;
    // Idempotent; the destructor closes too.
    virtual void close() = 0;
    // Reads up to `length` bytes within `timeout_ms`; the unfilled rest of `buffer` is zero.
    // Returns the count, or SERIAL_LOST.
    virtual int read(uint8_t *buffer, int length, int timeout_ms) = 0;
    // Writes the block and waits until it has left the computer, all within `timeout_ms`.
    // Returns `length`, -1 on failure or time-out (nothing of the block stays queued), or
    // SERIAL_LOST.
    virtual int write(const uint8_t *data, int length, int timeout_ms) = 0;
    // Drops what has been received and not yet read. Returns false if the device is gone.
    virtual bool purge_rx() = 0;
    // Drops what is queued for sending and not yet handed to the device.
    virtual void purge_tx() = 0;
    // Modem lines: a device without them (a pseudo-terminal) is not an error.
    virtual void set_dtr(bool level) = 0;
    virtual void set_rts(bool level) = 0;
    // Bytes received and not yet read, or SERIAL_LOST.
    virtual int bytes_waiting() = 0;
    // Why the last open failed, for diagnostics.
    virtual QString last_error() const { return {}; }
    // What the last successful open arranged beyond the line settings (the driver's
    // low-latency mode), for the trace; empty when there is nothing to say.
    virtual QString open_note() const { return {}; }
};

// The device on Qt Serial Port.
std::unique_ptr<SerialDevice> make_qt_serial_device();

// Creates the device for every com_open. An empty factory restores the Qt Serial Port one.
// Set it while no port is open.
using SerialDeviceFactory = std::function<std::unique_ptr<SerialDevice>()>;
void com_set_device_factory(SerialDeviceFactory factory);
