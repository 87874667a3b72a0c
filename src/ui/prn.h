#pragma once
// The settings report window: offers the report to a printer, then shows it.

#include <QByteArray>
#include <QDialog>
#include <QPrinter>

class DialogSeam;
class QTextBrowser;

class PRN : public QDialog {
    Q_OBJECT
public:
    // Shows the print dialog at once (through `dialogs`) and prints when it is accepted;
    // the window itself starts hidden.
    PRN(const QByteArray &report_cp1251, DialogSeam &dialogs, QWidget *parent = nullptr);

    QTextBrowser *browser() const { return browser_; }
    bool printed() const { return printed_; }

private:
    QPrinter printer_{QPrinter::ScreenResolution};
    QTextBrowser *browser_;
    bool printed_ = false;
};
