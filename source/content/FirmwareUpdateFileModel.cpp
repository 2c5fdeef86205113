#include "FirmwareUpdateFileModel.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include "BackupIni.h"
#include "UpdateFolder.h"
#include "common/DeviceType.h"
#include "common/SystemServices.h"
#include "common/log.h"
#include "common/roleMap.h"
#include "common/settings.h"

FirmwareUpdateFileModel::FirmwareUpdateFileModel(QObject* parent) : QAbstractListModel(parent)
{
    CONNECT_OR_LOG(lcContent, &m_downloader, &AuthFileDownloader::downloaded, this,
                   &FirmwareUpdateFileModel::processUpdateFile);
    CONNECT_OR_LOG(lcContent, &m_downloader, &AuthFileDownloader::authFailed, this,
                   &FirmwareUpdateFileModel::processAuthFailed);
    CONNECT_OR_LOG(lcContent, &m_downloader, &AuthFileDownloader::error, this,
                   &FirmwareUpdateFileModel::processDownloadError);
    CONNECT_OR_LOG(lcContent, &m_downloader, &AuthFileDownloader::downloadProgress, this,
                   &FirmwareUpdateFileModel::progress);
    m_downloader.setUsualLimits();
}

FirmwareUpdateFileModel::~FirmwareUpdateFileModel()
{
    qDeleteAll(m_rows);
}

int FirmwareUpdateFileModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

QHash<int, QByteArray> FirmwareUpdateFileModel::roleNames() const
{
    return {
        {NameRole, "name"},           {VersionRole, "version"},   {SelectedRole, "selected"},
        {ImgSourceRole, "imgSource"}, {ProgressRole, "progress"}, {DoneRole, "done"},
        {HasUpdateRole, "hasUpdate"},
    };
}

QVariant FirmwareUpdateFileModel::data(const QModelIndex& index, int role) const
{
    const int row = index.row();
    if (row < 0 || row >= m_rows.size()) {
        qCDebug(lcContent, "%s(%i) %s: role %i, row %i", __FILE__, __LINE__, "FirmwareUpdateFileModel::data", role,
                row);
        return QVariant();
    }
    const FirmwareUpdate* fw = m_rows.at(row);
    switch (role) {
    case NameRole:
        return QString("<font color=\"black\">%1<br><font color=\"grey\">%2")
            .arg(DeviceType::deviceTypeName(fw->m_devType), DeviceType::articleNumber(fw->m_devType));
    case VersionRole: {
        QString text = fw->versionHtml("green", "red");
        const QString result = fw->resultText();
        if (!result.isEmpty())
            text += "<br/>" + result;
        return text;
    }
    case SelectedRole:
        return fw->m_selected;
    case ImgSourceRole:
        if (!fw->hasUpdate())
            return QString("qrc:/pic/checkbox_disabled.png");
        return fw->m_selected ? QString("qrc:/pic/checkbox_checked.png") : QString("qrc:/pic/checkbox_unchecked.png");
    case ProgressRole:
        return fw->m_progress;
    case DoneRole:
        switch (fw->m_result) {
        case ProgressHelper::eResultSuccess:
            return QString("qrc:/pic/checkmark.png");
        case ProgressHelper::eResultAuthFail:
        case ProgressHelper::eResultMissingFile:
        case ProgressHelper::eResultFail:
            return QString("qrc:/pic/error.png");
        default:
            return QString();
        }
    case HasUpdateRole:
        return fw->hasUpdate();
    default:
        qCDebug(lcContent, "%s(%i) %s: unknown role (%i), row %i", __FILE__, __LINE__, "FirmwareUpdateFileModel::data",
                role, row);
        return QVariant();
    }
}

bool FirmwareUpdateFileModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.model() != this || index.row() >= m_rows.size()) {
        qCDebug(lcContent, "%s(%i) %s: invalid index", __FILE__, __LINE__, "FirmwareUpdateFileModel::setData");
        return false;
    }
    FirmwareUpdate* fw = m_rows.at(index.row());
    switch (role) {
    case SelectedRole: {
        const bool selected = value.toBool();
        if (selected == fw->m_selected)
            return true;
        fw->setSelected(selected);
        if (selected && fw->hasUpdate()) {
            // A reselected row is fetched afresh.
            fw->setProgress(-1);
            fw->setDone(ProgressHelper::eResultUnknown);
        }
        emitRowChanged(index.row());
        return true;
    }
    case ProgressRole:
        qCDebug(lcContent, "%s(%i) %s: xx", __FILE__, __LINE__, "FirmwareUpdateFileModel::setData");
        fw->setProgress(value.toInt());
        emitRowChanged(index.row());
        return true;
    default:
        qCDebug(lcContent, "%s(%i) %s: xx", __FILE__, __LINE__, "FirmwareUpdateFileModel::setData");
        return false;
    }
}

void FirmwareUpdateFileModel::setSelectable(int _row, bool _selected)
{
    qCDebug(lcContent, "%s(%i) %s: row %i selected %s", __FILE__, __LINE__, "FirmwareUpdateFileModel::setSelectable",
            _row, _selected ? "true" : "false");
    setData(index(_row), _selected, SelectedRole);
    emit selectionChanged();
}

void FirmwareUpdateFileModel::setProgress(int _row, int _value)
{
    setData(index(_row), _value, ProgressRole);
}

QVariantMap FirmwareUpdateFileModel::get(int _row) const
{
    return roleMap(*this, _row);
}

void FirmwareUpdateFileModel::emitRowChanged(int _row)
{
    if (_row < 0 || _row >= m_rows.size())
        return;
    const QModelIndex changed = index(_row);
    emit dataChanged(changed, changed);
}

bool FirmwareUpdateFileModel::isQueued(const FirmwareUpdate& _fw)
{
    if (!_fw.hasUpdate() || !_fw.m_selected || _fw.m_result == ProgressHelper::eResultSuccess)
        return false;
    return _fw.m_failCounter < ProgressHelper::kMaxFailures || !ProgressHelper::isFailure(_fw.m_result);
}

int FirmwareUpdateFileModel::nextDownloadRow() const
{
    for (int row = 0; row < m_rows.size(); ++row) {
        if (isQueued(*m_rows.at(row)))
            return row;
    }
    return -1;
}

void FirmwareUpdateFileModel::StartFileDownload()
{
    QSettings* settings = getSettings();
    const QString baseUrl = settings ? settings->value("update/UpdateUrl").toString() : QString();
    const QString sigExt = settings ? settings->value("update/UpdateSigExt").toString() : QString();
    m_downloader.setAuthRequired(true);

    for (;;) {
        const int row = nextDownloadRow();
        if (row < 0) {
            emit downloadsEnded(false);
            return;
        }
        m_ActRow = row;
        FirmwareUpdate* fw = m_rows.at(row);
        const QString indexName = fw->m_update.fileName;
        LOG(lcContent, QString("QML action: StartFileDownload %1").arg(indexName));
        fw->setProgress(0);

        // Only the plain name is fetched and stored; a name that leaves no
        // file name inside the update folder is not fetched at all.
        const QString stored = UpdateFolder::storedFileName(indexName);
        if (stored.isEmpty()) {
            LOG(lcContent, QString("refused file name '%1'").arg(indexName));
            fw->setSelected(false);
            fw->setDone(ProgressHelper::eResultFail);
            LOG(lcContent, QString("ERROR: download failed %1").arg(indexName));
            emitRowChanged(row);
            m_ActRow = -1;
            continue;
        }
        m_activeStoredName = storageName(stored, sigExt);
        if (m_activeStoredName.isEmpty()) {
            LOG(lcContent, QString("no free name to keep '%1' under").arg(stored));
            fw->setSelected(false);
            fw->setDone(ProgressHelper::eResultFail);
            emitRowChanged(row);
            m_ActRow = -1;
            continue;
        }
        if (m_activeStoredName != stored)
            LOG(lcContent, QString("'%1' is held now: the download is kept as '%2'").arg(stored, m_activeStoredName));
        const QFileInfo split(stored);
        const QFileInfo target(m_activeStoredName);
        m_downloader.setExpected(
            ExpectedFile(fw->m_devType, fw->m_update.version, fw->m_update.size, fw->m_update.sha256));
        m_downloader.setFileName(getUpdatePath(), target.completeBaseName(), target.suffix(), sigExt);
        m_downloader.setUrl(baseUrl, split.completeBaseName(), split.suffix(), sigExt);
        emitRowChanged(row);
        return;
    }
}

void FirmwareUpdateFileModel::cancelDownloads()
{
    LOG(lcContent, QString("downloads cancelled, m_ActRow %1").arg(m_ActRow));
    // The downloader reports nothing more of the pair, so nothing restarts
    // the queue behind the user's back.
    m_downloader.abort();
    m_ActRow = -1;
    m_activeStoredName.clear();
    for (int row = 0; row < m_rows.size(); ++row) {
        FirmwareUpdate* fw = m_rows.at(row);
        if (!isQueued(*fw))
            continue;
        fw->setProgress(-1);
        fw->setDone(ProgressHelper::eResultUnknown);
        emitRowChanged(row);
    }
    emit downloadsEnded(true);
}

QString FirmwareUpdateFileModel::storageName(const QString& _stored, const QString& _sigExt) const
{
    // The file system of Windows does not tell case apart.
    QStringList heldBases;
    for (const FirmwareUpdate* fw : m_rows) {
        if (!fw->m_fileName.isEmpty())
            heldBases.append(QFileInfo(fw->m_fileName).completeBaseName().toLower());
    }
    for (const BackupIni::Entry& entry : BackupIni::entries()) {
        if (!entry.fileName.isEmpty())
            heldBases.append(QFileInfo(entry.fileName).completeBaseName().toLower());
    }
    const QFileInfo info(_stored);
    if (!heldBases.contains(info.completeBaseName().toLower()))
        return _stored;
    constexpr int kVariants = 999;
    for (int n = 1; n <= kVariants; ++n) {
        const QString base = QString("%1-%2").arg(info.completeBaseName()).arg(n);
        const QString name = base + "." + info.suffix();
        if (heldBases.contains(base.toLower()) || QFile::exists(UpdateFolder::filePath(name)) ||
            QFile::exists(UpdateFolder::filePath(base + "." + _sigExt)))
            continue;
        if (UpdateFolder::storedFileName(name) == name)
            return name;
    }
    return QString();
}

void FirmwareUpdateFileModel::discardStoredPair()
{
    // Not on record and not the name of any held file: nothing refers to it.
    for (const QString& path : {m_downloader.fileName(), m_downloader.sigFileName()}) {
        if (!path.isEmpty() && QFile::exists(path) && !QFile::remove(path))
            LOG(lcContent, QString("can not remove '%1'").arg(path));
    }
}

void FirmwareUpdateFileModel::progress(qint64 bytesReceived, qint64 bytesTotal)
{
    LOG(lcContent, QString("bytes %1, total %2, m_ActRow %3").arg(bytesReceived).arg(bytesTotal).arg(m_ActRow));
    FirmwareUpdate* fw = activeRecord();
    if (!fw) {
        LOG(lcContent, "ERROR");
        return;
    }
    if (bytesTotal > 0)
        fw->setProgress(static_cast<int>(bytesReceived * 1000 / bytesTotal));
    emitRowChanged(m_ActRow);
}

FirmwareUpdate* FirmwareUpdateFileModel::activeRecord() const
{
    if (m_ActRow < 0 || m_ActRow >= m_rows.size())
        return nullptr;
    return m_rows.at(m_ActRow);
}

void FirmwareUpdateFileModel::finishActiveRow()
{
    emitRowChanged(m_ActRow);
    m_ActRow = -1;
    StartFileDownload();
}

void FirmwareUpdateFileModel::logWithoutRow() const
{
    // No file of the queue is in flight, so the signal belongs to no
    // download. It must not restart the queue: that would fetch rows the
    // user has not asked for, or end a device update run by going idle.
    LOG(lcContent, QString("ERROR data-size %1, URL '%2'").arg(m_downloader.data().size()).arg(m_downloader.url()));
}

void FirmwareUpdateFileModel::processUpdateFile()
{
    FirmwareUpdate* fw = activeRecord();
    if (!fw) {
        logWithoutRow();
        return;
    }
    fw->setSelected(false);
    const QByteArray data = m_downloader.data();
    if (!data.isEmpty()) {
        LOG(lcContent, QString("one file downloaded %1, %2 bytes; ver %3")
                           .arg(fw->m_update.fileName)
                           .arg(data.size())
                           .arg(fw->updateVersionString()));
        const QString stored = m_activeStoredName;
        if (BackupIni::registerFile(fw->m_devType, fw->updateVersionString(), stored, m_downloader.storedSize(),
                                    m_downloader.storedSha256())) {
            if (DeviceType::isStick(fw->m_devType))
                emit stickFirmwareStored(fw->updateVersion(), stored);
            fw->applyUpdateInfo();
            fw->m_fileName = stored;
            fw->m_fileDigest = HeldFileDigest(m_downloader.storedSize(), m_downloader.storedSha256());
            fw->setDone(ProgressHelper::eResultSuccess);
            emit versionChanged(fw->m_devType);
            if (DeviceType::isTool(fw->m_devType))
                emit toolPackageStored(fw->m_version, fw->m_fileName);
        } else {
            // What "backup.ini" does not record, the next start would not
            // know: the row keeps the file it had, which is still there.
            discardStoredPair();
            fw->setDone(ProgressHelper::eResultFail);
            LOG(lcContent, QString("ERROR: download failed %1").arg(fw->m_update.fileName));
        }
    } else {
        fw->setDone(ProgressHelper::eResultFail);
        LOG(lcContent, QString("ERROR: download failed %1").arg(fw->m_update.fileName));
    }
    finishActiveRow();
}

void FirmwareUpdateFileModel::processAuthFailed()
{
    FirmwareUpdate* fw = activeRecord();
    if (!fw) {
        logWithoutRow();
        return;
    }
    fw->setSelected(false);
    fw->setDone(ProgressHelper::eResultAuthFail);
    LOG(lcContent, QString("ERROR: download failed %1").arg(fw->m_update.fileName));
    finishActiveRow();
}

void FirmwareUpdateFileModel::processDownloadError()
{
    FirmwareUpdate* fw = activeRecord();
    if (!fw) {
        logWithoutRow();
        return;
    }
    fw->setSelected(false);
    if (m_downloader.errorCode() == QNetworkReply::ContentNotFoundError) {
        fw->setDone(ProgressHelper::eResultMissingFile);
        fw->setProgress(0);
    } else {
        fw->setDone(ProgressHelper::eResultFail);
    }
    LOG(lcContent, QString("ERROR: download failed %1").arg(fw->m_update.fileName));
    finishActiveRow();
}

void FirmwareUpdateFileModel::updateFirmwareFileData(const UpdateIndex::Record& _record)
{
    if (!_record.sys.isEmpty() && _record.sys != "win")
        return;
    if (_record.badDigest) {
        LOG(lcContent, QString("record of devType %1 file '%2' has a malformed size or sha256: ignored")
                           .arg(_record.devType)
                           .arg(_record.fileName));
        return;
    }
    if (FirmwareUpdate* fw = findByDevType(_record.devType)) {
        takeOffer(*fw, _record);
        updateRow(_record.devType);
        LOG(lcContent, QString("new devType ver %1, file %2, Update %3 UpdFile %4")
                           .arg(fw->versionString(), fw->m_fileName, fw->updateVersionString(), fw->m_update.fileName));
        return;
    }
    LOG(lcContent, QString("new application '%1'").arg(_record.application));
    // The tool holds no file of this type yet: the offer is something to
    // download, not a file on disk, so the new row starts without a version
    // and takes the record as its pending update.
    addFirmwareFile(_record.devType, QString(), QString(), 600);
    if (FirmwareUpdate* fw = findByDevType(_record.devType)) {
        takeOffer(*fw, _record);
        updateRow(_record.devType);
    }
}

void FirmwareUpdateFileModel::takeOffer(FirmwareUpdate& _fw, const UpdateIndex::Record& _record)
{
    if (!_fw.setUpdateInfo(_record.version, _record.fileName))
        return;
    _fw.m_update.size = _record.size;
    _fw.m_update.sha256 = _record.sha256;
}

void FirmwareUpdateFileModel::updateRow(unsigned short _devType)
{
    LOG(lcContent, QString("devType %1").arg(_devType));
    for (int row = 0; row < m_rows.size(); ++row) {
        if (m_rows.at(row)->m_devType == _devType) {
            emitRowChanged(row);
            return;
        }
    }
}

const FirmwareUpdate* FirmwareUpdateFileModel::findByDevType(quint16 _devType) const
{
    for (const FirmwareUpdate* fw : m_rows) {
        if (fw->m_devType == _devType)
            return fw;
    }
    return nullptr;
}

FirmwareUpdate* FirmwareUpdateFileModel::findByDevType(quint16 _devType)
{
    for (FirmwareUpdate* fw : qAsConst(m_rows)) {
        if (fw->m_devType == _devType)
            return fw;
    }
    return nullptr;
}

void FirmwareUpdateFileModel::recordDuration(quint16 _devType, int _seconds)
{
    FirmwareUpdate* fw = findByDevType(_devType);
    if (fw && fw->updateDuration(_seconds))
        BackupIni::recordDuration(fw->m_devType, fw->m_duration);
}

void FirmwareUpdateFileModel::addFirmwareFile(quint16 _devType, const QString& _versionText, const QString& _fileName,
                                              int _duration)
{
    if (FirmwareUpdate* fw = findByDevType(_devType)) {
        // Versions compare as packed numbers: 1.10.0 is newer than 1.9.0. A
        // row without a pending update always takes the offer.
        const quint32 offered = parseVersion(_versionText);
        if (offered != kNoVersion && (fw->m_update.version == kNoVersion || fw->m_update.version < offered)) {
            fw->m_update.clear();
            fw->m_update.setVersion(offered);
            fw->m_update.fileName = _fileName;
            emitRowChanged(m_rows.indexOf(fw));
        }
        return;
    }
    const int row = m_rows.size();
    beginInsertRows(QModelIndex(), row, row);
    auto* fw = new FirmwareUpdate(_devType, _versionText);
    fw->m_fileName = _fileName;
    fw->m_duration = _duration;
    fw->m_selected = true;
    m_rows.append(fw);
    endInsertRows();
}

void FirmwareUpdateFileModel::setKnownFile(quint16 _devType, const QString& _versionText, const QString& _fileName,
                                           int _duration, const HeldFileDigest& _digest)
{
    FirmwareUpdate* fw = findByDevType(_devType);
    if (!fw) {
        addFirmwareFile(_devType, _versionText, _fileName, _duration);
        if (FirmwareUpdate* added = findByDevType(_devType))
            added->m_fileDigest = _digest;
        return;
    }
    const quint32 known = parseVersion(_versionText);
    if (known != kNoVersion && (fw->m_update.version == kNoVersion || fw->m_update.version < known)) {
        fw->m_fileName = _fileName;
        fw->m_fileDigest = _digest;
        fw->setVersion(known);
        fw->m_duration = _duration;
        emitRowChanged(m_rows.indexOf(fw));
    }
}

QString FirmwareUpdateFileModel::intactFilePath(quint16 _devType)
{
    FirmwareUpdate* fw = findByDevType(_devType);
    if (!fw || fw->m_fileName.isEmpty())
        return QString();
    const QString path = UpdateFolder::filePath(QFileInfo(fw->m_fileName).fileName());
    QString why;
    bool fresh = false;
    const bool intact = fw->m_fileDigest.matches(path, &why, &fresh);
    return noteVerdict(*fw, path, intact, fresh, why) ? path : QString();
}

bool FirmwareUpdateFileModel::isIntact(quint16 _devType, QFile& _open)
{
    FirmwareUpdate* fw = findByDevType(_devType);
    if (!fw || fw->m_fileName.isEmpty())
        return false;
    QString why;
    bool fresh = false;
    const bool intact = fw->m_fileDigest.matches(_open, &why, &fresh);
    return noteVerdict(*fw, _open.fileName(), intact, fresh, why);
}

bool FirmwareUpdateFileModel::noteVerdict(FirmwareUpdate& _fw, const QString& _path, bool _intact, bool _fresh,
                                          const QString& _why)
{
    if (!_fresh)
        return _intact;
    // Said once per change of the file; the row shows a file that is gone
    // as missing, and no longer once it is back as it was.
    const int row = m_rows.indexOf(&_fw);
    if (_intact) {
        if (_fw.m_result == ProgressHelper::eResultMissingFile) {
            _fw.setDone(ProgressHelper::eResultUnknown);
            emitRowChanged(row);
        }
        return true;
    }
    LOG(lcContent, QString("held file '%1' of devType %2 is not served: %3").arg(_path).arg(_fw.m_devType).arg(_why));
    _fw.setDone(ProgressHelper::eResultMissingFile);
    emitRowChanged(row);
    return false;
}

int FirmwareUpdateFileModel::selectionState() const
{
    int withUpdate = 0;
    int selected = 0;
    for (const FirmwareUpdate* fw : m_rows) {
        if (!fw->hasUpdate())
            continue;
        ++withUpdate;
        if (fw->m_selected)
            ++selected;
    }
    if (selected == 0)
        return 0;
    return selected == withUpdate ? 2 : 1;
}

void FirmwareUpdateFileModel::toggleSelectAll()
{
    const int state = selectionState();
    for (int row = 0; row < m_rows.size(); ++row) {
        FirmwareUpdate* fw = m_rows.at(row);
        if (!fw->hasUpdate())
            continue;
        if (state == 0) {
            fw->setProgress(-1);
            fw->setDone(ProgressHelper::eResultUnknown);
        }
        fw->setSelected(state == 0);
        emitRowChanged(row);
    }
    emit selectionChanged();
}

bool FirmwareUpdateFileModel::anyUpdateSelected() const
{
    for (const FirmwareUpdate* fw : m_rows) {
        if (fw->hasUpdate() && fw->m_selected)
            return true;
    }
    return false;
}

bool FirmwareUpdateFileModel::offersNewerThan(const FirmwareUpdate& _row, quint32 _version)
{
    if (_version == kNoVersion)
        return _row.hasUpdate();
    const quint32 available = _row.m_update.version != kNoVersion ? _row.m_update.version : _row.m_version;
    return available != kNoVersion && available > _version;
}

bool FirmwareUpdateFileModel::isUpdatePossible(quint16 _devType, quint32 _version) const
{
    // Until the update index has been processed, every client may ask again.
    if (m_indexState == SystemServices::eUpdateXmlStateUnknown)
        return true;
    const FirmwareUpdate* fw = findByDevType(_devType);
    return fw && offersNewerThan(*fw, _version);
}

void FirmwareUpdateFileModel::refreshAll()
{
    for (int row = 0; row < m_rows.size(); ++row)
        emitRowChanged(row);
}
