#pragma once
// Configuration image files as the command-line programmer and the backups handle them:
// exactly 153 bytes, written so that the final name only ever shows a whole file. Failures
// come with a reason a technician can act on.

#include <QDateTime>
#include <QString>

#include "messages.h"  // system_error_text
#include "rs_conf.h"

// False with `error` set for a missing or unreadable file or one of another length.
bool read_image_file(const QString &path, RS_EEPROM_IMAGE &image, QString *error);

// Writes the 153 bytes beside `path` and renames them over it. A replaced file keeps its
// permissions.
bool write_image_file(const QString &path, const RS_EEPROM_IMAGE &image, QString *error);

// Writes every byte of `bytes` to `fd`, then flushes them to the disk; false with `error` set
// on the first failure (a short write counts as a full disk). Leaves `fd` open.
bool write_and_sync(int fd, const QByteArray &bytes, QString *error);

// Writes `bytes` the same way (reports, tools).
bool write_file_atomically(const QString &path, const QByteArray &bytes, QString *error);

// Folder of the backups, relative to the working directory.
constexpr const char *BACKUP_FOLDER = "backups";

// Saves a radio's image before programming as <dir>/backups/K40-YYYYMMDD-HHMMSS.eep (the
// folder is made when missing); when that name is taken, "-2", "-3", ... is added before
// ".eep", so runs within one second keep their own copies. Never replaces a file. `path`
// receives the name tried last, also on failure.
bool write_backup(const QString &dir, const RS_EEPROM_IMAGE &image, const QDateTime &when,
                  QString *path, QString *error);
