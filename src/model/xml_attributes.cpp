#include "xml_attributes.h"

#include <QDomElement>

bool ReadXmlAttrInt(const QDomElement &element, const QString &name, int &value) {
    if (!element.hasAttribute(name))
        return false;
    const QString text = element.attribute(name);
    // Strictly an optional minus and digits: QString::toInt would also take spaces and '+'.
    const qsizetype start = text.startsWith(u'-') ? 1 : 0;
    if (text.size() == start)
        return false;
    for (qsizetype i = start; i < text.size(); ++i) {
        if (text[i] < u'0' || text[i] > u'9')
            return false;
    }
    bool ok = false;
    const int parsed = text.toInt(&ok);
    if (!ok)
        return false;
    value = parsed;
    return true;
}

bool ReadXmlAttrStr(const QDomElement &element, const QString &name, QString &value) {
    if (!element.hasAttribute(name))
        return false;
    value = element.attribute(name);
    return true;
}
