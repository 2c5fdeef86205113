#include "AuthFileDownloader.h"

#include <cstdio>

#include <QCryptographicHash>
#include <QFile>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

#include "botan/BotanWrapper.h"
#include "common/OtaImageHeader.h"
#include "common/SystemServices.h"
#include "common/log.h"

namespace {
// Writes _bytes as the whole of _path; a full disk or a read-only folder is
// a failure, logged, not a short file.
bool writeWhole(const QString& _path, const QByteArray& _bytes)
{
    QFile file(_path);
    const bool written =
        file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(_bytes) == _bytes.size() && file.flush();
    const QString error = file.errorString();
    file.close();
    if (!written)
        LOG(lcContent, QString("can not write '%1': %2").arg(_path, error));
    return written;
}

QString partName(const QString& _fileName)
{
    return _fileName.isEmpty() ? QString() : _fileName + AuthFileDownloader::kPartSuffix;
}

void removeIfPresent(const QString& _fileName)
{
    if (!_fileName.isEmpty() && QFile::exists(_fileName))
        QFile::remove(_fileName);
}

// Moves _from over _to in one step: whenever the process ends, _to holds
// either its old bytes or the new ones, never nothing.
bool replaceFile(const QString& _from, const QString& _to)
{
#ifdef Q_OS_WIN
    return MoveFileExW(reinterpret_cast<const wchar_t*>(_from.utf16()), reinterpret_cast<const wchar_t*>(_to.utf16()),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    return std::rename(QFile::encodeName(_from).constData(), QFile::encodeName(_to).constData()) == 0;
#endif
}
} // namespace

AuthFileDownloader::AuthFileDownloader(QObject* parent) : QObject(parent)
{
    bool ok = true;
    ok = connect(&m_sigDownloader, &FileDownloader::downloaded, this, &AuthFileDownloader::checkUpdateAuth) && ok;
    ok = connect(&m_dataDownloader, &FileDownloader::downloaded, this, &AuthFileDownloader::checkUpdateAuth) && ok;
    ok = connect(&m_dataDownloader, &FileDownloader::downloadProgress, this, &AuthFileDownloader::progress) && ok;
    // A failed file takes the pair's temporary files with it before the owner hears of it.
    ok = connect(&m_dataDownloader, &FileDownloader::error, this, [this] { discardPartFiles(); }) && ok;
    ok = connect(&m_dataDownloader, &FileDownloader::error, this, &AuthFileDownloader::error) && ok;
    ok = connect(&m_sigDownloader, &FileDownloader::error, this, [this] { discardPartFiles(); }) && ok;
    ok = connect(&m_sigDownloader, &FileDownloader::error, this, &AuthFileDownloader::error) && ok;
    if (!ok)
        LOG(lcContent, "connect failed");
}

AuthFileDownloader::~AuthFileDownloader() = default;

void AuthFileDownloader::setFileName(const QString& _dir, const QString& _name, const QString& _ext,
                                     const QString& _sigExt)
{
    // The downloads stay in memory: what is checked there is what is written.
    m_dataFileName = _dir + "/" + _name + "." + _ext;
    m_sigFileName = m_authRequired ? _dir + "/" + _name + "." + _sigExt : QString();
}

void AuthFileDownloader::setUrl(const QString& _base, const QString& _name, const QString& _ext, const QString& _sigExt)
{
    // Leftovers of an earlier pair under these names are never verified.
    discardPartFiles();
    m_storedSize = -1;
    m_storedSha256.clear();
    // With a signature to check, a page of the server is judged only when
    // the check fails: a signed file may contain any text.
    m_dataDownloader.setJudgesNotFoundPage(!m_authRequired);
    m_sigDownloader.setJudgesNotFoundPage(!m_authRequired);
    m_dataDownloader.setUrl(_base, _name, _ext);
    if (m_authRequired)
        m_sigDownloader.setUrl(_base, _name, _sigExt);
}

void AuthFileDownloader::setMaxSize(qint64 _maxSize)
{
    m_dataDownloader.setMaxSize(_maxSize);
    m_sigDownloader.setMaxSize(_maxSize);
}

void AuthFileDownloader::setUsualLimits()
{
    setStallLimit(kStallLimitMs);
    setRateFloor(kRateFloor, kRateWindowMs);
    setTimeLimit(kTimeLimitMs);
}

void AuthFileDownloader::setStallLimit(int _milliseconds)
{
    m_dataDownloader.setStallLimit(_milliseconds);
    m_sigDownloader.setStallLimit(_milliseconds);
}

void AuthFileDownloader::setRateFloor(int _bytesPerSecond, int _windowMs)
{
    m_dataDownloader.setRateFloor(_bytesPerSecond, _windowMs);
    m_sigDownloader.setRateFloor(_bytesPerSecond, _windowMs);
}

void AuthFileDownloader::setTimeLimit(int _milliseconds)
{
    m_dataDownloader.setTimeLimit(_milliseconds);
    m_sigDownloader.setTimeLimit(_milliseconds);
}

void AuthFileDownloader::abort()
{
    m_dataDownloader.abort();
    m_sigDownloader.abort();
    discardPartFiles();
}

int AuthFileDownloader::errorCode() const
{
    return m_dataDownloader.errorCode() != 0 ? m_dataDownloader.errorCode() : m_sigDownloader.errorCode();
}

QString AuthFileDownloader::errorString(bool _detailed) const
{
    if (_detailed) {
        return QString("Dat: %1 '%2' Sig: %3 '%4'")
            .arg(m_dataDownloader.errorCode())
            .arg(m_dataDownloader.errorString())
            .arg(m_sigDownloader.errorCode())
            .arg(m_sigDownloader.errorString());
    }
    return !m_dataDownloader.errorString().isEmpty() ? m_dataDownloader.errorString() : m_sigDownloader.errorString();
}

void AuthFileDownloader::progress(qint64 bytesReceived, qint64 bytesTotal)
{
    emit downloadProgress(bytesReceived, bytesTotal);
}

void AuthFileDownloader::discardPartFiles()
{
    removeIfPresent(partName(m_dataFileName));
    removeIfPresent(partName(m_sigFileName));
}

bool AuthFileDownloader::storeVerified(bool _withSignature)
{
    // The bytes that were checked are written under a temporary name and
    // moved to the final one; nothing is read back from the disk.
    struct Store
    {
        QString to;
        QByteArray bytes;
    };
    QList<Store> stores{{m_dataFileName, m_dataDownloader.data()}};
    if (_withSignature)
        stores.append({m_sigFileName, m_sigDownloader.data()});
    for (const Store& store : stores) {
        if (store.to.isEmpty())
            continue;
        if (!writeWhole(partName(store.to), store.bytes)) {
            LOG(lcContent, QString("could not store '%1'").arg(store.to));
            discardPartFiles();
            return false;
        }
    }
    for (const Store& store : stores) {
        if (store.to.isEmpty())
            continue;
        if (!replaceFile(partName(store.to), store.to)) {
            LOG(lcContent, QString("could not store '%1'").arg(store.to));
            discardPartFiles();
            return false;
        }
    }
    return true;
}

bool AuthFileDownloader::verify()
{
    BotanWrapper* wrapper = &BotanWrapper::shared();
    if (!wrapper || !wrapper->loadEmbeddedKey()) {
        LOG(lcContent, "loadPublicKey failed");
        return false;
    }
    if (!wrapper->verify(m_dataDownloader.data(), m_sigDownloader.data())) {
        LOG(lcContent, "auth failed");
        return false;
    }
    return true;
}

bool AuthFileDownloader::isExpectedFile()
{
    const QByteArray data = m_dataDownloader.data();
    m_checkedSize = data.size();
    m_checkedSha256 = QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex();
    if (!m_expected.isSet())
        return true;
    if (!m_expected.hasDigest())
        LOG(lcContent, QString("the index gives no size and sha256 for '%1': signature only").arg(url()));
    const QString why =
        m_expected.mismatch(data.left(OtaImageHeader::kMandatoryLength), m_checkedSize, m_checkedSha256);
    if (why.isEmpty())
        return true;
    LOG(lcContent, QString("'%1' is not the file the index offers: %2").arg(url(), why));
    return false;
}

bool AuthFileDownloader::takeNotFoundPage()
{
    bool page = false;
    for (FileDownloader* downloader : {&m_dataDownloader, &m_sigDownloader}) {
        if (downloader->isNotFoundPage()) {
            downloader->markNotFound();
            page = true;
        }
    }
    return page;
}

void AuthFileDownloader::checkUpdateAuth()
{
    if (!m_authRequired) {
        takeUnsigned();
        return;
    }
    if (!pairReady())
        return;
    if (!verify()) {
        rejectUnverified();
        return;
    }
    if (!isExpectedFile()) {
        rejectPair();
        return;
    }
    storeSignedPair();
}

void AuthFileDownloader::takeUnsigned()
{
    // Without a signature, a file that had a network error is not taken at all.
    if (!m_dataDownloader.isOk() || m_dataDownloader.errorCode() != 0) {
        if (m_dataDownloader.errorCode() != 0)
            discardPartFiles();
        return;
    }
    if (!storeVerified(false)) {
        emit error();
        return;
    }
    LOG(lcContent, "url data OK (NO auth done)");
    emit downloaded();
}

bool AuthFileDownloader::pairReady()
{
    if (!m_dataDownloader.isOk() || !m_sigDownloader.isOk()) {
        // A file that failed and was written afterwards (an error page) goes again.
        if (m_dataDownloader.errorCode() != 0 || m_sigDownloader.errorCode() != 0)
            discardPartFiles();
        return false;
    }
    if (m_dataDownloader.errorCode() == QNetworkReply::ContentNotFoundError ||
        m_sigDownloader.errorCode() == QNetworkReply::ContentNotFoundError) {
        LOG(lcContent, "ContentNotFoundError");
        discardPartFiles();
        emit error();
        return false;
    }
    if (m_dataDownloader.errorCode() != 0 || m_sigDownloader.errorCode() != 0) {
        // Bytes of a failed transfer (cut off, or nothing at all) are not
        // judged: the error has been reported, a signature failure would
        // only misname it.
        discardPartFiles();
        return false;
    }
    return true;
}

void AuthFileDownloader::rejectUnverified()
{
    if (takeNotFoundPage()) {
        discardPartFiles();
        emit error();
        return;
    }
    rejectPair();
}

void AuthFileDownloader::rejectPair()
{
    LOG(lcContent, "url data wrong (auth failed)");
    discardPartFiles();
    emit authFailed();
}

void AuthFileDownloader::storeSignedPair()
{
    if (!storeVerified(true)) {
        emit error();
        return;
    }
    m_storedSize = m_checkedSize;
    m_storedSha256 = m_checkedSha256;
    LOG(lcContent, "url data OK (auth done)");
    LOG(lcContent,
        QString("data size %1, sig size %2").arg(m_dataDownloader.data().size()).arg(m_sigDownloader.data().size()));
    emit downloaded();
}
