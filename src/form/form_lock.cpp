#include "form_lock.h"

#include <QDeadlineTimer>
#include <QThread>

bool FormLock::lock(int wait_ms)
{
    const Qt::HANDLE me = QThread::currentThreadId();
    QMutexLocker locker(&mutex_);
    if (depth_ > 0 && owner_ == me) {
        ++depth_;
        return true;
    }
    QDeadlineTimer deadline(wait_ms);
    while (depth_ > 0) {
        if (!released_.wait(&mutex_, deadline))
            return false;
    }
    owner_ = me;
    depth_ = 1;
    return true;
}

void FormLock::unlock()
{
    QMutexLocker locker(&mutex_);
    if (depth_ == 0 || owner_ != QThread::currentThreadId())
        return;
    if (--depth_ == 0) {
        owner_ = nullptr;
        released_.wakeAll();
    }
}

int FormLock::depth() const
{
    QMutexLocker locker(&mutex_);
    return depth_;
}

bool FormLock::held_by_current_thread() const
{
    QMutexLocker locker(&mutex_);
    return depth_ > 0 && owner_ == QThread::currentThreadId();
}
