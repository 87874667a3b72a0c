#pragma once
// The operating-system side of one open port, on Qt Serial Port. Every function runs in the
// channel's worker thread, which owns the QSerialPort objects.

#include <cstdint>

class QSerialPort;

// Result of an operation whose device went away (far end closed, cable pulled).
constexpr int SERIAL_LOST = -2;

// Opens and configures `name` at `speed`, 8N1, no flow control, receive queue purged.
// Prints the failure text to standard output and returns null on failure.
QSerialPort *serial_open(const char *name, int speed);
void serial_close(QSerialPort *port);

// Reads up to `length` bytes within `timeout_ms`; the unfilled rest of `buffer` is zero.
// Returns the count, or SERIAL_LOST.
int serial_read(QSerialPort *port, uint8_t *buffer, int length, int timeout_ms);
// Writes the block and waits until it has left the computer (at most the write limit).
// Returns `length`, -1 on failure, or SERIAL_LOST.
int serial_write(QSerialPort *port, const uint8_t *data, int length);
// Drops what has been received and not yet read. Returns false if the device is gone.
bool serial_purge_rx(QSerialPort *port);
// Drops what is queued for sending and not yet handed to the device.
void serial_purge_tx(QSerialPort *port);
// Modem lines: a device without them (a pseudo-terminal) is not an error.
void serial_set_dtr(QSerialPort *port, bool level);
void serial_set_rts(QSerialPort *port, bool level);
// Bytes received and not yet read, or SERIAL_LOST.
int serial_bytes_waiting(QSerialPort *port);
