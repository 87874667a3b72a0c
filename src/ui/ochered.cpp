#include "ochered.h"

#include <QTimerEvent>

#include "messages.h"

OCHERED_PRG_K40::OCHERED_PRG_K40(int interval_ms, OcheredOwner *owner)
    : QWidget(nullptr), owner_(owner), interval_(interval_ms)
{
    enabled_ = 1;
    timer_id_ = startTimer(interval_);
}

OCHERED_PRG_K40::~OCHERED_PRG_K40()
{
    enabled_ = 0;
    default_sleeper().sleep_ms(2 * interval_);
    if (timer_id_ != 0) {
        killTimer(timer_id_);
        timer_id_ = 0;
    }
}

bool OCHERED_PRG_K40::post(int code)
{
    QMutexLocker locker(&lock_);
    if (count_ >= CAPACITY)
        return false;
    entries_[count_] = Entry{count_, code};
    ++count_;
    return true;
}

bool OCHERED_PRG_K40::take(int &code)
{
    QMutexLocker locker(&lock_);
    if (count_ == 0)
        return false;
    code = entries_[0].code;
    --count_;
    for (int i = 0; i < count_; ++i)
        entries_[i] = entries_[i + 1];
    entries_[count_] = Entry{0, 0};
    return true;
}

int OCHERED_PRG_K40::pending() const
{
    QMutexLocker locker(&lock_);
    return count_;
}

void OCHERED_PRG_K40::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != timer_id_) {
        QWidget::timerEvent(event);
        return;
    }
    // A tick that arrives inside a running operation's own dialog leaves the next code
    // pending: operations never interleave.
    if (!enabled_ || dispatching_ || !owner_)
        return;
    int code = 0;
    if (!take(code))
        return;
    dispatching_ = true;
    owner_->run_operation(code);
    dispatching_ = false;
}
