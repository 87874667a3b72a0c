#pragma once
// A serial line in memory on a virtual clock: the channel's device for runs that need no
// terminal and no real time. Whatever the programmer writes goes to a far end (the radio
// model, or a script), whose replies arrive byte by byte at the line speed. Reads that wait
// and every pause through the clock move virtual time only, so a run that would take
// minutes at 9600 bit/s takes milliseconds and always behaves the same.

#include "messages.h"
#include "serial_device.h"

#include <QByteArray>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

class RadioModel;

// Time of a run. It is the sleeper of the run too: a pause moves it on.
class VirtualClock final : public Sleeper {
public:
    void sleep_ms(int ms) override { advance_us(int64_t{ms > 0 ? ms : 0} * 1000); }
    int64_t now_us() const { return now_us_.load(); }
    void reset() { now_us_.store(0); }
    void advance_us(int64_t us) { now_us_ += us; }
    void advance_to_us(int64_t t)
    {
        if (t > now_us_.load())
            now_us_.store(t);
    }

private:
    std::atomic<int64_t> now_us_{0};
};

// What the far end does in answer to one written block.
struct LineReply {
    QByteArray bytes;
    int delay_ms = 0;     // before the first byte
    bool vanish = false;  // the device goes away (a cable pulled) instead
};

using FarEnd = std::function<std::vector<LineReply>(const uint8_t *data, int length)>;

class MemoryLine final : public SerialDevice {
public:
    MemoryLine(VirtualClock &clock, int baud, FarEnd far_end);

    bool open(const char *name, int speed) override;
    void close() override {}
    int read(uint8_t *buffer, int length, int timeout_ms) override;
    int write(const uint8_t *data, int length, int timeout_ms) override;
    bool purge_rx() override;
    void purge_tx() override {}
    void set_dtr(bool) override {}
    void set_rts(bool) override {}
    int bytes_waiting() override;

    bool lost() const { return lost_; }
    // Sees every read: the bytes asked for and those that came (count or SERIAL_LOST).
    std::function<void(const uint8_t *buffer, int length, int result)> on_read;

private:
    struct Arriving {
        uint8_t byte;
        int64_t at_us;
    };
    VirtualClock &clock_;
    int64_t byte_us_;
    FarEnd far_end_;
    std::deque<Arriving> incoming_;
    int64_t line_free_us_ = 0;  // when the far end's last queued byte is through
    int64_t lost_at_us_ = -1;
    bool lost_ = false;

    bool gone();
    int take(uint8_t *buffer, int length, int timeout_ms);
};

// The far end that is the simulated radio's model (its faults included).
FarEnd radio_far_end(RadioModel &model);

// Length of the reply the radio gives to a block the programmer wrote as one frame (a state
// query, mode command, dump or echo request, commit); 0 for write packets and anything else.
int expected_reply_length(const uint8_t *data, int length);

// A far end that answers from a script, as a fuzzer drives it. For every block that expects
// a reply the script holds a control byte: bits 0..2 say 0-3 a reply of the expected length,
// 4 a shorter one, 5 a longer one (both followed by a byte that sets by how much: length
// modulo the expected one, or up to 255 more), 6 no reply, 7 the device vanishes; bits 3..7
// delay the reply by that many 25 ms steps. The reply's bytes follow. An exhausted script
// stays silent.
class ScriptedFarEnd {
public:
    ScriptedFarEnd(const uint8_t *data, size_t size) : data_(data), size_(size) {}
    std::vector<LineReply> operator()(const uint8_t *data, int length);

    // The script entry of a plain, prompt reply.
    static QByteArray entry(const QByteArray &reply);

private:
    const uint8_t *data_;
    size_t size_;
    size_t at_ = 0;
    int take();
};
