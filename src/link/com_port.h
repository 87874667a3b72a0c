#pragma once
// The serial channel: a table of ten port slots and one worker thread that performs every
// read, write, purge and modem-line operation. Callers block until the worker is done
// (at most 30 s). Opening and closing run in the caller's thread; the device object itself
// lives in the worker, so the caller's part is the slot bookkeeping and the wake-up waits.

#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

class SerialDevice;

constexpr int COM_PORT_COUNT = 10;
constexpr int COM_NAME_MAX = 4095;
constexpr int COM_QUEUE_MAX = 128;
constexpr int COM_GIVE_UP_MS = 30000;    // a submitter stops waiting for the worker
constexpr int COM_LOCK_WAIT_MS = 20000;  // submitter and queue locks
constexpr int COM_POLL_MS = 5;           // worker and submitter polling granularity
constexpr int COM_WRITE_WAIT_MS = 1000;
// Added to every read's allowance. A USB serial adapter holds a short answer until its
// latency timer runs out (16 ms by default, 32 ms and more on many cables), a Bluetooth
// link adds up to 60 ms and a radio may take 10 ms to start answering. A read that gets
// its whole length returns at once, so only a silent radio is reported this much later.
constexpr int COM_READ_MARGIN_MS = 150;
// A device that hangs must not hold the program: opening, closing and stopping the service
// give up after these.
constexpr int COM_OPEN_WAIT_MS = 5000;
constexpr int COM_CLOSE_WAIT_MS = 3000;
constexpr int COM_STOP_WAIT_MS = 3000;

// Request codes.
enum : int {
    COM_OP_READ = 0,
    COM_OP_WRITE = 1,
    COM_OP_PURGE_RX = 2,
    COM_OP_PURGE_TX = 3,
    COM_OP_SET_DTR = 4,
    COM_OP_SET_RTS = 5,
    COM_OP_BYTES_WAITING = 6,
    COM_OP_READ_EXTRA = 10,
};

struct COM_PORT {
    int in_use;
    char name[COM_NAME_MAX + 1];
    int speed;
    SerialDevice *handle;  // owned and touched by the worker only; null while not open
    double ms_per_byte;    // read allowance: 25000 / speed
    int lost;              // the device went away (far end closed, cable pulled)
};

// One pending operation. It owns its data, and both the queue and the submitter hold it by
// shared_ptr: a request the worker finishes after its submitter gave up writes only into
// its own storage.
struct COM_REQUEST {
    int port = -1;
    int op = 0;
    std::vector<uint8_t> data;  // write payload in; bytes read out (sized `length`)
    int length = 0;
    int level = 0;     // requested DTR/RTS level, non-zero = set
    int extra_ms = 0;  // additional read time-out of op 10
    int result = -1;   // written by the worker before `done`
    std::atomic<int> done{0};
    std::atomic<int> abandoned{0};  // the submitter stopped waiting
};

void com_service_start();
void com_service_stop();
bool com_service_running();

int com_open(const char *name, int speed);
// Why the last com_open failed (no such device, no permission, in use, ...); empty after a
// success.
QString com_last_open_error();
void com_close(int index);

int com_read(int index, uint8_t *buffer, int length);
int com_read_extra(int index, uint8_t *buffer, int length, int extra_ms);
int com_write(int index, const uint8_t *data, int length);
void com_purge_rx(int index);
void com_purge_tx(int index);
void com_set_dtr(int index, int level);
void com_set_rts(int index, int level);
int com_bytes_waiting(int index);

// Hands a request to the worker and waits for it (at most COM_GIVE_UP_MS). Returns the
// request's result, or -1 when the worker did not complete it in time.
int com_submit(const std::shared_ptr<COM_REQUEST> &request);

// A copy of one slot, for diagnostics and tests (handle not included).
COM_PORT com_port_info(int index);

// The length-derived read allowance in ms for `length` bytes on a slot of `speed` bit/s:
// trunc(length * 25000/speed). A read waits this plus COM_READ_MARGIN_MS (plus its extra).
int com_read_timeout_ms(int speed, int length);
