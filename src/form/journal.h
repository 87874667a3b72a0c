#pragma once
// The journal of every run that writes to a radio: journal.csv in the working folder, one
// line before the first byte is written and one when the run ends, so a run cut short by a
// crash or a power loss still shows. Semicolons and a UTF-8 byte order mark, so that a
// spreadsheet under a Russian locale opens it as it is.

#include <QDateTime>
#include <QList>
#include <QString>

#include "rs_conf.h"

constexpr const char *JOURNAL_FILE_NAME = "journal.csv";

struct JournalEntry {
    QDateTime time;
    QString run;      // ties a run's two lines together
    QString program;  // "окно" or "k40"
    QString event;    // JOURNAL_START or JOURNAL_END
    QString port;
    QString file;      // what was written: the configuration or the backup restored
    QString backup;    // the radio's image saved before writing
    QString before;    // checksums of the radio's image before, of the intended image and of
    QString intended;  // the image read back (empty when none was read)
    QString read_back;
    QString result;
};

extern const char *const JOURNAL_START;  // "начало"
extern const char *const JOURNAL_END;    // "конец"

// A new run's tag: time and process, unique on one machine.
QString journal_run_id(const QDateTime &when);

// CRC-16/ARC of the 153 image bytes, four hex digits.
QString image_checksum(const RS_EEPROM_IMAGE &image);

// Appends one line to <dir>/journal.csv, creating it with its header. The line is on disk
// when this returns true.
bool journal_append(const QString &dir, const JournalEntry &entry, QString *error);

// The lines of a journal in file order. False with `error` when it cannot be read.
bool journal_read(const QString &path, QList<JournalEntry> &entries, QString *error);

// Field splitting and quoting of one line (exposed for tests).
QString journal_line(const JournalEntry &entry);
bool journal_parse_line(const QString &line, JournalEntry &entry);
