#include "com_port.h"

#include "messages.h"
#include "serial_device.h"

#include <QThread>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace {

// Work the worker does for com_open/com_close; never reachable through com_submit.
enum class Internal { None, Open, Close };

struct Entry {
    std::shared_ptr<COM_REQUEST> request;
    Internal internal = Internal::None;
};

std::mutex table_mutex;
COM_PORT ports[COM_PORT_COUNT];

std::mutex factory_mutex;
QString last_open_error;  // under table_mutex
SerialDeviceFactory device_factory;

std::unique_ptr<SerialDevice> create_device()
{
    SerialDeviceFactory factory;
    {
        std::lock_guard<std::mutex> lock(factory_mutex);
        factory = device_factory;
    }
    return factory ? factory() : make_qt_serial_device();
}

class RequestQueue {
public:
    bool append(const Entry &entry)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (static_cast<int>(entries_.size()) >= COM_QUEUE_MAX)
                return false;
            entries_.push_back(entry);
        }
        ready_.notify_one();
        return true;
    }

    // Waits up to `wait_ms` for an entry.
    bool take(Entry &entry, int wait_ms)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait_for(lock, std::chrono::milliseconds(wait_ms),
                        [this] { return !entries_.empty() || woken_; });
        woken_ = false;
        if (entries_.empty())
            return false;
        entry = entries_.front();
        entries_.pop_front();
        return true;
    }

    void wake()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            woken_ = true;
        }
        ready_.notify_all();
    }

    std::deque<Entry> drain()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::deque<Entry> left;
        left.swap(entries_);
        return left;
    }

private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Entry> entries_;
    bool woken_ = false;
};

// What one run of the service shares between its submitters and its worker. A worker
// that stays stuck in a device after the service stopped keeps its own, so it never
// touches what a later run uses.
struct Service {
    RequestQueue queue;
    std::timed_mutex submitter_lock;
    std::mutex done_mutex;
    std::condition_variable done_signal;
    bool retired = false;  // under table_mutex: the slot table is no longer this run's

    void mark_done(const std::shared_ptr<COM_REQUEST> &request, int result, bool has_result)
    {
        {
            std::lock_guard<std::mutex> lock(done_mutex);
            if (has_result)
                request->result = result;
            request->done.store(1, std::memory_order_release);
        }
        done_signal.notify_all();
    }
};

class ComWorker final : public QThread {
public:
    explicit ComWorker(std::shared_ptr<Service> service) : service_(std::move(service)) {}

    std::atomic<int> run_flag{1};

protected:
    void run() override
    {
        while (run_flag.load()) {
            Entry entry;
            if (!service_->queue.take(entry, COM_POLL_MS))
                continue;
            execute(entry);
        }
        for (int i = 0; i < COM_PORT_COUNT; ++i)
            close_device(i);
        run_flag.store(1);  // acknowledgement
    }

private:
    std::shared_ptr<Service> service_;
    std::unique_ptr<SerialDevice> devices_[COM_PORT_COUNT];

    void set_handle(int index, std::unique_ptr<SerialDevice> device)
    {
        devices_[index] = std::move(device);
        std::lock_guard<std::mutex> lock(table_mutex);
        if (service_->retired)
            return;
        ports[index].handle = devices_[index].get();
        ports[index].lost = 0;
    }

    void close_device(int index)
    {
        if (devices_[index])
            devices_[index]->close();
        set_handle(index, nullptr);
    }

    void mark_lost(int index)
    {
        std::lock_guard<std::mutex> lock(table_mutex);
        if (!service_->retired)
            ports[index].lost = 1;
    }

    // The device of an open, present slot, or null.
    SerialDevice *usable(int index, double *ms_per_byte)
    {
        if (index < 0 || index >= COM_PORT_COUNT || !devices_[index])
            return nullptr;
        std::lock_guard<std::mutex> lock(table_mutex);
        if (service_->retired || ports[index].lost)
            return nullptr;
        if (ms_per_byte)
            *ms_per_byte = ports[index].ms_per_byte;
        return devices_[index].get();
    }

    void execute(const Entry &entry)
    {
        const std::shared_ptr<COM_REQUEST> &r = entry.request;
        if (entry.internal == Internal::Open) {
            open_device(r);
            return;
        }
        if (entry.internal == Internal::Close) {
            if (r->port >= 0 && r->port < COM_PORT_COUNT)
                close_device(r->port);
            service_->mark_done(r, 0, true);
            return;
        }
        double ms_per_byte = 0.0;
        SerialDevice *dev = usable(r->port, &ms_per_byte);
        int result = -1;
        bool has_result = true;
        switch (r->op) {
        case COM_OP_READ:
        case COM_OP_READ_EXTRA:
            if (dev) {
                r->data.assign(static_cast<size_t>(r->length > 0 ? r->length : 0), 0);
                int timeout = static_cast<int>(r->length * ms_per_byte) + COM_READ_MARGIN_MS;
                if (r->op == COM_OP_READ_EXTRA)
                    timeout += r->extra_ms;
                result = dev->read(r->data.data(), r->length, timeout);
            }
            break;
        case COM_OP_WRITE:
            if (dev) {
                dev->purge_tx();
                const int length = r->length < static_cast<int>(r->data.size())
                                       ? r->length
                                       : static_cast<int>(r->data.size());
                result = dev->write(r->data.data(), length, COM_WRITE_WAIT_MS);
            }
            break;
        case COM_OP_PURGE_RX:
            has_result = false;
            if (dev && !dev->purge_rx())
                mark_lost(r->port);
            break;
        case COM_OP_PURGE_TX:
            has_result = false;
            if (dev)
                dev->purge_tx();
            break;
        case COM_OP_SET_DTR:
        case COM_OP_SET_RTS:
            has_result = false;
            if (dev && r->op == COM_OP_SET_DTR)
                dev->set_dtr(r->level != 0);
            else if (dev)
                dev->set_rts(r->level != 0);
            break;
        case COM_OP_BYTES_WAITING:
            if (dev)
                result = dev->bytes_waiting();
            break;
        default: has_result = false; break;
        }
        if (result == SERIAL_LOST) {
            mark_lost(r->port);
            result = -1;
        }
        service_->mark_done(r, result, has_result);
    }

    // The device joins the slot only if its submitter still waits; otherwise com_open has
    // given the slot up and the device is closed again.
    void open_device(const std::shared_ptr<COM_REQUEST> &r)
    {
        const int index = r->port;
        if (index < 0 || index >= COM_PORT_COUNT) {
            service_->mark_done(r, -1, true);
            return;
        }
        close_device(index);
        char name[COM_NAME_MAX + 1];
        int speed;
        {
            std::lock_guard<std::mutex> lock(table_mutex);
            std::memcpy(name, ports[index].name, sizeof name);
            speed = ports[index].speed;
        }
        std::unique_ptr<SerialDevice> device = create_device();
        if (!device || !device->open(name, speed)) {
            {
                std::lock_guard<std::mutex> lock(table_mutex);
                last_open_error = device ? device->last_error() : QString();
            }
            service_->mark_done(r, -1, true);
            return;
        }
        // Opening a tty raises both modem lines; the radio must see only the wake-up's edges.
        device->set_dtr(false);
        device->set_rts(false);
        bool wanted;
        {
            std::lock_guard<std::mutex> lock(service_->done_mutex);
            wanted = !r->abandoned.load();
            if (wanted) {
                set_handle(index, std::move(device));
                r->result = 0;
                r->done.store(1, std::memory_order_release);
            }
        }
        service_->done_signal.notify_all();
        if (!wanted)
            device->close();
    }
};

// Only the thread that starts and stops the service changes these.
ComWorker *worker = nullptr;
std::mutex service_mutex;
std::shared_ptr<Service> current_service;

std::shared_ptr<Service> running_service()
{
    std::lock_guard<std::mutex> lock(service_mutex);
    return current_service;
}

// Waits at most `give_up_ms` in all, the submitter lock included.
int submit(const std::shared_ptr<COM_REQUEST> &request, Internal internal,
           int give_up_ms = COM_GIVE_UP_MS)
{
    const std::shared_ptr<Service> service = running_service();
    if (!service || !request)
        return -1;
    request->result = -1;
    request->done.store(0);
    const auto start = std::chrono::steady_clock::now();
    const auto give_up = start + std::chrono::milliseconds(give_up_ms);
    if (!service->submitter_lock.try_lock_for(
            std::chrono::milliseconds(std::min(COM_LOCK_WAIT_MS, give_up_ms))))
        return -1;
    const Entry entry{request, internal};
    bool queued = false;
    while (!(queued = service->queue.append(entry)) && std::chrono::steady_clock::now() < give_up)
        QThread::msleep(COM_POLL_MS);
    int result = -1;
    if (queued) {
        std::unique_lock<std::mutex> lock(service->done_mutex);
        while (!request->done.load(std::memory_order_acquire)) {
            if (std::chrono::steady_clock::now() >= give_up)
                break;
            service->done_signal.wait_for(lock, std::chrono::milliseconds(COM_POLL_MS));
        }
        if (request->done.load(std::memory_order_acquire))
            result = request->result;
        else
            request->abandoned.store(1);
    }
    service->submitter_lock.unlock();
    return result;
}

std::shared_ptr<COM_REQUEST> make_request(int index, int op)
{
    auto r = std::make_shared<COM_REQUEST>();
    r->port = index;
    r->op = op;
    return r;
}

void raise_priority()
{
#ifdef Q_OS_UNIX
    // Best effort: an unprivileged process may not raise itself.
    if (getpriority(PRIO_PROCESS, 0) > -10)
        (void)setpriority(PRIO_PROCESS, 0, -10);
#endif
}

void release_slot(int index)
{
    std::lock_guard<std::mutex> lock(table_mutex);
    ports[index] = COM_PORT{};
}

}  // namespace

void com_set_device_factory(SerialDeviceFactory factory)
{
    std::lock_guard<std::mutex> lock(factory_mutex);
    device_factory = std::move(factory);
}

int com_read_timeout_ms(int speed, int length)
{
    if (speed <= 0)
        return 0;
    const double ms_per_byte = 25.0 / (speed / 1000.0);
    return static_cast<int>(length * ms_per_byte);
}

void com_service_start()
{
    if (worker)
        return;
    {
        std::lock_guard<std::mutex> lock(table_mutex);
        for (COM_PORT &p : ports)
            p = COM_PORT{};
    }
    auto service = std::make_shared<Service>();
    {
        std::lock_guard<std::mutex> lock(service_mutex);
        current_service = service;
    }
    worker = new ComWorker(service);
    worker->start(QThread::TimeCriticalPriority);
}

void com_service_stop()
{
    if (!worker)
        return;
    std::shared_ptr<Service> service;
    {
        std::lock_guard<std::mutex> lock(service_mutex);
        service.swap(current_service);
    }
    worker->run_flag.store(0);
    service->queue.wake();
    // The worker closes its devices on the way out. One stuck in a wedged device is left
    // behind with its own share of the service; it ends when the device lets go.
    const bool ended = worker->wait(COM_STOP_WAIT_MS);
    if (!ended)
        QObject::connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    // One that ended just before the connection is deleted here; a deletion it posted
    // meanwhile dies with it.
    if (ended || worker->wait(0))
        delete worker;
    worker = nullptr;
    // Whoever is still waiting on a request learns at once that it was not done.
    for (const Entry &left : service->queue.drain())
        service->mark_done(left.request, -1, false);
    std::lock_guard<std::mutex> lock(table_mutex);
    service->retired = true;
    for (COM_PORT &p : ports)
        p = COM_PORT{};
}

bool com_service_running() { return worker != nullptr; }

QString com_last_open_error()
{
    std::lock_guard<std::mutex> lock(table_mutex);
    return last_open_error;
}

int com_open(const char *name, int speed)
{
    {
        std::lock_guard<std::mutex> lock(table_mutex);
        last_open_error.clear();
    }
    if (!name || !*name) {
        std::lock_guard<std::mutex> lock(table_mutex);
        last_open_error = QStringLiteral("имя порта не задано");
        return -1;
    }
    if (std::strlen(name) > static_cast<size_t>(COM_NAME_MAX) || speed <= 0) {
        std::lock_guard<std::mutex> lock(table_mutex);
        last_open_error = QStringLiteral("недопустимое имя или скорость порта");
        return -1;
    }
    int reopen = -1;
    int reuse = -1;
    {
        std::lock_guard<std::mutex> lock(table_mutex);
        for (int i = 0; i < COM_PORT_COUNT; ++i) {
            if (!ports[i].in_use || std::strcmp(ports[i].name, name) != 0)
                continue;
            // A device that went away is opened afresh: the cable may be back.
            if (ports[i].speed == speed && ports[i].handle && !ports[i].lost)
                reuse = i;
            else
                reopen = i;
            break;
        }
    }
    // The cable may have gone after the last reply without any call noticing; ask the
    // device before handing it out again.
    if (reuse >= 0 && com_bytes_waiting(reuse) >= 0)
        return reuse;
    if (reuse >= 0)
        reopen = reuse;
    if (reopen >= 0)
        com_close(reopen);

    int index = -1;
    {
        std::lock_guard<std::mutex> lock(table_mutex);
        for (int i = 0; i < COM_PORT_COUNT && index < 0; ++i)
            if (!ports[i].in_use)
                index = i;
        if (index < 0)
            return -1;
        COM_PORT &p = ports[index];
        p = COM_PORT{};
        p.in_use = 1;
        std::strncpy(p.name, name, COM_NAME_MAX);
        p.speed = speed;
        p.ms_per_byte = 25.0 / (speed / 1000.0);
    }

    raise_priority();
    if (submit(make_request(index, 0), Internal::Open, COM_OPEN_WAIT_MS) != 0) {
        // Failed or timed out: a device opened too late is closed by the worker, so the
        // slot is free for good.
        std::lock_guard<std::mutex> lock(table_mutex);
        ports[index] = COM_PORT{};
        if (!worker) {
            last_open_error = QStringLiteral("служба порта не запущена");
            write_diagnostic("Не удалось открыть порт\n");
        }
        return -1;
    }

    // Wakes the radio's programming interface.
    Sleeper &sleeper = default_sleeper();
    sleeper.sleep_ms(300);
    com_set_rts(index, 0);
    sleeper.sleep_ms(300);
    com_set_dtr(index, 0);
    sleeper.sleep_ms(1000);
    com_set_dtr(index, 1);
    sleeper.sleep_ms(500);
    com_set_rts(index, 1);
    sleeper.sleep_ms(1500);
    return index;
}

void com_close(int index)
{
    if (index < 0 || index >= COM_PORT_COUNT)
        return;
    {
        std::lock_guard<std::mutex> lock(table_mutex);
        if (!ports[index].in_use || !ports[index].handle)
            return;
    }
    // A wedged worker cannot hold the caller (and the program's end) for long.
    submit(make_request(index, 0), Internal::Close, COM_CLOSE_WAIT_MS);
    release_slot(index);
}

int com_submit(const std::shared_ptr<COM_REQUEST> &request)
{
    return submit(request, Internal::None);
}

COM_PORT com_port_info(int index)
{
    if (index < 0 || index >= COM_PORT_COUNT)
        return COM_PORT{};
    std::lock_guard<std::mutex> lock(table_mutex);
    COM_PORT copy = ports[index];
    copy.handle = nullptr;
    return copy;
}

int com_read_extra(int index, uint8_t *buffer, int length, int extra_ms)
{
    auto r = make_request(index, extra_ms > 0 ? COM_OP_READ_EXTRA : COM_OP_READ);
    r->length = length;
    r->extra_ms = extra_ms;
    const int result = submit(r, Internal::None);
    // Copied out only once the worker is done with the request's own buffer (zero past
    // the bytes that arrived).
    if (result >= 0 && buffer && r->data.size() == static_cast<size_t>(length)
        && r->done.load(std::memory_order_acquire))
        std::memcpy(buffer, r->data.data(), r->data.size());
    return result;
}

int com_read(int index, uint8_t *buffer, int length)
{
    return com_read_extra(index, buffer, length, 0);
}

int com_write(int index, const uint8_t *data, int length)
{
    if (!data || length < 0)
        return -1;
    auto r = make_request(index, COM_OP_WRITE);
    r->data.assign(data, data + length);
    r->length = length;
    return submit(r, Internal::None);
}

void com_purge_rx(int index) { submit(make_request(index, COM_OP_PURGE_RX), Internal::None); }

void com_purge_tx(int index) { submit(make_request(index, COM_OP_PURGE_TX), Internal::None); }

void com_set_dtr(int index, int level)
{
    auto r = make_request(index, COM_OP_SET_DTR);
    r->level = level;
    submit(r, Internal::None);
}

void com_set_rts(int index, int level)
{
    auto r = make_request(index, COM_OP_SET_RTS);
    r->level = level;
    submit(r, Internal::None);
}

int com_bytes_waiting(int index)
{
    return submit(make_request(index, COM_OP_BYTES_WAITING), Internal::None);
}
