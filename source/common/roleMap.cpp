#include "roleMap.h"

#include <QAbstractItemModel>

QVariantMap roleMap(const QAbstractItemModel& _model, int _row)
{
    QVariantMap map;
    const QModelIndex index = _model.index(_row, 0);
    const QHash<int, QByteArray> roles = _model.roleNames();
    for (auto it = roles.cbegin(); it != roles.cend(); ++it)
        map.insert(QString::fromUtf8(it.value()), _model.data(index, it.key()));
    return map;
}
