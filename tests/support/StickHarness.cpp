#include "StickHarness.h"

#include <QDir>
#include <QFile>

#include "common/settings.h"
#include "devices/ZigBeeDeviceModel.h"
#include "link/CSerialPortHandler.h"
#include "link/StickInterface.h"

StickHarness::StickHarness()
{
    CSerialPortHandler::setPortListFunction([] { return QStringList(); });
    QDir().mkpath(getUpdatePath());
    services = new FakeServices;
    stick = services->stick();
    model = services->deviceModel();
    files = services->files();
    QObject::connect(stick, &StickInterface::frameSent, [this](const QByteArray& _body) { m_sent.append(_body); });
}

StickHarness::~StickHarness()
{
    delete services;
    CSerialPortHandler::setPortListFunction(nullptr);
}

QList<QByteArray> StickHarness::exchange(const QByteArray& _frame)
{
    m_sent.clear();
    stick->rxFrame(_frame);
    return m_sent;
}

QByteArray StickHarness::reply(const QByteArray& _frame)
{
    const QList<QByteArray> sent = exchange(_frame);
    return sent.size() == 1 ? sent.first() : QByteArray();
}

void StickHarness::connectStick()
{
    exchange(QByteArray(1, char(0x01)));
}

QByteArray StickHarness::imageBytes(int _size)
{
    QByteArray bytes(_size, 0);
    for (int i = 0; i < _size; ++i)
        bytes[i] = char((i * 7) % 251);
    return bytes;
}

QString StickHarness::writeImage(const QString& _fileName, int _size)
{
    const QString path = getUpdatePath() + "/" + _fileName;
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(imageBytes(_size));
    return path;
}
