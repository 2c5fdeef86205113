#include "UpdateIndex.h"

#include <QBuffer>
#include <QFile>
#include <QUrl>
#include <QXmlFormatter>
#include <QXmlQuery>

#include "common/common.h"

void UpdateIndex::initQueryResource()
{
    static bool s_done = false;
    if (s_done)
        return;
    s_done = true;
    Q_INIT_RESOURCE(xquery);
}

UpdateIndex::Outcome_t UpdateIndex::evaluate(const QByteArray& _index, QList<Record>& _records)
{
    _records.clear();
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

    // One record per "p" element; the text before the first has no devid.
    const QStringList parts = QString::fromUtf8(outputBytes).split("<p");
    for (const QString& part : parts) {
        if (!xmlAttribute(part, "devid").isEmpty())
            _records.append(parseRecord(part));
    }
    return eOutcomeOk;
}

UpdateIndex::Record UpdateIndex::parseRecord(const QString& _element)
{
    Record record;
    record.devType = static_cast<quint16>(xmlAttribute(_element, "devid").toUInt(nullptr, 10));
    record.application = xmlAttribute(_element, "application");
    record.version = parseVersion(xmlAttribute(_element, "version"));
    record.fileName = xmlAttribute(_element, "fileName");
    record.sys = xmlAttribute(_element, "sys");
    return record;
}
