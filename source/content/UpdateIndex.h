#pragma once

#include <QByteArray>
#include <QStringList>

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

    // Evaluates the query over _index. On success _records holds, in document
    // order, the serialised "p" records that carry a devid, each from its
    // "<p" up to the next.
    static Outcome_t evaluate(const QByteArray& _index, QStringList& _records);

    // Registers the query resource of the static core library.
    static void initQueryResource();
};
