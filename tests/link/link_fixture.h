#pragma once
// Shared pieces of the link tests: a sink that keeps every text, a sleeper that keeps the
// long waits out of the tests, and a simulated radio opened through the channel.

#include "com_port.h"
#include "com_service_scope.h"
#include "messages.h"
#include "recording.h"
#include "simulated_radio.h"

#include <QStringList>

#include <memory>
#include <mutex>
#include <vector>

// Keeps the protocol's short waits real (the radio needs them to answer) and cuts the long
// ones (the 3.6 s wake-up, the 2 s message pauses, a caller's 300 ms) to a few
// milliseconds. Records every request.
class TestSleeper final : public Sleeper {
public:
    explicit TestSleeper(int real_up_to_ms = 200) : real_up_to_ms_(real_up_to_ms) {}
    void sleep_ms(int ms) override
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            calls_.push_back(ms);
        }
        real_.sleep_ms(ms <= real_up_to_ms_ ? ms : LONG_WAIT_MS);
    }
    std::vector<int> calls() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }
    void clear()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.clear();
    }

private:
    static constexpr int LONG_WAIT_MS = 10;
    int real_up_to_ms_;
    RealSleeper real_;
    mutable std::mutex mutex_;
    std::vector<int> calls_;
};

// The waits com_open runs to wake the radio.
inline std::vector<int> wake_up_waits() { return {300, 300, 1000, 500, 1500}; }

// A plausible 153-byte image: address = its own index, the working channel 3 at 60.
inline QByteArray test_image()
{
    QByteArray image(153, '\0');
    for (int i = 0; i < image.size(); ++i)
        image[i] = static_cast<char>(i * 7 + 1);
    image[60] = 3;
    return image;
}

// A simulated radio on a fresh pseudo-terminal, opened through the channel.
struct RadioFixture {
    std::unique_ptr<SimulatedRadio> radio;
    int port = -1;

    explicit RadioFixture(const SimFaults &faults = SimFaults(), int baud = 57600, int sost = 0)
    {
        SimRadioConfig config;
        config.image = test_image();
        config.baud = baud;
        config.sost = sost;
        config.faults = faults;
        radio = std::make_unique<SimulatedRadio>(config);
        if (radio->start())
            port = com_open(radio->device_name().toLocal8Bit().constData(), baud);
    }
    ~RadioFixture()
    {
        com_close(port);
        radio->stop();
    }
};
