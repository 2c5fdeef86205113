#include "FirmwareUpdateFileModel.h"

#include "common/DeviceType.h"
#include "bridge/CProg2Gui.h"
#include "common/log.h"

FirmwareUpdateFileModel::FirmwareUpdateFileModel(QObject* parent)
    : QAbstractListModel(parent)
{
}

FirmwareUpdateFileModel::~FirmwareUpdateFileModel()
{
    if (theFileModel == this)
        theFileModel = nullptr;
    qDeleteAll(m_rows);
}

int FirmwareUpdateFileModel::rowCount(const QModelIndex&) const
{
    return m_rows.size();
}

QHash<int, QByteArray> FirmwareUpdateFileModel::roleNames() const
{
    return {
        {NameRole, "name"},         {VersionRole, "version"}, {SelectedRole, "selected"},
        {ImgSourceRole, "imgSource"}, {ProgressRole, "progress"}, {DoneRole, "done"},
        {HasUpdateRole, "hasUpdate"},
    };
}

QVariant FirmwareUpdateFileModel::data(const QModelIndex& index, int role) const
{
    const int row = index.row();
    if (row < 0 || row >= m_rows.size()) {
        qDebug("%s(%i) %s: role %i, row %i", __FILE__, __LINE__, "FirmwareUpdateFileModel::data", role, row);
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
        qDebug("%s(%i) %s: unknown role (%i), row %i", __FILE__, __LINE__, "FirmwareUpdateFileModel::data", role, row);
        return QVariant();
    }
}

FirmwareUpdate* FirmwareUpdateFileModel::findByDevType(quint16 _devType) const
{
    for (FirmwareUpdate* fw : m_rows) {
        if (fw->m_devType == _devType)
            return fw;
    }
    return nullptr;
}

void FirmwareUpdateFileModel::addFirmwareFile(quint16 _devType, const QString& _versionText, const QString& _fileName,
                                              int _duration)
{
    if (FirmwareUpdate* fw = findByDevType(_devType)) {
        // Versions compare as packed numbers: 1.10.0 is newer than 1.9.0. A
        // row without a pending update always takes the offer.
        const quint32 offered = parseVersion(_versionText);
        if (offered != kNoVersion && (fw->m_update.version == kNoVersion || fw->m_update.version < offered)) {
            fw->m_update.setVersion(offered);
            fw->m_update.fileName = _fileName;
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

bool FirmwareUpdateFileModel::isUpdatePossible(quint16 _devType, quint32 _version) const
{
    // Until the update index has been processed, every client may ask again.
    if (!theBridge || theBridge->updateXmlState() == CProg2Gui::eUpdateXmlStateUnknown)
        return true;
    const FirmwareUpdate* fw = findByDevType(_devType);
    if (!fw)
        return false;
    if (_version == kNoVersion)
        return fw->hasUpdate();
    const quint32 available = fw->m_update.version != kNoVersion ? fw->m_update.version : fw->m_version;
    return available != kNoVersion && available > _version;
}
