// The five long operations run by the queue, and the mapping between the form's widgets
// and a parameter set that they share.

#include "main_window.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFile>
#include <QSaveFile>
#include <QTableWidget>
#include <cstring>

#include "dialog_seam.h"
#include "editor_numbers.h"
#include "form_mapping.h"
#include "image_file.h"
#include "image_codec.h"
#include "line_edit_int.h"
#include "param_editors.h"
#include "prn.h"
#include "radio_operations.h"
#include "settings_report.h"
#include "tfm_message.h"
#include "utils.h"
#include "validation.h"
#include "write_session.h"

namespace {

const char *const FILE_FILTER = "Файл конфигурации (*.eep)";

}  // namespace

// --- The form as texts ------------------------------------------------------------------

FormTexts PROGRAMMATOR_K40::form_texts()
{
    FormTexts f;
    f.ravno = flag_f_prd_ravno_f_prm != 0;
    for (int r = 0; r < FORM_ROWS; ++r)
        for (int c = 0; c < f.columns(); ++c)
            f.cells[r][c] = cell_item(r, c)->text();
    f.ctcss_prm = ed_ctcss_prm->text();
    f.ctcss_prd = ed_ctcss_prd->text();
    f.vt_prd = ed_vt_prd->text();
    f.vt_prm = ed_vt_prm->text();
    f.ur_gromk = ed_ur_gromk->text();
    f.microphone = ed_microphone->text();
    f.n_rab_kanala = ed_n_rab_kanala->text();
    f.zapret = cb_zapret->isChecked();
    return f;
}

bool PROGRAMMATOR_K40::read_form(RS_CONF &conf)
{
    conf = ::read_form(form_texts(), flag_zapret, diapazon_code);
    return true;
}

void PROGRAMMATOR_K40::fill_form(const RS_CONF &conf)
{
    clear_form();
    const FormTexts f = form_texts_from_conf(conf, flag_f_prd_ravno_f_prm != 0);
    for (int r = 0; r < FORM_ROWS; ++r)
        for (int c = 0; c < f.columns(); ++c)
            cell_item(r, c)->setText(f.cells[r][c]);
    ed_ctcss_prm->setText(f.ctcss_prm);
    ed_ctcss_prd->setText(f.ctcss_prd);
    ed_vt_prd->setText(f.vt_prd);
    ed_vt_prm->setText(f.vt_prm);
    ed_ur_gromk->setText(f.ur_gromk);
    ed_microphone->setText(f.microphone);
    ed_n_rab_kanala->setText(f.n_rab_kanala);
    cb_zapret->setChecked(f.zapret);
    check_tun_points(model_context(), conf.diapazon_code);
    setWindowTitle(window_title(station, conf.diapazon_code));
}

bool PROGRAMMATOR_K40::form_round_trip()
{
    const ModelContext ctx = model_context();
    RS_CONF conf{};
    RS_EEPROM_IMAGE encoded{};
    read_form(conf);
    const bool ok = encode_image(ctx, conf, image, encoded, flag_conf_read)
                    && decode_image(ctx, encoded, conf) && validate_conf(ctx, conf);
    diapazon_code = conf.diapazon_code;
    fill_form(conf);
    return ok;
}

bool PROGRAMMATOR_K40::check_form_filled() { return ::check_form_filled(form_texts()); }

// --- Configuration image files -----------------------------------------------------------

void PROGRAMMATOR_K40::post_after_blank(const QString &message)
{
    repaint();
    reporter().post_after_blank(message);
}

void PROGRAMMATOR_K40::read_rs_conf_from_file()
{
    const FormHold hold(*this);
    post_after_blank(utf8_text("Чтение конфигурации из файла."));
    write_diagnostic("load conf start\n");

    const ModelContext ctx = model_context();
    const auto fail = [this]() {
        post_after_blank(utf8_text("Ошибка чтения конфигурации из файла."));
    };

    const QString name = dialogs().open_file_name(
        this, utf8_text("Загрузка файла конфигурации радиостанции Торвел-K40"),
        QStringLiteral("./"), utf8_text(FILE_FILTER));
    QFile file(name);
    if (name.isEmpty() || !file.open(QIODevice::ReadOnly))
        return fail();
    RS_EEPROM_IMAGE loaded{};
    if (file.size() != RS_IMAGE_SIZE
        || file.read(reinterpret_cast<char *>(loaded.bytes), RS_IMAGE_SIZE) != RS_IMAGE_SIZE)
        return fail();
    write_diagnostic("data conf read full\n");

    RS_CONF conf{};
    if (!decode_image(ctx, loaded, conf) || !validate_conf(ctx, conf))
        return fail();
    diapazon_code = conf.diapazon_code;
    fill_form(conf);
    image = loaded;
    flag_conf_read = 1;
    if (!form_round_trip()) {
        flag_conf_read = 0;
        return fail();
    }
    post_after_blank(utf8_text("Конфигурация успешно считана из файла."));
}

bool PROGRAMMATOR_K40::encode_form(RS_EEPROM_IMAGE &out)
{
    RS_CONF conf{};
    read_form(conf);
    out = RS_EEPROM_IMAGE{};
    return encode_image(model_context(), conf, image, out, flag_conf_read);
}

void PROGRAMMATOR_K40::write_rs_conf_to_file()
{
    const FormHold hold(*this);
    post_after_blank(utf8_text("Сохранение конфигурации в файл."));
    const auto fail = [this]() {
        post_after_blank(utf8_text("Ошибка: Сохранение конфигурации в файле."));
    };

    if (!check_form_filled()) {
        reporter().post(utf8_text("Ошибка: Поля редактирования не заполнены."));
        repaint();
        reporter().pause(1000);
        return;
    }
    const ModelContext ctx = model_context();
    RS_EEPROM_IMAGE checked{};
    RS_CONF conf{};
    if (!encode_form(checked) || !decode_image(ctx, checked, conf) || !validate_conf(ctx, conf))
        return fail();
    write_diagnostic("save conf start");

    const QString name = dialogs().save_file_name(
        this, utf8_text("Сохранение конфигурации радиостанции Торвел-K40 в файл"),
        QStringLiteral("./"), utf8_text(FILE_FILTER));
    if (name.isEmpty())
        return fail();
    // Written beside the target and renamed over it only when complete: a failed save
    // never destroys the file the technician chose. Unbuffered, because a buffered
    // QSaveFile commits a short write as if it were whole. A replaced file keeps its
    // permissions; a new one gets the usual ones under the umask.
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail();
    RS_EEPROM_IMAGE encoded{};
    if (!encode_form(encoded)
        || file.write(reinterpret_cast<const char *>(encoded.bytes), RS_IMAGE_SIZE) != RS_IMAGE_SIZE
        || !file.commit())
        return fail();
    write_diagnostic("data conf write full\n");
    post_after_blank(utf8_text("Конфигурация успешно сохранена в файле."));
}

// --- Settings report ---------------------------------------------------------------------

void PROGRAMMATOR_K40::prn_conf_from_form()
{
    lock_form();
    write_diagnostic("prn conf start\n");
    const QByteArray report = settings_report(form_texts());
    // A report file that cannot be written is skipped; printing and showing still happen.
    write_string_to_file(report.toStdString(), "./rs_info.html", 0664);
    {
        PRN prn(report, dialogs(), this);
        dialogs().exec_dialog(prn);
        unlock_form();  // given back while the print window still exists
    }
}

// --- The radio ---------------------------------------------------------------------------

void PROGRAMMATOR_K40::send_program_to_rs()
{
    const FormHold hold(*this);
    reporter().post(utf8_text("Пожалуйта подождите: сохранение настроек в радиостанцию"));

    ProgramForm form;
    form.wc = static_cast<uint8_t>(text_to_int(ed_n_rab_kanala->text()));
    form.flag_conf_read = flag_conf_read != 0;
    form.form_filled = check_form_filled();
    read_form(form.conf);

    // The radio's image just read is kept, and the run journalled, before anything is
    // written to it.
    WriteSession session(QStringLiteral("."), utf8_text("окно"),
                         QString::fromLocal8Bit(station.Com_Port_Name), utf8_text("форма окна"));
    ProgramRun run;
    run.before_writing = [this, &session](const RS_EEPROM_IMAGE &radio,
                                          const RS_EEPROM_IMAGE &target) {
        return session.begin(reporter(), radio, target);
    };
    const bool ok = program_radio(model_context(), com_port_id, form, &run);
    QString why;
    if (!session.end(run, utf8_text(ok ? JOURNAL_RESULT_OK : JOURNAL_RESULT_FAILED), &why))
        reporter().note(utf8_text("Журнал не дописан: %1").arg(why));
    if (ok) {
        log_strip->clear();
        reporter().post(utf8_text("Запрограммировали - OK!"));
    } else {
        reporter().post(utf8_text("Ошибка программирования"));
    }
    log_strip->repaint();
}

void PROGRAMMATOR_K40::load_conf_from_rs()
{
    const ModelContext ctx = model_context();
    if (!fetch_radio_image(ctx, com_port_id, image))
        return;
    write_diagnostic("data conf read full\n");
    RS_CONF conf{};
    if (!decode_image(ctx, image, conf))
        return;
    flag_conf_read = 1;
    validate_conf(ctx, conf);
    diapazon_code = conf.diapazon_code;
    fill_form(conf);
    reporter().post(form_round_trip()
                        ? utf8_text("Параметры считаны.")
                        : utf8_text("Параметры считаны, но имеются ошибки в данных."));
}
