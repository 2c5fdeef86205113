#pragma once

#include <QByteArray>
#include <QList>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

// Fetches one URL into memory, optionally saves the bytes to a file, and
// recognises the "file not found" page that the maker's web server delivers
// with a success status. An owner that checks the bytes itself (a signature)
// can leave that judgement to itself: a file that passes its check is never
// taken for the page.
class FileDownloader : public QObject
{
    Q_OBJECT
public:
    // Larger downloads are aborted: a broken or hostile server must not be
    // able to fill the memory.
    static constexpr qint64 kDefaultMaxSize = 64 * 1024 * 1024;

    explicit FileDownloader(qint64 _maxSize = kDefaultMaxSize, QObject* parent = nullptr);
    ~FileDownloader() override;

    void setUrl(const QUrl& _url);
    // Fetches _base + "/" + _name + "." + _ext, joined as the parts stand.
    void setUrl(const QString& _base, const QString& _name, const QString& _ext);
    void setFileName(const QString& _fileName) { m_fileName = _fileName; }
    QString fileName() const { return m_fileName; }
    QString url() const { return m_url; }
    QByteArray data() const { return m_data; }
    bool isOk() const { return m_ok; }
    int errorCode() const { return m_errorCode; }
    QString errorString() const { return m_errorString; }
    void setMaxSize(qint64 _maxSize) { m_maxSize = _maxSize; }
    qint64 maxSize() const { return m_maxSize; }
    // A transfer that receives nothing for this long is given up as
    // QNetworkReply::TimeoutError; 0 (the default) waits for ever.
    void setStallLimit(int _milliseconds) { m_stallLimitMs = _milliseconds; }
    int stallLimit() const { return m_stallLimitMs; }
    // A transfer that receives fewer than _bytesPerSecond on average over
    // _windowMs is given up as QNetworkReply::TimeoutError: a server that
    // sends a byte now and then restarts the stall limit every time. The
    // average is taken over the last window, in steps of a sixth of it, so
    // a transfer that slows down is given up at most a step after a whole
    // window below the floor. 0 for either (the default) switches it off.
    void setRateFloor(int _bytesPerSecond, int _windowMs);
    int rateFloor() const { return m_rateFloor; }
    int rateWindow() const { return m_rateWindowMs; }
    // A transfer still running after this long in all is given up as
    // QNetworkReply::TimeoutError; 0 (the default) sets no limit.
    void setTimeLimit(int _milliseconds) { m_timeLimitMs = _milliseconds; }
    int timeLimit() const { return m_timeLimitMs; }
    // Whether _bytes received over _windowMs fall short of _bytesPerSecond.
    static bool isBelowRateFloor(qint64 _bytes, int _windowMs, int _bytesPerSecond);
    // Drops the running transfer and its bytes without a signal: the owner
    // has given it up and waits for nothing more from this URL.
    void abort();
    // Whether the bytes of the current URL are in the save file (true when
    // nothing is to be saved).
    bool isSaved() const { return m_saved; }
    // false: a success reply is taken as it is, whatever it contains, and the
    // owner calls markNotFound() when it fails its own check and
    // isNotFoundPage(). A reply with a network error is judged either way.
    void setJudgesNotFoundPage(bool _judges) { m_judgesNotFoundPage = _judges; }
    // Whether the bytes look like the server's "file not found" page: the
    // search texts of the settings, texts 1 to 3 within the size window.
    bool isNotFoundPage() const;
    // Takes the bytes for that page: they are dropped and the URL counts as
    // missing (ContentNotFoundError). True when that is the first error of
    // the URL, which the caller then reports.
    bool markNotFound();

signals:
    void downloaded();
    void error();
    void downloadProgress(qint64 bytesReceived, qint64 bytesTotal);

public slots:
    void fileDownloaded(QNetworkReply* _pReply);
    void progress(qint64 bytesReceived, qint64 bytesTotal);
    void errorSlot(QNetworkReply::NetworkError _code);

private:
    void start(const QUrl& _url);
    void save();
    void dropCurrentReply();
    void failCurrentReply(int _code, const QString& _errorString);
    void stalled();
    void checkRate();
    void timeLimitReached();
    void stopTimers();

    QString m_url;
    QString m_fileName;
    QNetworkAccessManager m_manager;
    QByteArray m_data;
    bool m_ok = false;
    int m_errorCode = QNetworkReply::NoError;
    QString m_errorString;
    QPointer<QNetworkReply> m_pReply;
    qint64 m_maxSize;
    int m_stallLimitMs = 0;
    QTimer m_stallTimer;
    int m_rateFloor = 0;
    int m_rateWindowMs = 0;
    QTimer m_rateTimer;
    qint64 m_bytesReceived = 0;
    QList<qint64> m_rateSamples; // bytes received at each step of the last window, oldest first
    int m_timeLimitMs = 0;
    QTimer m_timeLimitTimer;
    bool m_saved = true;
    bool m_judgesNotFoundPage = true;
};
