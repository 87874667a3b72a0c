#pragma once
// The log dialog: a numbered, time-stamped copy of every text shown on the message strip.

#include <QDialog>

class QTextBrowser;

class DBUG_FORM : public QDialog {
    Q_OBJECT
public:
    DBUG_FORM();
    ~DBUG_FORM() override;

    // Appends "<n> - <text>" as a new paragraph; an empty text adds nothing.
    void append_line(const QString &text);

    int line_count() const { return line_count_; }
    QTextBrowser *browser() const { return browser_; }

private:
    QTextBrowser *browser_;
    int line_count_ = 0;
};
