#pragma once
// What the system tells about its serial ports, for `k40 ports` and for the reason a port
// did not open: stable names, the USB adapter chip, its latency timer, who may open it,
// which process holds it, and adapters that have no port at all. Linux keeps all this in
// /sys, /dev and /proc; the roots are injectable so tests build fake folders.

#include <QString>
#include <QStringList>

#include <sys/types.h>

#include <vector>

struct SystemRoots {
    QString sys = QStringLiteral("/sys");
    QString dev = QStringLiteral("/dev");
    QString proc = QStringLiteral("/proc");
};

struct SurveyedPort {
    QString name;         // ttyUSB0
    QString device;       // /dev/ttyUSB0 (under the dev root)
    QString stable_name;  // the /dev/serial/by-id/ link to it, empty when none
    QString usb_id;       // "0403:6001", empty when not on USB
    QString chip;         // "FTDI", "WCH CH340", ...; empty when not known
    QString product;      // as the adapter names itself
    int latency_ms = -1;  // the adapter's latency timer, -1 where the system shows none
    bool may_open = false;
    QString group;  // the device's group, for the fix when it may not be opened
};

struct PortSurvey {
    std::vector<SurveyedPort> ports;
    // Adapters plugged in that have no serial port, each with what to do.
    QStringList trouble;
};

PortSurvey survey_ports(const SystemRoots &roots = SystemRoots());

// The chip family of a USB serial adapter, empty when not known.
QString adapter_chip(const QString &usb_id);

// Whether a user with `uid` and `groups` may read and write a file of `mode`, `owner` and
// `group`.
bool may_read_write(mode_t mode, uid_t owner, gid_t group, uid_t uid,
                    const std::vector<gid_t> &groups);

// One line of `k40 ports`: device, stable name, adapter, latency timer, access.
QString port_line(const SurveyedPort &port);

// Texts that follow the reasons for a port that did not open.
// For no such device: which ports there are, and adapters without one.
QString missing_port_advice(const SystemRoots &roots = SystemRoots());
// For a device in use: the processes holding `device` open, except this one; empty when
// the system does not tell.
QString port_holders(const QString &device, const SystemRoots &roots = SystemRoots());
