#include "main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <cstring>

#include "com_port.h"
#include "dbug_form.h"
#include "dialog_seam.h"
#include "editor_numbers.h"
#include "form_help.h"
#include "freq_edit.h"
#include "frequency.h"
#include "image_map.h"
#include "line_edit_int.h"
#include "messages.h"
#include "param_editors.h"
#include "startup_hook.h"
#include "table_delegates.h"
#include "text_fit.h"
#include "tfm_message.h"
#include "validation.h"

QString saved_cell_texts[FORM_ROWS][FORM_MAX_COLUMNS];

namespace {

const QRect kanals_geometry(20, 60, 460, 312);

template <class W>
W *named(W *widget, const char *name, const QRect &geometry)
{
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry);
    return widget;
}

QLabel *make_label(QWidget *parent, const char *name, const QRect &geometry, const QString &text)
{
    QLabel *label = named(new QLabel(parent), name, geometry);
    label->setText(text);
    return label;
}

QGroupBox *make_group(QWidget *parent, const char *name, const QRect &geometry,
                      const QString &title)
{
    QGroupBox *box = named(new QGroupBox(parent), name, geometry);
    box->setTitle(title);
    return box;
}

}  // namespace

PROGRAMMATOR_K40::PROGRAMMATOR_K40(QWidget *parent, const STATION_CONFIG *station_in,
                                   DialogSeam *dialogs, Sleeper *sleeper)
    : QMainWindow(parent), dialogs_(dialogs ? dialogs : &default_dialogs()), sleeper_(sleeper)
{
    setWindowIcon(QIcon(QStringLiteral(":/icon/icon.png")));
    // The layout is in fixed pixels, made for a compact dialog font of 11 pixels.
    QFont form_font = font();
    form_font.setPixelSize(11);
    setFont(form_font);

    help_window = new FORM_HELP;
    log_dialog = new DBUG_FORM;
    log_dialog->setWindowTitle(QStringLiteral("Лог Торвел-K40"));
    // Closing the main window ends the program even while these are open.
    help_window->setAttribute(Qt::WA_QuitOnClose, false);
    log_dialog->setAttribute(Qt::WA_QuitOnClose, false);

    std::memset(&station, 0, sizeof station);
    if (station_in) {
        station = *station_in;
    } else {
        std::strcpy(station.Com_Port_Name, "COM1");
        station.Com_Port_BaudRate = 9600;
    }

    flag_conf_read = 0;
    flag_f_prd_ravno_f_prm = 0;
    setWindowTitle(QStringLiteral("Программатор Торвел-K40"));
    diapazon_code = 1;

    build_table();
    build_form();
    setGeometry(10, 10, 760, 465);
    std::memset(&image, 0, sizeof image);

    com_service_start();
    this->sleeper().sleep_ms(1000);
    // A port that does not open is only reported on standard output; the radio
    // operations open it again themselves.
    com_port_id = com_open(station.Com_Port_Name, station.Com_Port_BaudRate);

    build_menus();

    log_strip = new TfmMessage2(this);
    log_strip->setObjectName(QStringLiteral("log_strip"));
    log_strip->set_log_target(log_dialog);
    log_strip->setGeometry(0, 435, 760, 30);
    log_strip->show();

    check_tun_points(model_context(), 1);

    op_queue = new OCHERED_PRG_K40(50, this);

    setGeometry(0, 0, 760, 465);
    fit_texts(this);
    close_startup_splash();
}

PROGRAMMATOR_K40::~PROGRAMMATOR_K40()
{
    delete help_window;
    help_window = nullptr;

    delete menuBar_;  // its menus and their actions are its children
    menuBar_ = nullptr;
    menu = menu_2 = menu_6 = nullptr;
    for (QAction *action :
         {act_load_conf, act_save_conf, act_prn_conf, act_load_conf_rs, act_send_program_to_rs,
          act_exit_from_program, act_debug_form_show, act_help})
        delete action;

    // The cells are members of this window: the table must never delete them.
    take_items_out(kanals->columnCount());
    retired_delegate_ = current_delegate_;
    current_delegate_ = nullptr;
    kanals->setItemDelegate(nullptr);
    delete retired_delegate_;
    retired_delegate_ = nullptr;
    delete kanals;
    kanals = nullptr;
    for (QWidget *w : std::initializer_list<QWidget *>{
             gb_ctcss_prm_prd, gb_vt_prm_prd, gb_ur_gromk, gb_microphone, gb_n_rab_kanala,
             cb_f_prd_ravno_f_prm, cb_zapret, b_load_conf, b_save_conf, b_prn_conf})
        delete w;

    // The queue goes before the strip and the port, so no operation can start meanwhile.
    delete op_queue;
    op_queue = nullptr;
    delete gb_radiost_conf;
    delete log_strip;
    log_strip = nullptr;

    com_close(com_port_id);
    com_service_stop();

    delete log_dialog;
    log_dialog = nullptr;
}

void PROGRAMMATOR_K40::build_table()
{
    kanals = new QTableWidget(FORM_ROWS, FORM_MAX_COLUMNS, this);
    kanals->setObjectName(QStringLiteral("kanals"));
    kanals->setEditTriggers(QAbstractItemView::CurrentChanged | QAbstractItemView::DoubleClicked
                            | QAbstractItemView::SelectedClicked);
    flag_zapret = 0;
    current_delegate_ = new ComboBoxDelegate(this, station_band_count(station), station.bands,
                                             diapazon_code, flag_zapret);
    kanals->setItemDelegate(current_delegate_);
    set_header_labels();
    put_items_in(FORM_MAX_COLUMNS);
    kanals->setGeometry(kanals_geometry);
}

void PROGRAMMATOR_K40::build_form()
{
    gb_ctcss_prm_prd = make_group(this, "gb_ctcss_prm_prd", QRect(490, 150, 201, 71),
                                  QStringLiteral("Частота вызывного CTCSS тона, Гц"));
    ed_ctcss_prm = named(new LineEdit_ctcss_prm(gb_ctcss_prm_prd), "ed_ctcss_prm",
                         QRect(80, 20, 61, 20));
    l_ctcss_prd = make_label(gb_ctcss_prm_prd, "l_ctcss_prd", QRect(10, 47, 61, 16),
                             QStringLiteral("Передача"));
    l_ctcss_prm = make_label(gb_ctcss_prm_prd, "l_ctcss_prm", QRect(10, 22, 61, 16),
                             QStringLiteral("Прием"));
    ed_ctcss_prd = named(new LineEdit_ctcss_prd(gb_ctcss_prm_prd), "ed_ctcss_prd",
                         QRect(80, 45, 61, 20));

    gb_vt_prm_prd = make_group(this, "gb_vt_prm_prd", QRect(490, 230, 201, 71),
                               QStringLiteral("Частота вызывного тона, Гц"));
    ed_vt_prd = named(new LineEdit_vt_prm(gb_vt_prm_prd), "ed_vt_prd", QRect(80, 45, 92, 20));
    ed_vt_prm = named(new LineEdit_vt_prm(gb_vt_prm_prd), "ed_vt_prm", QRect(80, 20, 92, 20));
    l_vt_prd = make_label(gb_vt_prm_prd, "l_vt_prd", QRect(10, 47, 61, 16),
                          QStringLiteral("Передача"));
    l_vt_prm = make_label(gb_vt_prm_prd, "l_vt_prm", QRect(10, 21, 61, 16),
                          QStringLiteral("Прием"));

    gb_ur_gromk = make_group(this, "gb_ur_gromk", QRect(490, 310, 121, 51),
                             QStringLiteral("Уровень громкости"));
    ed_ur_gromk = named(new LineEdit_ur_gromk(gb_ur_gromk), "ed_ur_gromk", QRect(10, 20, 51, 20));

    gb_microphone = make_group(this, "gb_microphone", QRect(620, 310, 121, 51),
                               QStringLiteral("Чувст. микр. входа "));
    ed_microphone = new LINE_EDIT_INT(gb_microphone);
    ed_microphone->setup(24, 31, 0, 0, 24, 31, 1);
    ed_microphone->check_value_end();
    named(ed_microphone, "ed_microphone", QRect(10, 20, 61, 20));

    gb_n_rab_kanala = make_group(this, "gb_n_rab_kanala", QRect(490, 90, 141, 51),
                                 QStringLiteral("Номер рабочего канала"));
    ed_n_rab_kanala = named(new LineEdit_n_rab_kanala(gb_n_rab_kanala), "ed_n_rab_kanala",
                            QRect(10, 20, 51, 20));

    cb_f_prd_ravno_f_prm = named(new QCheckBox(this), "cb_f_prd_ravno_f_prm",
                                 QRect(490, 60, 241, 21));
    cb_f_prd_ravno_f_prm->setText(QStringLiteral("Частота передачи равна частоте приема"));
    cb_f_prd_ravno_f_prm->setChecked(false);
    connect(cb_f_prd_ravno_f_prm, &QCheckBox::stateChanged, this,
            &PROGRAMMATOR_K40::on_cb_f_prd_ravno_f_prm_stateChanged);

    // Out of sight above the window and disabled: only the program sets it.
    cb_zapret = new QCheckBox(this);
    cb_zapret->setObjectName(QStringLiteral("cb_zapret"));
    cb_zapret->setText(QStringLiteral("Запрет частот"));
    cb_zapret->setChecked(false);
    cb_zapret->setEnabled(false);
    cb_zapret->setGeometry(640, -105, 241, 21);
    connect(cb_zapret, &QCheckBox::stateChanged, this, &PROGRAMMATOR_K40::on_zapret_stateChanged);

    auto button = [this](QWidget *parent, const char *name, const QRect &geometry,
                         const QString &text, void (PROGRAMMATOR_K40::*slot)()) {
        QPushButton *b = named(new QPushButton(parent), name, geometry);
        b->setText(text);
        connect(b, &QPushButton::clicked, this, slot);
        return b;
    };
    b_load_conf = button(this, "b_load_conf", QRect(20, 30, 131, 24),
                         QStringLiteral("Считать из файла"),
                         &PROGRAMMATOR_K40::on_b_load_conf_clicked);
    b_save_conf = button(this, "b_save_conf", QRect(170, 30, 131, 24),
                         QStringLiteral("Сохранить в файл"),
                         &PROGRAMMATOR_K40::on_b_save_conf_clicked);
    b_prn_conf = button(this, "b_prn_conf", QRect(320, 30, 141, 24),
                        QStringLiteral("Вывести на печать"),
                        &PROGRAMMATOR_K40::on_b_prn_conf_clicked);
    gb_radiost_conf = make_group(this, "gb_radiost_conf", QRect(20, 380, 255, 51),
                                 QStringLiteral("Радиостанция  (Конфигурация)"));
    b_load_conf_rs = button(gb_radiost_conf, "b_load_conf_rs", QRect(5, 20, 120, 24),
                            QStringLiteral("Считать параметры"),
                            &PROGRAMMATOR_K40::on_b_load_conf_rs_clicked);
    b_send_program_to_rs = button(gb_radiost_conf, "b_send_program_to_rs", QRect(130, 20, 120, 24),
                                  QStringLiteral("Программирование"),
                                  &PROGRAMMATOR_K40::on_b_send_program_to_rs_clicked);
}

void PROGRAMMATOR_K40::build_menus()
{
    auto action = [this](const char *name, const QString &text, void (PROGRAMMATOR_K40::*slot)()) {
        QAction *a = new QAction(this);
        a->setObjectName(QString::fromLatin1(name));
        a->setText(text);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    act_load_conf = action("act_load_conf", QStringLiteral("Считать из файла"),
                           &PROGRAMMATOR_K40::on_act_load_conf_triggered);
    act_save_conf = action("act_save_conf", QStringLiteral("Сохранить в файл"),
                           &PROGRAMMATOR_K40::on_act_save_conf_triggered);
    act_prn_conf = action("act_prn_conf", QStringLiteral("Вывести на печать"),
                          &PROGRAMMATOR_K40::on_act_prn_conf_triggered);
    act_load_conf_rs = action("act_load_conf_rs", QStringLiteral("Считать параметры"),
                              &PROGRAMMATOR_K40::on_act_load_conf_rs_triggered);
    act_send_program_to_rs = action("act_send_program_to_rs", QStringLiteral("Программирование"),
                                    &PROGRAMMATOR_K40::on_act_send_program_to_rs_triggered);
    act_exit_from_program = action("act_exit_from_program", QStringLiteral("Выход"),
                                   &PROGRAMMATOR_K40::on_act_exit_from_program_triggered);

    menuBar_ = named(new QMenuBar(this), "menuBar", QRect(0, 0, 751, 19));
    menu = new QMenu(menuBar_);
    menu->setObjectName(QStringLiteral("menu"));
    menu->setTitle(QStringLiteral("Файл"));
    menu_2 = new QMenu(menuBar_);
    menu_2->setObjectName(QStringLiteral("menu_2"));
    menu_2->setTitle(QStringLiteral("Радиостанция"));
    setMenuBar(menuBar_);
    menuBar_->addAction(menu->menuAction());
    menuBar_->addAction(menu_2->menuAction());
    menu->addAction(act_load_conf);
    menu->addAction(act_save_conf);
    menu->addAction(act_prn_conf);
    menu->addSeparator();
    menu->addAction(act_exit_from_program);
    menu_2->addAction(act_load_conf_rs);
    menu_2->addAction(act_send_program_to_rs);
    setWindowTitle(QStringLiteral("Программатор Торвел-K40"));

    act_debug_form_show = action("act_debug_form_show", QStringLiteral("Лог"),
                                 &PROGRAMMATOR_K40::on_act_debug_form_show);
    menuBar_->addAction(act_debug_form_show);

    act_help = action("act_help", QStringLiteral("Справка"),
                      &PROGRAMMATOR_K40::on_act_help_triggered);
    menu_6 = new QMenu(menuBar_);
    menu_6->setObjectName(QStringLiteral("menu_6"));
    menu_6->setTitle(QStringLiteral("О программе"));
    menu_6->addAction(act_help);
    menuBar_->addAction(menu_6->menuAction());
}

// --- Form lock -------------------------------------------------------------------------------

void PROGRAMMATOR_K40::lock_form() { form_lock_.lock(FormLock::WAIT_MS); }

void PROGRAMMATOR_K40::unlock_form() { form_lock_.unlock(); }

Reporter PROGRAMMATOR_K40::reporter() const { return Reporter(log_strip, sleeper_); }

ModelContext PROGRAMMATOR_K40::model_context() const
{
    ModelContext ctx;
    ctx.station = &station;
    ctx.reporter = reporter();
    return ctx;
}

Sleeper &PROGRAMMATOR_K40::sleeper() const { return sleeper_ ? *sleeper_ : default_sleeper(); }

// --- Channel table ---------------------------------------------------------------------------

void PROGRAMMATOR_K40::set_header_labels()
{
    if (flag_f_prd_ravno_f_prm) {
        kanals->setHorizontalHeaderLabels({QStringLiteral("Частота \nП/П"),
                                           QStringLiteral("Устройство \n кодирующее"),
                                           QStringLiteral("Уровень ПШ")});
    } else {
        kanals->setHorizontalHeaderLabels(
            {QStringLiteral("Частота \n приема"), QStringLiteral("Частота \n передачи"),
             QStringLiteral("Устройство \n кодирующее"), QStringLiteral("Уровень ПШ")});
    }
    QStringList rows;
    for (int r = 1; r <= 8; ++r)
        rows << QStringLiteral("Канал %1").arg(r);
    rows << QStringLiteral("Канал R");
    kanals->setVerticalHeaderLabels(rows);
    fit_header_texts(kanals->horizontalHeader());
}

// Saves each cell's text, empties it and takes its item out of the table.
void PROGRAMMATOR_K40::take_items_out(int columns)
{
    for (int r = 0; r < FORM_ROWS; ++r) {
        for (int c = 0; c < columns; ++c) {
            QTableWidgetItem *item = kanals->item(r, c);
            if (!item)
                continue;
            saved_cell_texts[r][c] = item->text();
            item->setText(QString());
            kanals->takeItem(r, c);
        }
    }
}

void PROGRAMMATOR_K40::put_items_in(int columns)
{
    // The coder and squelch columns hold choices ("Высокий с CTCSS") wider than the column
    // in some fonts: their cells get a font in which every choice shows whole.
    const int margin = 2 * (kanals->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
    for (int c = 0; c < columns; ++c) {
        QFont font = kanals->font();
        if (c >= columns - 2) {
            const QStringList choices = c == columns - 2 ? ComboBoxKoder::item_texts()
                                                         : ComboBoxPH::item_texts();
            for (const QString &choice : choices)
                font = font_fitting(font, choice, kanals->columnWidth(c) - margin);
        }
        for (int r = 0; r < FORM_ROWS; ++r) {
            cell_item(r, c)->setFont(font);
            kanals->setItem(r, c, cell_item(r, c));
        }
    }
}

void PROGRAMMATOR_K40::replace_delegate()
{
    retired_delegate_ = current_delegate_;
    const int32_t bands = station_band_count(station);
    if (flag_f_prd_ravno_f_prm)
        current_delegate_ = new ComboBoxDelegate_ravno(this, bands, station.bands, diapazon_code,
                                                       flag_zapret);
    else
        current_delegate_ = new ComboBoxDelegate(this, bands, station.bands, diapazon_code,
                                                 flag_zapret);
    kanals->setItemDelegate(nullptr);
    kanals->setItemDelegate(current_delegate_);
    delete retired_delegate_;
    retired_delegate_ = nullptr;
}

void PROGRAMMATOR_K40::on_cb_f_prd_ravno_f_prm_stateChanged(int state)
{
    const bool checked = state != 0;
    lock_form();
    kanals->setCurrentCell(-1, -1);  // closes an open cell editor, keeping its text
    take_items_out(columns_for(!checked));

    flag_f_prd_ravno_f_prm = checked ? 1 : 0;
    kanals->setColumnCount(columns_for(checked));
    kanals->setRowCount(FORM_ROWS);
    replace_delegate();
    set_header_labels();
    put_items_in(columns_for(checked));

    for (int r = 0; r < FORM_ROWS; ++r) {
        const QString *saved = saved_cell_texts[r];
        if (checked) {
            // The transmit frequency is dropped: it follows the receive one from now on.
            cell_item(r, 0)->setText(saved[0]);
            cell_item(r, 1)->setText(saved[2]);
            cell_item(r, 2)->setText(saved[3]);
        } else {
            cell_item(r, 0)->setText(saved[0]);
            cell_item(r, 1)->setText(saved[0]);
            cell_item(r, 2)->setText(saved[1]);
            cell_item(r, 3)->setText(saved[2]);
        }
    }
    kanals->setGeometry(kanals_geometry);
    unlock_form();
}

void PROGRAMMATOR_K40::rebuild_table()
{
    const int n = table_columns();
    // An editor left open would outlive the delegate that made it.
    kanals->setCurrentCell(-1, -1);
    take_items_out(n);
    kanals->setColumnCount(n);
    kanals->setRowCount(FORM_ROWS);
    replace_delegate();
    set_header_labels();
    put_items_in(n);
    for (int r = 0; r < FORM_ROWS; ++r)
        for (int c = 0; c < n; ++c)
            cell_item(r, c)->setText(saved_cell_texts[r][c]);
    kanals->setGeometry(kanals_geometry);
    repaint();
}

void PROGRAMMATOR_K40::clear_form()
{
    rebuild_table();
    const int n = table_columns();
    for (int r = 0; r < FORM_ROWS; ++r)
        for (int c = 0; c < n; ++c)
            cell_item(r, c)->setText(QString());
    for (QLineEdit *ed :
         std::initializer_list<QLineEdit *>{ed_ctcss_prm, ed_ctcss_prd, ed_vt_prd, ed_vt_prm,
                                            ed_ur_gromk, ed_microphone, ed_n_rab_kanala})
        ed->setText(QString());
}

void PROGRAMMATOR_K40::on_zapret_stateChanged(int state)
{
    lock_form();
    kanals->setCurrentCell(-1, -1);  // a frequency being typed is checked too
    if (state == 0) {
        flag_zapret = 0;
    } else {
        flag_zapret = 1;
        FormTexts form = form_texts();
        clear_forbidden_frequencies(form);
        for (int r = 0; r < FORM_ROWS; ++r)
            for (int c = 0; c < (form.ravno ? 1 : 2); ++c)
                cell_item(r, c)->setText(form.cells[r][c]);
    }
    rebuild_table();  // the new delegate carries the new flag_zapret
    unlock_form();
}

// --- Commands --------------------------------------------------------------------------------

void PROGRAMMATOR_K40::post_operation(int code)
{
    // A full queue drops the request, as a button pressed a thousand times ahead would.
    if (op_queue)
        op_queue->post(code);
}

void PROGRAMMATOR_K40::run_operation(int code)
{
    Q_ASSERT_X(kanals, "main_window.cpp", "kanals");
    switch (code) {
    case OP_READ_RS_CONF_FROM_FILE: read_rs_conf_from_file(); break;
    case OP_WRITE_RS_CONF_TO_FILE: write_rs_conf_to_file(); break;
    case OP_PRN_CONF_FROM_FORM: prn_conf_from_form(); break;
    case OP_SEND_PROGRAM_TO_RS: send_program_to_rs(); break;
    case OP_LOAD_CONF_FROM_RS: load_conf_from_rs(); break;
    default: break;
    }
    if (kanals)
        kanals->update();
}

void PROGRAMMATOR_K40::on_b_load_conf_clicked() { post_operation(OP_READ_RS_CONF_FROM_FILE); }
void PROGRAMMATOR_K40::on_b_save_conf_clicked() { post_operation(OP_WRITE_RS_CONF_TO_FILE); }
void PROGRAMMATOR_K40::on_b_prn_conf_clicked() { post_operation(OP_PRN_CONF_FROM_FORM); }
void PROGRAMMATOR_K40::on_b_send_program_to_rs_clicked() { post_operation(OP_SEND_PROGRAM_TO_RS); }
void PROGRAMMATOR_K40::on_b_load_conf_rs_clicked() { post_operation(OP_LOAD_CONF_FROM_RS); }
void PROGRAMMATOR_K40::on_act_load_conf_triggered() { on_b_load_conf_clicked(); }
void PROGRAMMATOR_K40::on_act_save_conf_triggered() { on_b_save_conf_clicked(); }
void PROGRAMMATOR_K40::on_act_prn_conf_triggered() { on_b_prn_conf_clicked(); }
void PROGRAMMATOR_K40::on_act_load_conf_rs_triggered() { on_b_load_conf_rs_clicked(); }
void PROGRAMMATOR_K40::on_act_send_program_to_rs_triggered() { on_b_send_program_to_rs_clicked(); }

void PROGRAMMATOR_K40::on_act_debug_form_show()
{
    if (log_dialog->isVisible())
        log_dialog->hide();
    else
        log_dialog->show();
}

void PROGRAMMATOR_K40::on_act_help_triggered()
{
    help_window->open_help_document();
    help_window->show();
}

void PROGRAMMATOR_K40::on_act_exit_from_program_triggered()
{
    close();
    QApplication::quit();
}
