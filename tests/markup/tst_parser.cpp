#include "markup.h"
#include "markup_dump.h"

#include <QtTest>

class TestMarkupParser : public QObject {
    Q_OBJECT
private slots:
    void tree_data();
    void tree();
    void cdata_prepass_data();
    void cdata_prepass();
    void ids_in_creation_order();
    void unmatched_close_sets_top_tail();
    void parse_starts_afresh();
};

void TestMarkupParser::tree_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("tree");

    // Shapes of real station files.
    QTest::newRow("self-closing point") << QByteArray("<POINT Freq=\"148000\" U=\"1.75\" />")
                                        << QByteArray("POINT[Freq=148000;U=1.75]");
    QTest::newRow("three points in order")
        << QByteArray("\n<POINT Freq=\"1\" />\n<POINT Freq=\"2\" />\n<POINT Freq=\"3\" />\n")
        << QByteArray("POINT[Freq=1] l:'\\n' t:'\\n', POINT[Freq=2] t:'\\n', "
                      "POINT[Freq=3] t:'\\n'");
    QTest::newRow("name glued to slash") << QByteArray("<a/><b x=1/>") << QByteArray("a, b[x=1/]");
    QTest::newRow("separators in tag")
        << QByteArray("<POINT\r\nFreq=\"1\"\tU = '2'\n/>") << QByteArray("POINT[Freq=1;U=2]");
    QTest::newRow("case kept in names")
        << QByteArray("<point FREQ=\"1\"/>") << QByteArray("point[FREQ=1]");

    // Texts.
    QTest::newRow("lead, value, tail")
        << QByteArray("hello<a>x</a>y") << QByteArray("a l:'hello' v:'x' t:'y'");
    QTest::newRow("nesting") << QByteArray("<a><b>x</b></a><c/>") << QByteArray("a{b v:'x'}, c");
    QTest::newRow("close pops down")
        << QByteArray("<a><b><c>x</a>y<d/>") << QByteArray("a t:'y'{b{c v:'x'}}, d");
    QTest::newRow("no tag at all") << QByteArray("just text") << QByteArray();
    QTest::newRow("entities kept")
        << QByteArray("<a x=\"&amp;\">&lt;</a>") << QByteArray("a[x=&amp;] v:'&lt;'");
    QTest::newRow("cp1251 bytes kept")
        << QByteArray("<a n=\"\xCA\xE0\xED\xE0\xEB\"/>") << QByteArray("a[n=\xCA\xE0\xED\xE0\xEB]");

    // Special tags.
    QTest::newRow("comment with blank")
        << QByteArray("<!-- c -->x<a/>") << QByteArray("!-- l:'\\n' v:' c ' t:'\\n', a l:'x'");
    QTest::newRow("comment without blank")
        << QByteArray("<!--c--><a/>x-->y<b/>")
        << QByteArray("!--c-- l:'\\n' v:'><a/>x' t:'\\n', b l:'y'");
    QTest::newRow("comment without blank, no end") << QByteArray("<!--c--><a/>") << QByteArray();
    QTest::newRow("unterminated comment") << QByteArray("<a/><!-- x") << QByteArray("a");
    QTest::newRow("doctype") << QByteArray("<!doctype html><a/>")
                             << QByteArray("!doctype l:'\\n' v:' html' t:'\\n', a");
    QTest::newRow("processing instruction")
        << QByteArray("<?xml version=\"1.0\"?><a/>")
        << QByteArray("?xml l:'\\n' v:' version=\"1.0\"' t:'\\n', a");
    QTest::newRow("script body") << QByteArray("<script>if (a<b) f();</script><a/>")
                                 << QByteArray("script l:'\\n' v:'>if (a<b) f();' t:'\\n', a");
    QTest::newRow("comment inside element")
        << QByteArray("<a><!-- c --><b/></a>") << QByteArray("a{!-- l:'\\n' v:' c ' t:'\\n', b}");

    // HTML habits.
    QTest::newRow("br is void") << QByteArray("<div><br>text<i/></div>")
                                << QByteArray("div{br v:'text', i}");
    QTest::newRow("void name any case")
        << QByteArray("<BR>x<p>y</p>z") << QByteArray("BR v:'x', p v:'y'");
    QTest::newRow("capital close does not match")
        << QByteArray("<a>x</A>y<b/>") << QByteArray("a v:'x' t:'y'{b}");
    QTest::newRow("stray close at root") << QByteArray("</x>t<a/>") << QByteArray("a");

    // Attribute rules.
    QTest::newRow("three quoting styles") << QByteArray("<a x='1 > 2' y=\"it's\" z=plain/>")
                                          << QByteArray("a[x=1 > 2;y=it's;z=plain/]");
    QTest::newRow("name takes next value") << QByteArray("<a b c=\"1\">") << QByteArray("a[b=1]");
    QTest::newRow("word before = is a name") << QByteArray("<a b= c=1>") << QByteArray("a[b=;c=1]");
    QTest::newRow("name without = dropped") << QByteArray("<a b>") << QByteArray("a");
    QTest::newRow("= without value") << QByteArray("<a b=>") << QByteArray("a[b=]");
    QTest::newRow("empty quotes") << QByteArray("<a b=\"\" c=''/>") << QByteArray("a[b=;c=]");
    QTest::newRow("duplicates kept")
        << QByteArray("<a x=\"1\" x=\"2\"/>") << QByteArray("a[x=1;x=2]");
    QTest::newRow("quoted value across lines")
        << QByteArray("<a x=\"1\n2\"/>") << QByteArray("a[x=1\\n2]");

    // Truncated input: keep what was built, never read past the end.
    QTest::newRow("ends in name") << QByteArray("<a") << QByteArray();
    QTest::newRow("ends after <") << QByteArray("x<") << QByteArray();
    QTest::newRow("ends in quoted value") << QByteArray("<a x=\"1") << QByteArray("a");
    QTest::newRow("ends in tag") << QByteArray("<b/><a x=1") << QByteArray("b, a[x=1]");
    QTest::newRow("ends after >") << QByteArray("<a x=1>") << QByteArray("a[x=1]");
    QTest::newRow("empty names skipped") << QByteArray("< a><><//><b/>") << QByteArray("b");
    QTest::newRow("close without >") << QByteArray("<a>x</a") << QByteArray("a v:'x'");
}

void TestMarkupParser::tree()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, tree);
    MARKUP_DOC doc;
    QCOMPARE(doc.set_text(text.toStdString()), 1);
    QCOMPARE(doc.parse(), 0);
    QCOMPARE(markup_dump(doc), tree);
}

void TestMarkupParser::cdata_prepass_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QByteArray>("tree");
    QTest::newRow("inner text parsed")
        << QByteArray("<a><![CDATA[<b x=\"1\"/>]]></a>") << QByteArray("<a><b x=\"1\"/></a>")
        << QByteArray("a{b[x=1]}");
    QTest::newRow("two sections") << QByteArray("<![CDATA[x]]>-<![CDATA[y]]>") << QByteArray("x-y")
                                  << QByteArray();
    QTest::newRow("unclosed stays")
        << QByteArray("a<![CDATA[b") << QByteArray("a<![CDATA[b") << QByteArray();
    QTest::newRow("closed then unclosed")
        << QByteArray("<![CDATA[x]]><![CDATA[y") << QByteArray("x<![CDATA[y") << QByteArray();
    QTest::newRow("case sensitive")
        << QByteArray("<![cdata[x]]>") << QByteArray("<![cdata[x]]>") << QByteArray("![cdata[x]]");
}

void TestMarkupParser::cdata_prepass()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, stored);
    QFETCH(QByteArray, tree);
    MARKUP_DOC doc;
    doc.set_text(text.toStdString());
    QCOMPARE(QByteArray::fromStdString(doc.text()), stored);
    doc.parse();
    QCOMPARE(markup_dump(doc), tree);
}

void TestMarkupParser::ids_in_creation_order()
{
    MARKUP_DOC doc;
    doc.set_text("<a><b/></a><!-- c --><d/>");
    doc.parse();
    QCOMPARE(doc.node_count(), 5);
    QCOMPARE(doc.node(1)->name, std::string("a"));
    QCOMPARE(doc.node(2)->name, std::string("b"));
    QCOMPARE(doc.node(2)->parent_id, 1);
    QCOMPARE(doc.node(3)->name, std::string("!--"));
    QCOMPARE(doc.node(4)->name, std::string("d"));
    QCOMPARE(doc.node(4)->parent_id, 0);
    std::vector<int32_t> kids;
    QCOMPARE(doc.children(0, kids), 3);
    QCOMPARE(kids, (std::vector<int32_t>{4, 3, 1}));
}

void TestMarkupParser::unmatched_close_sets_top_tail()
{
    MARKUP_DOC doc;
    doc.set_text("</x>tail");
    doc.parse();
    QCOMPARE(doc.node(0)->tail_text, std::string("tail"));
    QCOMPARE(doc.node_count(), 1);
}

void TestMarkupParser::parse_starts_afresh()
{
    MARKUP_DOC doc;
    doc.set_text("<a/><b/>");
    doc.parse();
    doc.parse();
    QCOMPARE(doc.node_count(), 3);
    doc.set_text("");
    doc.parse();
    QCOMPARE(doc.node_count(), 1);
}

QTEST_GUILESS_MAIN(TestMarkupParser)
#include "tst_parser.moc"
