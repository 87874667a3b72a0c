#include "form_help.h"

#include <QCoreApplication>
#include <QFile>
#include <QIcon>
#include <QPushButton>
#include <QStringDecoder>
#include <QTextBrowser>

#include "text_fit.h"

FORM_HELP::FORM_HELP(const QString &document_path)
    : QMainWindow(nullptr), document_path_(document_path)
{
    setWindowIcon(QIcon(QStringLiteral(":/icon/icon.png")));
    setWindowTitle(QStringLiteral("Справка Торвел-K40"));
    setGeometry(20, 20, 700, 600);

    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("browser"));
    browser_->setGeometry(0, 20, 700, 570);
    browser_->setReadOnly(true);
    QFont font = browser_->font();
    font.setWeight(QFont::ExtraLight);
    browser_->setFont(font);
    browser_->setPlainText(QStringLiteral(" "));

    b_doc_ = new QPushButton(QStringLiteral("Помощь"), this);
    b_doc_->setObjectName(QStringLiteral("b_doc"));
    b_doc_->setGeometry(20, 5, 60, 24);
    b_doc_->setVisible(false);
    fit_texts(this);

    QMetaObject::connectSlotsByName(this);
}

QString FORM_HELP::document_path_for(const QString &program_path)
{
    int from = 0;
    int to = program_path.size();
    while (from < to && program_path.at(from).unicode() <= 32)
        ++from;
    while (to > from && program_path.at(to - 1).unicode() <= 32)
        --to;
    return program_path.mid(from, to - from) + QStringLiteral(".html");
}

QString FORM_HELP::document_path() const
{
    if (!document_path_.isEmpty())
        return document_path_;
    const QStringList args = QCoreApplication::arguments();
    return args.isEmpty() ? QString() : document_path_for(args.first());
}

void FORM_HELP::open_help_document()
{
    QByteArray text;
    QFile file(document_path());
    if (!document_path().isEmpty() && file.open(QIODevice::ReadOnly))
        text = file.readAll();  // a missing or unreadable file shows an empty window
    show_document(text);
}

void FORM_HELP::show_document(const QByteArray &text)
{
    document_text_ = text;
    QStringDecoder decode("windows-1251");
    browser_->setHtml(decode(text));
    browser_->repaint();
    repaint();
    show();
    repaint();
}

void FORM_HELP::on_b_doc_clicked() { open_help_document(); }

void FORM_HELP::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    browser_->setGeometry(1, 30, width() - 2, height() - 31);
}
