#include "DevelopmentSigner.h"

#include <QDir>
#include <QFile>

#include "botan/BotanWrapper.h"

DevelopmentSigner::DevelopmentSigner()
{
    m_valid = m_publisher.loadPrivateKey(privateKeyPath(), nullptr);
}

QString DevelopmentSigner::privateKeyPath()
{
    return QStringLiteral(LUMORAN_DEV_PRIVATE_KEY);
}

QString DevelopmentSigner::publicKeyPath()
{
    return QStringLiteral(LUMORAN_DEV_PUBLIC_KEY);
}

bool DevelopmentSigner::sign(const QString& _file)
{
    return m_publisher.signFile(_file, nullptr);
}

QByteArray DevelopmentSigner::signature(const QByteArray& _data)
{
    return m_publisher.signature(_data, nullptr);
}

bool DevelopmentSigner::writeFile(const QString& _dir, const QString& _name, const QByteArray& _bytes, bool _signed)
{
    QFile file(QDir(_dir).filePath(_name));
    if (!file.open(QIODevice::WriteOnly) || file.write(_bytes) != _bytes.size())
        return false;
    file.close();
    return !_signed || sign(file.fileName());
}

bool DevelopmentSigner::embeddedKeyIsDevelopmentKey()
{
    BotanWrapper::initKeyResource();
    QFile embedded(":rsa/key_pub.pem");
    QFile development(publicKeyPath());
    if (!embedded.open(QIODevice::ReadOnly) || !development.open(QIODevice::ReadOnly))
        return false;
    return embedded.readAll() == development.readAll();
}
