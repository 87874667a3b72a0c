#pragma once
// The application's main window: the editing form (channel table, parameter editors, check
// boxes, command buttons, menus), the serial port opened at start, the deferred operation
// queue, the message strip and the log dialog. Buttons and menu entries only post operation
// codes; the queue calls back into run_operation, which runs one operation to completion.

#include <QMainWindow>
#include <QString>
#include <QTableWidgetItem>
#include <cstdint>

#include "form_lock.h"
#include "form_mapping.h"
#include "model_context.h"
#include "ochered.h"
#include "rs_conf.h"
#include "station_config.h"

class ChannelDelegateBase;
class DBUG_FORM;
class DialogSeam;
class FORM_HELP;
class LINE_EDIT_INT;
class LineEdit_ctcss_prd;
class LineEdit_ctcss_prm;
class LineEdit_n_rab_kanala;
class LineEdit_ur_gromk;
class LineEdit_vt_prm;
class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QMenu;
class QMenuBar;
class QPushButton;
class QTableWidget;
class Sleeper;
class TfmMessage2;

class PROGRAMMATOR_K40 : public QMainWindow, public OcheredOwner {
    Q_OBJECT
public:
    // station is copied whole; null gives port "COM1" at 9600 and no bands. dialogs and
    // sleeper default to the process-wide ones.
    explicit PROGRAMMATOR_K40(QWidget *parent = nullptr, const STATION_CONFIG *station = nullptr,
                              DialogSeam *dialogs = nullptr, Sleeper *sleeper = nullptr);
    ~PROGRAMMATOR_K40() override;

    // The busy lock of the operations that read or rewrite the form. Taking it again on the
    // thread that holds it never waits; another holder is waited for at most 30 s.
    void lock_form();
    void unlock_form();

    // Holds the form lock for one scope, so every exit of an operation gives it back.
    class FormHold {
    public:
        explicit FormHold(PROGRAMMATOR_K40 &w) : w_(w) { w_.lock_form(); }
        ~FormHold() { w_.unlock_form(); }
        FormHold(const FormHold &) = delete;
        FormHold &operator=(const FormHold &) = delete;

    private:
        PROGRAMMATOR_K40 &w_;
    };
    FormLock &form_lock() { return form_lock_; }

    // Re-creates columns, delegate and cells in the current mode, keeping every cell text.
    void rebuild_table();
    // rebuild_table, then empties every cell and the seven parameter editors.
    void clear_form();

    // The dispatcher of the queue's operation codes (2000..2004); other codes do nothing.
    void run_operation(int code) override;

    // Where operations post their texts and pause.
    Reporter reporter() const;
    ModelContext model_context() const;
    DialogSeam &dialogs() const { return *dialogs_; }
    Sleeper &sleeper() const;

    ChannelDelegateBase *current_delegate() const { return current_delegate_; }
    QTableWidgetItem *cell_item(int row, int column) { return &cell_items_[row * 4 + column]; }
    int table_columns() const { return columns_for(flag_f_prd_ravno_f_prm != 0); }

    // --- State the operations read and write ---------------------------------------------
    STATION_CONFIG station;              // this window's own copy
    RS_EEPROM_IMAGE image;               // the image last read or loaded, zeroed at start
    int com_port_id = -1;                // slot of the configured port, or -1
    uint8_t flag_zapret = 0;             // mirrors cb_zapret
    uint8_t flag_f_prd_ravno_f_prm = 0;  // mirrors cb_f_prd_ravno_f_prm (changed by clicks)
    uint8_t flag_conf_read = 0;          // a configuration was read or loaded
    uint8_t diapazon_code = 1;           // band code of what the form shows

    // --- The form ---------------------------------------------------------------------------
    QTableWidget *kanals = nullptr;
    QGroupBox *gb_ctcss_prm_prd = nullptr;
    LineEdit_ctcss_prm *ed_ctcss_prm = nullptr;
    QLabel *l_ctcss_prd = nullptr;
    QLabel *l_ctcss_prm = nullptr;
    LineEdit_ctcss_prd *ed_ctcss_prd = nullptr;
    QGroupBox *gb_vt_prm_prd = nullptr;
    LineEdit_vt_prm *ed_vt_prd = nullptr;
    LineEdit_vt_prm *ed_vt_prm = nullptr;
    QLabel *l_vt_prd = nullptr;
    QLabel *l_vt_prm = nullptr;
    QGroupBox *gb_ur_gromk = nullptr;
    LineEdit_ur_gromk *ed_ur_gromk = nullptr;
    QGroupBox *gb_microphone = nullptr;
    LINE_EDIT_INT *ed_microphone = nullptr;
    QGroupBox *gb_n_rab_kanala = nullptr;
    LineEdit_n_rab_kanala *ed_n_rab_kanala = nullptr;
    QCheckBox *cb_f_prd_ravno_f_prm = nullptr;
    QCheckBox *cb_zapret = nullptr;
    QPushButton *b_load_conf = nullptr;
    QPushButton *b_save_conf = nullptr;
    QPushButton *b_prn_conf = nullptr;
    QGroupBox *gb_radiost_conf = nullptr;
    QPushButton *b_load_conf_rs = nullptr;
    QPushButton *b_send_program_to_rs = nullptr;

    QAction *act_load_conf = nullptr;
    QAction *act_save_conf = nullptr;
    QAction *act_prn_conf = nullptr;
    QAction *act_load_conf_rs = nullptr;
    QAction *act_send_program_to_rs = nullptr;
    QAction *act_exit_from_program = nullptr;
    QAction *act_debug_form_show = nullptr;
    QAction *act_help = nullptr;
    QMenuBar *menuBar_ = nullptr;
    QMenu *menu = nullptr;
    QMenu *menu_2 = nullptr;
    QMenu *menu_6 = nullptr;

    TfmMessage2 *log_strip = nullptr;
    DBUG_FORM *log_dialog = nullptr;
    FORM_HELP *help_window = nullptr;
    OCHERED_PRG_K40 *op_queue = nullptr;

public slots:
    void on_cb_f_prd_ravno_f_prm_stateChanged(int state);
    void on_zapret_stateChanged(int state);
    void on_b_load_conf_clicked();
    virtual void read_rs_conf_from_file();
    void on_b_save_conf_clicked();
    virtual void write_rs_conf_to_file();
    void on_b_prn_conf_clicked();
    virtual void prn_conf_from_form();
    void on_b_send_program_to_rs_clicked();
    virtual void send_program_to_rs();
    void on_b_load_conf_rs_clicked();
    void on_act_load_conf_triggered();
    void on_act_save_conf_triggered();
    void on_act_prn_conf_triggered();
    void on_act_load_conf_rs_triggered();
    void on_act_send_program_to_rs_triggered();
    void on_act_debug_form_show();
    void on_act_help_triggered();
    void on_act_exit_from_program_triggered();

public:
    // Code 2004: reading the configuration from the radio (not a slot of its own).
    virtual void load_conf_from_rs();

    // --- The form and a parameter set --------------------------------------------------------
    // The texts the form shows right now.
    FormTexts form_texts();
    // The form as a parameter set (band code and zapret from the window); always true.
    bool read_form(RS_CONF &conf);
    // Shows a set: clears the form, writes every field, checks the band's tuning points and
    // sets the band-dependent title.
    void fill_form(const RS_CONF &conf);
    // Encodes the form over the image, decodes and validates it, and shows the result (what
    // the radio would really store). True when all three steps passed.
    bool form_round_trip();
    // True when no field of the form is empty or "0".
    bool check_form_filled();

private:
    void post_after_blank(const QString &message);
    bool encode_form(RS_EEPROM_IMAGE &out);
    void build_table();
    void build_form();
    void build_menus();
    void post_operation(int code);
    void take_items_out(int columns);
    void put_items_in(int columns);
    void replace_delegate();
    void set_header_labels();

    QTableWidgetItem cell_items_[FORM_ROWS * FORM_MAX_COLUMNS];
    ChannelDelegateBase *current_delegate_ = nullptr;
    ChannelDelegateBase *retired_delegate_ = nullptr;
    FormLock form_lock_;
    DialogSeam *dialogs_;
    Sleeper *sleeper_;
};

// Cell texts carried across a rebuild of the table, [row][column].
extern QString saved_cell_texts[FORM_ROWS][FORM_MAX_COLUMNS];
