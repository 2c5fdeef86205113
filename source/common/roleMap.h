#pragma once

#include <QVariantMap>

class QAbstractItemModel;

// One row of a list model as role name -> data, for every role the model
// names; what QML's get(row) of a list model returns.
QVariantMap roleMap(const QAbstractItemModel& _model, int _row);
