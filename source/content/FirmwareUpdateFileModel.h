#pragma once

#include <QAbstractListModel>
#include <QList>

#include "common/FirmwareUpdate.h"

// The firmware files the tool knows, one row per device type.
class FirmwareUpdateFileModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Roles {
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
    Q_INVOKABLE QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    FirmwareUpdate* findByDevType(quint16 _devType) const;
    void addFirmwareFile(quint16 _devType, const QString& _versionText, const QString& _fileName, int _duration);
    // Whether a client of this type, running _version, can be offered a newer file.
    bool isUpdatePossible(quint16 _devType, quint32 _version) const;

private:
    QList<FirmwareUpdate*> m_rows;
};
