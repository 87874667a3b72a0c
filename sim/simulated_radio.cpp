#include "simulated_radio.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <chrono>
#include <cstdlib>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int IMAGE_SIZE = 153;
constexpr int POLL_MS = 20;
constexpr int VANISH_DELAY_MS = 30;
constexpr int ADAPTER_PACKET = 62;  // payload of one USB packet from the adapter

using Clock = std::chrono::steady_clock;

}  // namespace

bool sim_load_eep(const QString &path, QByteArray &image, QString *error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("cannot read %1: %2").arg(path, f.errorString());
        return false;
    }
    image = f.read(IMAGE_SIZE + 1);
    if (image.size() != IMAGE_SIZE) {
        if (error)
            *error = QStringLiteral("%1 is not a 153-byte image").arg(path);
        return false;
    }
    return true;
}

SimulatedRadio::SimulatedRadio(const SimRadioConfig &config) : config_(config) {}

SimulatedRadio::~SimulatedRadio() { stop(); }

QString SimulatedRadio::port_name() const
{
    return config_.link_path.isEmpty() ? device_name_ : config_.link_path;
}

bool SimulatedRadio::start(QString *error)
{
    if (running_.load())
        return true;
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        close_device();
        return false;
    };
    if (config_.baud <= 0)
        return fail(QStringLiteral("the line speed must be positive"));
    QByteArray image = config_.image;
    if (!config_.eep_path.isEmpty() && !sim_load_eep(config_.eep_path, image, error))
        return false;
    SimState state;
    state.g = static_cast<uint8_t>(config_.g);
    const uint8_t stored = image.size() > 60 ? static_cast<uint8_t>(image[60]) : 1;
    state.nk = config_.nk >= 0 ? static_cast<uint8_t>(config_.nk)
                               : (stored >= 1 && stored <= 8 ? stored : 1);
    state.sost = static_cast<uint8_t>(config_.sost);
    model_ = std::make_unique<RadioModel>(image, state, config_.faults, config_.commit_delay_ms);
    model_->set_deaf_while_transmitting(config_.deaf_while_transmitting);

    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
        return fail(QStringLiteral("cannot create a pseudo-terminal"));
    char name[128];
    if (ptsname_r(master_, name, sizeof name) != 0)
        return fail(QStringLiteral("cannot name the pseudo-terminal"));
    device_name_ = QString::fromLocal8Bit(name);
    slave_ = ::open(name, O_RDWR | O_NOCTTY);
    if (slave_ < 0)
        return fail(QStringLiteral("cannot open %1").arg(device_name_));
    // Raw, so nothing is echoed or translated before the programmer sets its own mode.
    termios tio{};
    tcgetattr(slave_, &tio);
    cfmakeraw(&tio);
    tcsetattr(slave_, TCSANOW, &tio);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);

    if (!config_.link_path.isEmpty()) {
        const QByteArray link = QFile::encodeName(config_.link_path);
        const QFileInfo existing(config_.link_path);
        if (existing.isSymLink() || existing.exists())
            ::unlink(link.constData());
        if (::symlink(name, link.constData()) != 0)
            return fail(QStringLiteral("cannot create the link %1").arg(config_.link_path));
        link_made_ = true;
    }
    stopping_.store(false);
    vanished_.store(false);
    running_.store(true);
    thread_ = std::thread(&SimulatedRadio::run, this);
    return true;
}

void SimulatedRadio::stop()
{
    stopping_.store(true);
    if (thread_.joinable())
        thread_.join();
    close_device();
    running_.store(false);
    if (link_made_)
        ::unlink(QFile::encodeName(config_.link_path).constData());
    link_made_ = false;
}

void SimulatedRadio::unplug() { stop(); }

bool SimulatedRadio::plug_in(SimRadioConfig config, QString *error)
{
    stop();
    config.link_path = config_.link_path;
    config_ = config;
    return start(error);
}

void SimulatedRadio::close_device()
{
    if (master_ >= 0)
        ::close(master_);
    if (slave_ >= 0)
        ::close(slave_);
    master_ = slave_ = -1;
}

void SimulatedRadio::run()
{
    uint8_t buffer[4096];
    while (!stopping_.load()) {
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, POLL_MS) <= 0)
            continue;
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n <= 0) {
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                ::usleep(POLL_MS * 1000);  // never a busy loop
            continue;
        }
        const QString wrong = line_mismatch();
        if (wrong != last_line_) {
            last_line_ = wrong;
            if (!wrong.isEmpty()) {
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    line_notes_ << wrong;
                }
                append_journal_line(wrong);
            }
        }
        if (!wrong.isEmpty())
            continue;  // noise at the radio's speed: nothing it could decode
        std::vector<SimAction> actions;
        std::vector<SimFrame> frames;
        size_t from = 0;
        QByteArray image;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            from = model_->journal().size();
            actions = model_->feed(buffer, static_cast<int>(n));
            frames.assign(model_->journal().begin() + static_cast<long>(from),
                          model_->journal().end());
            image = model_->image();
        }
        append_journal(frames);
        for (const SimAction &a : actions) {
            if (a.vanish) {
                // As a cable pulled while the radio works on the request: the request
                // itself has been taken in whole.
                pause(VANISH_DELAY_MS);
                close_device();
                vanished_.store(true);
                running_.store(false);
                return;
            }
            if (a.committed)
                save_image(image);
            const int latency = a.reply.isEmpty() ? 0 : config_.reply_latency_ms;
            if (!pause(a.delay_ms + latency) || !send_paced(a.reply))
                return;
        }
    }
}

bool SimulatedRadio::wait_until(Clock::time_point when)
{
    while (Clock::now() < when) {
        if (stopping_.load())
            return false;
        std::this_thread::sleep_for(
            std::min<Clock::duration>(when - Clock::now(), std::chrono::milliseconds(POLL_MS)));
    }
    return !stopping_.load();
}

bool SimulatedRadio::pause(int ms)
{
    return wait_until(Clock::now() + std::chrono::milliseconds(ms));
}

// Writes to the computer's side; false only when stopping. A side nobody listens on loses
// the bytes like a dead line.
bool SimulatedRadio::hand_over(const char *data, int length)
{
    int sent = 0;
    while (sent < length) {
        if (stopping_.load())
            return false;
        const ssize_t w = ::write(master_, data + sent, static_cast<size_t>(length - sent));
        if (w > 0) {
            sent += static_cast<int>(w);
        } else if (w < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{master_, POLLOUT, 0};
            ::poll(&p, 1, POLL_MS);
        } else {
            return true;
        }
    }
    return true;
}

bool SimulatedRadio::send_paced(const QByteArray &bytes)
{
    // Byte i is on the far side of the line once its ten bits have passed:
    // start + (i + 1) * per_byte.
    const auto per_byte = std::chrono::nanoseconds(10'000'000'000LL / config_.baud);
    const auto start = Clock::now();
    const int n = static_cast<int>(bytes.size());
    const auto arrived_by = [&](Clock::time_point t) {
        return std::min<int>(n, static_cast<int>((t - start) / per_byte));
    };
    if (config_.adapter_latency_ms <= 0) {
        for (int sent = 0; sent < n;) {
            if (!wait_until(start + per_byte * (sent + 1)))
                return false;
            const int due = std::max(sent + 1, arrived_by(Clock::now()));
            if (!hand_over(bytes.constData() + sent, due - sent))
                return false;
            sent = due;
        }
        return true;
    }
    // The adapter passes what it holds on in one USB packet when 62 bytes are waiting or
    // its latency timer, started by the first waiting byte, runs out.
    const auto latency = std::chrono::milliseconds(config_.adapter_latency_ms);
    for (int sent = 0; sent < n;) {
        const auto first = start + per_byte * (sent + 1);
        const auto full = start + per_byte * (sent + ADAPTER_PACKET);
        const bool fills = sent + ADAPTER_PACKET <= n && full <= first + latency;
        const auto flush = fills ? full : first + latency;
        if (!wait_until(flush))
            return false;
        const int count = fills ? ADAPTER_PACKET
                                : std::min(ADAPTER_PACKET, std::max(1, arrived_by(flush) - sent));
        if (!hand_over(bytes.constData() + sent, count))
            return false;
        sent += count;
    }
    return true;
}

namespace {

int speed_of(speed_t code)
{
    static const struct {
        speed_t code;
        int bits;
    } speeds[] = {{B1200, 1200},   {B2400, 2400},     {B4800, 4800},
                  {B9600, 9600},   {B19200, 19200},   {B38400, 38400},
                  {B57600, 57600}, {B115200, 115200}, {B230400, 230400}};
    for (const auto &s : speeds)
        if (s.code == code)
            return s.bits;
    return 0;
}

QString describe(int speed, const termios &t)
{
    const int bits = (t.c_cflag & CSIZE) == CS8   ? 8
                     : (t.c_cflag & CSIZE) == CS7 ? 7
                     : (t.c_cflag & CSIZE) == CS6 ? 6
                                                  : 5;
    const char parity = !(t.c_cflag & PARENB) ? 'N' : (t.c_cflag & PARODD) ? 'O' : 'E';
    return QStringLiteral("%1 %2%3%4")
        .arg(speed)
        .arg(bits)
        .arg(QLatin1Char(parity))
        .arg((t.c_cflag & CSTOPB) ? 2 : 1);
}

}  // namespace

QString SimulatedRadio::line_mismatch()
{
    termios t{};
    if (::tcgetattr(master_, &t) != 0)
        return QString();  // nothing to compare: listen
    const int speed = speed_of(cfgetospeed(&t));
    const bool ok = speed == config_.baud && speed_of(cfgetispeed(&t)) == config_.baud
                    && (t.c_cflag & CSIZE) == CS8 && !(t.c_cflag & PARENB) && !(t.c_cflag & CSTOPB);
    if (ok)
        return QString();
    termios radio = t;
    radio.c_cflag = (radio.c_cflag & ~(CSIZE | PARENB | CSTOPB)) | CS8;
    return QStringLiteral("line %1, radio %2: ignored")
        .arg(describe(speed, t), describe(config_.baud, radio));
}

QStringList SimulatedRadio::line_notes() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return line_notes_;
}

void SimulatedRadio::save_image(const QByteArray &image)
{
    if (config_.eep_path.isEmpty())
        return;
    QSaveFile f(config_.eep_path);
    if (f.open(QIODevice::WriteOnly) && f.write(image) == image.size())
        f.commit();
}

void SimulatedRadio::append_journal_line(const QString &line)
{
    if (config_.journal_path.isEmpty())
        return;
    QFile f(config_.journal_path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        f.write(line.toUtf8() + '\n');
}

void SimulatedRadio::append_journal(const std::vector<SimFrame> &frames)
{
    if (config_.journal_path.isEmpty() || frames.empty())
        return;
    QFile f(config_.journal_path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return;
    for (const SimFrame &frame : frames)
        f.write(format_frame(frame).toUtf8() + '\n');
}

QByteArray SimulatedRadio::image() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return model_ ? model_->image() : QByteArray();
}

SimState SimulatedRadio::state() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return model_ ? model_->state() : SimState{};
}

std::vector<SimFrame> SimulatedRadio::journal() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return model_ ? model_->journal() : std::vector<SimFrame>{};
}

std::vector<SimWritePacket> SimulatedRadio::write_packets() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return model_ ? model_->write_packets() : std::vector<SimWritePacket>{};
}

int SimulatedRadio::commits() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return model_ ? model_->commits() : 0;
}

int SimulatedRadio::frames_received() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return model_ ? static_cast<int>(model_->journal().size()) : 0;
}

void SimulatedRadio::set_state(const SimState &state)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (model_)
        model_->set_state(state);
}

void SimulatedRadio::set_faults(const SimFaults &faults)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (model_)
        model_->set_faults(faults);
}
