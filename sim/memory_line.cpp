#include "memory_line.h"

#include "radio_model.h"

#include <algorithm>
#include <cstring>

namespace {

// As the simulated radio on a terminal: the line drops a moment after the request that
// ends it.
constexpr int64_t VANISH_DELAY_US = 30000;

}  // namespace

MemoryLine::MemoryLine(VirtualClock &clock, int baud, FarEnd far_end)
    : clock_(clock), byte_us_(baud > 0 ? 10'000'000LL / baud : 1), far_end_(std::move(far_end))
{
}

bool MemoryLine::gone()
{
    if (!lost_ && lost_at_us_ >= 0 && clock_.now_us() >= lost_at_us_)
        lost_ = true;
    return lost_;
}

bool MemoryLine::open(const char *, int speed)
{
    if (speed > 0)
        byte_us_ = 10'000'000LL / speed;
    return !gone();
}

int MemoryLine::read(uint8_t *buffer, int length, int timeout_ms)
{
    const int result = take(buffer, length, timeout_ms);
    if (on_read)
        on_read(buffer, length, result);
    return result;
}

int MemoryLine::take(uint8_t *buffer, int length, int timeout_ms)
{
    if (length <= 0)
        return 0;
    std::memset(buffer, 0, static_cast<size_t>(length));
    if (gone())
        return SERIAL_LOST;
    const int64_t deadline = clock_.now_us() + int64_t{timeout_ms > 0 ? timeout_ms : 0} * 1000;
    int count = 0;
    while (count < length && !incoming_.empty() && incoming_.front().at_us <= deadline) {
        clock_.advance_to_us(incoming_.front().at_us);
        buffer[count++] = incoming_.front().byte;
        incoming_.pop_front();
    }
    if (count < length) {
        if (lost_at_us_ >= 0 && lost_at_us_ <= deadline) {
            clock_.advance_to_us(lost_at_us_);
            lost_ = true;
            return SERIAL_LOST;
        }
        clock_.advance_to_us(deadline);
    }
    return count;
}

int MemoryLine::write(const uint8_t *data, int length, int)
{
    if (length <= 0)
        return 0;
    if (gone())
        return SERIAL_LOST;
    // The block is on the line once its last byte has left.
    clock_.advance_us(byte_us_ * length);
    for (const LineReply &reply : far_end_(data, length)) {
        if (reply.vanish) {
            if (lost_at_us_ < 0)
                lost_at_us_ = clock_.now_us() + VANISH_DELAY_US;
            break;
        }
        int64_t at = std::max(clock_.now_us(), line_free_us_) + int64_t{reply.delay_ms} * 1000;
        for (char c : reply.bytes) {
            at += byte_us_;
            incoming_.push_back(Arriving{static_cast<uint8_t>(c), at});
        }
        line_free_us_ = at;
    }
    return length;
}

bool MemoryLine::purge_rx()
{
    if (gone())
        return false;
    while (!incoming_.empty() && incoming_.front().at_us <= clock_.now_us())
        incoming_.pop_front();
    return true;
}

int MemoryLine::bytes_waiting()
{
    if (gone())
        return SERIAL_LOST;
    int n = 0;
    for (const Arriving &a : incoming_)
        n += a.at_us <= clock_.now_us();
    return n;
}

FarEnd radio_far_end(RadioModel &model)
{
    return [&model](const uint8_t *data, int length) {
        std::vector<LineReply> replies;
        for (const SimAction &a : model.feed(data, length))
            replies.push_back(LineReply{a.reply, a.delay_ms, a.vanish});
        return replies;
    };
}

int expected_reply_length(const uint8_t *data, int length)
{
    if (length < 4 || data[0] != '$')
        return 0;
    if (data[1] == 'M' && data[2] == 'C')
        return 7;
    if (data[1] != 'P')
        return 0;
    if (data[2] == 'C')
        return 7;
    if (data[2] != 'S')
        return 0;
    switch (data[3]) {
    case 'S': return 7;
    case 'E': return 918;
    case 'D': return 48;
    default: return 0;
    }
}

int ScriptedFarEnd::take() { return at_ < size_ ? data_[at_++] : -1; }

std::vector<LineReply> ScriptedFarEnd::operator()(const uint8_t *data, int length)
{
    const int expected = expected_reply_length(data, length);
    const int control = expected > 0 ? take() : -1;
    if (control < 0)
        return {};
    LineReply reply;
    reply.delay_ms = (control >> 3) * 25;
    int n = expected;
    switch (control & 7) {
    case 4: n = std::max(take(), 0) % expected; break;
    case 5: n = expected + std::max(take(), 0); break;
    case 6: return {};
    case 7: reply.vanish = true; return {reply};
    default: break;
    }
    const size_t available = size_ - at_;
    n = static_cast<int>(std::min<size_t>(size_t(n), available));
    reply.bytes = QByteArray(reinterpret_cast<const char *>(data_ + at_), n);
    at_ += size_t(n);
    return {reply};
}

QByteArray ScriptedFarEnd::entry(const QByteArray &reply) { return QByteArray(1, '\0') + reply; }
