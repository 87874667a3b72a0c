// The help window and the shipped help document.

#include <QFile>
#include <QPushButton>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>

#include "form_help.h"

namespace {

bool write_cp1251(const QString &path, const QString &html)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QStringEncoder encode("windows-1251");
    const QByteArray bytes = encode(html);
    return f.write(bytes) == bytes.size();
}

QString shipped_document()
{
    return QStringLiteral(K40_BINARY_DIR "/src/app/programmator_k40.html");
}

}  // namespace

class TestFormHelp : public QObject {
    Q_OBJECT

private slots:
    void layout();
    void document_path_data();
    void document_path();
    void shows_the_file_and_reloads_it();
    void missing_file_gives_an_empty_window();
    void hidden_button_opens_the_document();
    void browser_follows_the_size();
    void shipped_manual_is_cp1251_and_complete();
};

void TestFormHelp::layout()
{
    FORM_HELP help;
    QVERIFY(!help.isVisible());
    QVERIFY(!help.parent());
    QCOMPARE(help.windowTitle(), QStringLiteral("Справка Торвел-K40"));
    QCOMPARE(help.geometry(), QRect(20, 20, 700, 600));
    QVERIFY(help.browser()->isReadOnly());
    auto *b_doc = help.findChild<QPushButton *>("b_doc");
    QVERIFY(b_doc);
    QCOMPARE(b_doc->text(), QStringLiteral("Помощь"));
    QVERIFY(!b_doc->isVisibleTo(&help));
}

void TestFormHelp::document_path_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("document");
    QTest::newRow("plain") << "/opt/k40/programmator_k40"
                           << "/opt/k40/programmator_k40.html";
    QTest::newRow("trimmed") << " \t./programmator_k40\n"
                             << "./programmator_k40.html";
    QTest::newRow("inner blank kept") << "/opt/my k40/prog "
                                      << "/opt/my k40/prog.html";
}

void TestFormHelp::document_path()
{
    QFETCH(QString, program);
    QFETCH(QString, document);
    QCOMPARE(FORM_HELP::document_path_for(program), document);
}

void TestFormHelp::shows_the_file_and_reloads_it()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("prog.html");
    QVERIFY(write_cp1251(path, QStringLiteral("<html><body><p>Первая версия</p></body></html>")));
    FORM_HELP help(path);
    help.open_help_document();
    QVERIFY(help.isVisible());
    QCOMPARE(help.browser()->toPlainText(), QStringLiteral("Первая версия"));

    // Edited while the program runs: the next request shows the new text.
    QVERIFY(write_cp1251(path, QStringLiteral("<html><body><p>Вторая версия</p></body></html>")));
    help.open_help_document();
    QCOMPARE(help.browser()->toPlainText(), QStringLiteral("Вторая версия"));
    QCOMPARE(QStringDecoder("windows-1251").decode(help.document_text()),
             QStringLiteral("<html><body><p>Вторая версия</p></body></html>"));
}

void TestFormHelp::missing_file_gives_an_empty_window()
{
    QTemporaryDir dir;
    FORM_HELP help;
    help.set_document_path(dir.filePath("absent.html"));
    help.open_help_document();
    QVERIFY(help.isVisible());
    QVERIFY(help.browser()->toPlainText().isEmpty());
    QVERIFY(help.document_text().isEmpty());

    help.set_document_path(dir.path());  // a folder is not a document either
    help.open_help_document();
    QVERIFY(help.browser()->toPlainText().isEmpty());
}

void TestFormHelp::hidden_button_opens_the_document()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("prog.html");
    QVERIFY(write_cp1251(path, QStringLiteral("<p>Помощь по кнопке</p>")));
    FORM_HELP help(path);
    help.findChild<QPushButton *>("b_doc")->click();
    QCOMPARE(help.browser()->toPlainText(), QStringLiteral("Помощь по кнопке"));
}

void TestFormHelp::browser_follows_the_size()
{
    FORM_HELP help;
    help.show();
    QVERIFY(QTest::qWaitForWindowExposed(&help));
    help.resize(800, 500);
    QTRY_COMPARE(help.browser()->geometry(), QRect(1, 30, 798, 469));
}

void TestFormHelp::shipped_manual_is_cp1251_and_complete()
{
    QFile f(shipped_document());
    QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(shipped_document()));
    const QByteArray bytes = f.readAll();
    QStringDecoder decode("windows-1251");
    const QString html = decode(bytes);
    QVERIFY(!decode.hasError());
    // A UTF-8 document would show Cyrillic as pairs of "Р"/"С" letters.
    QVERIFY(!bytes.contains("\xD0\x9F"));
    QCOMPARE(QStringEncoder("windows-1251").encode(html), bytes);

    const QStringList topics = {
        QStringLiteral("torvel.configuration.K40"),
        QStringLiteral("torvel.txt"),
        QStringLiteral("Считать параметры"),
        QStringLiteral("Программирование"),
        QStringLiteral("Частота передачи равна частоте приема"),
        QStringLiteral("Сохранить в файл"),
        QStringLiteral("Считать из файла"),
        QStringLiteral("Вывести на печать"),
        QStringLiteral("Запрограммировали - OK!"),
        QStringLiteral("Ответ не получен. Проверьте установки COM-порта в файле"),
        QStringLiteral("Ошибка: Поля редактирования не заполнены."),
    };
    for (const QString &topic : topics)
        QVERIFY2(html.contains(topic), qPrintable(topic));

    FORM_HELP help(shipped_document());
    help.open_help_document();
    QVERIFY(help.browser()->toPlainText().contains(QStringLiteral("Программатор Торвел-K40")));
}

QTEST_MAIN(TestFormHelp)
#include "tst_form_help.moc"
