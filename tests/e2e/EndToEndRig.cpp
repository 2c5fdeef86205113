#include "EndToEndRig.h"

#include <algorithm>
#include <cstdio>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QSettings>
#include <QtTest>

#include "Publisher.h"
#include "Scenario.h"
#include "SimWire.h"
#include "StickSimulator.h"
#include "UpdateServer.h"
#include "botan/BotanWrapper.h"
#include "bridge/CProg2Gui.h"
#include "common/common.h"
#include "common/settings.h"
#include "content/FirmwareUpdateFileModel.h"
#include "devices/ZigBeeDeviceModel.h"
#include "link/StickInterface.h"
#include "support/StickFrames.h"
#include "support/TestFiles.h"

namespace {
// The tool logs every block it serves; a run gives thousands of lines. They
// are kept here and printed only when a test fails.
QStringList s_log;
QtMessageHandler s_previousHandler = nullptr;
constexpr int kLogLinesOnFailure = 150;
constexpr int kEventsOnFailure = 120;

void quietHandler(QtMsgType _type, const QMessageLogContext& _context, const QString& _message)
{
    s_log.append(_message);
    if (_type != QtDebugMsg && _type != QtInfoMsg && s_previousHandler)
        s_previousHandler(_type, _context, _message);
}

void printTail(const char* _title, const QStringList& _lines, int _count)
{
    std::fprintf(stderr, "---- %s (last %d of %d)\n", _title, int(qMin(_count, _lines.size())), int(_lines.size()));
    for (int i = qMax(0, _lines.size() - _count); i < _lines.size(); ++i)
        std::fprintf(stderr, "%s\n", qPrintable(_lines.at(i)));
}
} // namespace

EndToEndRig::EndToEndRig() : m_settings(std::make_unique<TestSettings>())
{
    s_log.clear();
    s_previousHandler = qInstallMessageHandler(quietHandler);
    m_server = std::make_unique<UpdateServer>(m_served.path());
    if (!m_server->listen())
        m_error = "update server does not listen";
    QSettings* settings = m_settings->settings();
    settings->setValue("update/UpdateUrl", m_server->baseUrl() + "/");
    settings->setValue("update/UpdateFile", "update");
    settings->setValue("update/UpdateExt", "xml");
    settings->setValue("update/UpdateSigExt", "sig");
    // The build puts the translations next to the executables; the window
    // then speaks the language saved here.
    settings->setValue("applSettings/lang", "English");
    QDir().mkpath(getUpdatePath());
}

EndToEndRig::~EndToEndRig()
{
    if (QTest::currentTestFailed() || qEnvironmentVariableIsSet("LUMORAN_E2E_VERBOSE")) {
        printTail("tool log", s_log, kLogLinesOnFailure);
        if (m_simulator) {
            printTail("simulator events", m_simulator->events(), kEventsOnFailure);
            printTail("simulator summary", m_simulator->summary(), 1000);
        }
    }
    // The tool closes its end of the line before the simulator goes.
    QObject::disconnect(m_wireConnection);
    if (m_ownsBridge)
        delete m_bridge;
    m_bridge = nullptr;
    if (m_simulator)
        m_simulator->stop();
    m_simulator.reset();
    m_server.reset();
    qInstallMessageHandler(s_previousHandler);
    s_previousHandler = nullptr;
    s_log.clear();
    m_settings.reset();
}

bool EndToEndRig::canVerifyDevelopmentContent()
{
    return DevelopmentSigner::embeddedKeyIsDevelopmentKey();
}

QJsonObject EndToEndRig::scenario(const QJsonArray& _devices, const QJsonObject& _faults, const QJsonObject& _timing)
{
    // Short intervals keep a run to seconds; the polls still come well within
    // the tool's 6 s link watchdog.
    QJsonObject timing{
        {"connectIntervalMs", 200},    {"replyTimeoutMs", 400},   {"maxRetries", 8},
        {"resetPollMs", 2000},         {"nwkStatusMs", 2500},     {"queryIntervalMs", 300},
        {"stickQueryIntervalMs", 400}, {"restartDelayMs", 300},   {"stickRestartDelayMs", 800},
        {"requestRetryMs", 400},       {"requestMaxRetries", 10},
    };
    for (auto it = _timing.begin(); it != _timing.end(); ++it)
        timing.insert(it.key(), it.value());
    QJsonObject stick{
        {"version", "1.0.0"}, {"shortAddress", "0x0000"}, {"channel", 15}, {"networkId", "4c554d4f52414e31"},
        {"networkState", 3},
    };
    QJsonObject root{{"seed", 7}, {"stick", stick}, {"timing", timing}, {"devices", _devices}};
    if (!_faults.isEmpty())
        root.insert("faults", _faults);
    return root;
}

QJsonObject EndToEndRig::device(quint16 _shortAddress, quint16 _type, const QString& _version,
                                const QJsonObject& _extra)
{
    QJsonObject device = _extra;
    device.insert("shortAddress", QString("0x%1").arg(_shortAddress, 4, 16, QChar('0')));
    device.insert("type", _type);
    device.insert("version", _version);
    return device;
}

QString EndToEndRig::updatePath() const
{
    return getUpdatePath();
}

QString EndToEndRig::serverFileName(const Firmware& _firmware) const
{
    return QString("type%1_%2.ota").arg(_firmware.devType).arg(_firmware.version);
}

bool EndToEndRig::hold(const Firmware& _firmware)
{
    const QString file = QString("held_%1.ota").arg(_firmware.devType);
    const QByteArray image =
        Publisher::otaImage(_firmware.devType, parseVersion(_firmware.version), _firmware.payloadSize);
    if (!m_signer.isValid() || !m_signer.writeFile(getUpdatePath(), file, image)) {
        m_error = "cannot write held firmware " + file;
        return false;
    }
    noteSigned(image);
    QSettings backup(getUpdatePath() + "/backup.ini", QSettings::IniFormat);
    const QString group = QString::number(_firmware.devType);
    QStringList known = backup.value("devices/known_devices").toStringList();
    if (!known.contains(group))
        known.append(group);
    backup.setValue("devices/known_devices", known);
    backup.setValue(group + "/id", _firmware.devType);
    backup.setValue(group + "/ver", _firmware.version);
    backup.setValue(group + "/file", file);
    backup.sync();
    return backup.status() == QSettings::NoError;
}

bool EndToEndRig::offer(const QList<Firmware>& _firmware)
{
    if (!m_signer.isValid()) {
        m_error = "development key not loadable";
        return false;
    }
    QList<Publisher::IndexEntry> entries;
    for (const Firmware& firmware : _firmware) {
        const QByteArray image =
            Publisher::otaImage(firmware.devType, parseVersion(firmware.version), firmware.payloadSize);
        if (!m_signer.writeFile(m_served.path(), serverFileName(firmware), image)) {
            m_error = "cannot publish " + serverFileName(firmware);
            return false;
        }
        m_servedImages.insert(firmware.devType, image);
        noteSigned(image);
        entries.append({firmware.devType, QString("type %1").arg(firmware.devType), firmware.version,
                        serverFileName(firmware), QString()});
        m_offered.append(firmware);
    }
    m_indexEntries.append(entries);
    return republishIndex(true, m_indexSerial);
}

bool EndToEndRig::offerBytes(quint16 _devType, const QByteArray& _bytes)
{
    for (const Firmware& firmware : m_offered) {
        if (firmware.devType != _devType)
            continue;
        if (!publish(serverFileName(firmware), _bytes))
            return false;
        m_servedImages.insert(_devType, _bytes);
        return republishIndex(true, m_indexSerial);
    }
    m_error = QString("nothing of type %1 offered").arg(_devType);
    return false;
}

bool EndToEndRig::republishIndex(bool _withDigests, quint64 _serial)
{
    QList<Publisher::IndexEntry> entries = m_indexEntries;
    QString error;
    if (_withDigests && !Publisher::bindFiles(&entries, m_served.path(), &error)) {
        m_error = error;
        return false;
    }
    m_indexSerial = _serial;
    return writeIndex(entries, _serial);
}

void EndToEndRig::noteSigned(const QByteArray& _bytes)
{
    SignedFor what;
    const auto le = [&_bytes](int _offset, int _size) {
        quint32 value = 0;
        for (int i = _size - 1; i >= 0; --i)
            value = (value << 8) | static_cast<uchar>(_bytes.at(_offset + i));
        return value;
    };
    if (_bytes.size() >= Publisher::kOtaHeaderLength && le(0, 4) == Publisher::kOtaFileIdentifier) {
        what.imageType = static_cast<quint16>(le(12, 2));
        what.version = le(14, 4);
    }
    m_signed.insert(sha256Hex(_bytes), what);
}

bool EndToEndRig::writeIndex(const QList<Publisher::IndexEntry>& _entries, quint64 _serial)
{
    Publisher publisher;
    QString error;
    if (!publisher.loadPrivateKey(DevelopmentSigner::privateKeyPath(), &error) ||
        !publisher.writeIndex(_entries, m_served.path(), &error, _serial)) {
        m_error = "cannot write the index: " + error;
        return false;
    }
    return true;
}

bool EndToEndRig::publish(const QString& _name, const QByteArray& _bytes, bool _signed)
{
    if (!m_signer.isValid() || !m_signer.writeFile(m_served.path(), _name, _bytes, _signed)) {
        m_error = "cannot publish " + _name;
        return false;
    }
    if (_signed)
        noteSigned(_bytes);
    return true;
}

bool EndToEndRig::startSimulator(const QJsonObject& _scenario)
{
    Scenario scenario;
    QString error;
    if (!Scenario::fromJson(QJsonDocument(_scenario).toJson(), scenario, error)) {
        m_error = "scenario: " + error;
        return false;
    }
    m_stickAddress = scenario.stick.client.shortAddress;
    m_simulator = std::make_unique<StickSimulator>(scenario);
    if (!m_simulator->start(error)) {
        m_error = "simulator: " + error;
        return false;
    }
    pinLine();
    return true;
}

void EndToEndRig::pinLine()
{
    m_settings->settings()->setValue("serial/ports", QStringList{m_simulator->linePath()});
}

void EndToEndRig::startTool()
{
    m_bridge = new CProg2Gui;
    m_ownsBridge = true;
    watchWire();
}

void EndToEndRig::stopTool()
{
    QObject::disconnect(m_wireConnection);
    if (m_ownsBridge)
        delete m_bridge;
    m_bridge = nullptr;
    m_ownsBridge = false;
}

void EndToEndRig::adoptTool(CProg2Gui* _bridge)
{
    m_bridge = _bridge;
    m_ownsBridge = false;
    watchWire();
}

void EndToEndRig::watchWire()
{
    m_wireConnection =
        QObject::connect(m_bridge->stickInterface(), &StickInterface::frameSent, [this](const QByteArray& _body) {
            const StickFrames::ZclReply reply = StickFrames::parseReply(_body);
            if (reply.valid && reply.responseId == kQueryResponse && reply.status() == 0)
                m_offeredTo[reply.dstShortAddress].insert(reply.fileVersion());
            if (!reply.valid || reply.dstShortAddress == m_stickAddress)
                return;
            WireReply wire;
            wire.address = reply.dstShortAddress;
            wire.responseId = reply.responseId;
            if (reply.responseId == kQueryResponse || reply.responseId == kBlockResponse) {
                wire.status = reply.status();
                wire.fileVersion = reply.fileVersion();
            }
            if (reply.responseId == kBlockResponse) {
                wire.offset = reply.fileOffset();
                wire.dataSize = reply.blockData().size();
            }
            m_wire.append(wire);
        });
}

void EndToEndRig::startDownload()
{
    if (m_bridge->iGetVal(CProg2Gui::FirmwareSelectState_ValId) != 2)
        m_bridge->qmlAction(CProg2Gui::CommonFileSelector_QmlAction);
    m_bridge->qmlAction(CProg2Gui::StartFileDownload_QmlAction);
}

bool EndToEndRig::isIndexVerified() const
{
    return m_bridge && m_bridge->updateXmlState() == CProg2Gui::eUpdateXmlStateOk;
}

bool EndToEndRig::isStickJoined() const
{
    const StickInterface* stick = m_bridge ? m_bridge->stickInterface() : nullptr;
    return stick && stick->linkState() == 1 && stick->nwkState() == StickInterface::eNwkStateJoined;
}

bool EndToEndRig::downloadOffered(int _connectMs, int _downloadMs)
{
    if (!QTest::qWaitFor([this] { return isStickJoined(); }, _connectMs)) {
        m_error = "the stick did not join";
        return false;
    }
    if (!QTest::qWaitFor([this] { return isIndexVerified(); }, _connectMs)) {
        m_error = "the update index was not verified";
        return false;
    }
    startDownload();
    if (!QTest::qWaitFor([this] { return m_bridge->SysState() == CProg2Gui::SysStateIdle; }, _downloadMs)) {
        m_error = "the download did not end";
        return false;
    }
    if (!holdsOffered()) {
        m_error = "the offered files are not held after the download";
        return false;
    }
    return true;
}

bool EndToEndRig::allDevicesSucceeded(const QJsonArray& _devices) const
{
    const ZigBeeDeviceModel* model = m_bridge ? m_bridge->deviceModel() : nullptr;
    if (!model)
        return false;
    for (const QJsonValue& value : _devices) {
        const ZigBeeDevice* device = model->findDevice(value["shortAddress"].toString().toUShort(nullptr, 16));
        if (!device || device->m_result != ProgressHelper::eResultSuccess)
            return false;
    }
    return true;
}

bool EndToEndRig::reportMatchesNetwork(const QString& _csvPath, const QHash<quint16, QString>& _results, QString* _why,
                                       const QHash<quint16, int>& _attempts) const
{
    const QList<QStringList> records = parseCsv(readFile(_csvPath));
    if (records.isEmpty() || records.first().value(0) != "Short address") {
        *_why = "no report header in '" + _csvPath + "'";
        return false;
    }
    QHash<QString, QStringList> rows;
    for (int i = 1; i < records.size(); ++i)
        rows.insert(records.at(i).value(0), records.at(i));
    if (rows.size() != records.size() - 1 || rows.size() != m_simulator->devices().size()) {
        *_why = QString("%1 rows for %2 devices").arg(records.size() - 1).arg(m_simulator->devices().size());
        return false;
    }
    for (const SimDevice* device : m_simulator->devices()) {
        const QString address = QString("%1").arg(device->shortAddress(), 4, 16, QChar('0'));
        QByteArray extended = SimWire::extendedAddress(device->shortAddress());
        std::reverse(extended.begin(), extended.end()); // written most significant byte first
        // The columns: address, extended address, type, type text, before, after, offered, file, result, attempts.
        const QStringList expected{
            address,
            QString::fromLatin1(extended.toHex(':').toUpper()),
            QString::number(device->imageType()),
            formatVersion(device->startVersion()),
            formatVersion(device->version()),
            _results.value(device->shortAddress(), "Updated"),
            QString::number(_attempts.value(device->shortAddress(), device->stats().transfersStarted))};
        const QStringList row = rows.value(address);
        const QStringList actual{row.value(0), row.value(1), row.value(2), row.value(4),
                                 row.value(5), row.value(8), row.value(9)};
        if (actual != expected) {
            *_why = QString("report row '%1', expected '%2'").arg(actual.join(", "), expected.join(", "));
            return false;
        }
    }
    return true;
}

bool EndToEndRig::holdsOffered() const
{
    if (!m_bridge)
        return false;
    for (const Firmware& firmware : m_offered) {
        const FirmwareUpdate* record = m_bridge->fileModel()->findByDevType(firmware.devType);
        if (!record || record->m_result != ProgressHelper::eResultSuccess ||
            record->m_version != parseVersion(firmware.version) || record->hasUpdate())
            return false;
    }
    return true;
}

quint32 EndToEndRig::offeredVersion(quint16 _devType) const
{
    for (const Firmware& firmware : m_offered) {
        if (firmware.devType == _devType)
            return parseVersion(firmware.version);
    }
    return kNoVersion;
}

QByteArray EndToEndRig::servedImage(quint16 _devType) const
{
    return m_servedImages.value(_devType);
}

QByteArray EndToEndRig::sha256Hex(const QByteArray& _bytes)
{
    return QCryptographicHash::hash(_bytes, QCryptographicHash::Sha256).toHex();
}

bool EndToEndRig::imagesMatchServed(quint16 _shortAddress, int* _count, QString* _why) const
{
    const SimDevice* client =
        _shortAddress == m_stickAddress ? &m_simulator->stickClient() : m_simulator->device(_shortAddress);
    if (!client) {
        *_why = QString("no simulated client %1").arg(_shortAddress, 4, 16, QChar('0'));
        return false;
    }
    const QByteArray served = sha256Hex(servedImage(client->imageType()));
    *_count = client->images().size();
    for (const QByteArray& image : client->images()) {
        if (sha256Hex(image) != served) {
            *_why = QString("%1 received %2 bytes with SHA-256 %3, served %4")
                        .arg(client->name())
                        .arg(image.size())
                        .arg(QString::fromLatin1(sha256Hex(image)), QString::fromLatin1(served));
            return false;
        }
    }
    return true;
}

QList<quint16> EndToEndRig::offersInOrder() const
{
    QList<quint16> offers;
    for (const WireReply& reply : m_wire) {
        if (reply.responseId == kQueryResponse && reply.status == 0)
            offers.append(reply.address);
    }
    return offers;
}

bool EndToEndRig::logContains(const QString& _text) const
{
    for (const QString& line : s_log) {
        if (line.contains(_text))
            return true;
    }
    return false;
}

int EndToEndRig::logLineCount() const
{
    return s_log.size();
}

bool EndToEndRig::everyImageSigned(int* _count, QString* _why) const
{
    QList<const SimDevice*> clients = m_simulator->devices();
    clients.prepend(&m_simulator->stickClient());
    *_count = 0;
    for (const SimDevice* client : clients) {
        for (const QByteArray& image : client->images()) {
            ++*_count;
            const QByteArray hash = sha256Hex(image);
            const auto signedFor = m_signed.constFind(hash);
            if (signedFor == m_signed.constEnd()) {
                *_why = QString("%1 received %2 bytes (SHA-256 %3) that were never signed")
                            .arg(client->name())
                            .arg(image.size())
                            .arg(QString::fromLatin1(hash));
                return false;
            }
            const QSet<quint32> offered = m_offeredTo.value(client->shortAddress());
            if (signedFor->imageType != client->imageType() || !offered.contains(signedFor->version)) {
                *_why = QString("%1 (image type %2) received an image signed for type %3 version %4 (SHA-256 %5); "
                                "offered versions %6")
                            .arg(client->name())
                            .arg(client->imageType())
                            .arg(signedFor->imageType)
                            .arg(formatVersion(signedFor->version), QString::fromLatin1(hash))
                            .arg(offered.size());
                return false;
            }
        }
    }
    return true;
}

bool EndToEndRig::updateFolderHoldsOnlyVerified(QString* _why) const
{
    QFile keyFile(DevelopmentSigner::publicKeyPath());
    BotanWrapper verifier;
    const QByteArray key = keyFile.open(QIODevice::ReadOnly) ? keyFile.readAll() : QByteArray();
    if (!verifier.loadPublicKey(key.constData(), key.size())) {
        *_why = "development key not loadable";
        return false;
    }
    const QDir folder(getUpdatePath());
    const QStringList files = folder.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : files) {
        const QString path = folder.filePath(name);
        if (name == "backup.ini")
            continue;
        if (name.endsWith(".sig")) {
            // A replaced data file leaves its signature behind; a signature
            // beside data files of its name must verify one of them.
            QStringList data = folder.entryList({QFileInfo(name).completeBaseName() + ".*"}, QDir::Files);
            data.removeAll(name);
            const bool verifies = std::any_of(data.begin(), data.end(), [&](const QString& _candidate) {
                return verifier.verifySigFile(folder.filePath(_candidate), path);
            });
            if (!data.isEmpty() && !verifies) {
                *_why = QString("'%1' verifies none of %2").arg(name, data.join(", "));
                return false;
            }
            continue;
        }
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly) || !m_signed.contains(sha256Hex(file.readAll()))) {
            *_why = QString("'%1' in the update folder was never signed").arg(name);
            return false;
        }
    }
    QSettings backup(folder.filePath("backup.ini"), QSettings::IniFormat);
    for (const QString& group : backup.value("devices/known_devices").toStringList()) {
        const QString name = backup.value(group + "/file").toString();
        if (name.isEmpty())
            continue;
        if (!files.contains(name)) {
            *_why = QString("backup.ini names '%1' for %2, which is not in the update folder").arg(name, group);
            return false;
        }
    }
    return true;
}
