#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include "common/SystemServices.h"

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
        eOutcomeBadSerial = 3, // the root's serial is no number above 0
    };

    // An index whose root carries no serial.
    static constexpr quint64 kNoSerial = 0;

    // One offered file: an "update" element with the attributes of its
    // "updates" group. A missing attribute reads as empty text.
    struct Record
    {
        quint16 devType = 0; // devid, decimal
        QString application;
        quint32 version = 0xFFFFFFFFu; // the version text, parsed
        QString fileName;
        QString sys;
        // The file's size and SHA-256 (lower-case hex) as the signed index
        // states them; size -1 and no digest when the record carries neither.
        qint64 size = -1;
        QByteArray sha256;
        // The record has a size or sha256 that is no byte count or no
        // 64-digit hex digest, or only one of the two: nothing can match it.
        bool badDigest = false;
    };

    // Evaluates the query over _index. On success _records holds, in document
    // order, the records that carry a devid, and _serial (when given) the
    // serial on the index's root element, kNoSerial when it carries none.
    static Outcome_t evaluate(const QByteArray& _index, QList<Record>& _records, quint64* _serial = nullptr);

    // The record of one serialised "p" element of the query's output, from its
    // "<p" up to the next; entities stay as the output has them.
    static Record parseRecord(const QString& _element);

    // What a failed evaluation is logged as.
    static QString outcomeText(Outcome_t _outcome);
    // The log name of where the fetch of the index stands.
    static QString stateText(SystemServices::UpdateXmlState_t _state);

    // The highest serial of an update index the tool has accepted, kept in
    // the settings and beside "backup.ini" (BackupIni::kIndexSerialKey).
    static constexpr const char* kIndexSerialKey = "update/IndexSerial";
    // The higher of the two; kNoSerial when neither holds one.
    static quint64 acceptedSerial();
    // A signed index stays signed for ever: an older one served again would
    // offer files the newer one has withdrawn. Once a serial has been
    // accepted, an index without one is such an older index too. False, with
    // a log line, for those; otherwise a higher serial becomes the highest
    // accepted in both places. Until any serial was accepted, an index
    // without one is taken as it is.
    static bool acceptSerial(quint64 _serial);

    // Registers the query resource of the static core library.
    static void initQueryResource();

private:
    // Writes _serial to both places that keep the highest one, where it is not there.
    static void keepSerial(quint64 _serial);
    // The serial of the text before the first record, which holds the
    // query's "index" element; false when it is there but no number above 0.
    static bool parseSerial(const QString& _head, quint64* _serial);
};
