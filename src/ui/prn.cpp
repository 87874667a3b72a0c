#include "prn.h"

#include <QIcon>
#include <QStringDecoder>
#include <QTextBrowser>

#include "dialog_seam.h"

PRN::PRN(const QByteArray &report_cp1251, DialogSeam &dialogs, QWidget *parent)
    : QDialog(parent), browser_(new QTextBrowser(this))
{
    setObjectName(QStringLiteral("PRN"));
    setWindowIcon(QIcon(QStringLiteral(":/icon/icon.png")));
    setWindowTitle(QStringLiteral("Печать настроек радиостанции Торвел-K40"));
    setGeometry(20, 20, 800, 600);
    browser_->setGeometry(0, 20, 800, 580);

    QStringDecoder from_cp1251("windows-1251");
    browser_->setHtml(from_cp1251.decode(report_cp1251));
    if (dialogs.print_dialog(printer_, this)) {
        browser_->document()->print(&printer_);
        printed_ = true;
    }
    hide();
    setResult(0);
}
