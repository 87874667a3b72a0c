// The station-wide parameter editors under real key events.

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QtTest>
#include <memory>

#include "key_script.h"
#include "param_editors.h"

namespace {

std::unique_ptr<QLineEdit> make_editor(const QString &kind)
{
    if (kind == "ctcss_prm")
        return std::make_unique<LineEdit_ctcss_prm>();
    if (kind == "ctcss_prd")
        return std::make_unique<LineEdit_ctcss_prd>();
    if (kind == "vt")
        return std::make_unique<LineEdit_vt_prm>();
    if (kind == "ur_gromk")
        return std::make_unique<LineEdit_ur_gromk>();
    return std::make_unique<LineEdit_n_rab_kanala>();
}

}  // namespace

class TestParamEditors : public QObject {
    Q_OBJECT

private slots:
    void keys_data();
    void keys();
    void backspace_ignores_the_cursor();
    void ctcss_prm_every_step_moves_data();
    void ctcss_prm_every_step_moves();
    void call_tone_menu();
    void leaving_the_field_checks_data();
    void leaving_the_field_checks();
};

// Each row: editor, text before, keys, text after.
void TestParamEditors::keys_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("after");

    QTest::newRow("volume plus on empty") << "ur_gromk"
                                          << ""
                                          << "+"
                                          << "18";
    QTest::newRow("volume plus at top") << "ur_gromk"
                                        << "26"
                                        << "+"
                                        << "26";
    QTest::newRow("volume end") << "ur_gromk"
                                << ""
                                << "End"
                                << "26";
    QTest::newRow("volume home") << "ur_gromk"
                                 << "22"
                                 << "Home"
                                 << "18";
    QTest::newRow("volume return on 30") << "ur_gromk"
                                         << "30"
                                         << "Ret"
                                         << "18";
    QTest::newRow("volume enter in range") << "ur_gromk"
                                           << "21"
                                           << "Enter"
                                           << "21";
    QTest::newRow("volume minus on empty") << "ur_gromk"
                                           << ""
                                           << "-"
                                           << "18";
    QTest::newRow("volume down steps up") << "ur_gromk"
                                          << "20"
                                          << "Down"
                                          << "21";
    QTest::newRow("volume left steps down") << "ur_gromk"
                                            << "20"
                                            << "Left"
                                            << "19";
    QTest::newRow("volume page keys") << "ur_gromk"
                                      << "20"
                                      << "PgDn PgDn PgUp"
                                      << "21";
    QTest::newRow("volume digits append") << "ur_gromk"
                                          << "2"
                                          << "5"
                                          << "25";
    QTest::newRow("volume point refused") << "ur_gromk"
                                          << "2"
                                          << "."
                                          << "2";
    QTest::newRow("volume letter on number") << "ur_gromk"
                                             << "20"
                                             << "a"
                                             << "20";
    QTest::newRow("volume letter on zero") << "ur_gromk"
                                           << "0"
                                           << "a"
                                           << "";
    QTest::newRow("volume delete") << "ur_gromk"
                                   << "20"
                                   << "Del"
                                   << "";
    QTest::newRow("volume long digits clamp") << "ur_gromk"
                                              << "99999999999"
                                              << "-"
                                              << "26";
    QTest::newRow("channel minus at 1") << "n_rab"
                                        << "1"
                                        << "-"
                                        << "1";
    QTest::newRow("channel plus at 8") << "n_rab"
                                       << "8"
                                       << "+"
                                       << "8";
    QTest::newRow("channel return on 9") << "n_rab"
                                         << "9"
                                         << "Ret"
                                         << "1";
    QTest::newRow("channel return on 0") << "n_rab"
                                         << "0"
                                         << "Ret"
                                         << "1";
    QTest::newRow("channel return on empty") << "n_rab"
                                             << ""
                                             << "Ret"
                                             << "1";
    QTest::newRow("channel end") << "n_rab"
                                 << "3"
                                 << "End"
                                 << "8";
    QTest::newRow("ctcss tx plus to the top") << "ctcss_prd"
                                              << "259.95"
                                              << "+"
                                              << "260.0";
    QTest::newRow("ctcss tx home") << "ctcss_prd"
                                   << "100"
                                   << "Home"
                                   << "65.0";
    QTest::newRow("ctcss tx end") << "ctcss_prd"
                                  << "100"
                                  << "End"
                                  << "260.0";
    QTest::newRow("ctcss tx letter redisplays") << "ctcss_prd"
                                                << "70"
                                                << "a"
                                                << "70.0";
    QTest::newRow("ctcss tx letter on empty") << "ctcss_prd"
                                              << ""
                                              << "a"
                                              << "";
    QTest::newRow("ctcss tx letter clamps") << "ctcss_prd"
                                            << "300"
                                            << "a"
                                            << "260.0";
    QTest::newRow("ctcss tx typed with point") << "ctcss_prd"
                                               << ""
                                               << "88.5"
                                               << "88.5";
    QTest::newRow("ctcss tx plus") << "ctcss_prd"
                                   << "88.5"
                                   << "+"
                                   << "88.6";
    QTest::newRow("ctcss tx minus at bottom") << "ctcss_prd"
                                              << "65.05"
                                              << "-"
                                              << "65.0";
    QTest::newRow("ctcss tx plus on empty") << "ctcss_prd"
                                            << ""
                                            << "+"
                                            << "65.0";
    QTest::newRow("ctcss tx return out of range") << "ctcss_prd"
                                                  << "300"
                                                  << "Ret"
                                                  << "65.0";
    QTest::newRow("ctcss tx return empty") << "ctcss_prd"
                                           << ""
                                           << "Ret"
                                           << "65.0";
    QTest::newRow("ctcss tx return keeps 67") << "ctcss_prd"
                                              << "67"
                                              << "Ret"
                                              << "67.0";
    QTest::newRow("ctcss rx home") << "ctcss_prm"
                                   << "100"
                                   << "Home"
                                   << "65.0";
    QTest::newRow("ctcss rx end") << "ctcss_prm"
                                  << "100"
                                  << "End"
                                  << "259.9";
    QTest::newRow("ctcss rx typed 67 and return") << "ctcss_prm"
                                                  << ""
                                                  << "67 Ret"
                                                  << "66.9";
    QTest::newRow("ctcss rx plus skips a repeat") << "ctcss_prm"
                                                  << "66.9"
                                                  << "+"
                                                  << "67.1";
    QTest::newRow("ctcss rx plus at the top") << "ctcss_prm"
                                              << "259.9"
                                              << "+"
                                              << "259.9";
    QTest::newRow("ctcss rx up passes 220.2") << "ctcss_prm"
                                              << "220.2"
                                              << "Up"
                                              << "219.8";
    QTest::newRow("ctcss rx plus passes 177.4") << "ctcss_prm"
                                                << "177.4"
                                                << "+"
                                                << "177.7";
    QTest::newRow("ctcss rx return on empty") << "ctcss_prm"
                                              << ""
                                              << "Ret"
                                              << "65.0";
    QTest::newRow("ctcss rx return on 0") << "ctcss_prm"
                                          << "0"
                                          << "Ret"
                                          << "65.0";
    QTest::newRow("ctcss rx return above") << "ctcss_prm"
                                           << "261"
                                           << "Ret"
                                           << "65.0";
    QTest::newRow("ctcss rx letter ignored") << "ctcss_prm"
                                             << "70"
                                             << "a"
                                             << "70";
    QTest::newRow("ctcss rx quantises 250.3") << "ctcss_prm"
                                              << "250.3"
                                              << "Ret"
                                              << "250.2";
    QTest::newRow("call tone 3000 caps") << "vt"
                                         << ""
                                         << "300"
                                         << "300";
    QTest::newRow("call tone fourth digit") << "vt"
                                            << ""
                                            << "3000"
                                            << "2150";
    QTest::newRow("call tone point redisplays") << "vt"
                                                << "1450"
                                                << "."
                                                << "1450";
    QTest::newRow("call tone point clamps") << "vt"
                                            << "14"
                                            << "."
                                            << "350";
    QTest::newRow("call tone plus") << "vt"
                                    << "1450"
                                    << "+"
                                    << "1460";
    QTest::newRow("call tone plus at top") << "vt"
                                           << "2150"
                                           << "+"
                                           << "2150";
    QTest::newRow("call tone minus at bottom") << "vt"
                                               << "355"
                                               << "-"
                                               << "350";
    QTest::newRow("call tone home") << "vt"
                                    << "1000"
                                    << "Home"
                                    << "350";
    QTest::newRow("call tone end") << "vt"
                                   << ""
                                   << "End"
                                   << "2150";
    QTest::newRow("call tone letter rounds") << "vt"
                                             << "1234"
                                             << "a"
                                             << "1230";
    QTest::newRow("call tone letter on empty") << "vt"
                                               << ""
                                               << "a"
                                               << "";
    QTest::newRow("call tone return rounds") << "vt"
                                             << "1455"
                                             << "Ret"
                                             << "1460";
    QTest::newRow("call tone return below") << "vt"
                                            << "300"
                                            << "Ret"
                                            << "350";
    QTest::newRow("call tone return empty") << "vt"
                                            << ""
                                            << "Ret"
                                            << "350";
    QTest::newRow("call tone plus on empty") << "vt"
                                             << ""
                                             << "+"
                                             << "350";
}

void TestParamEditors::keys()
{
    QFETCH(QString, kind);
    QFETCH(QString, before);
    QFETCH(QString, keys);
    QFETCH(QString, after);
    auto ed = make_editor(kind);
    QVERIFY(ed->text().isEmpty());
    ed->setText(before);
    run_key_script(ed.get(), keys);
    QCOMPARE(ed->text(), after);
}

void TestParamEditors::backspace_ignores_the_cursor()
{
    for (const QString kind : {"ctcss_prm", "ctcss_prd", "vt", "ur_gromk", "n_rab"}) {
        auto ed = make_editor(kind);
        ed->setText("1234");
        ed->setCursorPosition(1);
        run_key_script(ed.get(), "Bsp");
        QCOMPARE(ed->text(), QString("123"));
        ed->setText("");
        run_key_script(ed.get(), "Bsp");
        QCOMPARE(ed->text(), QString(""));
    }
}

void TestParamEditors::ctcss_prm_every_step_moves_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("limit");
    QTest::newRow("upward from the bottom") << "65.0"
                                            << "+"
                                            << "259.9";
    QTest::newRow("downward from the top") << "259.9"
                                           << "Up"
                                           << "65.0";
}

// Every press moves the shown, quantised tone towards the limit until it is there, also
// where the detector's tones are not monotonic (around 177.4 and 220.2 Hz).
void TestParamEditors::ctcss_prm_every_step_moves()
{
    QFETCH(QString, start);
    QFETCH(QString, key);
    QFETCH(QString, limit);
    LineEdit_ctcss_prm ed;
    ed.setText(start);
    int presses = 0;
    while (ed.text() != limit) {
        const double before = ed.text().toDouble();
        run_key_script(&ed, key);
        const double after = ed.text().toDouble();
        QVERIFY2(key == "+" ? after > before : after < before,
                 qPrintable(QString("%1 -> %2").arg(before).arg(after)));
        QVERIFY(++presses < 2000);
    }
    QVERIFY(presses > 100);
}

void TestParamEditors::call_tone_menu()
{
    LineEdit_vt_prm ed;
    auto *button = ed.findChild<QPushButton *>("freq_selected");
    QVERIFY(button);
    QCOMPARE(button->text(), QStringLiteral("Выбор"));
    QCOMPARE(button->geometry(), QRect(40, 2, 50, 16));
    QCOMPARE(button->cursor().shape(), Qt::ArrowCursor);
    QVERIFY(button->menu());
    const QList<QAction *> actions = button->menu()->actions();
    QCOMPARE(actions.size(), 2);
    QCOMPARE(actions[0]->objectName(), QString("act_f_1450"));
    QCOMPARE(actions[0]->text(), QString("1450"));
    QCOMPARE(actions[1]->objectName(), QString("act_f_2100"));

    ed.setText("3");
    actions[1]->trigger();
    QCOMPARE(ed.text(), QString("2100"));
    actions[0]->trigger();
    QCOMPARE(ed.text(), QString("1450"));
}

void TestParamEditors::leaving_the_field_checks_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("after");
    QTest::newRow("channel 9") << "n_rab"
                               << "9"
                               << "1";
    QTest::newRow("channel untouched empty") << "n_rab"
                                             << ""
                                             << "1";
    QTest::newRow("volume empty") << "ur_gromk"
                                  << ""
                                  << "18";
    QTest::newRow("ctcss rx empty") << "ctcss_prm"
                                    << ""
                                    << "65.0";
    QTest::newRow("ctcss rx 67") << "ctcss_prm"
                                 << "67"
                                 << "66.9";
    QTest::newRow("call tone 1455") << "vt"
                                    << "1455"
                                    << "1460";
}

void TestParamEditors::leaving_the_field_checks()
{
    QFETCH(QString, kind);
    QFETCH(QString, typed);
    QFETCH(QString, after);
    QWidget form;
    auto ed = make_editor(kind);
    ed->setParent(&form);
    auto *other = new QLineEdit(&form);
    other->move(0, 40);
    form.show();
    QApplication::setActiveWindow(&form);
    ed->setFocus();
    QTRY_VERIFY(ed->hasFocus());
    run_key_script(ed.get(), typed);
    other->setFocus();
    QTRY_COMPARE(ed->text(), after);
    ed->setParent(nullptr);
}

QTEST_MAIN(TestParamEditors)
#include "tst_param_editors.moc"
