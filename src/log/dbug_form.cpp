#include "dbug_form.h"

#include <QIcon>
#include <QTextBrowser>
#include <QTextCursor>

DBUG_FORM::DBUG_FORM() : QDialog(nullptr), browser_(new QTextBrowser)
{
    setWindowIcon(QIcon(QStringLiteral(":/icon/icon.png")));
    setGeometry(20, 20, 800, 600);
    browser_->setGeometry(0, 20, 800, 580);
    browser_->setParent(this);
    // Shown once and closed at once, so the window exists and starts hidden.
    show();
    done(0);
    line_count_ = 0;
}

DBUG_FORM::~DBUG_FORM() = default;

void DBUG_FORM::append_line(const QString &text)
{
    if (text.isEmpty())
        return;
    ++line_count_;
    // Inserted as plain text: a message holding "<" must not turn into markup.
    QTextCursor cursor(browser_->document());
    cursor.movePosition(QTextCursor::End);
    if (!browser_->document()->isEmpty())
        cursor.insertBlock();
    // The entry's own line feed leaves an empty paragraph after it, as the log always looked.
    cursor.insertText(QString::number(line_count_) + QStringLiteral(" - ") + text
                      + QLatin1Char('\n'));
}
