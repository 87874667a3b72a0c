#include "single_instance.h"

#include <QDir>

namespace {
QString lock_path_in(const QString &dir)
{
    return QDir(dir.isEmpty() ? QDir::tempPath() : dir)
        .filePath(QString::fromLatin1(SINGLE_INSTANCE_NAME));
}
}  // namespace

QString single_instance_caption() { return QStringLiteral("Внимание"); }

QString single_instance_message()
{
    const QString breaks(9, QLatin1Char('\n'));
    return breaks + QStringLiteral("Можнго запускать на исполнение только одну копию программы !")
           + breaks;
}

SingleInstanceGuard::SingleInstanceGuard(const QString &dir)
    : path_(lock_path_in(dir)), lock_(path_)
{
    // Held for the whole run: a long session must never look stale by its age.
    lock_.setStaleLockTime(0);
}

bool SingleInstanceGuard::acquire(int wait_ms)
{
    return lock_.tryLock(wait_ms);
}
