#include "journal.h"

#include "crc16.h"
#include "image_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

const char *const JOURNAL_START = "начало";
const char *const JOURNAL_END = "конец";

namespace {

constexpr QChar SEPARATOR = QLatin1Char(';');
const char *const TIME_FORMAT = "yyyy-MM-dd HH:mm:ss";

QStringList header()
{
    return {
        QStringLiteral("время"),           QStringLiteral("запуск"),   QStringLiteral("программа"),
        QStringLiteral("событие"),         QStringLiteral("порт"),     QStringLiteral("файл"),
        QStringLiteral("резервная копия"), QStringLiteral("образ до"), QStringLiteral("образ цели"),
        QStringLiteral("образ после"),     QStringLiteral("результат")};
}

QString quoted(QString field)
{
    if (!field.contains(SEPARATOR) && !field.contains(QLatin1Char('"'))
        && !field.contains(QLatin1Char('\n')) && !field.contains(QLatin1Char('\r')))
        return field;
    field.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + field + QLatin1Char('"');
}

QString joined(const QStringList &fields)
{
    QStringList out;
    for (const QString &f : fields)
        out << quoted(f);
    return out.join(SEPARATOR);
}

bool split(const QString &line, QStringList &fields)
{
    fields.clear();
    QString field;
    bool in_quotes = false;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (in_quotes) {
            if (c == QLatin1Char('"') && i + 1 < line.size() && line[i + 1] == QLatin1Char('"')) {
                field += c;
                ++i;
            } else if (c == QLatin1Char('"')) {
                in_quotes = false;
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"')) {
            in_quotes = true;
        } else if (c == SEPARATOR) {
            fields << field;
            field.clear();
        } else {
            field += c;
        }
    }
    fields << field;
    return !in_quotes;
}

}  // namespace

QString journal_run_id(const QDateTime &when)
{
    return when.toString(QStringLiteral("yyyyMMdd-HHmmss")) + QLatin1Char('-')
           + QString::number(QCoreApplication::applicationPid());
}

QString image_checksum(const RS_EEPROM_IMAGE &image)
{
    // "0x" keeps a spreadsheet from reading 7E44 as a number or dropping the zero of 0123.
    return QStringLiteral("0x")
           + QString::number(crc16_arc(0, image.bytes, RS_IMAGE_SIZE), 16)
                 .rightJustified(4, QLatin1Char('0'))
                 .toUpper();
}

QString journal_line(const JournalEntry &e)
{
    // One line per record, whatever a file name holds.
    static const QRegularExpression breaks(QStringLiteral("[\\r\\n]"));
    QStringList fields{e.time.toString(QLatin1String(TIME_FORMAT)),
                       e.run,
                       e.program,
                       e.event,
                       e.port,
                       e.file,
                       e.backup,
                       e.before,
                       e.intended,
                       e.read_back,
                       e.result};
    for (QString &f : fields)
        f.replace(breaks, QStringLiteral(" "));
    return joined(fields);
}

bool journal_parse_line(const QString &line, JournalEntry &e)
{
    QStringList f;
    if (!split(line, f) || f.size() != header().size())
        return false;
    e.time = QDateTime::fromString(f[0], QLatin1String(TIME_FORMAT));
    if (!e.time.isValid())
        return false;
    e.run = f[1];
    e.program = f[2];
    e.event = f[3];
    e.port = f[4];
    e.file = f[5];
    e.backup = f[6];
    e.before = f[7];
    e.intended = f[8];
    e.read_back = f[9];
    e.result = f[10];
    return true;
}

bool journal_append(const QString &dir, const JournalEntry &entry, QString *error)
{
    const QString path = QDir(dir).filePath(QLatin1String(JOURNAL_FILE_NAME));
    const QByteArray name = QFile::encodeName(path);
    // O_APPEND: two programs appending at once never interleave inside a line.
    const int fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (error)
            *error = system_error_text(errno);
        return false;
    }
    QByteArray bytes;
    if (::lseek(fd, 0, SEEK_END) == 0)
        bytes = "\xEF\xBB\xBF" + joined(header()).toUtf8() + "\r\n";
    bytes += journal_line(entry).toUtf8() + "\r\n";
    bool ok = write_and_sync(fd, bytes, error);
    if (::close(fd) != 0 && ok) {
        if (error)
            *error = system_error_text(errno);
        ok = false;
    }
    return ok;
}

bool journal_read(const QString &path, QList<JournalEntry> &entries, QString *error)
{
    entries.clear();
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = f.errorString();
        return false;
    }
    QString text = QString::fromUtf8(f.readAll());
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        JournalEntry e;
        // The header and a line cut by a power loss are skipped.
        if (!line.isEmpty() && journal_parse_line(line, e))
            entries << e;
    }
    return true;
}
