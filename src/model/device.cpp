#include "device.h"

#include "transport/utils.h"
#include "xml_attributes.h"

#include <QDomDocument>
#include <QDomElement>
#include <QFile>

TzDevice::TzDevice() = default;

TzDevice::~TzDevice() = default;

TzTag *TzDevice::AddTag() {
    auto tag = std::make_unique<TzTag>();
    tag->Device = this;
    Tags.push_back(std::move(tag));
    return Tags.back().get();
}

TzTag *TzDevice::GetTagByID(int id) const {
    for (const auto &tag : Tags) {
        if (tag->ID == id) {
            return tag.get();
        }
    }
    return nullptr;
}

bool TzDevice::LoadFromRes(const QString &resourceName) {
    QFile file(":/" + resourceName);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    return LoadFromXml(file.readAll());
}

bool TzDevice::LoadFromXml(const QByteArray &xml) {
    QDomDocument doc;
    if (!doc.setContent(xml)) {
        return false;
    }
    const QDomElement root = doc.documentElement();
    QString name;
    int version = 0;
    if (root.tagName().compare("template", Qt::CaseInsensitive) != 0 ||
        !ReadXmlAttrStr(root, "name", name) || !ReadXmlAttrInt(root, "ver", version)) {
        return false;
    }
    DevName = name;
    DevVersion = version;
    Tags.clear();
    // The parser drops whitespace-only text, so every node left must be a tag element.
    for (QDomNode node = root.firstChild(); !node.isNull(); node = node.nextSibling()) {
        if (!LoadModbusTag(node)) {
            return false;
        }
    }
    return true;
}

bool TzDevice::LoadModbusTag(const QDomNode &node) {
    const QDomElement e = node.toElement();
    if (e.isNull() || e.tagName().compare("tag", Qt::CaseInsensitive) != 0) {
        return false;
    }
    int id = 0, reg = 0, regType = 0, valType = 0, segSize = 0, dataSize = 0, dataType = 0;
    QString name, order;
    if (!ReadXmlAttrInt(e, "id", id) || !ReadXmlAttrInt(e, "reg", reg) ||
        !ReadXmlAttrStr(e, "name", name) || !ReadXmlAttrInt(e, "regtype", regType) ||
        !ReadXmlAttrInt(e, "valtype", valType) || !ReadXmlAttrStr(e, "order", order) ||
        !ReadXmlAttrInt(e, "segsize", segSize) || !ReadXmlAttrInt(e, "datasize", dataSize) ||
        !ReadXmlAttrInt(e, "datatype", dataType)) {
        return false;
    }

    TzTag *tag = AddTag();
    tag->Enabled = true;
    tag->ID = id;
    tag->Reg = reg;
    tag->OPCName = name;
    tag->RegType = regType;
    tag->ValType = valType;
    tag->SetOrder(order);
    tag->SegSize = segSize;
    tag->DataSize = dataSize;
    tag->DataType = dataType;

    int value = 0;
    tag->CanRead = ReadXmlAttrInt(e, "read", value);
    if (tag->CanRead) {
        tag->ReadCmd = value;
    }
    tag->CanWrite = ReadXmlAttrInt(e, "write", value);
    if (tag->CanWrite) {
        tag->WriteCmd = value;
    }
    tag->Offset = ReadXmlAttrInt(e, "offset", value) ? value : 0;
    tag->BitPos = ReadXmlAttrInt(e, "bitpos", value) ? value : 0;
    return true;
}
