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
    return resultText(m_result, true);
}

QString ProgressHelper::resultText(_eResult_t _result, bool _translated)
{
    struct Source
    {
        const char* text;
        const char* comment;
    } source{};
    switch (_result) {
    case eResultVerifFail:
        source = QT_TRANSLATE_NOOP3("QObject", "Verification failed", "download/update result");
        break;
    case eResultAuthFail:
        source = QT_TRANSLATE_NOOP3("QObject", "Authentication failed", "download/update result");
        break;
    case eResultTimeout:
        source = QT_TRANSLATE_NOOP3("QObject", "Timeout", "download/update result");
        break;
    case eResultMissingFile:
        source = QT_TRANSLATE_NOOP3("QObject", "Missing File", "download/update result");
        break;
    case eResultFail:
        source = QT_TRANSLATE_NOOP3("QObject", "Failed", "download/update result");
        break;
    default:
        return QString();
    }
    return _translated ? QCoreApplication::translate("QObject", source.text, source.comment)
                       : QString::fromLatin1(source.text);
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
