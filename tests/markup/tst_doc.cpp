#include "markup.h"

#include <QtTest>

class TestMarkupDoc : public QObject {
    Q_OBJECT
private slots:
    void fresh_and_cleared_hold_root_only();
    void create_element_links_newest_first();
    void create_element_rejects_bad_parent_data();
    void create_element_rejects_bad_parent();
    void add_attribute_rules();
    void select_data();
    void select();
    void handle_create_destroy();
};

void TestMarkupDoc::fresh_and_cleared_hold_root_only()
{
    MARKUP_DOC doc;
    std::vector<std::string> out{"stale"};
    for (int round = 0; round < 2; ++round) {
        QCOMPARE(doc.node_count(), 1);
        QCOMPARE(doc.node(0)->name, std::string("ROOT"));
        QCOMPARE(doc.node(0)->parent, MARKUP_NONE);
        QCOMPARE(doc.node(0)->first_child, MARKUP_NONE);
        QCOMPARE(doc.select_attribute_values("/POINT", "Freq", out), 0);
        QVERIFY(out.empty());
        QVERIFY(!doc.node(1));
        doc.create_element(0, "POINT");
        doc.clear();
    }
}

void TestMarkupDoc::create_element_links_newest_first()
{
    MARKUP_DOC doc;
    QCOMPARE(doc.create_element(0, "a"), 1);
    QCOMPARE(doc.create_element(0, "b"), 2);
    QCOMPARE(doc.create_element(1, "c"), 3);
    QCOMPARE(doc.create_element(0, "d"), 4);
    QCOMPARE(doc.node_count(), 5);

    const MARKUP_NODE *root = doc.node(0);
    QCOMPARE(root->child_count, 3);
    QCOMPARE(root->first_child, 4);
    QCOMPARE(doc.node(4)->next_sibling, 2);
    QCOMPARE(doc.node(2)->next_sibling, 1);
    QCOMPARE(doc.node(1)->next_sibling, MARKUP_NONE);
    QCOMPARE(doc.node(1)->prev_sibling, 2);
    QCOMPARE(doc.node(2)->prev_sibling, 4);
    QCOMPARE(doc.node(4)->prev_sibling, MARKUP_NONE);
    QCOMPARE(doc.node(3)->parent, 1);
    QCOMPARE(doc.node(3)->parent_id, 1);
    QCOMPARE(doc.node(1)->parent_id, 0);

    std::vector<int32_t> kids;
    QCOMPARE(doc.children(0, kids), 3);
    QCOMPARE(kids, (std::vector<int32_t>{4, 2, 1}));
    QCOMPARE(doc.children(3, kids), MARKUP_NONE);
    QVERIFY(kids.empty());
    QCOMPARE(doc.children(99, kids), MARKUP_NONE);
    QCOMPARE(doc.children(-1, kids), MARKUP_NONE);
}

void TestMarkupDoc::create_element_rejects_bad_parent_data()
{
    QTest::addColumn<int>("parent");
    QTest::newRow("negative") << -1;
    QTest::newRow("none") << int(MARKUP_NONE);
    QTest::newRow("table length") << 2;
    QTest::newRow("far beyond") << 1000000;
}

void TestMarkupDoc::create_element_rejects_bad_parent()
{
    QFETCH(int, parent);
    MARKUP_DOC doc;
    doc.create_element(0, "a");
    QCOMPARE(doc.create_element(parent, "x"), -1);
    QCOMPARE(doc.node_count(), 2);
}

void TestMarkupDoc::add_attribute_rules()
{
    MARKUP_DOC doc;
    const int32_t a = doc.create_element(0, "a");
    doc.add_attribute(0, "x", "1");  // root never takes attributes
    doc.add_attribute(7, "x", "1");  // no such node
    doc.add_attribute(-3, "x", "1");
    doc.add_attribute(a, " \tFreq\n", " 1 ");
    doc.add_attribute(a, "Freq", "2");
    QVERIFY(doc.node(0)->attributes.empty());
    const auto &attrs = doc.node(a)->attributes;
    QCOMPARE(attrs.size(), size_t(2));
    QCOMPARE(attrs[0].name, std::string("Freq"));
    QCOMPARE(attrs[0].value, std::string(" 1 "));  // values stay as written
    QCOMPARE(attrs[0].index, 0);
    QCOMPARE(attrs[1].index, 1);
    QCOMPARE(attrs[1].owner, a);
}

void TestMarkupDoc::select_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("attribute");
    QTest::addColumn<QByteArray>("values");  // joined by "|"

    const QByteArray three = "<POINT Freq=\"148000\" U=\"1.75\" />\n"
                             "<POINT Freq=\"161000\" U=\"2.4\" />\n"
                             "<POINT Freq=\"173000\" U=\"2.8\" />\n";
    QTest::newRow("document order") << three << QByteArray("/POINT") << QByteArray("Freq")
                                    << QByteArray("148000|161000|173000");
    QTest::newRow("trailing slash")
        << three << QByteArray("/POINT/") << QByteArray("U") << QByteArray("1.75|2.4|2.8");
    QTest::newRow("double slash") << three << QByteArray("//POINT") << QByteArray("U")
                                  << QByteArray("1.75|2.4|2.8");
    QTest::newRow("attribute case")
        << three << QByteArray("/POINT") << QByteArray("freq") << QByteArray();
    QTest::newRow("element case") << three << QByteArray("/point") << QByteArray("Freq")
                                  << QByteArray();
    QTest::newRow("nested not selected")
        << QByteArray("<A><POINT Freq=\"1\"/></A><POINT Freq=\"2\"/>") << QByteArray("/POINT")
        << QByteArray("Freq") << QByteArray("2");
    QTest::newRow("lower-case element skipped")
        << QByteArray("<point Freq=\"1\"/><POINT Freq=\"2\"/>") << QByteArray("/POINT")
        << QByteArray("Freq") << QByteArray("2");
    QTest::newRow("missing attribute contributes nothing")
        << QByteArray("<P x=\"1\"/><P y=\"2\"/><P x=\"3\"/>") << QByteArray("/P") << QByteArray("x")
        << QByteArray("1|3");
    QTest::newRow("duplicates in order")
        << QByteArray("<a x=\"1\" y=\"0\" x=\"2\"/>") << QByteArray("/a") << QByteArray("x")
        << QByteArray("1|2");
    QTest::newRow("last A only") << QByteArray("<A><B v=\"1\"/></A><A><B v=\"2\"/><B v=\"3\"/></A>")
                                 << QByteArray("/A/B") << QByteArray("v") << QByteArray("2|3");
    QTest::newRow("last A without B") << QByteArray("<A><B v=\"1\"/></A><A></A>")
                                      << QByteArray("/A/B") << QByteArray("v") << QByteArray();
    QTest::newRow("empty path") << three << QByteArray() << QByteArray("Freq") << QByteArray();
    QTest::newRow("slash only") << three << QByteArray("/") << QByteArray("Freq") << QByteArray();
    QTest::newRow("no markup") << QByteArray("plain") << QByteArray("/POINT") << QByteArray("Freq")
                               << QByteArray();
}

void TestMarkupDoc::select()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, attribute);
    QFETCH(QByteArray, values);
    MARKUP_DOC doc;
    doc.set_text(text.toStdString());
    doc.parse();
    std::vector<std::string> out{"stale"};
    const int32_t n = doc.select_attribute_values(path.toStdString(), attribute.toStdString(), out);
    QCOMPARE(n, int32_t(out.size()));
    QByteArrayList got;
    for (const auto &v : out)
        got << QByteArray::fromStdString(v);
    QCOMPARE(got.join('|'), values);
}

void TestMarkupDoc::handle_create_destroy()
{
    MARKUP_DOC *doc = MARKUP_DOC::create();
    QVERIFY(doc);
    QCOMPARE(doc->set_text("<POINT Adress=\"1\"/>"), 1);
    doc->parse();
    std::vector<std::string> out;
    QCOMPARE(doc->select_attribute_values("/POINT", "Adress", out), 1);
    MARKUP_DOC::destroy(doc);
    MARKUP_DOC::destroy(nullptr);
}

QTEST_GUILESS_MAIN(TestMarkupDoc)
#include "tst_doc.moc"
