#pragma once
// The protocol trace: a device that passes every call to the device it wraps and records
// it, time-stamped to the millisecond, with frames in hex and as printable text. The lines
// are handed to a writer thread, so the file never delays an exchange with the radio.

#include "serial_device.h"

#include <QString>

#include <memory>

class TraceLog;

class TraceDevice final : public SerialDevice {
public:
    TraceDevice(std::unique_ptr<SerialDevice> inner, std::shared_ptr<TraceLog> log);
    ~TraceDevice() override;

    bool open(const char *name, int speed) override;
    void close() override;
    int read(uint8_t *buffer, int length, int timeout_ms) override;
    int write(const uint8_t *data, int length, int timeout_ms) override;
    bool purge_rx() override;
    void purge_tx() override;
    void set_dtr(bool level) override;
    void set_rts(bool level) override;
    int bytes_waiting() override;
    QString last_error() const override { return inner_->last_error(); }
    QString open_note() const override { return inner_->open_note(); }

private:
    std::unique_ptr<SerialDevice> inner_;
    std::shared_ptr<TraceLog> log_;
    bool open_ = false;
};

// Appends to `path` (created when missing) and makes every port opened from now on a traced
// one. False with `error` set when the file cannot be opened. Call while no port is open.
bool com_start_trace(const QString &path, QString *error = nullptr);
// Restores the plain device and writes out what is pending. Call after the ports closed.
void com_stop_trace();

// One line of a trace: time stamp, direction ("->" sent, "<-" received, "--" event), text.
QString trace_line(const QString &stamp, const char *direction, const QString &text);
// A frame as hex bytes and its printable characters (others as ".").
QString trace_frame(const uint8_t *data, int length);
