#pragma once
// The message strip at the bottom of the main window. It repaints itself at once, because the
// radio operations block the event loop while they report progress.

#include <QTime>
#include <QWidget>

#include "messages.h"

class DBUG_FORM;
class QLineEdit;

// "hh:mm:ss.zzz", 24-hour, milliseconds with leading zeros.
QString log_time_stamp(const QTime &time);
QString log_time_stamp();

class TfmMessage : public QWidget, public MessageSink {
    Q_OBJECT
public:
    explicit TfmMessage(QWidget *parent = nullptr);
    ~TfmMessage() override;

    // Shows the text and repaints synchronously; an empty text blanks the strip.
    void show_text(const QString &text) override;
    void clear();

    QLineEdit *edit() const { return edit_; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    QLineEdit *edit_;
};

// The strip that also copies every text, time-stamped, into the log dialog.
class TfmMessage2 : public TfmMessage {
    Q_OBJECT
public:
    explicit TfmMessage2(QWidget *parent = nullptr);
    ~TfmMessage2() override;

    void show_text(const QString &text) override;
    // Into the log dialog, time-stamped and marked " >> " instead of the strip's " :      ",
    // and onto standard output; the strip keeps its text.
    void show_note(const QString &text) override;

    void set_log_target(DBUG_FORM *target) { log_target_ = target; }
    DBUG_FORM *log_target() const { return log_target_; }

private:
    DBUG_FORM *log_target_ = nullptr;
};
