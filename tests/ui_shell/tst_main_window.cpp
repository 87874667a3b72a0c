// The main window: its form, the tx = rx switch, the forbidden-frequency handler, the
// commands that go through the queue, the log toggle and the busy lock.

#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPaintEngine>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>
#include <memory>

#include "dbug_form.h"
#include "line_edit_int.h"
#include "param_editors.h"
#include <QTextBrowser>
#include "form_help.h"
#include "freq_edit.h"
#include "shell_fixture.h"
#include "startup_hook.h"
#include "table_delegates.h"
#include "text_fit.h"
#include "tfm_message.h"

namespace {

QStringList header_texts(QTableWidget *t)
{
    QStringList texts;
    for (int c = 0; c < t->columnCount(); ++c)
        texts << t->horizontalHeaderItem(c)->text();
    return texts;
}

QStringList column_texts(QTableWidget *t, int column)
{
    QStringList texts;
    for (int r = 0; r < t->rowCount(); ++r)
        texts << (t->item(r, column) ? t->item(r, column)->text() : QStringLiteral("<none>"));
    return texts;
}

QString cell_text(int r, int c) { return QStringLiteral("r%1c%2").arg(r).arg(c); }

// Records every text Qt draws on it, as drawn: where the room was short, the style has
// already elided it ("…"). No measuring of ours is involved.
class DrawnTexts : public QPaintDevice {
public:
    explicit DrawnTexts(const QWidget *like) : like_(like) {}
    QPaintEngine *paintEngine() const override { return &engine_; }
    QStringList texts() const { return engine_.texts; }

protected:
    int metric(PaintDeviceMetric m) const override
    {
        // The widget's own metrics, so that text is laid out as on the screen.
        switch (m) {
        case PdmWidth:
        case PdmHeight: return 4096;
        case PdmWidthMM:
        case PdmHeightMM: return 4096 * 254 / (10 * like_->logicalDpiX());
        case PdmDpiX: return like_->logicalDpiX();
        case PdmDpiY: return like_->logicalDpiY();
        case PdmPhysicalDpiX: return like_->physicalDpiX();
        case PdmPhysicalDpiY: return like_->physicalDpiY();
        case PdmDepth: return like_->depth();
        case PdmNumColors: return like_->colorCount();
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return int(devicePixelRatioFScale());
        }
        return 0;
    }

private:
    struct Engine : QPaintEngine {
        Engine() : QPaintEngine(QPaintEngine::AllFeatures) {}
        bool begin(QPaintDevice *) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState &) override {}
        void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override {}
        // The defaults of the two forms call each other.
        void drawPolygon(const QPointF *, int, PolygonDrawMode) override {}
        void drawTextItem(const QPointF &, const QTextItem &item) override { texts << item.text(); }
        Type type() const override { return QPaintEngine::User; }
        QStringList texts;
    };
    const QWidget *like_;
    mutable Engine engine_;
};

// Everything drawn, run after run, without blanks: a text mixing scripts arrives in several
// items, and a blank between them may be no item at all.
QString drawn_text(QWidget *w)
{
    DrawnTexts device(w);
    w->render(&device);
    return device.texts().join(QString()).remove(QLatin1Char(' '));
}

bool drawn_whole(const QString &drawn, QString text)
{
    return drawn.contains(text.remove(QLatin1Char(' ')));
}

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void widgets_data();
    void widgets();
    void table_layout();
    void menus();
    void start_state();
    void null_station_gives_com1();

    void ravno_switch_moves_texts();
    void ravno_switch_keeps_items_and_replaces_delegate();
    void rebuild_and_clear_form();
    void rebuild_closes_open_cell_editor();

    void zapret_data();
    void zapret();
    void zapret_unchecked_changes_nothing();
    void zapret_handler_inside_held_lock_does_not_wait();

    void commands_data();
    void commands();
    void two_quick_clicks_run_one_after_the_other();
    void unknown_code_does_nothing();

    void log_action_toggles_dialog();
    void strip_feeds_log_dialog();
    void help_action_shows_help_window();
    void splash_closed_once_at_end_of_construction();
    void every_text_shows_whole_data();
    void every_text_shows_whole();

private:
    RecordingSleeper sleeper_;
    STATION_CONFIG station_;
    std::unique_ptr<RecordingWindow> w_;
};

void TestMainWindow::init()
{
    sleeper_.pauses.clear();
    set_default_sleeper(&sleeper_);
    station_ = test_station();
    w_ = std::make_unique<RecordingWindow>(&station_);
}

void TestMainWindow::cleanup()
{
    w_.reset();
    set_default_sleeper(nullptr);
}

void TestMainWindow::widgets_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("class_name");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");

    auto row = [](const char *name, const char *cls, const char *parent, QRect g,
                  const QString &text) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(cls)
                            << QString::fromLatin1(parent) << g << text;
    };
    const char *win = "";
    row("gb_ctcss_prm_prd", "QGroupBox", win, QRect(490, 150, 201, 71),
        QStringLiteral("Частота вызывного CTCSS тона, Гц"));
    row("ed_ctcss_prm", "LineEdit_ctcss_prm", "gb_ctcss_prm_prd", QRect(80, 20, 61, 20), "");
    row("l_ctcss_prd", "QLabel", "gb_ctcss_prm_prd", QRect(10, 47, 61, 16),
        QStringLiteral("Передача"));
    row("l_ctcss_prm", "QLabel", "gb_ctcss_prm_prd", QRect(10, 22, 61, 16),
        QStringLiteral("Прием"));
    row("ed_ctcss_prd", "LineEdit_ctcss_prd", "gb_ctcss_prm_prd", QRect(80, 45, 61, 20), "");
    row("gb_vt_prm_prd", "QGroupBox", win, QRect(490, 230, 201, 71),
        QStringLiteral("Частота вызывного тона, Гц"));
    row("ed_vt_prd", "LineEdit_vt_prm", "gb_vt_prm_prd", QRect(80, 45, 92, 20), "");
    row("ed_vt_prm", "LineEdit_vt_prm", "gb_vt_prm_prd", QRect(80, 20, 92, 20), "");
    row("l_vt_prd", "QLabel", "gb_vt_prm_prd", QRect(10, 47, 61, 16), QStringLiteral("Передача"));
    row("l_vt_prm", "QLabel", "gb_vt_prm_prd", QRect(10, 21, 61, 16), QStringLiteral("Прием"));
    row("gb_ur_gromk", "QGroupBox", win, QRect(490, 310, 121, 51),
        QStringLiteral("Уровень громкости"));
    row("ed_ur_gromk", "LineEdit_ur_gromk", "gb_ur_gromk", QRect(10, 20, 51, 20), "");
    row("gb_microphone", "QGroupBox", win, QRect(620, 310, 121, 51),
        QStringLiteral("Чувст. микр. входа "));
    row("ed_microphone", "LINE_EDIT_INT", "gb_microphone", QRect(10, 20, 61, 20),
        QStringLiteral("24"));
    row("gb_n_rab_kanala", "QGroupBox", win, QRect(490, 90, 141, 51),
        QStringLiteral("Номер рабочего канала"));
    row("ed_n_rab_kanala", "LineEdit_n_rab_kanala", "gb_n_rab_kanala", QRect(10, 20, 51, 20), "");
    row("cb_f_prd_ravno_f_prm", "QCheckBox", win, QRect(490, 60, 241, 21),
        QStringLiteral("Частота передачи равна частоте приема"));
    row("cb_zapret", "QCheckBox", win, QRect(640, -105, 241, 21), QStringLiteral("Запрет частот"));
    row("b_load_conf", "QPushButton", win, QRect(20, 30, 131, 24),
        QStringLiteral("Считать из файла"));
    row("b_save_conf", "QPushButton", win, QRect(170, 30, 131, 24),
        QStringLiteral("Сохранить в файл"));
    row("b_prn_conf", "QPushButton", win, QRect(320, 30, 141, 24),
        QStringLiteral("Вывести на печать"));
    row("gb_radiost_conf", "QGroupBox", win, QRect(20, 380, 255, 51),
        QStringLiteral("Радиостанция  (Конфигурация)"));
    row("b_load_conf_rs", "QPushButton", "gb_radiost_conf", QRect(5, 20, 120, 24),
        QStringLiteral("Считать параметры"));
    row("b_send_program_to_rs", "QPushButton", "gb_radiost_conf", QRect(130, 20, 120, 24),
        QStringLiteral("Программирование"));
    row("kanals", "QTableWidget", win, QRect(20, 60, 460, 312), "");
    row("log_strip", "TfmMessage2", win, QRect(0, 435, 760, 30), "");
}

void TestMainWindow::widgets()
{
    QFETCH(QString, name);
    QFETCH(QString, class_name);
    QFETCH(QString, parent);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);

    QWidget *widget = w_->findChild<QWidget *>(name);
    QVERIFY2(widget, qPrintable(name));
    QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), class_name);
    QWidget *expected_parent = parent.isEmpty() ? static_cast<QWidget *>(w_.get())
                                                : w_->findChild<QWidget *>(parent);
    QCOMPARE(widget->parentWidget(), expected_parent);
    QCOMPARE(widget->geometry(), geometry);
    if (auto *box = qobject_cast<QGroupBox *>(widget))
        QCOMPARE(box->title(), text);
    else if (auto *label = qobject_cast<QLabel *>(widget))
        QCOMPARE(label->text(), text);
    else if (auto *button = qobject_cast<QAbstractButton *>(widget))
        QCOMPARE(button->text(), text);
    else if (auto *edit = qobject_cast<QLineEdit *>(widget))
        QCOMPARE(edit->text(), text);
}

void TestMainWindow::table_layout()
{
    QTableWidget *t = w_->kanals;
    QCOMPARE(t->rowCount(), 9);
    QCOMPARE(t->columnCount(), 4);
    QCOMPARE(
        header_texts(t),
        QStringList({QStringLiteral("Частота \n приема"), QStringLiteral("Частота \n передачи"),
                     QStringLiteral("Устройство \n кодирующее"), QStringLiteral("Уровень ПШ")}));
    QStringList rows;
    for (int r = 0; r < 9; ++r)
        rows << t->verticalHeaderItem(r)->text();
    QCOMPARE(rows, QStringList({"Канал 1", "Канал 2", "Канал 3", "Канал 4", "Канал 5", "Канал 6",
                                "Канал 7", "Канал 8", "Канал R"}));
    QCOMPARE(t->editTriggers(), QAbstractItemView::CurrentChanged | QAbstractItemView::DoubleClicked
                                    | QAbstractItemView::SelectedClicked);
    QVERIFY(qobject_cast<ComboBoxDelegate *>(t->itemDelegate()));
    auto *d = qobject_cast<ChannelDelegateBase *>(t->itemDelegate());
    QCOMPARE(d->band_count(), 1);
    QCOMPARE(d->band_table(), w_->station.bands);
    QCOMPARE(d->band_code(), uint8_t(1));
    QCOMPARE(d->flag_zapret(), uint8_t(0));
    for (int r = 0; r < 9; ++r)
        for (int c = 0; c < 4; ++c)
            QCOMPARE(t->item(r, c), w_->cell_item(r, c));
}

void TestMainWindow::menus()
{
    QMenuBar *bar = w_->findChild<QMenuBar *>(QStringLiteral("menuBar"));
    QVERIFY(bar);
    QCOMPARE(w_->menuBar(), bar);
    QStringList top;
    for (QAction *a : bar->actions())
        top << a->text();
    QCOMPARE(top, QStringList({QStringLiteral("Файл"), QStringLiteral("Радиостанция"),
                               QStringLiteral("Лог"), QStringLiteral("О программе")}));
    QCOMPARE(bar->actions().at(2), w_->act_debug_form_show);

    auto entries = [](QMenu *m) {
        QStringList names;
        for (QAction *a : m->actions())
            names << (a->isSeparator() ? QStringLiteral("-")
                                       : a->objectName() + QLatin1Char('=') + a->text());
        return names;
    };
    QCOMPARE(w_->findChild<QMenu *>(QStringLiteral("menu")), w_->menu);
    QCOMPARE(entries(w_->menu),
             QStringList({QStringLiteral("act_load_conf=Считать из файла"),
                          QStringLiteral("act_save_conf=Сохранить в файл"),
                          QStringLiteral("act_prn_conf=Вывести на печать"), QStringLiteral("-"),
                          QStringLiteral("act_exit_from_program=Выход")}));
    QCOMPARE(w_->menu->title(), QStringLiteral("Файл"));
    QCOMPARE(entries(w_->menu_2),
             QStringList({QStringLiteral("act_load_conf_rs=Считать параметры"),
                          QStringLiteral("act_send_program_to_rs=Программирование")}));
    QCOMPARE(w_->menu_2->objectName(), QStringLiteral("menu_2"));
    QCOMPARE(entries(w_->menu_6), QStringList({QStringLiteral("act_help=Справка")}));
    QCOMPARE(w_->menu_6->objectName(), QStringLiteral("menu_6"));
    QCOMPARE(w_->act_debug_form_show->objectName(), QStringLiteral("act_debug_form_show"));
}

void TestMainWindow::start_state()
{
    QCOMPARE(w_->windowTitle(), QStringLiteral("Программатор Торвел-K40"));
    QCOMPARE(w_->geometry(), QRect(0, 0, 760, 465));
    QVERIFY(!w_->windowIcon().isNull());
    QCOMPARE(w_->log_dialog->windowTitle(), QStringLiteral("Лог Торвел-K40"));
    QVERIFY(!w_->log_dialog->isVisible());
    QCOMPARE(w_->log_strip->log_target(), w_->log_dialog);
    QVERIFY(!w_->log_strip->isHidden());
    QCOMPARE(w_->flag_conf_read, uint8_t(0));
    QCOMPARE(w_->flag_zapret, uint8_t(0));
    QCOMPARE(w_->flag_f_prd_ravno_f_prm, uint8_t(0));
    QCOMPARE(w_->diapazon_code, uint8_t(1));
    QVERIFY(!w_->cb_zapret->isEnabled());
    QVERIFY(!w_->cb_zapret->isChecked());
    QVERIFY(!w_->cb_f_prd_ravno_f_prm->isChecked());
    for (int i = 0; i < RS_IMAGE_BUFFER_SIZE; ++i)
        QCOMPARE(w_->image.bytes[i], uint8_t(0));
    QCOMPARE(w_->com_port_id, -1);  // the test port does not exist
    QCOMPARE(QByteArray(w_->station.Com_Port_Name), QByteArray(station_.Com_Port_Name));
    QVERIFY(!sleeper_.pauses.isEmpty());
    QCOMPARE(sleeper_.pauses.first(), 1000);  // before the port is opened
    QVERIFY(w_->op_queue);
    QCOMPARE(w_->op_queue->interval(), 50);
    QVERIFY(!w_->form_lock().held_by_current_thread());
}

void TestMainWindow::null_station_gives_com1()
{
    PROGRAMMATOR_K40 w(nullptr, nullptr);
    QCOMPARE(QByteArray(w.station.Com_Port_Name), QByteArray("COM1"));
    QCOMPARE(w.station.Com_Port_BaudRate, 9600);
    QCOMPARE(w.station.band_count, 0);
    QCOMPARE(w.station.tun_count, 0);
}

void TestMainWindow::ravno_switch_moves_texts()
{
    QTableWidget *t = w_->kanals;
    for (int r = 0; r < 9; ++r)
        for (int c = 0; c < 4; ++c)
            t->item(r, c)->setText(cell_text(r, c));

    w_->cb_f_prd_ravno_f_prm->setChecked(true);
    QCOMPARE(w_->flag_f_prd_ravno_f_prm, uint8_t(1));
    QCOMPARE(t->columnCount(), 3);
    QCOMPARE(t->rowCount(), 9);
    QCOMPARE(header_texts(t), QStringList({QStringLiteral("Частота \nП/П"),
                                           QStringLiteral("Устройство \n кодирующее"),
                                           QStringLiteral("Уровень ПШ")}));
    QCOMPARE(t->verticalHeaderItem(8)->text(), QStringLiteral("Канал R"));
    for (int r = 0; r < 9; ++r) {
        QCOMPARE(t->item(r, 0)->text(), cell_text(r, 0));
        QCOMPARE(t->item(r, 1)->text(), cell_text(r, 2));
        QCOMPARE(t->item(r, 2)->text(), cell_text(r, 3));
    }
    QCOMPARE(t->geometry(), QRect(20, 60, 460, 312));

    w_->cb_f_prd_ravno_f_prm->setChecked(false);
    QCOMPARE(w_->flag_f_prd_ravno_f_prm, uint8_t(0));
    QCOMPARE(t->columnCount(), 4);
    QCOMPARE(header_texts(t).first(), QStringLiteral("Частота \n приема"));
    for (int r = 0; r < 9; ++r) {
        QCOMPARE(t->item(r, 0)->text(), cell_text(r, 0));
        QCOMPARE(t->item(r, 1)->text(), cell_text(r, 0));  // the common frequency
        QCOMPARE(t->item(r, 2)->text(), cell_text(r, 2));
        QCOMPARE(t->item(r, 3)->text(), cell_text(r, 3));
    }
}

void TestMainWindow::ravno_switch_keeps_items_and_replaces_delegate()
{
    QTableWidget *t = w_->kanals;
    for (int i = 0; i < 25; ++i) {
        QPointer<QAbstractItemDelegate> old = t->itemDelegate();
        const bool on = (i % 2) == 0;
        w_->cb_f_prd_ravno_f_prm->setChecked(on);
        QVERIFY2(old.isNull(), "the replaced delegate is deleted");
        QCOMPARE(t->itemDelegate(), w_->current_delegate());
        if (on)
            QVERIFY(qobject_cast<ComboBoxDelegate_ravno *>(t->itemDelegate()));
        else
            QVERIFY(qobject_cast<ComboBoxDelegate *>(t->itemDelegate()));
        QSet<QTableWidgetItem *> seen;
        for (int r = 0; r < 9; ++r) {
            for (int c = 0; c < t->columnCount(); ++c) {
                QCOMPARE(t->item(r, c), w_->cell_item(r, c));
                QVERIFY(!seen.contains(t->item(r, c)));
                seen.insert(t->item(r, c));
            }
        }
        // Items of a dropped column are out of the table, alive and free.
        if (on)
            for (int r = 0; r < 9; ++r)
                QCOMPARE(w_->cell_item(r, 3)->tableWidget(), nullptr);
    }
}

void TestMainWindow::rebuild_and_clear_form()
{
    QTableWidget *t = w_->kanals;
    for (int r = 0; r < 9; ++r)
        for (int c = 0; c < 4; ++c)
            t->item(r, c)->setText(cell_text(r, c));
    w_->ed_ctcss_prm->setText(QStringLiteral("88.5"));
    w_->ed_n_rab_kanala->setText(QStringLiteral("3"));

    QPointer<QAbstractItemDelegate> old = t->itemDelegate();
    w_->diapazon_code = 2;
    w_->rebuild_table();
    QVERIFY(old.isNull());
    QCOMPARE(qobject_cast<ChannelDelegateBase *>(t->itemDelegate())->band_code(), uint8_t(2));
    for (int r = 0; r < 9; ++r)
        for (int c = 0; c < 4; ++c) {
            QCOMPARE(t->item(r, c), w_->cell_item(r, c));
            QCOMPARE(t->item(r, c)->text(), cell_text(r, c));
        }

    w_->clear_form();
    for (int c = 0; c < 4; ++c)
        QCOMPARE(column_texts(t, c), QStringList(9, QString()));
    for (QLineEdit *ed : std::initializer_list<QLineEdit *>{
             w_->ed_ctcss_prm, w_->ed_ctcss_prd, w_->ed_vt_prd, w_->ed_vt_prm, w_->ed_ur_gromk,
             w_->ed_microphone, w_->ed_n_rab_kanala})
        QCOMPARE(ed->text(), QString());
}

void TestMainWindow::rebuild_closes_open_cell_editor()
{
    QTableWidget *t = w_->kanals;
    w_->show();
    QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
    t->setCurrentCell(0, 2);  // opens the coder list
    auto *combo = t->findChild<ComboBoxKoder *>();
    QVERIFY(combo);
    combo->setCurrentIndex(2);
    emit combo->activated(2);  // as a choice from the list does
    QCOMPARE(t->item(0, 2)->text(), QStringLiteral("Ключ 2"));

    w_->rebuild_table();
    QCOMPARE(t->item(0, 2)->text(), QStringLiteral("Ключ 2"));
    QTest::qWait(0);  // closed editors are deleted later
    QVERIFY2(!t->findChild<ComboBoxKoder *>(), "no editor outlives its delegate");

    // A frequency still being typed is checked by the forbidden-frequency handler too.
    t->setCurrentCell(1, 0);
    auto *freq = t->findChild<LineEditFreq *>();
    QVERIFY(freq);
    freq->setText(QStringLiteral("148600"));
    w_->cb_zapret->setChecked(true);
    QCOMPARE(t->item(1, 0)->text(), QString());
}

void TestMainWindow::zapret_data()
{
    QTest::addColumn<bool>("ravno");
    QTest::addColumn<QStringList>("rx_before");
    QTest::addColumn<QStringList>("tx_before");
    QTest::addColumn<QStringList>("rx_after");
    QTest::addColumn<QStringList>("tx_after");

    const QStringList rx{" 148.600", "146500",  "",         "abc",    " 171.250",
                         " 160.000", "148.625", " 150.000", "1234567"};
    const QStringList tx{" 148.600", " 171.275", " 146.525", "", " 160.000",
                         "148700",   " 150.000", "150000",   "0"};
    const QStringList rx_after{"", " 146.500", "", "", "", " 160.000", "", " 150.000", "1 234.567"};
    const QStringList tx_after{"", "", " 146.525", "", " 160.000", "", " 150.000", " 150.000", ""};
    QTest::newRow("normal mode") << false << rx << tx << rx_after << tx_after;
    // In tx = rx mode column 1 holds the coder and is left alone.
    const QStringList coder(9, QStringLiteral("Ключ 1"));
    QTest::newRow("tx = rx mode") << true << rx << coder << rx_after << coder;
}

void TestMainWindow::zapret()
{
    QFETCH(bool, ravno);
    QFETCH(QStringList, rx_before);
    QFETCH(QStringList, tx_before);
    QFETCH(QStringList, rx_after);
    QFETCH(QStringList, tx_after);

    w_->cb_f_prd_ravno_f_prm->setChecked(ravno);
    QTableWidget *t = w_->kanals;
    for (int r = 0; r < 9; ++r) {
        t->item(r, 0)->setText(rx_before[r]);
        t->item(r, 1)->setText(tx_before[r]);
    }
    QPointer<QAbstractItemDelegate> old = t->itemDelegate();
    w_->cb_zapret->setChecked(true);
    QCOMPARE(w_->flag_zapret, uint8_t(1));
    QCOMPARE(column_texts(t, 0), rx_after);
    QCOMPARE(column_texts(t, 1), tx_after);
    QVERIFY(old.isNull());
    auto *d = qobject_cast<ChannelDelegateBase *>(t->itemDelegate());
    QCOMPARE(d->flag_zapret(), uint8_t(1));
    QCOMPARE(t->columnCount(), ravno ? 3 : 4);
    QVERIFY(!w_->form_lock().held_by_current_thread());
}

void TestMainWindow::zapret_unchecked_changes_nothing()
{
    w_->cb_zapret->setChecked(true);
    QTableWidget *t = w_->kanals;
    t->item(0, 0)->setText(QStringLiteral("148600"));
    t->item(1, 1)->setText(QStringLiteral("146500"));
    w_->cb_zapret->setChecked(false);
    QCOMPARE(w_->flag_zapret, uint8_t(0));
    QCOMPARE(t->item(0, 0)->text(), QStringLiteral("148600"));
    QCOMPARE(t->item(1, 1)->text(), QStringLiteral("146500"));
    QCOMPARE(qobject_cast<ChannelDelegateBase *>(t->itemDelegate())->flag_zapret(), uint8_t(0));
}

void TestMainWindow::zapret_handler_inside_held_lock_does_not_wait()
{
    // As when a file load, holding the lock, fills the form and sets cb_zapret.
    w_->kanals->item(0, 0)->setText(QStringLiteral(" 148.600"));
    QElapsedTimer clock;
    clock.start();
    w_->lock_form();
    w_->cb_zapret->setChecked(true);
    QVERIFY(w_->form_lock().held_by_current_thread());
    QCOMPARE(w_->form_lock().depth(), 1);
    w_->unlock_form();
    QVERIFY2(clock.elapsed() < 1000, "the handler ran without waiting for the lock");
    QCOMPARE(w_->kanals->item(0, 0)->text(), QString());
    QCOMPARE(w_->flag_zapret, uint8_t(1));
    QCOMPARE(w_->form_lock().depth(), 0);
}

void TestMainWindow::commands_data()
{
    QTest::addColumn<QString>("sender");
    QTest::addColumn<QString>("operation");
    const char *rows[][2] = {
        {"b_load_conf", "read_rs_conf_from_file"},
        {"act_load_conf", "read_rs_conf_from_file"},
        {"b_save_conf", "write_rs_conf_to_file"},
        {"act_save_conf", "write_rs_conf_to_file"},
        {"b_prn_conf", "prn_conf_from_form"},
        {"act_prn_conf", "prn_conf_from_form"},
        {"b_send_program_to_rs", "send_program_to_rs"},
        {"act_send_program_to_rs", "send_program_to_rs"},
        {"b_load_conf_rs", "load_conf_from_rs"},
        {"act_load_conf_rs", "load_conf_from_rs"},
    };
    for (const auto &r : rows)
        QTest::newRow(r[0]) << QString::fromLatin1(r[0]) << QString::fromLatin1(r[1]);
}

void TestMainWindow::commands()
{
    QFETCH(QString, sender);
    QFETCH(QString, operation);
    bool ran_inside_slot = false;
    if (auto *b = w_->findChild<QPushButton *>(sender)) {
        b->click();
    } else {
        auto *a = w_->findChild<QAction *>(sender);
        QVERIFY(a);
        a->trigger();
    }
    // Nothing runs inside the slot: the code waits in the queue for the next tick.
    ran_inside_slot = !w_->ran.isEmpty();
    QVERIFY(!ran_inside_slot);
    QCOMPARE(w_->op_queue->pending(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(w_->ran.size(), 2, 1000);
    QCOMPARE(w_->ran, QStringList({operation + ":start", operation + ":end"}));
    QCOMPARE(w_->op_queue->pending(), 0);
}

void TestMainWindow::two_quick_clicks_run_one_after_the_other()
{
    // Each run spins its own event loop for longer than several ticks, as a modal dialog
    // would; the second click must still wait for the first run to end.
    w_->during = [](const QString &) { QTest::qWait(150); };
    w_->b_send_program_to_rs->click();
    w_->b_send_program_to_rs->click();
    QTRY_COMPARE_WITH_TIMEOUT(w_->ran.size(), 4, 3000);
    QCOMPARE(w_->ran, QStringList({"send_program_to_rs:start", "send_program_to_rs:end",
                                   "send_program_to_rs:start", "send_program_to_rs:end"}));
}

void TestMainWindow::unknown_code_does_nothing()
{
    w_->run_operation(1999);
    w_->run_operation(2005);
    QVERIFY(w_->ran.isEmpty());
}

void TestMainWindow::log_action_toggles_dialog()
{
    QVERIFY(!w_->log_dialog->isVisible());
    w_->act_debug_form_show->trigger();
    QVERIFY(w_->log_dialog->isVisible());
    w_->act_debug_form_show->trigger();
    QVERIFY(!w_->log_dialog->isVisible());
    w_->act_debug_form_show->trigger();
    QVERIFY(w_->log_dialog->isVisible());
}

void TestMainWindow::strip_feeds_log_dialog()
{
    const int before = w_->log_dialog->line_count();
    w_->reporter().post(QStringLiteral("проверка"));
    QCOMPARE(w_->log_strip->edit()->text(), QStringLiteral("проверка"));
    QCOMPARE(w_->log_dialog->line_count(), before + 1);
    QVERIFY(w_->log_dialog->browser()->toPlainText().endsWith(QStringLiteral("проверка\n")));
}

void TestMainWindow::help_action_shows_help_window()
{
    QVERIFY(!w_->help_window->isVisible());
    w_->act_help->trigger();
    QVERIFY(w_->help_window->isVisible());
}

void TestMainWindow::splash_closed_once_at_end_of_construction()
{
    int calls = 0;
    bool port_opened_before = false;
    set_startup_splash_closer([&] {
        ++calls;
        port_opened_before = sleeper_.pauses.contains(1000);
    });
    sleeper_.pauses.clear();
    {
        PROGRAMMATOR_K40 w(nullptr, &station_);
        QCOMPARE(calls, 1);
        QVERIFY(port_opened_before);
    }
    set_startup_splash_closer(nullptr);
    QCOMPARE(calls, 1);
}

void TestMainWindow::every_text_shows_whole_data()
{
    QTest::addColumn<QString>("family");  // empty: the platform's default
    QTest::addColumn<bool>("ravno");
    for (const char *family : {"", "DejaVu Sans", "DejaVu Serif", "DejaVu Sans Mono"}) {
        const QString name = *family ? QString::fromLatin1(family) : QStringLiteral("default");
        QTest::newRow(qPrintable(name + QStringLiteral(", four columns")))
            << QString::fromLatin1(family) << false;
        QTest::newRow(qPrintable(name + QStringLiteral(", tx = rx")))
            << QString::fromLatin1(family) << true;
    }
}

// With the desktop's fonts at the window's fixed geometry, no label, title, check box,
// button or column header may lose letters.
void TestMainWindow::every_text_shows_whole()
{
    QFETCH(QString, family);
    QFETCH(bool, ravno);
    const QFont app_font = QApplication::font();
    const auto restore = qScopeGuard([&] {
        w_.reset();
        QApplication::setFont(app_font);
    });
    if (!family.isEmpty()) {
        w_.reset();
        QApplication::setFont(QFont(family, 11));  // a desktop's usual size
        w_ = std::make_unique<RecordingWindow>(&station_);
        QCOMPARE(QFontInfo(w_->findChild<QWidget *>("gb_ur_gromk")->font()).family(), family);
    }
    w_->show();
    QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
    w_->findChild<QCheckBox *>("cb_f_prd_ravno_f_prm")->setChecked(ravno);

    QList<QWidget *> widgets = w_->findChildren<QWidget *>();
    widgets << w_->log_dialog->findChildren<QWidget *>()
            << w_->help_window->findChildren<QWidget *>();
    int checked = 0;
    for (QWidget *w : widgets) {
        const TextRoom t = text_room(w);
        if (t.text.isEmpty())
            continue;
        ++checked;
        QVERIFY2(t.need <= t.have, qPrintable(QStringLiteral("%1 \"%2\" needs %3 px, has %4")
                                                  .arg(w->objectName(), t.text)
                                                  .arg(t.need)
                                                  .arg(t.have)));
    }
    QVERIFY(checked >= 15);

    QTableWidget *t = w_->findChild<QTableWidget *>("kanals");
    QHeaderView *h = t->horizontalHeader();
    const QFontMetrics fm(h->font());
    const int margin = 2 * h->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, h);
    for (int c = 0; c < t->columnCount(); ++c) {
        const QStringList lines = t->horizontalHeaderItem(c)->text().split('\n');
        for (const QString &line : lines)
            QVERIFY2(fm.horizontalAdvance(line) + margin <= h->sectionSize(c), qPrintable(line));
        QVERIFY(int(lines.size()) * fm.height() <= h->height());
    }

    // Every choice of every cell editor, in the cell and in its open editor, measured in
    // the font it is drawn in against the room the style gives it.
    const int koder_column = ravno ? 1 : 2, ph_column = koder_column + 1;
    const QStringList choices[] = {ComboBoxKoder::item_texts(), ComboBoxPH::item_texts()};
    for (int k = 0; k < 2; ++k) {
        const int c = k == 0 ? koder_column : ph_column;
        QTableWidgetItem *item = t->item(0, c);
        QVERIFY(item);
        const int cell_margin = 2 * (t->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
        for (const QString &text : choices[k])
            QVERIFY2(QFontMetrics(item->font()).horizontalAdvance(text) + cell_margin
                         <= t->columnWidth(c),
                     qPrintable(
                         QStringLiteral("cell \"%1\" in %2 px").arg(text).arg(t->columnWidth(c))));
        // The same, as the cell draws it.
        const QString kept = item->text();
        for (const QString &text : choices[k]) {
            item->setText(text);
            const QString drawn = drawn_text(t->viewport());
            QVERIFY2(drawn_whole(drawn, text),
                     qPrintable(QStringLiteral("cell \"%1\" drawn as \"%2\"").arg(text, drawn)));
        }
        item->setText(kept);
        t->openPersistentEditor(item);
        auto *combo = qobject_cast<QComboBox *>(t->indexWidget(t->model()->index(0, c)));
        QVERIFY(combo);
        for (int i = 0; i < combo->count(); ++i) {
            combo->setCurrentIndex(i);
            const QString drawn = drawn_text(combo);
            QVERIFY2(drawn_whole(drawn, combo->currentText()),
                     qPrintable(QStringLiteral("editor \"%1\" drawn as \"%2\"")
                                    .arg(combo->currentText(), drawn)));
            QStyleOptionComboBox opt;
            opt.initFrom(combo);
            opt.rect = combo->rect();
            opt.editable = combo->isEditable();
            opt.currentText = combo->currentText();
            const QRect field = combo->style()->subControlRect(QStyle::CC_ComboBox, &opt,
                                                               QStyle::SC_ComboBoxEditField, combo);
            const int need = combo->fontMetrics().horizontalAdvance(combo->currentText());
            QVERIFY2(need <= field.width(),
                     qPrintable(QStringLiteral("editor \"%1\" needs %2 px, has %3")
                                    .arg(combo->currentText())
                                    .arg(need)
                                    .arg(field.width())));
        }
        t->closePersistentEditor(item);
    }
}

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
