#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The update index: the compiled-in query ":/xquery/update.xq" run over the
// index document, one record per offered file. Pure: bytes in, records out;
// the caller decides what the records and a failure mean.
class UpdateIndex
{
public:
    enum Outcome_t
    {
        eOutcomeOk = 0,
        eOutcomeQueryInvalid = 1,
        eOutcomeEvaluationFailed = 2,
    };

    // One offered file: an "update" element with the attributes of its
    // "updates" group. A missing attribute reads as empty text.
    struct Record
    {
        quint16 devType = 0; // devid, decimal
        QString application;
        quint32 version = 0xFFFFFFFFu; // the version text, parsed
        QString fileName;
        QString sys;
    };

    // Evaluates the query over _index. On success _records holds, in document
    // order, the records that carry a devid.
    static Outcome_t evaluate(const QByteArray& _index, QList<Record>& _records);
    // The record of one serialised "p" element of the query's output, from its
    // "<p" up to the next; entities stay as the output has them.
    static Record parseRecord(const QString& _element);

    // Registers the query resource of the static core library.
    static void initQueryResource();
};
