#pragma once

#include <QList>
#include <QString>

#include <functional>

class QWidget;

struct TzDevFrameInfo {
    QString DevName; // compared exactly and case-sensitively
    int DevVer;
    QString FrameName; // the name the frame class is registered under with the class factory
};

// Builds a panel frame for the given owner window.
using TzFrameConstructor = std::function<QWidget *(QWidget *owner)>;

// Process-wide, in registration order.
QList<TzDevFrameInfo> &DevFrames();

// The class factory.
void RegisterFrameClass(const QString &className, TzFrameConstructor constructor);

void RegisterDevFrame(const QString &devName, int devVer, const QString &frameName);

// The class of the first entry matching name and version; an empty function when no entry
// matches or its class is not registered.
TzFrameConstructor FindDevFrameClass(const QString &devName, int devVer);

// Builds the frame, names it uniquely and lets it fill the parent's client area.
// nullptr when no frame class serves the device.
QWidget *CreateDevFrame(const QString &devName, int devVer, QWidget *owner, QWidget *parent);
