#pragma once
// The simulated radio's behaviour without any I/O: bytes from the programmer go in, the
// replies to send (with their delays) come out. Deterministic for a given fault seed and
// input, so it is tested on its own.

#include "sim_faults.h"

#include <QByteArray>

#include <cstdint>
#include <random>
#include <vector>

enum class SimFrameKind { StateQuery, ModeCommand, DumpRequest, EchoRequest, Commit, WritePacket };

// The reply a frame asks for, as a SIM_REPLY_* bit; 0 for a write packet, which has none.
unsigned sim_reply_kind(SimFrameKind kind);
// How many bytes a healthy radio answers a frame with.
int sim_reply_size(SimFrameKind kind);

// One frame received from the programmer.
struct SimFrame {
    SimFrameKind kind;
    QByteArray bytes;
};

struct SimWritePacket {
    uint8_t address;
    uint8_t value;
    bool operator==(const SimWritePacket &o) const
    {
        return address == o.address && value == o.value;
    }
};

struct SimState {
    uint8_t g = 0;
    uint8_t nk = 1;
    uint8_t sost = 0;
};

// What the radio does in answer to one frame.
struct SimAction {
    QByteArray reply;        // bytes to send, paced at the line speed (may be empty)
    int delay_ms = 0;        // before the first byte
    bool committed = false;  // the image changed and should be saved
    bool vanish = false;     // the device goes away instead of answering
};

class RadioModel {
public:
    // `image` holds the 153 EEPROM bytes (shorter is zero-padded).
    RadioModel(const QByteArray &image, const SimState &state, const SimFaults &faults,
               int commit_delay_ms);

    std::vector<SimAction> feed(const uint8_t *data, int length);

    QByteArray image() const { return image_; }
    SimState state() const { return state_; }
    void set_state(const SimState &state) { state_ = state; }
    void set_faults(const SimFaults &faults);
    // A transmitting radio (SOST bit 0x20) that loses the write packets it is sent.
    void set_deaf_while_transmitting(bool deaf) { deaf_while_transmitting_ = deaf; }
    const std::vector<SimFrame> &journal() const { return journal_; }
    const std::vector<SimWritePacket> &write_packets() const { return packets_; }
    int commits() const { return commits_; }

private:
    QByteArray image_;
    SimState state_;
    SimFaults faults_;
    int commit_delay_ms_;
    std::mt19937 rng_;
    QByteArray input_;
    std::vector<SimWritePacket> pending_;  // the last 8 write packets not yet committed
    std::vector<SimFrame> journal_;
    std::vector<SimWritePacket> packets_;
    int commits_ = 0;
    bool deaf_while_transmitting_ = false;
    int requests_ = 0;
    // Occurrence counters, one per rule, in the order of SimFaults' members.
    int seen_[10] = {};

    // Length of a complete frame at the start of input_, 0 = need more, -1 = not a frame.
    int frame_length() const;
    SimAction answer(SimFrameKind kind, const QByteArray &frame);
    bool hit(const FaultRule &rule, int &seen, unsigned kind);
    void spoil(QByteArray &reply, unsigned kind);
    QByteArray state_reply() const;
};

// "PSS", "MC 0 3 0x20", "PD 12 0x34", ...: one line per frame for logs and journals.
QString format_frame(const SimFrame &frame);
