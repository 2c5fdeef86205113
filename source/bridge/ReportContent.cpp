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
    case eOutcomeNotReached:
        break;
    }
    return textOf(QT_TRANSLATE_NOOP("RunReport", "Not reached"), _translated);
}

QString ReportContent::endText(End_t _end)
{
    switch (_end) {
    case eEndFinished:
        return tr("finished");
    case eEndCancelled:
        return tr("cancelled");
    case eEndToolClosed:
        break;
    }
    return tr("tool closed during the run");
}

int ReportContent::count(Outcome_t _outcome) const
{
    int n = 0;
    for (const Row& row : rows) {
        if (row.outcome == _outcome || (_outcome == eOutcomeNotReached && row.outcome == eOutcomeInterrupted))
            ++n;
    }
    return n;
}
