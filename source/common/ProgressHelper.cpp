#include "ProgressHelper.h"

#include <QCoreApplication>

void ProgressHelper::setProgress(int _value)
{
    if (_value < 0)
        m_progress = -1;
    else if (_value > 1000)
        m_progress = 1000;
    else
        m_progress = _value;
}

bool ProgressHelper::isFailure(_eResult_t _result)
{
    return _result >= eResultVerifFail && _result <= eResultFail;
}

bool ProgressHelper::isDone() const
{
    if (m_result == eResultSuccess)
        return true;
    return m_failCounter >= kMaxFailures && isFailure(m_result);
}

QString ProgressHelper::resultText() const
{
    switch (m_result) {
    case eResultVerifFail:
        return QCoreApplication::translate("QObject", "Verification failed", "download/update result");
    case eResultAuthFail:
        return QCoreApplication::translate("QObject", "Authentication failed", "download/update result");
    case eResultTimeout:
        return QCoreApplication::translate("QObject", "Timeout", "download/update result");
    case eResultMissingFile:
        return QCoreApplication::translate("QObject", "Missing File", "download/update result");
    case eResultFail:
        return QCoreApplication::translate("QObject", "Failed", "download/update result");
    default:
        return QString();
    }
}

QString ProgressHelper::resultName(_eResult_t _result)
{
    switch (_result) {
    case eResultUnknown:
        return "eResultUnknown";
    case eResultStart:
        return "eResultStart";
    case eResultTransfer:
        return "eResultTransfer";
    case eResultWaiting:
        return "eResultWaiting";
    case eResultSuccess:
        return "eResultSuccess";
    case eResultVerifFail:
        return "eResultVerifFail";
    case eResultAuthFail:
        return "eResultAuthFail";
    case eResultMissingFile:
        return "eResultMissingFile";
    case eResultFail:
        return "eResultFail";
    default:
        // Includes eResultTimeout, which has no name of its own.
        return "wrong_eResult";
    }
}
