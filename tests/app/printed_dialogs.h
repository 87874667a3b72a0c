#pragma once
// For runs of the program with nobody at the screen: message boxes go to standard output,
// every other dialog is cancelled.

#include "dialog_seam.h"

#include <QDialog>

#include <cstdio>

class PrintedDialogs final : public DialogSeam {
public:
    QString open_file_name(QWidget *, const QString &, const QString &, const QString &) override
    {
        return QString();
    }
    QString save_file_name(QWidget *, const QString &, const QString &, const QString &) override
    {
        return QString();
    }
    bool print_dialog(QPrinter &, QWidget *) override { return false; }
    int exec_dialog(QDialog &) override { return QDialog::Rejected; }
    void message_box(QWidget *, const QString &caption, const QString &text) override
    {
        std::printf("[%s]%s\n", caption.toLocal8Bit().constData(), text.toLocal8Bit().constData());
        std::fflush(stdout);
    }
};
