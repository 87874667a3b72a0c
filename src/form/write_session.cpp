#include "write_session.h"

#include "image_file.h"

#include <QDir>

const char *const JOURNAL_RESULT_OK = "успешно";
const char *const JOURNAL_RESULT_FAILED = "ошибка";
const char *const JOURNAL_RESULT_CANCELLED = "прервано";

WriteSession::WriteSession(QString dir, QString program, QString port, QString file)
    : dir_(std::move(dir)), program_(std::move(program)), port_(std::move(port)),
      file_(std::move(file))
{
}

JournalEntry WriteSession::entry() const
{
    JournalEntry e;
    e.time = QDateTime::currentDateTime();
    e.run = run_id_;
    e.program = program_;
    e.port = port_;
    e.file = file_;
    e.backup = backup_;
    return e;
}

bool WriteSession::begin(const Reporter &reporter, const RS_EEPROM_IMAGE &radio,
                         const RS_EEPROM_IMAGE &target)
{
    const QDateTime now = QDateTime::currentDateTime();
    QString why;
    if (!write_backup(dir_, radio, now, &backup_, &why)) {
        backup_failed_ = true;
        reporter.post(QStringLiteral("Ошибка: не удалось сохранить резервную копию %1: %2. "
                                     "В радиостанцию ничего не записано.")
                          .arg(backup_, why));
        return false;
    }
    reporter.note(QStringLiteral("Резервная копия радиостанции: %1").arg(backup_));
    run_id_ = journal_run_id(now);
    JournalEntry e = entry();
    e.event = QString::fromUtf8(JOURNAL_START);
    e.before = image_checksum(radio);
    e.intended = image_checksum(target);
    if (!journal_append(dir_, e, &why)) {
        backup_failed_ = true;
        reporter.post(QStringLiteral("Ошибка: не удалось дописать журнал %1: %2. "
                                     "В радиостанцию ничего не записано.")
                          .arg(QDir(dir_).filePath(QLatin1String(JOURNAL_FILE_NAME)), why));
        return false;
    }
    begun_ = true;
    return true;
}

bool WriteSession::end(const ProgramRun &run, const QString &result, QString *error)
{
    if (!begun_)
        return true;
    JournalEntry e = entry();
    e.event = QString::fromUtf8(JOURNAL_END);
    e.before = image_checksum(run.radio_before);
    e.intended = image_checksum(run.target);
    if (run.read_back_valid)
        e.read_back = image_checksum(run.read_back);
    else if (!run.writes_begun)
        e.read_back = e.before;  // nothing was written: the radio is as read
    e.result = result;
    return journal_append(dir_, e, error);
}
