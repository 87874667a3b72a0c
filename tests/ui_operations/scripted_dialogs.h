#pragma once
// A dialog seam for tests: answers come from lists filled beforehand, every call is recorded.

#include <QDialog>
#include <QList>
#include <QStringList>
#include <functional>

#include "dialog_seam.h"

class ScriptedDialogs final : public DialogSeam {
public:
    struct Call {
        QString kind;  // "open", "save", "print", "exec", "message"
        QString caption;
        QString dir;
        QString filter;
        QString text;
    };

    QStringList file_names;     // answers to open/save, in order; none left = cancel
    QList<bool> print_answers;  // none left = cancel
    std::function<void(QPrinter &)> on_print_accepted;
    std::function<int(QDialog &)> on_exec;  // default: not shown, result 0
    QList<Call> calls;

    QString open_file_name(QWidget *, const QString &caption, const QString &dir,
                           const QString &filter) override
    {
        calls.append({QStringLiteral("open"), caption, dir, filter, QString()});
        return file_names.isEmpty() ? QString() : file_names.takeFirst();
    }
    QString save_file_name(QWidget *, const QString &caption, const QString &dir,
                           const QString &filter) override
    {
        calls.append({QStringLiteral("save"), caption, dir, filter, QString()});
        return file_names.isEmpty() ? QString() : file_names.takeFirst();
    }
    bool print_dialog(QPrinter &printer, QWidget *) override
    {
        calls.append({QStringLiteral("print"), QString(), QString(), QString(), QString()});
        const bool accepted = !print_answers.isEmpty() && print_answers.takeFirst();
        if (accepted && on_print_accepted)
            on_print_accepted(printer);
        return accepted;
    }
    int exec_dialog(QDialog &dialog) override
    {
        calls.append(
            {QStringLiteral("exec"), dialog.windowTitle(), QString(), QString(), QString()});
        return on_exec ? on_exec(dialog) : 0;
    }
    void message_box(QWidget *, const QString &caption, const QString &text) override
    {
        calls.append({QStringLiteral("message"), caption, QString(), QString(), text});
    }
};
