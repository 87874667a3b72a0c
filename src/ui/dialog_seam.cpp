#include "dialog_seam.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

QString QtDialogs::open_file_name(QWidget *parent, const QString &caption, const QString &dir,
                                  const QString &filter)
{
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QString QtDialogs::save_file_name(QWidget *parent, const QString &caption, const QString &dir,
                                  const QString &filter)
{
    return QFileDialog::getSaveFileName(parent, caption, dir, filter);
}

bool QtDialogs::print_dialog(QPrinter &printer, QWidget *parent)
{
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

int QtDialogs::exec_dialog(QDialog &dialog) { return dialog.exec(); }

void QtDialogs::message_box(QWidget *parent, const QString &caption, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
}

namespace {
QtDialogs qt_dialogs;
DialogSeam *current_dialogs = &qt_dialogs;
}  // namespace

DialogSeam &default_dialogs() { return *current_dialogs; }

void set_default_dialogs(DialogSeam *dialogs) { current_dialogs = dialogs ? dialogs : &qt_dialogs; }
