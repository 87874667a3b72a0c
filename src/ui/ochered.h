#pragma once
// The deferred operation queue: button and menu slots post an operation code, and a timer
// hands one code per tick to the owner, so long operations run one at a time, in the order
// requested, after the event that asked for them has been handled.

#include <QMutex>
#include <QWidget>

// Operation codes.
enum : int {
    OP_READ_RS_CONF_FROM_FILE = 2000,
    OP_WRITE_RS_CONF_TO_FILE = 2001,
    OP_PRN_CONF_FROM_FORM = 2002,
    OP_SEND_PROGRAM_TO_RS = 2003,
    OP_LOAD_CONF_FROM_RS = 2004,
};

class OcheredOwner {
public:
    virtual ~OcheredOwner() = default;
    // Runs one operation to completion.
    virtual void run_operation(int code) = 0;
};

class OCHERED_PRG_K40 : public QWidget {
public:
    static constexpr int CAPACITY = 1024;

    OCHERED_PRG_K40(int interval_ms, OcheredOwner *owner);
    ~OCHERED_PRG_K40() override;

    // False when CAPACITY codes are already pending.
    bool post(int code);
    // The oldest pending code, if any.
    bool take(int &code);
    int pending() const;
    int interval() const { return interval_; }

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    struct Entry {
        int sequence;
        int code;
    };

    int timer_id_ = 0;
    OcheredOwner *owner_;
    int interval_;
    int enabled_ = 0;
    bool dispatching_ = false;
    mutable QMutex lock_;
    Entry entries_[CAPACITY] = {};
    int count_ = 0;
};
