#pragma once
// What every run that writes to a radio does around the run itself, in the window and in
// k40 alike: the radio's backup and the journal's first line before the first byte, the
// journal's last line when the run ends.

#include "journal.h"
#include "messages.h"
#include "radio_operations.h"

#include <QString>

class WriteSession {
public:
    // `program` names the writer in the journal ("окно", "k40"); `file` what is written.
    WriteSession(QString dir, QString program, QString port, QString file);

    // For ProgramRun::before_writing: saves the backup, then journals the start. False,
    // with the failure shown through `reporter`, when either cannot be written.
    bool begin(const Reporter &reporter, const RS_EEPROM_IMAGE &radio,
               const RS_EEPROM_IMAGE &target);
    // The journal's closing line for a run that began; `result` in words. False with
    // `error` set when it could not be written (the run's outcome stands).
    bool end(const ProgramRun &run, const QString &result, QString *error);

    bool begun() const { return begun_; }
    QString backup() const { return backup_; }
    bool backup_failed() const { return backup_failed_; }

private:
    QString dir_, program_, port_, file_;
    QString run_id_, backup_;
    bool begun_ = false;
    bool backup_failed_ = false;
    JournalEntry entry() const;
};

extern const char *const JOURNAL_RESULT_OK;         // "успешно"
extern const char *const JOURNAL_RESULT_FAILED;     // "ошибка"
extern const char *const JOURNAL_RESULT_CANCELLED;  // "прервано"
