#pragma once
// The help window: shows the help document kept next to the program (its path + ".html",
// HTML in CP1251), read afresh each time help is asked for.

#include <QByteArray>
#include <QMainWindow>
#include <QString>

class QPushButton;
class QTextBrowser;

class FORM_HELP : public QMainWindow {
    Q_OBJECT
public:
    // An empty path means: the running program's own path + ".html".
    explicit FORM_HELP(const QString &document_path = QString());

    // Program path as the command line gave it -> help document path ("prog" -> "prog.html"),
    // with leading and trailing control characters and blanks removed first.
    static QString document_path_for(const QString &program_path);

    void set_document_path(const QString &path) { document_path_ = path; }
    QString document_path() const;

    // Reads the document (empty when it cannot be read) and shows it.
    void open_help_document();
    // Shows CP1251 HTML bytes in the browser and the window.
    virtual void show_document(const QByteArray &text);

    QByteArray document_text() const { return document_text_; }
    QTextBrowser *browser() const { return browser_; }

public slots:
    void on_b_doc_clicked();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QString document_path_;
    QByteArray document_text_;
    QTextBrowser *browser_;
    QPushButton *b_doc_;
};
