#include "settings_report.h"

#include <QStringEncoder>

#include "freq_text.h"

namespace {

const char *const HEADER_CELL =
    "  <td bgcolor=#f0f0F0 style=\"width: 100 px;border: 1px solid rgb(96, 99, 104);\">"
    "<center><b> &nbsp; ";

QString header()
{
    const QString cell = QString::fromLatin1(HEADER_CELL);
    return QStringLiteral(
               "  <html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
               "charset=cp1251\"><title>Настройки радиостанции Торвел-K40</title></head>"
               "<body topmargin=\"5\" rightmargin=\"5\" leftmargin=\"5\" alink=\"Red\" "
               "bgcolor=\"#ffffff\" link=\"#005a99\" marginheight=\"5\" marginwidth=\"5\" "
               "text=\"#000000\" vlink=\"#3333cc\"><H3>Настройки радиостанции Торвел-K40</H3>"
               "<p><b>Каналы</b><p><table hspace = 5 vspace = 5 cellspacing=1 border=1 "
               "style=\"width: 100 px;border: 1px solid rgb(96, 99, 104);\"><tr>")
           + cell + QStringLiteral("№ Канала &nbsp;</b></center></td>") + cell
           + QStringLiteral("Частота &nbsp;<br>&nbsp; приема &nbsp; </b></center></td>") + cell
           + QStringLiteral("Частота &nbsp;<br>&nbsp; передачи &nbsp; </b></center></td>") + cell
           + QStringLiteral("Маскиратор &nbsp; </b></center></td>") + cell
           + QStringLiteral("Уровень ПШ &nbsp; </b></center></td></tr>  ");
}

QString data_cell(const QString &value)
{
    return QStringLiteral("  <td style=\"width: 100 px;border: 1px solid rgb(96, 99, 104);\">"
                          "<center> &nbsp;")
           + value + QStringLiteral("&nbsp; </center></td>");
}

QString channel_row(const FormTexts &form, int row)
{
    const QString number = row == RS_CHANNEL_R ? QStringLiteral("R") : QString::number(row + 1);
    const int key_col = form.ravno ? 1 : 2;
    const QString &tx_cell = form.cells[row][form.ravno ? 0 : 1];
    return QStringLiteral("<tr>  ") + data_cell(number)
           + data_cell(freq_text_strip(form.cells[row][0])) + data_cell(freq_text_strip(tx_cell))
           + data_cell(form.cells[row][key_col]) + data_cell(form.cells[row][key_col + 1])
           + QStringLiteral("</tr> ");
}

// The transmit and receive tones of one line, as both tone lines write them.
QString tone_pair(const QString &prd, const QString &prm)
{
    return QStringLiteral("ПРД: &nbsp; ") + prd + QStringLiteral(" Гц  &nbsp;&nbsp;  ПРМ: &nbsp; ")
           + prm + QStringLiteral(" Гц </b>\n</p>");
}

QString tail(const FormTexts &form)
{
    QString s = QStringLiteral("</table></p><p> <b> Номер рабочего канала:  &nbsp;");
    s += form.n_rab_kanala;
    s += QStringLiteral("</b>\n</p><p> <b> Частота вызывного CTCSS тона: &nbsp;");
    s += tone_pair(form.ctcss_prd, form.ctcss_prm);
    s += QStringLiteral("<p> <b> Частота вызывного тона:") + QStringLiteral("&nbsp;").repeated(14)
         + QStringLiteral(" ");
    s += tone_pair(form.vt_prd, form.vt_prm);
    s += QStringLiteral("<p> <b> Уровень громкости: &nbsp;");
    s += form.ur_gromk;
    s += QStringLiteral(" </b>\n</p><p> <b> Чувствительность микрофонного входа: &nbsp;");
    s += form.microphone;
    s += QStringLiteral(" </b>\n</p><p> <b> Запрещенные частоты: &nbsp;");
    s += form.zapret ? QStringLiteral(" Есть ") : QStringLiteral(" Нет ");
    s += QStringLiteral(" </b>\n</p></body></html>");
    return s;
}

}  // namespace

QByteArray settings_report(const FormTexts &form)
{
    QString html = header();
    for (int row = 0; row < FORM_ROWS; ++row)
        html += channel_row(form, row);
    html += tail(form);
    QStringEncoder to_cp1251("windows-1251");
    return to_cp1251.encode(html);
}
