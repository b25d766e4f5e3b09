#pragma once

#include "tag.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

class QDomNode;

enum TzDeviceStatus { dsNone, dsGood, dsBad };

// One module: its address and its tags, template tags first, then those added in code.
class TzDevice {
public:
    TzDevice();
    ~TzDevice();
    TzDevice(const TzDevice &) = delete;
    TzDevice &operator=(const TzDevice &) = delete;

    int DevAddr = -1;
    int Port = 0;
    QString DevName;
    int DevVersion = -1;
    int DevPOVersion = -1;
    QString DevPOVersionStr;
    bool IsLocked = false;
    TzDeviceStatus Status = dsNone;
    std::vector<std::unique_ptr<TzTag>> Tags;

    TzTag *AddTag();
    TzTag *GetTagByID(int id) const;

    // Loads the register table from the embedded resource ":/<name>" ("XMLDATA").
    bool LoadFromRes(const QString &resourceName);
    // The same from a document in memory; one bad element fails the whole load.
    bool LoadFromXml(const QByteArray &xml);
    bool LoadModbusTag(const QDomNode &node);
};
