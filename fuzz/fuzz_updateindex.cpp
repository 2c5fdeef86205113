// The update index: arbitrary bytes as the index document, evaluated by the
// compiled-in query; every record then goes to a fresh firmware file list,
// as after a verified download.
//
// A record that the evaluation hands on always carries a devid, and a row
// the list adds for it never claims a pending update older than its version.

#include <cstddef>
#include <cstdint>

#include <QByteArray>
#include <QStringList>

#include "FuzzEnvironment.h"
#include "common/FirmwareUpdate.h"
#include "common/common.h"
#include "content/FirmwareUpdateFileModel.h"
#include "content/UpdateIndex.h"

extern "C" int LLVMFuzzerInitialize(int* _argc, char*** _argv)
{
    FuzzEnvironment::init(_argc, _argv);
    UpdateIndex::initQueryResource();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* _data, size_t _size)
{
    const QByteArray index(reinterpret_cast<const char*>(_data), int(_size));
    QList<UpdateIndex::Record> records;
    const UpdateIndex::Outcome_t outcome = UpdateIndex::evaluate(index, records);
    FUZZ_CHECK(outcome != UpdateIndex::eOutcomeQueryInvalid); // the query is ours, not the input's
    if (outcome != UpdateIndex::eOutcomeOk) {
        FUZZ_CHECK(records.isEmpty());
        return 0;
    }

    FirmwareUpdateFileModel model;
    QList<quint16> devTypes;
    for (const UpdateIndex::Record& record : records) {
        model.updateFirmwareFileData(record);
        devTypes.append(record.devType);
    }
    FUZZ_CHECK(model.rowCount() <= records.size());
    for (const quint16 devType : devTypes) {
        const FirmwareUpdate* fw = model.findByDevType(devType);
        if (fw && fw->hasUpdate() && fw->m_version != kNoVersion)
            FUZZ_CHECK(fw->m_update.version > fw->m_version);
    }
    return 0;
}
