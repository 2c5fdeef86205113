#include "ReportContent.h"

namespace {
QString textOf(const char* _source, bool _translated)
{
    return _translated ? QCoreApplication::translate("RunReport", _source) : QString::fromLatin1(_source);
}
} // namespace

QString ReportContent::outcomeText(const Row& _row, bool _translated)
{
    switch (_row.outcome) {
    case eOutcomeUpdated:
        return textOf(QT_TRANSLATE_NOOP("RunReport", "Updated"), _translated);
    case eOutcomeCurrent:
        return textOf(QT_TRANSLATE_NOOP("RunReport", "Already current"), _translated);
    case eOutcomeNoFirmware:
        return textOf(QT_TRANSLATE_NOOP("RunReport", "No firmware"), _translated);
    case eOutcomeFailed:
        return textOf(QT_TRANSLATE_NOOP("RunReport", "Failed: %1"), _translated)
            .arg(ProgressHelper::resultText(_row.failure, _translated));
    case eOutcomeInterrupted:
        return textOf(QT_TRANSLATE_NOOP("RunReport", "Interrupted"), _translated);
    case eOutcomeInProgress:
        return textOf(QT_TRANSLATE_NOOP("RunReport", "In progress"), _translated);
    case eOutcomeWaiting:
        return textOf(QT_TRANSLATE_NOOP("RunReport", "Waiting"), _translated);
    case eOutcomeNotReached:
        break;
    }
    return textOf(QT_TRANSLATE_NOOP("RunReport", "Not reached"), _translated);
}

int ReportContent::notUpdated() const
{
    return count(eOutcomeFailed) + count(eOutcomeNotReached);
}

ReportContent::Ending_t ReportContent::ending() const
{
    if (end == eEndInterim)
        return eEndingUnderWay;
    // Cancel after the last device, or the window closed while the run
    // still listened for late devices, ends a complete run all the same.
    if (count(eOutcomeUpdated) > 0 && notUpdated() == 0)
        return eEndingAllUpdated;
    switch (end) {
    case eEndCancelled:
        return eEndingByUser;
    case eEndToolClosed:
        return eEndingToolClosed;
    default:
        return eEndingByItself;
    }
}

QString ReportContent::endText() const
{
    switch (ending()) {
    case eEndingAllUpdated:
        return tr("all devices updated");
    case eEndingByUser:
        return tr("ended by the user with %n device(s) not updated", nullptr, notUpdated());
    case eEndingToolClosed:
        return tr("the tool was closed");
    case eEndingUnderWay:
        return tr("under way, interim report");
    case eEndingByItself:
        break;
    }
    return tr("ended by itself");
}

int ReportContent::count(Outcome_t _outcome) const
{
    int n = 0;
    for (const Row& row : rows) {
        const bool notReached =
            row.outcome == eOutcomeInterrupted || row.outcome == eOutcomeInProgress || row.outcome == eOutcomeWaiting;
        if (row.outcome == _outcome || (_outcome == eOutcomeNotReached && notReached))
            ++n;
    }
    return n;
}
