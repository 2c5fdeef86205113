#include "UpdateIndex.h"

#include <QBuffer>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QUrl>
#include <QXmlFormatter>
#include <QXmlQuery>

#include "BackupIni.h"
#include "common/SystemServices.h"
#include "common/common.h"
#include "common/log.h"
#include "common/settings.h"

QString UpdateIndex::outcomeText(Outcome_t _outcome)
{
    switch (_outcome) {
    case eOutcomeOk:
        return QString();
    case eOutcomeQueryInvalid:
        return QStringLiteral("query is not valid");
    case eOutcomeEvaluationFailed:
        return QStringLiteral("can NOT evaluate query");
    case eOutcomeBadSerial:
        return QStringLiteral("index serial is no number");
    }
    return QStringLiteral("wrong outcome");
}

QString UpdateIndex::stateText(SystemServices::UpdateXmlState_t _state)
{
    switch (_state) {
    case SystemServices::eUpdateXmlStateUnknown:
        return QStringLiteral("eUpdateXmlStateUnknown");
    case SystemServices::eUpdateXmlStateOk:
        return QStringLiteral("eUpdateXmlStateOk");
    case SystemServices::eUpdateXmlStateTimeout:
        return QStringLiteral("eUpdateXmlStateTimeout");
    case SystemServices::eUpdateXmlStateWrong:
        return QStringLiteral("eUpdateXmlStateWrong");
    case SystemServices::eUpdateXmlStateOutdated:
        return QStringLiteral("eUpdateXmlStateOutdated");
    }
    return QStringLiteral("wrong val of m_UpdateXmlState");
}

quint64 UpdateIndex::acceptedSerial()
{
    quint64 serial = BackupIni::indexSerial();
    QSettings* settings = getSettings();
    if (settings && settings->contains(kIndexSerialKey)) {
        bool ok = false;
        const quint64 kept = settings->value(kIndexSerialKey).toULongLong(&ok);
        if (!ok)
            LOG(lcContent, QString("'%1' holds no number").arg(kIndexSerialKey));
        else
            serial = qMax(serial, kept);
    }
    return serial;
}

bool UpdateIndex::acceptSerial(quint64 _serial)
{
    const quint64 accepted = acceptedSerial();
    keepSerial(accepted);
    if (accepted != kNoSerial && _serial == kNoSerial) {
        LOG(lcContent, QString("index without serial after serial %1 was accepted: index refused").arg(accepted));
        return false;
    }
    if (_serial < accepted) {
        LOG(lcContent,
            QString("index serial %1 is below %2, the highest accepted: index refused").arg(_serial).arg(accepted));
        return false;
    }
    keepSerial(_serial);
    return true;
}

void UpdateIndex::keepSerial(quint64 _serial)
{
    if (_serial == kNoSerial)
        return;
    // Both places hold the highest, whichever of them had lost it.
    QSettings* settings = getSettings();
    if (settings && settings->value(kIndexSerialKey).toULongLong() != _serial)
        settings->setValue(kIndexSerialKey, _serial);
    if (BackupIni::indexSerial() != _serial)
        BackupIni::setIndexSerial(_serial);
}

void UpdateIndex::initQueryResource()
{
    static bool s_done = false;
    if (s_done)
        return;
    s_done = true;
    Q_INIT_RESOURCE(xquery);
}

UpdateIndex::Outcome_t UpdateIndex::evaluate(const QByteArray& _index, QList<Record>& _records, quint64* _serial)
{
    _records.clear();
    if (_serial)
        *_serial = kNoSerial;
    initQueryResource();

    QString queryText;
    QFile queryFile(":/xquery/update.xq");
    if (queryFile.open(QIODevice::ReadOnly))
        queryText = QString::fromLatin1(queryFile.readAll());

    QByteArray indexBytes = _index;
    QBuffer input(&indexBytes);
    input.open(QIODevice::ReadOnly);

    QXmlQuery query;
    query.bindVariable("inputDocument", &input);
    query.setQuery(queryText, QUrl());
    if (!query.isValid())
        return eOutcomeQueryInvalid;

    QByteArray outputBytes;
    QBuffer output(&outputBytes);
    output.open(QIODevice::ReadWrite);
    QXmlFormatter formatter(query, &output);
    if (!query.evaluateTo(&formatter))
        return eOutcomeEvaluationFailed;

    // One record per "p" element; the text before the first has no devid
    // and holds the "index" element with the root's serial.
    const QStringList parts = QString::fromUtf8(outputBytes).split("<p");
    quint64 serial = kNoSerial;
    if (!parseSerial(parts.value(0), &serial))
        return eOutcomeBadSerial;
    if (_serial)
        *_serial = serial;
    for (const QString& part : parts) {
        if (!xmlAttribute(part, "devid").isEmpty())
            _records.append(parseRecord(part));
    }
    return eOutcomeOk;
}

bool UpdateIndex::parseSerial(const QString& _head, quint64* _serial)
{
    *_serial = kNoSerial;
    if (!_head.contains("serial=\""))
        return true;
    bool ok = false;
    const quint64 serial = xmlAttribute(_head, "serial").toULongLong(&ok, 10);
    if (!ok || serial == kNoSerial)
        return false;
    *_serial = serial;
    return true;
}

UpdateIndex::Record UpdateIndex::parseRecord(const QString& _element)
{
    Record record;
    record.devType = static_cast<quint16>(xmlAttribute(_element, "devid").toUInt(nullptr, 10));
    record.application = xmlAttribute(_element, "application");
    record.version = parseVersion(xmlAttribute(_element, "version"));
    record.fileName = xmlAttribute(_element, "fileName");
    record.sys = xmlAttribute(_element, "sys");

    const QString sizeText = xmlAttribute(_element, "size");
    const QString digest = xmlAttribute(_element, "sha256").toLower();
    if (sizeText.isEmpty() && digest.isEmpty())
        return record;
    bool sizeOk = false;
    const qint64 size = sizeText.toLongLong(&sizeOk, 10);
    static const QRegularExpression kHexDigest("^[0-9a-f]{64}$");
    if (!sizeOk || size < 0 || !kHexDigest.match(digest).hasMatch()) {
        record.badDigest = true;
        return record;
    }
    record.size = size;
    record.sha256 = digest.toLatin1();
    return record;
}
