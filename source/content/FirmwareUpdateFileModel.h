#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QVariantMap>

#include "AuthFileDownloader.h"
#include "UpdateIndex.h"
#include "common/FirmwareCatalog.h"
#include "common/FirmwareUpdate.h"
#include "common/SystemServices.h"

// The firmware files the tool knows, one row per device type: the file held
// in the update folder and the newer one the update index offers. It also
// runs the download queue of the selected rows, one signed file after the
// other, and records every stored file in "backup.ini".
class FirmwareUpdateFileModel : public QAbstractListModel, public FirmwareCatalog
{
    Q_OBJECT
public:
    enum Roles
    {
        NameRole = Qt::UserRole + 1, // 257
        VersionRole,
        SelectedRole,
        ImgSourceRole,
        ProgressRole,
        DoneRole,
        HasUpdateRole,
    };

    explicit FirmwareUpdateFileModel(QObject* parent = nullptr);
    ~FirmwareUpdateFileModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QHash<int, QByteArray> roleNames() const override;

    Q_INVOKABLE QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Q_INVOKABLE bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Q_INVOKABLE void setSelectable(int _row, bool _selected);
    Q_INVOKABLE void setProgress(int _row, int _value);
    Q_INVOKABLE QVariantMap get(int _row) const;

    // Downloads the next selected row that has an update; the queue calls it
    // again after every file and sets the system state back to idle at its end.
    void StartFileDownload();
    // The user cancels the download run: the file in flight is given up
    // (its temporary files removed, the files held and "backup.ini" left as
    // they are), every row the run would still have fetched is marked as
    // not downloaded and stays selected, and the system goes back to idle.
    void cancelDownloads();
    // One record of the update index.
    void updateFirmwareFileData(const UpdateIndex::Record& _record);
    void updateRow(unsigned short _devType);
    const FirmwareUpdate* findByDevType(quint16 _devType) const override;
    // The same record for the list's owner, which may change it.
    FirmwareUpdate* findByDevType(quint16 _devType);
    // A transfer of a file of _devType took _seconds (-1: not measured): the
    // row's average transfer time takes it in, and "backup.ini" keeps it.
    void recordDuration(quint16 _devType, int _seconds);
    // Until the update index has been processed every client may ask again.
    void setIndexState(SystemServices::UpdateXmlState_t _state) { m_indexState = _state; }
    void addFirmwareFile(quint16 _devType, const QString& _versionText, const QString& _fileName, int _duration);
    // A file already held in the update folder, with what it was when it was
    // verified; a file without a digest is not served.
    void setKnownFile(quint16 _devType, const QString& _versionText, const QString& _fileName, int _duration,
                      const HeldFileDigest& _digest = HeldFileDigest());
    QString intactFilePath(quint16 _devType) override;
    bool isIntact(quint16 _devType, QFile& _open) override;
    // The record of a row, in the order of the rows; null outside them.
    FirmwareUpdate* recordAt(int _row) const { return m_rows.value(_row, nullptr); }
    // 0 no row with an update selected, 2 all of them, 1 some.
    int selectionState() const;
    void toggleSelectAll();
    bool anyUpdateSelected() const;
    // Whether a client of this type, running _version, can be offered a newer file.
    bool isUpdatePossible(quint16 _devType, quint32 _version) const override;
    // The row's part of that answer: whether its file (the pending one, else
    // the present one) is newer than _version; an unknown _version asks
    // whether the row has an update at all.
    static bool offersNewerThan(const FirmwareUpdate& _row, quint32 _version);
    void refreshAll();
    void setDownloadStallLimit(int _milliseconds) { m_downloader.setStallLimit(_milliseconds); }
    void setDownloadRateFloor(int _bytesPerSecond, int _windowMs)
    {
        m_downloader.setRateFloor(_bytesPerSecond, _windowMs);
    }

signals:
    void selectionChanged();
    void versionChanged(quint16 _devType);
    // The download run has no selected file left (_cancelled: the user ended it).
    void downloadsEnded(bool _cancelled);
    // Stick firmware, or a tool package, newer than the one held was stored.
    void stickFirmwareStored(quint32 _version, const QString& _fileName);
    void toolPackageStored(quint32 _version, const QString& _fileName);

public slots:
    void processUpdateFile();
    void processAuthFailed();
    void processDownloadError();
    void progress(qint64 bytesReceived, qint64 bytesTotal);

private:
    int nextDownloadRow() const;
    // Whether the download run fetches this row.
    static bool isQueued(const FirmwareUpdate& _fw);
    // The name under which a download named _stored by the index is kept:
    // _stored itself unless a file held now (by a row or in "backup.ini")
    // shares its base name, which the new data file or its signature would
    // overwrite before the new file is on record; then a free variant
    // "<base>-<n>.<suffix>". Empty when there is none.
    QString storageName(const QString& _stored, const QString& _sigExt) const;
    void discardStoredPair();
    // The record becomes _fw's pending update, with its digest, when newer.
    static void takeOffer(FirmwareUpdate& _fw, const UpdateIndex::Record& _record);
    FirmwareUpdate* activeRecord() const;
    void finishActiveRow();
    void logWithoutRow() const;
    void emitRowChanged(int _row);
    // Logs a fresh verdict on a held file and shows it in its row; returns _intact.
    bool noteVerdict(FirmwareUpdate& _fw, const QString& _path, bool _intact, bool _fresh, const QString& _why);

    QList<FirmwareUpdate*> m_rows;
    AuthFileDownloader m_downloader;
    int m_ActRow = -1;
    QString m_activeStoredName; // the name the active row's file is kept under
    SystemServices::UpdateXmlState_t m_indexState = SystemServices::eUpdateXmlStateUnknown;
};
