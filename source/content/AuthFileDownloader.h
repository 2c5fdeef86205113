#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include "ExpectedFile.h"
#include "FileDownloader.h"

// Fetches a data file and its detached signature file side by side and
// reports the data as downloaded only when the signature holds and the data
// is the file the owner expects (ExpectedFile: what the signed index says of
// it). Only a pair that fails its signature can be the server's "file not
// found" page.
//
// Both files are kept in memory and checked there; only a verified pair is
// written, under temporary names (final name + ".part") in the target folder,
// and then moved to the final names. So the bytes the owner parses, stores
// and serves are the bytes that were checked: nothing is read back from a
// file that could have changed in between. Failures remove the temporary
// files and leave every final file untouched, so a file that is already
// served is never replaced by unverified bytes.
class AuthFileDownloader : public QObject
{
    Q_OBJECT
public:
    static constexpr const char* kPartSuffix = ".part";

    explicit AuthFileDownloader(QObject* parent = nullptr);
    ~AuthFileDownloader() override;

    void setFileName(const QString& _dir, const QString& _name, const QString& _ext, const QString& _sigExt);
    void setUrl(const QString& _base, const QString& _name, const QString& _ext, const QString& _sigExt);

    QString url() const { return m_dataDownloader.url(); }
    QByteArray data() const { return m_dataDownloader.data(); }
    int errorCode() const;
    QString errorString(bool _detailed) const;

    // Final names of the pair (empty: the bytes are kept in memory only).
    QString fileName() const { return m_dataFileName; }
    QString sigFileName() const { return m_sigFileName; }

    bool authRequired() const { return m_authRequired; }
    void setAuthRequired(bool _required) { m_authRequired = _required; }
    // Size limit of each of the two downloads (default FileDownloader::kDefaultMaxSize).
    void setMaxSize(qint64 _maxSize);
    // What every download of the tool is held to, so that the download
    // queue moves on and the tool leaves the download state. A server that
    // sends nothing for kStallLimitMs is given up.
    static constexpr int kStallLimitMs = 30000;
    // So is one that sends slower than kRateFloor on average over a minute:
    // a server that sends a byte now and then restarts the stall limit every
    // time. 4 KiB/s lies below the slowest link that still works (a dial-up
    // modem carries 5 to 7 KB/s), so only a broken or hostile server falls
    // under it.
    static constexpr int kRateFloor = 4096; // bytes per second
    static constexpr int kRateWindowMs = 60000;
    // Whatever its rate shows, no file takes longer in all than the largest
    // one allowed (FileDownloader::kDefaultMaxSize, 64 MiB) takes at the
    // floor, plus the first window: 16 444 s, about 4 h 34 min. A transfer
    // that keeps the floor ends within it, one that does not is given up.
    static constexpr int kTimeLimitMs = int(FileDownloader::kDefaultMaxSize / kRateFloor * 1000 + kRateWindowMs);
    // Holds both downloads to the limits above.
    void setUsualLimits();

    // See FileDownloader::setStallLimit, setRateFloor and setTimeLimit;
    // each applies to both downloads.
    void setStallLimit(int _milliseconds);
    void setRateFloor(int _bytesPerSecond, int _windowMs);
    void setTimeLimit(int _milliseconds);
    // Gives up the pair in flight: both transfers are dropped, their
    // temporary files removed, and no signal follows for it. Final names
    // are not touched.
    void abort();
    // What the next data file must be, checked after its signature and before
    // it takes its final name; a file that differs is an authentication
    // failure. Stays until set again.
    void setExpected(const ExpectedFile& _expected) { m_expected = _expected; }
    // Size and SHA-256 (lower-case hex) of the last data file stored under
    // its final name; -1 and empty before.
    qint64 storedSize() const { return m_storedSize; }
    QByteArray storedSha256() const { return m_storedSha256; }

signals:
    void downloaded();
    void error();
    void authFailed();
    void downloadProgress(qint64 bytesReceived, qint64 bytesTotal);

public slots:
    void checkUpdateAuth();
    void progress(qint64 bytesReceived, qint64 bytesTotal);

private:
    // The steps of checkUpdateAuth().
    void takeUnsigned();
    // Both files in without an error; a pair that failed is cleared away
    // (and a missing file reported) here.
    bool pairReady();
    // A pair whose signature fails: the server's "file not found" page, or
    // not the files that were signed.
    void rejectUnverified();
    void rejectPair();
    void storeSignedPair();
    bool verify();
    bool isExpectedFile();
    bool takeNotFoundPage();
    bool storeVerified(bool _withSignature);
    void discardPartFiles();

    FileDownloader m_dataDownloader;
    FileDownloader m_sigDownloader;
    bool m_authRequired = true;
    QString m_dataFileName;
    QString m_sigFileName;
    ExpectedFile m_expected;
    qint64 m_storedSize = -1;
    QByteArray m_storedSha256;
    qint64 m_checkedSize = -1;
    QByteArray m_checkedSha256;
};
