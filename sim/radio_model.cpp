#include "radio_model.h"

namespace {

constexpr int IMAGE_SIZE = 153;
constexpr int RECORD = 6;
constexpr int BATCH = 8;
constexpr char CR = 0x0D;
constexpr int STATE_SIZE = 7;

QByteArray record(char c1, char c2, uint8_t address, uint8_t value)
{
    QByteArray r(RECORD, '\0');
    r[0] = '$';
    r[1] = c1;
    r[2] = c2;
    r[3] = static_cast<char>(address);
    r[4] = static_cast<char>(value);
    r[5] = CR;
    return r;
}

}  // namespace

unsigned sim_reply_kind(SimFrameKind kind)
{
    switch (kind) {
    case SimFrameKind::StateQuery: return SIM_REPLY_STATE;
    case SimFrameKind::ModeCommand: return SIM_REPLY_MODE;
    case SimFrameKind::DumpRequest: return SIM_REPLY_DUMP;
    case SimFrameKind::EchoRequest: return SIM_REPLY_ECHO;
    case SimFrameKind::Commit: return SIM_REPLY_COMMIT;
    case SimFrameKind::WritePacket: return 0;
    }
    return 0;
}

int sim_reply_size(SimFrameKind kind)
{
    switch (kind) {
    case SimFrameKind::StateQuery:
    case SimFrameKind::ModeCommand:
    case SimFrameKind::Commit: return STATE_SIZE;
    case SimFrameKind::DumpRequest: return IMAGE_SIZE * RECORD;
    case SimFrameKind::EchoRequest: return BATCH * RECORD;
    case SimFrameKind::WritePacket: return 0;
    }
    return 0;
}

RadioModel::RadioModel(const QByteArray &image, const SimState &state, const SimFaults &faults,
                       int commit_delay_ms)
    : image_(image.left(IMAGE_SIZE)), state_(state), faults_(faults),
      commit_delay_ms_(commit_delay_ms), rng_(faults.seed)
{
    if (image_.size() < IMAGE_SIZE)
        image_.append(QByteArray(IMAGE_SIZE - image_.size(), '\0'));
}

void RadioModel::set_faults(const SimFaults &faults)
{
    faults_ = faults;
    rng_.seed(faults.seed);
    for (int &s : seen_)
        s = 0;
    requests_ = 0;
}

int RadioModel::frame_length() const
{
    const int n = input_.size();
    if (n < 3)
        return n >= 2 && input_[1] != 'P' && input_[1] != 'M' ? -1 : 0;
    const char a = input_[1], b = input_[2];
    int need = 0;
    if (a == 'P' && b == 'S')
        need = 5;
    else if (a == 'P' && b == 'D')
        need = 6;
    else if (a == 'P' && b == 'C')
        need = 5;
    else if (a == 'M' && b == 'C')
        need = 7;
    else
        return -1;
    if (n < need)
        return 0;
    if (input_[need - 1] != CR)
        return -1;
    if (a == 'P' && b == 'S' && input_[3] != 'S' && input_[3] != 'E' && input_[3] != 'D')
        return -1;
    if (a == 'P' && b == 'C' && input_[3] != 0x06)
        return -1;
    return need;
}

std::vector<SimAction> RadioModel::feed(const uint8_t *data, int length)
{
    std::vector<SimAction> actions;
    input_.append(reinterpret_cast<const char *>(data), length);
    for (;;) {
        const int start = input_.indexOf('$');
        if (start < 0) {
            input_.clear();
            break;
        }
        input_.remove(0, start);
        const int len = frame_length();
        if (len == 0)
            break;
        if (len < 0) {
            input_.remove(0, 1);
            continue;
        }
        const QByteArray frame = input_.left(len);
        input_.remove(0, len);
        SimFrameKind kind = SimFrameKind::WritePacket;
        if (frame[1] == 'M')
            kind = SimFrameKind::ModeCommand;
        else if (frame[2] == 'C')
            kind = SimFrameKind::Commit;
        else if (frame[2] == 'S')
            kind = frame[3] == 'S'   ? SimFrameKind::StateQuery
                   : frame[3] == 'E' ? SimFrameKind::DumpRequest
                                     : SimFrameKind::EchoRequest;
        journal_.push_back(SimFrame{kind, frame});
        const SimAction action = answer(kind, frame);
        if (!action.reply.isEmpty() || action.vanish || action.committed)
            actions.push_back(action);
        if (action.vanish) {
            input_.clear();
            break;
        }
    }
    return actions;
}

bool RadioModel::hit(const FaultRule &rule, int &seen, unsigned kind)
{
    if (!rule.active() || !(rule.replies & kind))
        return false;
    const int n = seen++;
    if (rule.hits_by_order(n))
        return true;
    if (rule.rate <= 0.0)
        return false;
    return std::uniform_real_distribution<double>(0.0, 1.0)(rng_) < rule.rate;
}

QByteArray RadioModel::state_reply() const
{
    QByteArray r(7, '\0');
    r[0] = '$';
    r[1] = 'S';
    r[2] = 'S';
    r[3] = static_cast<char>(state_.g);
    r[4] = static_cast<char>(state_.nk);
    r[5] = static_cast<char>(state_.sost);
    r[6] = CR;
    return r;
}

SimAction RadioModel::answer(SimFrameKind kind, const QByteArray &frame)
{
    SimAction action;
    const auto byte = [&frame](int i) { return static_cast<uint8_t>(frame[i]); };
    if (kind == SimFrameKind::WritePacket) {
        if (deaf_while_transmitting_ && (state_.sost & 0x20))
            return action;
        const SimWritePacket p{byte(3), byte(4)};
        packets_.push_back(p);
        pending_.push_back(p);
        if (pending_.size() > static_cast<size_t>(BATCH))
            pending_.erase(pending_.begin());
        return action;
    }
    if (requests_++ == faults_.vanish_at) {
        action.vanish = true;
        return action;
    }

    const unsigned rk = sim_reply_kind(kind);
    switch (kind) {
    case SimFrameKind::StateQuery:
        action.reply = state_reply();
        if (hit(faults_.bad_state_frame, seen_[9], rk)) {
            action.reply[0] = '#';
            action.reply[6] = '\n';
        }
        break;
    case SimFrameKind::ModeCommand:
        if (!hit(faults_.ignore_mode, seen_[8], rk) && byte(4) >= 1 && byte(4) <= 8)
            state_ = SimState{byte(3), byte(4), byte(5)};
        action.reply = state_reply();
        break;
    case SimFrameKind::DumpRequest: {
        for (int a = 0; a < IMAGE_SIZE; ++a)
            action.reply += record('S', 'E', static_cast<uint8_t>(a),
                                   static_cast<uint8_t>(image_[a]));
        const int n = seen_[5];
        if (hit(faults_.dump_differs, seen_[5], rk)) {
            const int r = static_cast<int>(rng_() % IMAGE_SIZE);
            action.reply[r * RECORD + 4] = static_cast<char>(action.reply[r * RECORD + 4]
                                                             ^ (1 + n % 255));
        }
        break;
    }
    case SimFrameKind::EchoRequest:
        for (const SimWritePacket &p : pending_)
            action.reply += record('S', 'D', p.address, p.value);
        if (hit(faults_.wrong_echo, seen_[6], rk) && !pending_.empty()) {
            const int r = static_cast<int>(rng_() % pending_.size());
            action.reply[r * RECORD + 4] = static_cast<char>(action.reply[r * RECORD + 4] ^ 1);
        }
        break;
    case SimFrameKind::Commit:
        if (hit(faults_.miss_commit, seen_[7], rk))
            return action;
        for (const SimWritePacket &p : pending_)
            // Our assumption, not the radio's documented behaviour: a packet for an address
            // past the image (the programmer's filler, 159) is dropped without effect.
            if (p.address < IMAGE_SIZE)
                image_[p.address] = static_cast<char>(p.value);
        pending_.clear();
        ++commits_;
        action.committed = true;
        action.delay_ms = commit_delay_ms_;
        action.reply = QByteArray("$SC\x06\0\0\r", 7);
        break;
    case SimFrameKind::WritePacket: break;
    }
    spoil(action.reply, rk);
    return action;
}

void RadioModel::spoil(QByteArray &reply, unsigned kind)
{
    const bool silent = hit(faults_.silent, seen_[0], kind);
    const bool garbage = hit(faults_.garbage, seen_[1], kind);
    const bool short_garbage = hit(faults_.short_garbage, seen_[2], kind);
    const bool drop = hit(faults_.drop_byte, seen_[3], kind);
    const bool corrupt = hit(faults_.corrupt_byte, seen_[4], kind);
    const auto random_bytes = [this](int n) {
        QByteArray r(n, '\0');
        for (char &c : r)
            c = static_cast<char>(rng_() & 0xFF);
        return r;
    };
    if (silent || reply.isEmpty()) {
        reply.clear();
        return;
    }
    if (garbage)
        reply = random_bytes(reply.size());
    if (short_garbage)
        reply = random_bytes(reply.size() > 1 ? 1 + int(rng_() % (reply.size() - 1)) : 0);
    if (drop && !reply.isEmpty())
        reply.remove(static_cast<int>(rng_() % reply.size()), 1);
    if (corrupt && !reply.isEmpty()) {
        const int at = static_cast<int>(rng_() % reply.size());
        reply[at] = static_cast<char>(reply[at] ^ (1 + rng_() % 255));
    }
}

QString format_frame(const SimFrame &frame)
{
    const auto byte = [&frame](int i) { return static_cast<uint8_t>(frame.bytes[i]); };
    switch (frame.kind) {
    case SimFrameKind::StateQuery: return QStringLiteral("PSS");
    case SimFrameKind::DumpRequest: return QStringLiteral("PSE");
    case SimFrameKind::EchoRequest: return QStringLiteral("PSD");
    case SimFrameKind::Commit: return QStringLiteral("PC");
    case SimFrameKind::ModeCommand:
        return QStringLiteral("MC %1 %2 %3").arg(byte(3)).arg(byte(4)).arg(byte(5));
    case SimFrameKind::WritePacket: return QStringLiteral("PD %1 %2").arg(byte(3)).arg(byte(4));
    }
    return QString();
}
