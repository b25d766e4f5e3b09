#pragma once

#include <QString>

class QDomElement;

// An attribute of an XML element, taken only when present: value is left as it was otherwise.
// An integer is strictly an optional minus and decimal digits that fit an int.
bool ReadXmlAttrInt(const QDomElement &element, const QString &name, int &value);
bool ReadXmlAttrStr(const QDomElement &element, const QString &name, QString &value);
