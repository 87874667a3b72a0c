#pragma once
// Every modal dialog of the program goes through this seam, so tests can answer them.

#include <QString>

class QDialog;
class QPrinter;
class QWidget;

class DialogSeam {
public:
    virtual ~DialogSeam() = default;

    // The chosen file name, empty when cancelled.
    virtual QString open_file_name(QWidget *parent, const QString &caption, const QString &dir,
                                   const QString &filter) = 0;
    virtual QString save_file_name(QWidget *parent, const QString &caption, const QString &dir,
                                   const QString &filter) = 0;
    // True when the user accepted; the printer then holds the chosen settings.
    virtual bool print_dialog(QPrinter &printer, QWidget *parent) = 0;
    // Runs one of our own windows modally until it is closed; its result.
    virtual int exec_dialog(QDialog &dialog) = 0;
    // A modal message box with one OK button; a null parent makes it stand alone.
    virtual void message_box(QWidget *parent, const QString &caption, const QString &text) = 0;
};

// The real Qt dialogs.
class QtDialogs final : public DialogSeam {
public:
    QString open_file_name(QWidget *parent, const QString &caption, const QString &dir,
                           const QString &filter) override;
    QString save_file_name(QWidget *parent, const QString &caption, const QString &dir,
                           const QString &filter) override;
    bool print_dialog(QPrinter &printer, QWidget *parent) override;
    int exec_dialog(QDialog &dialog) override;
    void message_box(QWidget *parent, const QString &caption, const QString &text) override;
};

// The process-wide seam: QtDialogs unless another is installed (nullptr restores it).
DialogSeam &default_dialogs();
void set_default_dialogs(DialogSeam *dialogs);
