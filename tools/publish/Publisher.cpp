#include "Publisher.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <botan/auto_rng.h>
#include <botan/base64.h>
#include <botan/data_src.h>
#include <botan/pk_keys.h>
#include <botan/pkcs8.h>
#include <botan/pubkey.h>

namespace {
void setError(QString* _error, const QString& _text)
{
    if (_error)
        *_error = _text;
}

void putLe(QByteArray& _out, quint64 _value, int _bytes)
{
    for (int i = 0; i < _bytes; ++i)
        _out.append(static_cast<char>((_value >> (8 * i)) & 0xFF));
}

bool writeFile(const QString& _path, const QByteArray& _bytes, QString* _error)
{
    QSaveFile file(_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(_bytes) != _bytes.size() || !file.commit()) {
        setError(_error, QString("cannot write '%1': %2").arg(_path, file.errorString()));
        return false;
    }
    return true;
}
} // namespace

Publisher::Publisher() = default;
Publisher::~Publisher() = default;

bool Publisher::loadPrivateKey(const QString& _path, QString* _error)
{
    QFile file(_path);
    if (!file.open(QIODevice::ReadOnly)) {
        setError(_error, QString("cannot read key '%1'").arg(_path));
        return false;
    }
    const QByteArray bytes = file.readAll();
    try {
        Botan::DataSource_Memory source(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                        static_cast<size_t>(bytes.size()));
        m_key = Botan::PKCS8::load_key(source);
    } catch (const std::exception& e) {
        setError(_error, QString("cannot load key '%1': %2").arg(_path, e.what()));
        return false;
    }
    if (!m_key || m_key->algo_name() != "RSA") {
        m_key.reset();
        setError(_error, QString("'%1' is not an RSA private key").arg(_path));
        return false;
    }
    return true;
}

QByteArray Publisher::signature(const QByteArray& _data, QString* _error) const
{
    if (!m_key) {
        setError(_error, "no private key loaded");
        return QByteArray();
    }
    try {
        Botan::AutoSeeded_RNG rng;
        Botan::PK_Signer signer(*m_key, rng, "EMSA4(SHA-256,MGF1,32)", Botan::IEEE_1363);
        const std::vector<uint8_t> raw = signer.sign_message(reinterpret_cast<const uint8_t*>(_data.constData()),
                                                             static_cast<size_t>(_data.size()), rng);
        const std::string text = Botan::base64_encode(raw);
        return QByteArray::fromStdString(text) + "\n";
    } catch (const std::exception& e) {
        setError(_error, QString("signing failed: %1").arg(e.what()));
        return QByteArray();
    }
}

QString Publisher::signatureFileName(const QString& _file)
{
    const QFileInfo info(_file);
    return info.dir().filePath(info.completeBaseName() + ".sig");
}

bool Publisher::signFile(const QString& _file, QString* _error) const
{
    QFile file(_file);
    if (!file.open(QIODevice::ReadOnly)) {
        setError(_error, QString("cannot read '%1'").arg(_file));
        return false;
    }
    const QByteArray sig = signature(file.readAll(), _error);
    if (sig.isEmpty())
        return false;
    return writeFile(signatureFileName(_file), sig, _error);
}

QByteArray Publisher::indexXml(const QList<IndexEntry>& _entries, quint64 _serial)
{
    // One updates element per device type, in the order the types first appear.
    QList<quint16> order;
    for (const IndexEntry& entry : _entries) {
        if (!order.contains(entry.devType))
            order.append(entry.devType);
    }
    QByteArray xml;
    QXmlStreamWriter writer(&xml);
    writer.setAutoFormatting(true);
    writer.setAutoFormattingIndent(4);
    writer.writeStartDocument();
    writer.writeStartElement("apps");
    if (_serial != kNoSerial)
        writer.writeAttribute("serial", QString::number(_serial));
    for (quint16 devType : order) {
        writer.writeStartElement("updates");
        writer.writeAttribute("devid", QString::number(devType));
        bool first = true;
        for (const IndexEntry& entry : _entries) {
            if (entry.devType != devType)
                continue;
            if (first) {
                writer.writeAttribute("application", entry.application);
                first = false;
            }
            writer.writeEmptyElement("update");
            writer.writeAttribute("version", entry.version);
            writer.writeAttribute("fileName", entry.fileName);
            if (!entry.sys.isEmpty())
                writer.writeAttribute("sys", entry.sys);
            if (entry.size >= 0) {
                writer.writeAttribute("size", QString::number(entry.size));
                writer.writeAttribute("sha256", QString::fromLatin1(entry.sha256));
            }
        }
        writer.writeEndElement();
    }
    writer.writeEndElement();
    writer.writeEndDocument();
    return xml;
}

bool Publisher::writeIndex(const QList<IndexEntry>& _entries, const QString& _outDir, QString* _error,
                           quint64 _serial) const
{
    if (!QDir().mkpath(_outDir)) {
        setError(_error, QString("cannot create '%1'").arg(_outDir));
        return false;
    }
    const QString path = QDir(_outDir).filePath("update.xml");
    return writeFile(path, indexXml(_entries, _serial), _error) && signFile(path, _error);
}

QString Publisher::servedName(const QString& _fileName)
{
    QString name = _fileName;
    name.replace('\\', '/');
    const QFileInfo info(name.mid(name.lastIndexOf('/') + 1));
    return info.completeBaseName() + "." + info.suffix();
}

bool Publisher::bindFiles(QList<IndexEntry>* _entries, const QString& _dir, QString* _error)
{
    for (IndexEntry& entry : *_entries) {
        QFile file(QDir(_dir).filePath(servedName(entry.fileName)));
        if (!file.open(QIODevice::ReadOnly)) {
            setError(_error,
                     QString("cannot read '%1', which the index names as '%2'").arg(file.fileName(), entry.fileName));
            return false;
        }
        QCryptographicHash hash(QCryptographicHash::Sha256);
        if (!hash.addData(&file)) {
            setError(_error, QString("cannot read '%1': %2").arg(file.fileName(), file.errorString()));
            return false;
        }
        entry.size = file.size();
        entry.sha256 = hash.result().toHex();
    }
    return true;
}

bool Publisher::publishedSerial(const QString& _dir, quint64* _serial, QString* _error)
{
    *_serial = kNoSerial;
    QFile file(QDir(_dir).filePath("update.xml"));
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        setError(_error, QString("cannot read '%1'").arg(file.fileName()));
        return false;
    }
    QXmlStreamReader xml(&file);
    while (!xml.atEnd() && !xml.isStartElement())
        xml.readNext();
    if (xml.hasError() || !xml.isStartElement() || xml.name() != QLatin1String("apps")) {
        setError(_error, QString("'%1' is no update index; give the serial with --serial").arg(file.fileName()));
        return false;
    }
    const QStringRef text = xml.attributes().value("serial");
    if (text.isEmpty())
        return true;
    bool ok = false;
    *_serial = text.toULongLong(&ok, 10);
    if (!ok) {
        setError(_error, QString("'%1' carries the serial '%2', which is no number; give the serial with --serial")
                             .arg(file.fileName(), text.toString()));
        return false;
    }
    return true;
}

bool Publisher::parseManifest(const QByteArray& _text, QList<IndexEntry>* _entries, QString* _error)
{
    static const QRegularExpression versionPattern("^(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})$");
    const QList<QByteArray> lines = _text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = QString::fromUtf8(lines.at(i)).trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QStringList fields = line.split(';');
        const QString where = QString("line %1: ").arg(i + 1);
        if (fields.size() < 4 || fields.size() > 5) {
            setError(_error, where + "expected devType;application;version;fileName[;sys]");
            return false;
        }
        IndexEntry entry;
        bool ok = false;
        const uint devType = fields.at(0).trimmed().toUInt(&ok, 10);
        if (!ok || devType > 0xFFFF) {
            setError(_error, where + QString("bad device type '%1'").arg(fields.at(0)));
            return false;
        }
        entry.devType = static_cast<quint16>(devType);
        entry.application = fields.at(1).trimmed();
        entry.version = fields.at(2).trimmed();
        const QRegularExpressionMatch match = versionPattern.match(entry.version);
        bool inRange = match.hasMatch();
        for (int part = 1; inRange && part <= 3; ++part)
            inRange = match.captured(part).toUInt() <= 255;
        if (!inRange) {
            setError(_error, where + QString("bad version '%1' (major.minor.patch, each 0..255)").arg(entry.version));
            return false;
        }
        entry.fileName = fields.at(3).trimmed();
        if (entry.fileName.isEmpty()) {
            setError(_error, where + "empty file name");
            return false;
        }
        if (fields.size() == 5)
            entry.sys = fields.at(4).trimmed();
        _entries->append(entry);
    }
    return true;
}

QByteArray Publisher::otaImage(quint16 _imageType, quint32 _fileVersion, int _payloadSize,
                               const QByteArray& _headerString)
{
    const int payload = qMax(0, _payloadSize);
    const quint32 totalSize = kOtaHeaderLength + kSubElementHeaderLength + static_cast<quint32>(payload);
    QByteArray image;
    image.reserve(static_cast<int>(totalSize));
    putLe(image, kOtaFileIdentifier, 4);
    putLe(image, kOtaHeaderVersion, 2);
    putLe(image, kOtaHeaderLength, 2);
    putLe(image, 0, 2); // header field control: no optional fields
    putLe(image, kManufacturerCode, 2);
    putLe(image, _imageType, 2);
    putLe(image, _fileVersion, 4);
    putLe(image, kZigBeeStackVersion, 2);
    image.append(_headerString.left(kHeaderStringLength).leftJustified(kHeaderStringLength, '\0'));
    putLe(image, totalSize, 4);

    putLe(image, kUpgradeImageTag, 2);
    putLe(image, static_cast<quint32>(payload), 4);
    // Reproducible bytes that differ between types and versions.
    quint32 state = (quint32(_imageType) << 16) ^ _fileVersion ^ 0x9E3779B9u;
    for (int i = 0; i < payload; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        image.append(static_cast<char>(state & 0xFF));
    }
    return image;
}
