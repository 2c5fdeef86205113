#include "FileDownloader.h"

#include <QFile>
#include <QNetworkRequest>
#include <QSettings>

#include "common/log.h"
#include "common/settings.h"

namespace {
// The rate is checked this many times per window, each time over the last
// whole window.
constexpr int kRateSteps = 6;

// An empty search text would match every download; it never counts as found.
bool containsText(const QByteArray& _data, const QByteArray& _text)
{
    return !_text.isEmpty() && _data.contains(_text);
}
} // namespace

FileDownloader::FileDownloader(qint64 _maxSize, QObject* parent) : QObject(parent), m_maxSize(_maxSize)
{
    CONNECT_OR_LOG(lcContent, &m_manager, &QNetworkAccessManager::finished, this, &FileDownloader::fileDownloaded);
    m_stallTimer.setSingleShot(true);
    CONNECT_OR_LOG(lcContent, &m_stallTimer, &QTimer::timeout, this, &FileDownloader::stalled);
    CONNECT_OR_LOG(lcContent, &m_rateTimer, &QTimer::timeout, this, &FileDownloader::checkRate);
    m_timeLimitTimer.setSingleShot(true);
    CONNECT_OR_LOG(lcContent, &m_timeLimitTimer, &QTimer::timeout, this, &FileDownloader::timeLimitReached);
}

FileDownloader::~FileDownloader() = default;

void FileDownloader::setUrl(const QString& _base, const QString& _name, const QString& _ext)
{
    m_url = _base + "/" + _name + "." + _ext;
    start(QUrl(m_url, QUrl::TolerantMode));
}

void FileDownloader::setUrl(const QUrl& _url)
{
    m_url = _url.toString();
    start(_url);
}

void FileDownloader::setRateFloor(int _bytesPerSecond, int _windowMs)
{
    m_rateFloor = qMax(0, _bytesPerSecond);
    m_rateWindowMs = qMax(0, _windowMs);
}

bool FileDownloader::isBelowRateFloor(qint64 _bytes, int _windowMs, int _bytesPerSecond)
{
    return _bytes * 1000 < qint64(_bytesPerSecond) * _windowMs;
}

void FileDownloader::stopTimers()
{
    m_stallTimer.stop();
    m_rateTimer.stop();
    m_timeLimitTimer.stop();
}

void FileDownloader::dropCurrentReply()
{
    stopTimers();
    if (!m_pReply)
        return;
    // A reply of an earlier URL must neither report nor write into the
    // current one. It is aborted from the event loop, not from inside one of
    // its own signals, and its finish is then ignored by fileDownloaded.
    QNetworkReply* stale = m_pReply;
    m_pReply = nullptr;
    stale->disconnect(this);
    QMetaObject::invokeMethod(stale, &QNetworkReply::abort, Qt::QueuedConnection);
}

void FileDownloader::start(const QUrl& _url)
{
    dropCurrentReply();
    m_data.clear();
    m_ok = false;
    m_errorCode = QNetworkReply::NoError;
    m_errorString.clear();
    m_saved = true;

    if (_url.isValid()) {
        m_pReply = m_manager.get(QNetworkRequest(_url));
        CONNECT_OR_LOG(lcContent, m_pReply, &QNetworkReply::downloadProgress, this, &FileDownloader::progress);
        CONNECT_OR_LOG(lcContent, m_pReply, &QNetworkReply::errorOccurred, this, &FileDownloader::errorSlot);
        if (m_stallLimitMs > 0)
            m_stallTimer.start(m_stallLimitMs);
        m_bytesReceived = 0;
        m_rateSamples = {0};
        if (m_rateFloor > 0 && m_rateWindowMs > 0)
            m_rateTimer.start(qMax(1, m_rateWindowMs / kRateSteps));
        if (m_timeLimitMs > 0)
            m_timeLimitTimer.start(m_timeLimitMs);
        return;
    }
    if (_url.isLocalFile()) {
        if (m_url.startsWith("file:///"))
            m_url.remove(0, 8);
        QFile file(m_url);
        if (file.open(QIODevice::ReadOnly)) {
            m_data = file.readAll();
            file.close();
            m_ok = true;
            save();
            LOG(lcContent, QString("loaded local file '%1'").arg(m_url));
            emit downloadProgress(m_data.size(), m_data.size());
        } else {
            LOG(lcContent, QString("failed to load file '%1'").arg(m_url));
        }
        emit downloaded();
        return;
    }
    LOG(lcContent, QString("invalid url '%1'").arg(m_url));
}

void FileDownloader::save()
{
    if (m_fileName.isEmpty())
        return;
    // A full disk or a read-only folder leaves a short or no file; the owner
    // must not take that for what the server sent.
    QFile file(m_fileName);
    m_saved = file.open(QIODevice::ReadWrite | QIODevice::Truncate) && file.write(m_data) == m_data.size();
    if (m_saved && !file.flush())
        m_saved = false;
    file.close();
    if (!m_saved)
        LOG(lcContent, QString("can not write '%1': %2").arg(m_fileName, file.errorString()));
}

bool FileDownloader::isNotFoundPage() const
{
    QSettings* settings = getSettings();
    auto read = [settings](const char* _key, const QVariant& _default) {
        return settings ? settings->value(_key, _default) : _default;
    };
    const int minSize = read("download/minSize", 1000).toInt();
    const int maxSize = read("download/maxSize", 20000).toInt();
    const QByteArray text1 = read("download/searchText1", QByteArray("www.vandrel.example")).toByteArray();
    const QByteArray text2 = read("download/searchText2", QByteArray("<!doctype html>")).toByteArray();
    const QByteArray text3 = read("download/searchText3", QByteArray("Vandrel Online-Katalog")).toByteArray();
    const QByteArray text4 = read("download/searchText4", QByteArray("404 Not Found")).toByteArray();

    const int size = m_data.size();
    if (minSize < size && size < maxSize && containsText(m_data, text1) && containsText(m_data, text2) &&
        containsText(m_data, text3))
        return true;
    return containsText(m_data, text4);
}

void FileDownloader::fileDownloaded(QNetworkReply* _pReply)
{
    if (!_pReply)
        return;
    if (_pReply != m_pReply) {
        _pReply->deleteLater(); // an earlier URL's reply
        return;
    }
    m_pReply = nullptr;
    stopTimers();
    m_data = _pReply->readAll();
    _pReply->deleteLater();

    save();
    bool reportNotFound = false;
    if ((m_judgesNotFoundPage || m_errorCode != QNetworkReply::NoError) && isNotFoundPage()) {
        reportNotFound = markNotFound();
    } else {
        m_ok = true;
        LOG(lcContent, QString("loaded url '%1'").arg(m_url));
    }
    emit downloaded();
    if (reportNotFound)
        emit error();
}

bool FileDownloader::markNotFound()
{
    LOG(lcContent, QString("file not found on server: url '%1'").arg(m_url));
    m_data.clear();
    m_ok = false;
    // The page stands for a missing file like a 404 does, so that nobody
    // waits for a file that will not come. A network error before it has
    // been reported already.
    if (m_errorCode != QNetworkReply::NoError)
        return false;
    m_errorCode = QNetworkReply::ContentNotFoundError;
    m_errorString = QString("file not found on server");
    LOG(lcContent, QString("url %1, code %2, errStr '%3'").arg(m_url).arg(m_errorCode).arg(m_errorString));
    return true;
}

void FileDownloader::progress(qint64 bytesReceived, qint64 bytesTotal)
{
    if (m_pReply && (bytesReceived > m_maxSize || bytesTotal > m_maxSize)) {
        LOG(lcContent, QString("download too large: url '%1', %2 of %3 bytes, limit %4")
                           .arg(m_url)
                           .arg(bytesReceived)
                           .arg(bytesTotal)
                           .arg(m_maxSize));
        failCurrentReply(QNetworkReply::OperationCanceledError,
                         QString("download larger than %1 bytes").arg(m_maxSize));
        return;
    }
    if (m_pReply && m_stallLimitMs > 0)
        m_stallTimer.start(m_stallLimitMs);
    if (m_pReply)
        m_bytesReceived = bytesReceived;
    emit downloadProgress(bytesReceived, bytesTotal);
}

void FileDownloader::stalled()
{
    if (!m_pReply)
        return;
    LOG(lcContent, QString("no data for %1 ms: url '%2'").arg(m_stallLimitMs).arg(m_url));
    failCurrentReply(QNetworkReply::TimeoutError, QString("no data for %1 ms").arg(m_stallLimitMs));
}

void FileDownloader::checkRate()
{
    if (!m_pReply) {
        m_rateTimer.stop();
        return;
    }
    m_rateSamples.append(m_bytesReceived);
    if (m_rateSamples.size() <= kRateSteps)
        return; // less than a window so far
    const qint64 inWindow = m_rateSamples.last() - m_rateSamples.takeFirst();
    if (!isBelowRateFloor(inWindow, m_rateWindowMs, m_rateFloor))
        return;
    LOG(lcContent, QString("%1 bytes in %2 ms, below %3 bytes/s: url '%4'")
                       .arg(inWindow)
                       .arg(m_rateWindowMs)
                       .arg(m_rateFloor)
                       .arg(m_url));
    failCurrentReply(QNetworkReply::TimeoutError,
                     QString("less than %1 bytes/s for %2 ms").arg(m_rateFloor).arg(m_rateWindowMs));
}

void FileDownloader::timeLimitReached()
{
    if (!m_pReply)
        return;
    LOG(lcContent, QString("not done after %1 ms: url '%2'").arg(m_timeLimitMs).arg(m_url));
    failCurrentReply(QNetworkReply::TimeoutError, QString("not done after %1 ms").arg(m_timeLimitMs));
}

void FileDownloader::abort()
{
    if (!m_pReply)
        return;
    LOG(lcContent, QString("download cancelled: url '%1'").arg(m_url));
    dropCurrentReply();
    m_data.clear();
    m_ok = false;
    m_errorCode = QNetworkReply::OperationCanceledError;
    m_errorString = QString("cancelled");
}

void FileDownloader::failCurrentReply(int _code, const QString& _errorString)
{
    // The reply is dropped like one of an earlier URL: its bytes are neither
    // kept nor saved. A reply that has all its bytes already would not
    // report its abort, so the error is reported here.
    stopTimers();
    QNetworkReply* reply = m_pReply;
    m_pReply = nullptr;
    reply->disconnect(this);
    reply->abort();
    m_data.clear();
    m_errorCode = _code;
    m_errorString = _errorString;
    LOG(lcContent, QString("url %1, code %2, errStr '%3'").arg(m_url).arg(m_errorCode).arg(m_errorString));
    emit error();
}

void FileDownloader::errorSlot(QNetworkReply::NetworkError _code)
{
    m_errorCode = _code;
    if (m_pReply)
        m_errorString = m_pReply->errorString();
    LOG(lcContent, QString("url %1, code %2, errStr '%3'").arg(m_url).arg(int(_code)).arg(m_errorString));
    emit error();
}
