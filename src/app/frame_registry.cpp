#include "frame_registry.h"

#include <QHash>
#include <QLayout>
#include <QRandomGenerator>
#include <QVBoxLayout>
#include <QWidget>

namespace {

QHash<QString, TzFrameConstructor> &FrameClasses() {
    static QHash<QString, TzFrameConstructor> classes;
    return classes;
}

QString RandomFrameName() {
    auto *random = QRandomGenerator::global();
    return QStringLiteral("Frame") + QString::number(random->bounded(2147483647)) +
           QString::number(random->bounded(2147483647));
}

} // namespace

QList<TzDevFrameInfo> &DevFrames() {
    static QList<TzDevFrameInfo> frames;
    return frames;
}

void RegisterFrameClass(const QString &className, TzFrameConstructor constructor) {
    FrameClasses().insert(className, std::move(constructor));
}

void RegisterDevFrame(const QString &devName, int devVer, const QString &frameName) {
    DevFrames().append({devName, devVer, frameName});
}

TzFrameConstructor FindDevFrameClass(const QString &devName, int devVer) {
    for (const TzDevFrameInfo &info : DevFrames()) {
        if (info.DevName == devName && info.DevVer == devVer)
            return FrameClasses().value(info.FrameName);
    }
    return {};
}

QWidget *CreateDevFrame(const QString &devName, int devVer, QWidget *owner, QWidget *parent) {
    const TzFrameConstructor construct = FindDevFrameClass(devName, devVer);
    if (!construct)
        return nullptr;
    QWidget *frame = construct(owner);
    if (!frame)
        return nullptr;
    frame->setObjectName(RandomFrameName());
    if (parent) {
        frame->setParent(parent);
        if (!parent->layout()) {
            auto *layout = new QVBoxLayout(parent);
            layout->setContentsMargins(0, 0, 0, 0);
            layout->setSpacing(0);
        }
        parent->layout()->addWidget(frame);
    }
    return frame;
}
