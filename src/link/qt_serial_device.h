#pragma once
// The serial device on Qt Serial Port.

#include "serial_device.h"

class QSerialPort;

class QtSerialDevice : public SerialDevice {
public:
    QtSerialDevice();
    ~QtSerialDevice() override;

    bool open(const char *name, int speed) override;
    void close() override;
    int read(uint8_t *buffer, int length, int timeout_ms) override;
    int write(const uint8_t *data, int length, int timeout_ms) override;
    bool purge_rx() override;
    void purge_tx() override;
    void set_dtr(bool level) override;
    void set_rts(bool level) override;
    int bytes_waiting() override;
    QString last_error() const override { return last_error_; }
    QString open_note() const override { return open_note_; }

protected:
    // Bytes the driver holds that have not gone out on the line yet: a wedged adapter never
    // gets this to zero. A pseudo-terminal reports none.
    virtual int output_pending() const;

private:
    QSerialPort *port_ = nullptr;
    QString last_error_;
    QString open_note_;
};
