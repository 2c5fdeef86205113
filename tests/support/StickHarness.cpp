#include "StickHarness.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "common/settings.h"
#include "content/FirmwareUpdateFileModel.h"
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
    const QByteArray bytes = imageBytes(_size);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
    file.close();
    // These bytes are what every row holding the file verified.
    const HeldFileDigest digest(bytes.size(), QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    for (int row = 0; row < files->rowCount(); ++row) {
        FirmwareUpdate* record = files->recordAt(row);
        if (QFileInfo(record->m_fileName).fileName() == _fileName)
            record->m_fileDigest = digest;
    }
    return path;
}
