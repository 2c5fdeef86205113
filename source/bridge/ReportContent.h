#pragma once

#include <QCoreApplication>
#include <QDateTime>
#include <QList>
#include <QString>

#include "common/ProgressHelper.h"
#include "common/common.h"

// What the report of one device update run or one stick update says: the
// run, the network, the versions of stick and tool, and one row per device
// (or the one row of the stick). Plain values, so that the report files can
// be made from it without the workers.
class ReportContent
{
    Q_DECLARE_TR_FUNCTIONS(RunReport)

public:
    enum Kind_t
    {
        eKindDevices,
        eKindStick,
    };

    // How the run ended.
    enum End_t
    {
        eEndFinished,   // by itself
        eEndCancelled,  // the user clicked Cancel
        eEndToolClosed, // the tool was closed during the run
        eEndInterim,    // it has not: a report of the run so far
    };

    // What the report says of the run's end, from how it ended and what
    // became of the devices.
    enum Ending_t
    {
        eEndingAllUpdated, // every device that was to get firmware has it
        eEndingByUser,     // Cancel, with devices not updated
        eEndingByItself,   // the run's time was up, with devices not updated
        eEndingToolClosed, // the tool was closed, with devices not updated
        eEndingUnderWay,   // an interim report
    };

    enum Outcome_t
    {
        eOutcomeUpdated,     // runs the offered firmware
        eOutcomeCurrent,     // had nothing newer to get
        eOutcomeNoFirmware,  // the tool holds no firmware for its type
        eOutcomeFailed,      // its latest attempt failed (see failure)
        eOutcomeInterrupted, // a transfer had begun; the run ended before its result
        eOutcomeNotReached,  // waited for its turn when the run ended
        eOutcomeInProgress,  // interim report: its transfer or restart is under way
        eOutcomeWaiting,     // interim report: waits for its turn
    };

    struct Row
    {
        quint16 shortAddr = 0;
        QString extAddr; // empty when unknown
        quint16 devType = 0;
        quint32 versionBefore = kNoVersion;
        quint32 versionAfter = kNoVersion;
        quint32 versionOffered = kNoVersion; // of the file the tool serves for the type
        QString fileOffered;
        Outcome_t outcome = eOutcomeNotReached;
        ProgressHelper::_eResult_t failure = ProgressHelper::eResultUnknown;
        int attempts = 0;
        QDateTime start; // null when nothing was offered
        QDateTime end;
        qint64 transferMs = -1; // first to last block; -1 when no transfer completed
    };

    // The result of a row: translated for the printed report, in English
    // for the CSV file ("Updated", "Failed: Timeout", ...).
    static QString outcomeText(const Row& _row, bool _translated);
    // Rows of that outcome; not reached counts the interrupted ones as well,
    // and in an interim report those in progress and waiting.
    int count(Outcome_t _outcome) const;
    // The devices that were to get firmware and have not: failed,
    // interrupted or not reached.
    int notUpdated() const;
    Ending_t ending() const;
    // The ending in the current language.
    QString endText() const;

    Kind_t kind = eKindDevices;
    End_t end = eEndFinished;
    QDateTime started;
    QDateTime ended;
    int channel = 0;
    quint16 stickAddr = 0;
    QString networkId; // hexadecimal, as the stick reports it
    QString stickVersion;
    QString toolVersion;
    QList<Row> rows;
};
