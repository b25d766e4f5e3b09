// Attributes of the register table's and the options file's elements, read strictly.
#include "model/xml_attributes.h"

#include <QDomDocument>
#include <QTest>

class TestXmlAttributes : public QObject {
    Q_OBJECT

private slots:
    void xmlAttrInt_data();
    void xmlAttrInt();
    void xmlAttrStr();
};

void TestXmlAttributes::xmlAttrInt_data() {
    QTest::addColumn<QString>("element");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("value");

    QTest::newRow("plain") << "<e v=\"42\"/>" << true << 42;
    QTest::newRow("negative") << "<e v=\"-7\"/>" << true << -7;
    QTest::newRow("smallest int") << "<e v=\"-2147483648\"/>" << true << int(-2147483648LL);
    QTest::newRow("too large") << "<e v=\"2147483648\"/>" << false << 99;
    QTest::newRow("leading space") << "<e v=\" 42\"/>" << false << 99;
    QTest::newRow("trailing space") << "<e v=\"42 \"/>" << false << 99;
    QTest::newRow("plus sign") << "<e v=\"+42\"/>" << false << 99;
    QTest::newRow("minus only") << "<e v=\"-\"/>" << false << 99;
    QTest::newRow("hex") << "<e v=\"0x10\"/>" << false << 99;
    QTest::newRow("empty") << "<e v=\"\"/>" << false << 99;
    QTest::newRow("absent") << "<e w=\"1\"/>" << false << 99;
}

void TestXmlAttributes::xmlAttrInt() {
    QFETCH(QString, element);
    QFETCH(bool, ok);
    QFETCH(int, value);

    QDomDocument doc;
    QVERIFY(doc.setContent(element));
    int result = 99;
    QCOMPARE(ReadXmlAttrInt(doc.documentElement(), "v", result), ok);
    QCOMPARE(result, value);
}

void TestXmlAttributes::xmlAttrStr() {
    QDomDocument doc;
    QVERIFY(doc.setContent(QString("<e empty=\"\" name=\"Тарвекс\"/>")));
    QString text = "untouched";
    QVERIFY(!ReadXmlAttrStr(doc.documentElement(), "absent", text));
    QCOMPARE(text, "untouched");
    QVERIFY(ReadXmlAttrStr(doc.documentElement(), "empty", text));
    QCOMPARE(text, QString());
    QVERIFY(ReadXmlAttrStr(doc.documentElement(), "name", text));
    QCOMPARE(text, QString::fromUtf8("Тарвекс"));
}

QTEST_GUILESS_MAIN(TestXmlAttributes)
#include "test_xml_attributes.moc"
