#include "tfm_message.h"

#include <QIcon>
#include <QLineEdit>
#include <QResizeEvent>

#include "dbug_form.h"

QString log_time_stamp(const QTime &time) { return time.toString(QStringLiteral("HH:mm:ss.zzz")); }

QString log_time_stamp() { return log_time_stamp(QTime::currentTime()); }

TfmMessage::TfmMessage(QWidget *parent) : QWidget(parent), edit_(new QLineEdit(this))
{
    setWindowIcon(QIcon(QStringLiteral(":/icon/icon.png")));
    setGeometry(50, 290, 500, 96);
    edit_->setGeometry(6, 6, 488, 84);
    edit_->setReadOnly(true);
    edit_->setFont(QFont(QStringLiteral("Times"), 12));
    edit_->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    edit_->setText(QStringLiteral(" "));
}

TfmMessage::~TfmMessage() = default;

void TfmMessage::show_text(const QString &text)
{
    edit_->setText(text);
    edit_->repaint();
    repaint();
    show();
    repaint();
}

void TfmMessage::clear() { edit_->setText(QStringLiteral(" ")); }

void TfmMessage::resizeEvent(QResizeEvent *event)
{
    const QSize size = event->size();
    edit_->setGeometry(1, 8, size.width() - 2, size.height() - 8);
}

void TfmMessage::showEvent(QShowEvent *) {}

TfmMessage2::TfmMessage2(QWidget *parent) : TfmMessage(parent) {}

TfmMessage2::~TfmMessage2() = default;

void TfmMessage2::show_text(const QString &text)
{
    const QString stamp = log_time_stamp();
    if (log_target_)
        log_target_->append_line(QStringLiteral(" ") + stamp + QStringLiteral(" :      ") + text);
    TfmMessage::show_text(text);
}

void TfmMessage2::show_note(const QString &text)
{
    if (log_target_)
        log_target_->append_line(QStringLiteral(" ") + log_time_stamp() + QStringLiteral(" >> ")
                                 + text);
    write_diagnostic(text + QLatin1Char('\n'));
}
