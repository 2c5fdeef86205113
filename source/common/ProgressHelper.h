#pragma once

#include <QString>

// Selection, progress (per mille, -1 = not taking part), failed attempts and
// result of anything that is transferred: firmware files, devices, the stick.
class ProgressHelper
{
public:
    // Fixed underlying type: results arrive as plain ints from models and QML.
    enum _eResult_t : int
    {
        eResultUnknown = 0,
        eResultStart = 2,
        eResultTransfer = 3,
        eResultWaiting = 4,
        eResultSuccess = 5,
        eResultVerifFail = 6,
        eResultAuthFail = 7,
        eResultTimeout = 8,
        eResultMissingFile = 9,
        eResultFail = 10,
    };

    static constexpr int kMaxFailures = 3;

    virtual ~ProgressHelper() = default;
    virtual void setSelected(bool _selected) { m_selected = _selected; }
    virtual void setDone(_eResult_t _result) { m_result = _result; }

    void setProgress(int _value);
    bool isDone() const;
    QString resultText() const;
    // The text of a failure result, translated or as the English source;
    // empty for the others.
    static QString resultText(_eResult_t _result, bool _translated);
    static QString resultName(_eResult_t _result);
    static bool isFailure(_eResult_t _result);

    bool m_selected = false;
    int m_progress = -1;
    int m_failCounter = 0;
    _eResult_t m_result = eResultUnknown;
};
