#include "image_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return text;
}

QByteArray local(const QString &path) { return QFile::encodeName(path); }

mode_t new_file_mode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// A whole copy of `bytes` in a fresh temporary file next to `path`; its name in `temp`.
bool write_temporary(const QString &path, const QByteArray &bytes, mode_t mode, QByteArray &temp,
                     QString *error)
{
    const QFileInfo info(path);
    temp = local(info.absolutePath() + QStringLiteral("/.") + info.fileName()
                 + QStringLiteral(".XXXXXX"));
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        fail(error, system_error_text(errno));
        return false;
    }
    bool ok = write_and_sync(fd, bytes, error);
    if (ok && ::fchmod(fd, mode) != 0) {
        fail(error, system_error_text(errno));
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        fail(error, system_error_text(errno));
        ok = false;
    }
    if (!ok)
        ::unlink(temp.constData());
    return ok;
}

QByteArray image_bytes(const RS_EEPROM_IMAGE &image)
{
    return QByteArray(reinterpret_cast<const char *>(image.bytes), RS_IMAGE_SIZE);
}

}  // namespace

bool write_and_sync(int fd, const QByteArray &bytes, QString *error)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            fail(error, system_error_text(n < 0 ? errno : ENOSPC));
            return false;
        }
        done += n;
    }
    if (::fsync(fd) == 0)
        return true;
    fail(error, system_error_text(errno));
    return false;
}

bool read_image_file(const QString &path, RS_EEPROM_IMAGE &image, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        const QFileInfo info(path);
        const int e = !info.exists() ? ENOENT : info.isDir() ? EISDIR : EACCES;
        fail(error,
             QStringLiteral("не удалось открыть файл %1: %2").arg(path, system_error_text(e)));
        return false;
    }
    const QByteArray bytes = file.read(RS_IMAGE_SIZE + 1);
    if (bytes.size() != RS_IMAGE_SIZE) {
        fail(error, QStringLiteral("файл %1 не является образом конфигурации: длина %2 байт "
                                   "вместо %3")
                        .arg(path)
                        .arg(file.size())
                        .arg(RS_IMAGE_SIZE));
        return false;
    }
    image = RS_EEPROM_IMAGE{};
    std::memcpy(image.bytes, bytes.constData(), RS_IMAGE_SIZE);
    return true;
}

bool write_file_atomically(const QString &path, const QByteArray &bytes, QString *error)
{
    struct stat old {};
    const mode_t mode = ::stat(local(path).constData(), &old) == 0 ? (old.st_mode & 07777)
                                                                   : new_file_mode();
    QByteArray temp;
    if (!write_temporary(path, bytes, mode, temp, error))
        return false;
    if (::rename(temp.constData(), local(path).constData()) != 0) {
        const int e = errno;
        ::unlink(temp.constData());
        fail(error, system_error_text(e));
        return false;
    }
    return true;
}

bool write_image_file(const QString &path, const RS_EEPROM_IMAGE &image, QString *error)
{
    return write_file_atomically(path, image_bytes(image), error);
}

bool write_backup(const QString &dir, const RS_EEPROM_IMAGE &image, const QDateTime &when,
                  QString *path, QString *error)
{
    const QString folder = QDir(dir).filePath(QString::fromLatin1(BACKUP_FOLDER));
    const QString stem = QStringLiteral("K40-") + when.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const auto name_of = [&](int n) {
        return QDir(folder).filePath(n == 1 ? stem + QStringLiteral(".eep")
                                            : stem + QLatin1Char('-') + QString::number(n)
                                                  + QStringLiteral(".eep"));
    };
    if (path)
        *path = name_of(1);
    if (::mkdir(local(folder).constData(), 0777) != 0 && errno != EEXIST) {
        fail(error, system_error_text(errno));
        return false;
    }
    QByteArray temp;
    if (!write_temporary(name_of(1), image_bytes(image), new_file_mode(), temp, error))
        return false;
    // A hard link never replaces an existing name, so two runs cannot take the same one.
    for (int n = 1; n < 1000; ++n) {
        if (path)
            *path = name_of(n);
        if (::link(temp.constData(), local(name_of(n)).constData()) == 0) {
            ::unlink(temp.constData());
            return true;
        }
        if (errno != EEXIST) {
            const int e = errno;
            ::unlink(temp.constData());
            fail(error, system_error_text(e));
            return false;
        }
    }
    ::unlink(temp.constData());
    fail(error, system_error_text(EEXIST));
    return false;
}
