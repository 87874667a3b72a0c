#pragma once
// The main window's busy lock. Its holder may take it again (a check-box handler that runs
// while a file load fills the form), so that case never waits. Any other thread waits for
// the holder at most the given time and then runs anyway, without owning the lock.

#include <QMutex>
#include <QWaitCondition>

class FormLock {
public:
    static constexpr int WAIT_MS = 30000;

    // True when the lock was taken (or taken again); false after a wait that ran out.
    bool lock(int wait_ms = WAIT_MS);
    // Gives back one level taken by this thread; a thread that holds nothing gives nothing.
    void unlock();

    int depth() const;
    bool held_by_current_thread() const;

private:
    mutable QMutex mutex_;
    QWaitCondition released_;
    Qt::HANDLE owner_ = nullptr;
    int depth_ = 0;
};
