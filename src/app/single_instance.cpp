#include "single_instance.h"

#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_UNIX
// A real directory (not a link) that only we can enter, and can write in: a folder the
// lock cannot be made in would read as another copy holding it.
bool private_dir(const QString &path)
{
    struct stat st {};
    const QByteArray name = QFile::encodeName(path);
    return ::lstat(name.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid()
           && (st.st_mode & 077) == 0 && ::access(name.constData(), W_OK | X_OK) == 0;
}
#endif

// The same folder for every copy the user starts, whatever TMPDIR says: the user's runtime
// folder, else one of the user's own in /tmp, else the home folder.
QString guard_dir()
{
#ifdef Q_OS_UNIX
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QDir::isAbsolutePath(runtime) && private_dir(runtime))
        return runtime;
    const QString uid = QString::number(::getuid());
    const QString session = QStringLiteral("/run/user/") + uid;
    if (private_dir(session))
        return session;
    const QString own = QStringLiteral("/tmp/k40-") + uid;
    ::mkdir(QFile::encodeName(own).constData(), 0700);
    if (private_dir(own))
        return own;
#endif
    return QDir::homePath();
}

QString lock_path_in(const QString &dir)
{
    return QDir(dir.isEmpty() ? guard_dir() : dir)
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

SingleInstanceGuard::Result SingleInstanceGuard::try_acquire(int wait_ms)
{
    if (lock_.tryLock(wait_ms))
        return Acquired;
    return lock_.error() == QLockFile::LockFailedError ? HeldByAnother : Unusable;
}

bool SingleInstanceGuard::acquire(int wait_ms) { return try_acquire(wait_ms) == Acquired; }
