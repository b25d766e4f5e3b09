#include "model/device.h"
#include "model/register_map.h"
#include "model/tag.h"

#include <QDomDocument>
#include <QFile>
#include <QLocale>
#include <QTest>

#include <cmath>
#include <limits>

namespace {

// A template with the given children of the root, named "Test" version 7.
QByteArray Template(const QByteArray &children, const QByteArray &root = "template") {
    return "<" + root + " name=\"Test\" ver=\"7\">" + children + "</" + root + ">";
}

// A tag element with every required attribute; extra ones are appended, a required one can be
// left out by naming it in `without`.
QByteArray TagElement(int id, const QByteArray &extra = {}, const QByteArray &without = {}) {
    const QList<QPair<QByteArray, QByteArray>> required = {{"id", QByteArray::number(id)},
                                                           {"reg", QByteArray::number(id)},
                                                           {"name", "T"},
                                                           {"regtype", "3"},
                                                           {"valtype", "2"},
                                                           {"order", "21"},
                                                           {"segsize", "1"},
                                                           {"datasize", "2"},
                                                           {"datatype", "18"}};
    QByteArray element = "<tag";
    for (const auto &[name, value] : required) {
        if (name != without) {
            element += " " + name + "=\"" + value + "\"";
        }
    }
    return element + " " + extra + "/>";
}

} // namespace

class TestDeviceTemplate : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void shippedTemplateTags_data();
    void shippedTemplateTags();
    void shippedResourceForm();
    void lookupByIdNotByRegister();

    void loadValidation_data();
    void loadValidation();
    void optionalAttributes_data();
    void optionalAttributes();
    void tagMadeInCode();

    void valueRule_data();
    void valueRule();
    void valueTextUsesLocaleSeparator();

private:
    TzDevice m_shipped;
};

void TestDeviceTemplate::initTestCase() {
    QVERIFY(m_shipped.LoadFromRes("XMLDATA"));
}

void TestDeviceTemplate::cleanup() {
    QLocale::setDefault(QLocale::c());
}

void TestDeviceTemplate::shippedTemplateTags_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("reg");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("regType");
    QTest::addColumn<int>("valType");
    QTest::addColumn<int>("segSize");
    QTest::addColumn<int>("dataType");
    QTest::addColumn<int>("readCmd"); // 0: no read attribute
    QTest::addColumn<int>("writeCmd");

    struct Row {
        int id, reg;
        const char *name;
        int regType, valType, segSize, dataType, readCmd, writeCmd;
    };
    using namespace TarvexMap;
    const Row rows[] = {
        {kRegBaudCode, kRegBaudCode, "Скорость обмена данными", 3, 2, 1, 18, 3, 6},
        {kRegFormatCode, kRegFormatCode, "Формат символа и режим обмена данными", 3, 2, 1, 18, 3,
         6},
        {kRegAddress, kRegAddress, "Адрес прибора", 3, 2, 1, 18, 3, 6},
        {kRegNetworkTimeout, kRegNetworkTimeout, "Сетевой таймаут", 3, 2, 1, 18, 3, 6},
        {kRegDeviceType, kRegDeviceType, "Тип прибора", 2, 2, 1, 18, 4, 0},
        {kRegHardwareVersion, kRegHardwareVersion, "Версия аппаратной части прибора", 2, 2, 1, 18,
         4, 0},
        {kRegId1, kRegId1, "Идентификатор прибора 1", 2, 2, 1, 18, 4, 0},
        {kRegId2, kRegId2, "Идентификатор прибора 2", 2, 2, 1, 18, 4, 0},
        {kRegId3, kRegId3, "Идентификатор прибора 3", 2, 2, 1, 18, 4, 0},
        {kRegFirmwareVersion, kRegFirmwareVersion, "Версия встроенного ПО прибора", 2, 2, 1, 18, 4,
         0},
        {kRegSupplyVoltage, kRegSupplyVoltage, "Значение U1, целое", 2, 2, 1, 18, 4, 0},
        {kRegPowerStatus, kRegPowerStatus, "Статус питания прибора", 2, 2, 1, 18, 4, 0},
        {kRegSafeStates17to20, kRegSafeStates17to20, "DOUT_State_Safe 17-20", 3, 2, 1, 18, 3, 6},
        {kRegSafeStates1to16, kRegSafeStates1to16, "DOUT_State_Safe 1-16", 3, 2, 1, 18, 3, 6},
        {kRegOutputStates17to20, kRegOutputStates17to20, "DOUT_State 17-20", 3, 2, 1, 18, 3, 6},
        {kRegOutputStates1to16, kRegOutputStates1to16, "DOUT_State 1-16", 3, 2, 1, 18, 3, 6},
        {kTagPwmBlock1, kRegPwmBlock1, "Параметры ШИМ1", 3, 24, kPwmBlockRegisters, 2, 3, 0},
        {kTagPwmBlock2, kRegPwmBlock2, "Параметры ШИМ2", 3, 24, kPwmBlockRegisters, 2, 3, 0},
        {kRegCommand, kRegCommand, "Команда", 3, 2, 1, 18, 0, 6},
    };
    int index = 0;
    for (const Row &r : rows) {
        QTest::addRow("%d %s", index, r.name)
            << index << r.id << r.reg << QString::fromUtf8(r.name) << r.regType << r.valType
            << r.segSize << r.dataType << r.readCmd << r.writeCmd;
        ++index;
    }
}

void TestDeviceTemplate::shippedTemplateTags() {
    QFETCH(int, index);
    QFETCH(int, id);
    QFETCH(int, reg);
    QFETCH(QString, name);
    QFETCH(int, regType);
    QFETCH(int, valType);
    QFETCH(int, segSize);
    QFETCH(int, dataType);
    QFETCH(int, readCmd);
    QFETCH(int, writeCmd);

    QCOMPARE(m_shipped.DevName, QString("Tarvex"));
    QCOMPARE(m_shipped.DevVersion, 100);
    QCOMPARE(m_shipped.Tags.size(), size_t(19));

    const TzTag &tag = *m_shipped.Tags.at(index);
    QCOMPARE(tag.ID, id);
    QCOMPARE(tag.Reg, reg);
    QCOMPARE(tag.OPCName, name);
    QCOMPARE(tag.RegType, regType);
    QCOMPARE(tag.ValType, valType);
    QCOMPARE(tag.Order, QString("21"));
    QCOMPARE(tag.OrderMas, QByteArray("\x02\x01", 2));
    QCOMPARE(tag.SegSize, segSize);
    QCOMPARE(tag.DataSize, 2);
    QCOMPARE(tag.DataType, dataType);
    QCOMPARE(tag.ReadCmd, readCmd);
    QCOMPARE(tag.CanRead, readCmd != 0);
    QCOMPARE(tag.WriteCmd, writeCmd);
    QCOMPARE(tag.CanWrite, writeCmd != 0);
    QCOMPARE(tag.Offset, 0);
    QCOMPARE(tag.BitPos, 0); // no bitpos attribute: 0, not the -1 of a tag made in code
    QVERIFY(tag.Enabled);
    QCOMPARE(tag.Device, &m_shipped);
    QCOMPARE(tag.Quality, kQualityNeverRead);
    QCOMPARE(tag.ValueStr, QString("0"));
}

void TestDeviceTemplate::shippedResourceForm() {
    QFile file(":/XMLDATA");
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray xml = file.readAll();
    QVERIFY(xml.startsWith("\xEF\xBB\xBF"));

    QDomDocument doc;
    QVERIFY(doc.setContent(xml));
    const QDomElement root = doc.documentElement();
    QCOMPARE(root.tagName(), QString("template"));
    QCOMPARE(root.attribute("proto"), QString("3"));
    QCOMPARE(root.attribute("name"), QString("Tarvex"));
    QCOMPARE(root.attribute("ver"), QString("100"));
    const QDomNodeList tags = root.elementsByTagName("tag");
    QCOMPARE(tags.size(), 19);
    for (int i = 0; i < tags.size(); ++i) {
        const QDomElement tag = tags.at(i).toElement();
        QCOMPARE(tag.attribute("offset"), QString("0"));
        QCOMPARE(tag.attribute("min"), QString("-2147483647"));
        QCOMPARE(tag.attribute("max"), QString("2147483647"));
        QCOMPARE(tag.attribute("def"), QString("0"));
        QVERIFY(!tag.hasAttribute("bitpos"));
    }
}

void TestDeviceTemplate::lookupByIdNotByRegister() {
    using namespace TarvexMap;
    const TzTag *block = m_shipped.GetTagByID(kTagPwmBlock1);
    QVERIFY(block);
    QCOMPARE(block->OPCName, QString("Параметры ШИМ1"));
    QCOMPARE(block->Reg, kRegPwmBlock1);
    QCOMPARE(block->SegSize, kPwmBlockRegisters);
    QCOMPARE(m_shipped.GetTagByID(kRegPwmBlock1), nullptr);
    QCOMPARE(m_shipped.GetTagByID(kRegPwmBlock2), nullptr);
    QCOMPARE(m_shipped.GetTagByID(kRegCommand)->OPCName, QString("Команда"));
}

void TestDeviceTemplate::loadValidation_data() {
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<bool>("ok");
    // The device holds one tag made in code before the load: a failure on the root keeps it,
    // otherwise the list is emptied and then holds the tags appended so far.
    QTest::addColumn<int>("tagsAfter");

    const QByteArray two = TagElement(1) + TagElement(2);
    QTest::newRow("two tags") << Template(two) << true << 2;
    QTest::newRow("no tags") << Template("") << true << 0;
    QTest::newRow("root TEMPLATE") << Template(two, "TEMPLATE") << true << 2;
    QTest::newRow("tag element TAG") << Template("<TAG" + TagElement(1).mid(4)) << true << 1;
    QTest::newRow("whitespace between tags")
        << Template("\n  " + TagElement(1) + "\n\t \r\n  " + TagElement(2) + "\n") << true << 2;
    QTest::newRow("with declaration and BOM")
        << "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + Template(two) << true << 2;
    QTest::newRow("empty name") << Template(TagElement(1).replace("name=\"T\"", "name=\"\""))
                                << true << 1;
    QTest::newRow("negative id") << Template(TagElement(-5)) << true << 1;

    QTest::newRow("root device") << Template(two, "device") << false << 1;
    QTest::newRow("root without name") << QByteArray("<template ver=\"7\"/>") << false << 1;
    QTest::newRow("root without ver") << QByteArray("<template name=\"T\"/>") << false << 1;
    QTest::newRow("root ver not decimal")
        << QByteArray("<template name=\"T\" ver=\"1.0\"/>") << false << 1;
    QTest::newRow("not well-formed") << QByteArray("<template name=\"T\" ver=\"7\">") << false << 1;
    QTest::newRow("second tag without segsize")
        << Template(TagElement(1) + TagElement(2, {}, "segsize") + TagElement(3)) << false << 1;
    QTest::newRow("first tag without name")
        << Template(TagElement(1, {}, "name") + TagElement(2)) << false << 0;
    QTest::newRow("tag without order") << Template(TagElement(1, {}, "order")) << false << 0;
    QTest::newRow("comment child")
        << Template(TagElement(1) + "<!-- note -->" + TagElement(2)) << false << 1;
    QTest::newRow("text child") << Template(TagElement(1) + "x" + TagElement(2)) << false << 1;
    QTest::newRow("other element") << Template(TagElement(1) + "<reg/>") << false << 1;
    QTest::newRow("hex id") << Template(TagElement(1) +
                                        TagElement(2).replace("id=\"2\"", "id=\"0x2\""))
                            << false << 1;
    QTest::newRow("id with letters")
        << Template(TagElement(1).replace("id=\"1\"", "id=\"1a\"")) << false << 0;
    QTest::newRow("id beyond 32 bits")
        << Template(TagElement(1).replace("id=\"1\"", "id=\"2147483648\"")) << false << 0;
    QTest::newRow("fractional segsize")
        << Template(TagElement(1).replace("segsize=\"1\"", "segsize=\"1.5\"")) << false << 0;
}

void TestDeviceTemplate::loadValidation() {
    QFETCH(QByteArray, xml);
    QFETCH(bool, ok);
    QFETCH(int, tagsAfter);

    TzDevice device;
    device.AddTag()->ID = 99;
    QCOMPARE(device.LoadFromXml(xml), ok);
    QCOMPARE(int(device.Tags.size()), tagsAfter);
    if (ok) {
        QCOMPARE(device.DevName, QString("Test"));
        QCOMPARE(device.DevVersion, 7);
        QCOMPARE(device.GetTagByID(99), nullptr);
    }
}

void TestDeviceTemplate::optionalAttributes_data() {
    QTest::addColumn<QByteArray>("extra");
    QTest::addColumn<QByteArray>("order");
    QTest::addColumn<int>("readCmd");
    QTest::addColumn<bool>("canRead");
    QTest::addColumn<int>("writeCmd");
    QTest::addColumn<bool>("canWrite");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("bitPos");
    QTest::addColumn<QByteArray>("orderMas");

    QTest::newRow("none") << QByteArray() << QByteArray("21") << 0 << false << 0 << false << 0 << 0
                          << QByteArray("\x02\x01", 2);
    QTest::newRow("all") << QByteArray("read=\"3\" write=\"6\" offset=\"7\" bitpos=\"5\"")
                         << QByteArray("21") << 3 << true << 6 << true << 7 << 5
                         << QByteArray("\x02\x01", 2);
    QTest::newRow("read invalid") << QByteArray("read=\"x3\" write=\"5\"") << QByteArray("21") << 0
                                  << false << 5 << true << 0 << 0 << QByteArray("\x02\x01", 2);
    QTest::newRow("bitpos negative") << QByteArray("bitpos=\"-1\"") << QByteArray("21") << 0
                                     << false << 0 << false << 0 << -1 << QByteArray("\x02\x01", 2);
    QTest::newRow("bitpos invalid") << QByteArray("bitpos=\"b\"") << QByteArray("21") << 0 << false
                                    << 0 << false << 0 << 0 << QByteArray("\x02\x01", 2);
    QTest::newRow("order 4321") << QByteArray() << QByteArray("4321") << 0 << false << 0 << false
                                << 0 << 0 << QByteArray("\x04\x03\x02\x01", 4);
    QTest::newRow("order 2x") << QByteArray() << QByteArray("2x") << 0 << false << 0 << false << 0
                              << 0 << QByteArray("\x02\x00", 2);
    QTest::newRow("order empty") << QByteArray() << QByteArray() << 0 << false << 0 << false << 0
                                 << 0 << QByteArray();
}

void TestDeviceTemplate::optionalAttributes() {
    QFETCH(QByteArray, extra);
    QFETCH(QByteArray, order);
    QFETCH(int, readCmd);
    QFETCH(bool, canRead);
    QFETCH(int, writeCmd);
    QFETCH(bool, canWrite);
    QFETCH(int, offset);
    QFETCH(int, bitPos);
    QFETCH(QByteArray, orderMas);

    const QByteArray element = TagElement(1, extra + " order=\"" + order + "\"", "order");
    TzDevice device;
    QVERIFY(device.LoadFromXml(Template(element)));
    const TzTag &tag = *device.Tags.at(0);
    QCOMPARE(tag.ReadCmd, readCmd);
    QCOMPARE(tag.CanRead, canRead);
    QCOMPARE(tag.WriteCmd, writeCmd);
    QCOMPARE(tag.CanWrite, canWrite);
    QCOMPARE(tag.Offset, offset);
    QCOMPARE(tag.BitPos, bitPos);
    QCOMPARE(tag.Order, QString::fromLatin1(order));
    QCOMPARE(tag.OrderMas, orderMas);
}

void TestDeviceTemplate::tagMadeInCode() {
    TzDevice device;
    TzTag *first = device.AddTag();
    TzTag *second = device.AddTag();
    first->ID = second->ID = 5;

    QCOMPARE(device.Tags.size(), size_t(2));
    QCOMPARE(device.Tags.back().get(), second);
    QCOMPARE(second->Device, &device);
    QCOMPARE(device.GetTagByID(5), first);
    QCOMPARE(second->BitPos, -1);
    QCOMPARE(second->Value(), 0.0);
    QCOMPARE(second->ValueStr, QString("0"));
    QCOMPARE(second->fOPCValue, 0.0);
    QCOMPARE(second->Quality, kQualityNeverRead);
    QVERIFY(second->Enabled && second->CanRead && second->CanWrite);
    QCOMPARE(device.DevAddr, -1);
}

void TestDeviceTemplate::valueRule_data() {
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    QTest::addColumn<double>("minValue");
    QTest::addColumn<double>("maxValue");
    QTest::addColumn<double>("radius");
    QTest::addColumn<double>("first"); // NaN: no first write
    QTest::addColumn<double>("v");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("valueStr");
    QTest::addColumn<double>("opcValue");
    QTest::addColumn<bool>("qualitySet");

    const double lo = -2147483647, hi = 2147483647, band = 2147483647;
    QTest::newRow("plain") << lo << hi << band << nan << -2.5 << -2.5 << "-2.5" << -2.5 << true;
    QTest::newRow("below min: text of the unclamped value")
        << 10.0 << hi << band << nan << 5.0 << 10.0 << "5" << 5.0 << true;
    QTest::newRow("above max") << lo << 100.0 << band << nan << 250.0 << 100.0 << "250" << 250.0
                               << true;
    QTest::newRow("default bound")
        << lo << hi << band << nan << -3e9 << -2147483647.0 << "-3e+09" << -3e9 << true;
    QTest::newRow("1.00005 after 1 inside default band")
        << lo << hi << band << 1.0 << 1.00005 << 1.00005 << "1" << 1.0 << true;
    QTest::newRow("1.0001 after 1 reaches default band")
        << lo << hi << band << 1.0 << 1.0001 << 1.0001 << "1.0001" << 1.0001 << true;
    QTest::newRow("0.9999 after 1 reaches default band")
        << lo << hi << band << 1.0 << 0.9999 << 0.9999 << "0.9999" << 0.9999 << true;
    QTest::newRow("radius 0.5, 1.4 after 1")
        << lo << hi << 0.5 << 1.0 << 1.4 << 1.4 << "1" << 1.0 << true;
    QTest::newRow("radius 0.5, 1.5 after 1")
        << lo << hi << 0.5 << 1.0 << 1.5 << 1.5 << "1.5" << 1.5 << true;
    QTest::newRow("radius 0, 1.00001 after 1")
        << lo << hi << 0.0 << 1.0 << 1.00001 << 1.00001 << "1.00001" << 1.00001 << true;
    QTest::newRow("NaN on a new tag")
        << lo << hi << band << nan << nan << 0.0 << "" << 0.0 << false;
    QTest::newRow("NaN after 7") << lo << hi << band << 7.0 << nan << 7.0 << "" << 7.0 << false;
}

void TestDeviceTemplate::valueRule() {
    QFETCH(double, minValue);
    QFETCH(double, maxValue);
    QFETCH(double, radius);
    QFETCH(double, first);
    QFETCH(double, v);
    QFETCH(double, value);
    QFETCH(QString, valueStr);
    QFETCH(double, opcValue);
    QFETCH(bool, qualitySet);

    TzTag tag;
    tag.MinValue = minValue;
    tag.MaxValue = maxValue;
    tag.Radius = radius;
    if (!std::isnan(first)) {
        tag.SetValue(first);
    }
    tag.Quality = kQualityUndecodable;
    tag.SetValue(v);
    QCOMPARE(tag.Value(), value);
    QCOMPARE(tag.ValueStr, valueStr);
    QCOMPARE(tag.fOPCValue, opcValue);
    QCOMPARE(tag.Quality, qualitySet ? kQualityGood : kQualityUndecodable);
}

void TestDeviceTemplate::valueTextUsesLocaleSeparator() {
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    TzTag tag;
    tag.SetValue(1.5);
    QCOMPARE(tag.ValueStr, QString("1,5"));
}

QTEST_GUILESS_MAIN(TestDeviceTemplate)
#include "test_device_template.moc"
