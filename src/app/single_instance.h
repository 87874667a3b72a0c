#pragma once
// Only one copy of the program runs at a time per user: a lock file in the user's runtime
// folder (whatever TMPDIR says), held for the life of the process. A lock left by a process
// that died is taken at once.

#include <QLockFile>
#include <QString>

constexpr const char *SINGLE_INSTANCE_NAME = "Programmator K40.loc";
constexpr int SINGLE_INSTANCE_WAIT_MS = 1000;

QString single_instance_caption();
QString single_instance_message();

class SingleInstanceGuard {
public:
    // dir empty: the user's runtime folder.
    explicit SingleInstanceGuard(const QString &dir = QString());

    enum Result {
        Acquired,       // this process is now the only running copy
        HeldByAnother,  // another copy runs
        Unusable,       // the lock file cannot be made at path(): no copy is known to run
    };
    Result try_acquire(int wait_ms = SINGLE_INSTANCE_WAIT_MS);
    // True when this process is now the only running copy.
    bool acquire(int wait_ms = SINGLE_INSTANCE_WAIT_MS);
    QString path() const { return path_; }

private:
    QString path_;
    QLockFile lock_;
};
