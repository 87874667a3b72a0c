#pragma once
// The simulated radio's model behind the device seam, in memory: what is written is fed to
// the model at once and its replies wait to be read, so protocol runs take no real time.
// Writes of chosen frames can be made to fail, as on a port that refuses to send.

#include "radio_model.h"
#include "serial_device.h"

#include <QByteArray>
#include <QList>

#include <cstring>
#include <memory>
#include <mutex>

// Shared by the test and every device the channel creates for it.
struct ModelRadio {
    explicit ModelRadio(const QByteArray &image, const SimState &state = SimState(),
                        const SimFaults &faults = SimFaults())
        : model(image, state, faults, 0)
    {
    }

    std::mutex mutex;
    RadioModel model;
    QByteArray pending;         // replies not read yet
    QList<QByteArray> refused;  // writes starting with one of these fail
    bool lost = false;

    int count(SimFrameKind kind)
    {
        std::lock_guard<std::mutex> lock(mutex);
        int n = 0;
        for (const SimFrame &f : model.journal())
            n += f.kind == kind;
        return n;
    }
    std::vector<SimFrame> journal()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return model.journal();
    }
};

class ModelDevice final : public SerialDevice {
public:
    explicit ModelDevice(std::shared_ptr<ModelRadio> radio) : radio_(std::move(radio)) {}

    bool open(const char *, int) override { return true; }
    void close() override {}
    int read(uint8_t *buffer, int length, int) override
    {
        std::memset(buffer, 0, static_cast<size_t>(length));
        std::lock_guard<std::mutex> lock(radio_->mutex);
        if (radio_->lost)
            return SERIAL_LOST;
        const QByteArray part = radio_->pending.left(length);
        radio_->pending.remove(0, part.size());
        std::memcpy(buffer, part.constData(), static_cast<size_t>(part.size()));
        return static_cast<int>(part.size());
    }
    int write(const uint8_t *data, int length, int) override
    {
        std::lock_guard<std::mutex> lock(radio_->mutex);
        if (radio_->lost)
            return SERIAL_LOST;
        const QByteArray bytes(reinterpret_cast<const char *>(data), length);
        for (const QByteArray &start : radio_->refused)
            if (bytes.startsWith(start))
                return -1;
        for (const SimAction &a : radio_->model.feed(data, length)) {
            if (a.vanish) {
                radio_->lost = true;
                break;
            }
            radio_->pending += a.reply;
        }
        return length;
    }
    bool purge_rx() override
    {
        std::lock_guard<std::mutex> lock(radio_->mutex);
        radio_->pending.clear();
        return !radio_->lost;
    }
    void purge_tx() override {}
    void set_dtr(bool) override {}
    void set_rts(bool) override {}
    int bytes_waiting() override
    {
        std::lock_guard<std::mutex> lock(radio_->mutex);
        return radio_->lost ? SERIAL_LOST : static_cast<int>(radio_->pending.size());
    }

private:
    std::shared_ptr<ModelRadio> radio_;
};
