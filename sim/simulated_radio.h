#pragma once
// A simulated radio on a pseudo-terminal. start() opens the terminal and answers on a
// thread of its own until stop(); the programmer opens device_name() (or the link path)
// like any serial port. Replies are paced at the configured line speed, ten bits a byte.
// Like the radio, it hears only its own speed, 8N1: it reads the programmer's line settings
// from its end of the terminal and ignores what arrives under others, noting why.
// All accessors are safe to call from any thread while it runs.

#include "radio_model.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

struct SimRadioConfig {
    QString eep_path;      // image file: loaded by start(), saved after every commit
    QByteArray image;      // the image when eep_path is empty (153 bytes)
    QString link_path;     // optional symbolic link to the device, removed by stop()
    QString journal_path;  // optional text file, one line per received frame (format_frame)
    int baud = 9600;
    int commit_delay_ms = 40;
    int reply_latency_ms = 0;  // the radio's start delay before every reply
    // A USB serial adapter between radio and computer: 0 is a bare line that hands each
    // byte over as it arrives; otherwise the adapter's latency timer in ms (16 is the
    // common default, 64 a Bluetooth link).
    int adapter_latency_ms = 0;
    bool deaf_while_transmitting = false;  // write packets are lost while SOST has 0x20
    int g = 0;
    int nk = -1;   // -1: the working channel stored at image address 60
    int sost = 0;  // e.g. 0x20 transmitting, 0x10 tone call
    SimFaults faults;
};

class SimulatedRadio {
public:
    explicit SimulatedRadio(const SimRadioConfig &config);
    ~SimulatedRadio();
    SimulatedRadio(const SimulatedRadio &) = delete;
    SimulatedRadio &operator=(const SimulatedRadio &) = delete;

    bool start(QString *error = nullptr);
    void stop();
    // The cable pulled: the device and its link go away until plug_in.
    void unplug();
    // Another radio (or the same one again) on the cable: a new device under the same link
    // path, with `config`'s image, state and faults.
    bool plug_in(SimRadioConfig config, QString *error = nullptr);

    QString device_name() const { return device_name_; }  // "/dev/pts/N"
    // What the programmer should open: the link path if one was asked for.
    QString port_name() const;
    bool running() const { return running_.load(); }
    // The device went away by the vanish fault.
    bool vanished() const { return vanished_.load(); }

    QByteArray image() const;
    SimState state() const;
    std::vector<SimFrame> journal() const;
    std::vector<SimWritePacket> write_packets() const;
    int commits() const;
    // Frames received so far; handy to wait for a subprocess-free test's radio to settle.
    int frames_received() const;
    // Why input was ignored, one line each time the programmer's line settings changed to
    // something the radio cannot hear, e.g. "line 19200 8N1, radio 9600 8N1: ignored".
    QStringList line_notes() const;

    // Between transactions: another state or fault set (counters and generator restart).
    void set_state(const SimState &state);
    void set_faults(const SimFaults &faults);

private:
    SimRadioConfig config_;
    std::unique_ptr<RadioModel> model_;
    mutable std::mutex mutex_;
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<bool> stopping_{false};
    std::atomic<bool> vanished_{false};
    int master_ = -1;
    int slave_ = -1;  // kept open so the terminal survives the programmer closing it
    bool link_made_ = false;
    QString device_name_;
    QStringList line_notes_;
    QString last_line_;

    void run();
    bool send_paced(const QByteArray &bytes);
    bool hand_over(const char *data, int length);
    bool wait_until(std::chrono::steady_clock::time_point when);
    bool pause(int ms);
    void close_device();
    void save_image(const QByteArray &image);
    void append_journal(const std::vector<SimFrame> &frames);
    void append_journal_line(const QString &line);
    // Empty when the programmer's end is set as the radio listens, else the note.
    QString line_mismatch();
};

// Reads a .eep file (its first 153 bytes). False with `error` set when it cannot.
bool sim_load_eep(const QString &path, QByteArray &image, QString *error);
