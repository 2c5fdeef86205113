#include "Scenario.h"

#include <cmath>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QStringList>

#include "common/DeviceType.h"

namespace {

// Reads the fields of one JSON object, each checked against its range. The
// first failure is kept, with the field's path, and every later read is a
// no-op, so a reader can be used in a row of calls and checked once.
class FieldReader
{
public:
    FieldReader(const QJsonObject& _object, const QString& _path, QString& _error)
        : m_object(_object), m_path(_path), m_error(_error)
    {}

    bool ok() const { return m_error.isEmpty(); }

    QString pathOf(const QString& _key) const { return m_path.isEmpty() ? _key : m_path + "." + _key; }

    bool fail(const QString& _key, const QString& _message)
    {
        if (ok())
            m_error = QString("%1: %2").arg(pathOf(_key), _message);
        return false;
    }

    // Unknown keys are almost always typing errors that would silently turn
    // a fault off, so they are refused.
    bool onlyKeys(const QStringList& _known)
    {
        for (auto it = m_object.begin(); ok() && it != m_object.end(); ++it) {
            if (!_known.contains(it.key()))
                fail(it.key(), QString("unknown field (known: %1)").arg(_known.join(", ")));
        }
        return ok();
    }

    bool has(const QString& _key) const { return m_object.contains(_key); }

    bool require(const QString& _key)
    {
        if (ok() && !has(_key))
            return fail(_key, "missing");
        return ok();
    }

    // An integer as a JSON number or as a decimal or "0x" hexadecimal text.
    template <typename T> bool integer(const QString& _key, qint64 _min, qint64 _max, T& _out)
    {
        if (!ok() || !has(_key))
            return ok();
        const QJsonValue value = m_object.value(_key);
        qint64 result = 0;
        if (value.isDouble()) {
            const double d = value.toDouble();
            if (!std::isfinite(d) || std::floor(d) != d || d < -9.0e15 || d > 9.0e15)
                return fail(_key, QString("not a whole number: %1").arg(d));
            result = qint64(d);
        } else if (value.isString()) {
            const QString text = value.toString().trimmed();
            bool parsed = false;
            if (text.startsWith("0x", Qt::CaseInsensitive))
                result = text.mid(2).toLongLong(&parsed, 16);
            else
                result = text.toLongLong(&parsed, 10);
            if (!parsed)
                return fail(_key, QString("not a number: \"%1\"").arg(value.toString()));
        } else {
            return fail(_key, "expected a number");
        }
        if (result < _min || result > _max)
            return fail(_key, QString("%1 is out of range %2..%3").arg(result).arg(_min).arg(_max));
        _out = T(result);
        return true;
    }

    bool share(const QString& _key, double& _out)
    {
        if (!ok() || !has(_key))
            return ok();
        const QJsonValue value = m_object.value(_key);
        if (!value.isDouble())
            return fail(_key, "expected a number from 0 to 1");
        const double d = value.toDouble();
        if (!(d >= 0.0 && d <= 1.0))
            return fail(_key, QString("%1 is not a share from 0 to 1").arg(d));
        _out = d;
        return true;
    }

    bool boolean(const QString& _key, bool& _out)
    {
        if (!ok() || !has(_key))
            return ok();
        const QJsonValue value = m_object.value(_key);
        if (!value.isBool())
            return fail(_key, "expected true or false");
        _out = value.toBool();
        return true;
    }

    bool version(const QString& _key, quint32& _out)
    {
        if (!ok() || !has(_key))
            return ok();
        const QJsonValue value = m_object.value(_key);
        if (!value.isString())
            return fail(_key, "expected a version text like \"1.0.0\"");
        if (!Scenario::parseVersionText(value.toString(), _out))
            return fail(
                _key,
                QString("\"%1\" is not a version like \"1.0.0\" (three parts, each 0..255)").arg(value.toString()));
        return true;
    }

    bool hexBytes(const QString& _key, int _size, QByteArray& _out)
    {
        if (!ok() || !has(_key))
            return ok();
        const QJsonValue value = m_object.value(_key);
        QString text = value.toString().trimmed();
        if (text.startsWith("0x", Qt::CaseInsensitive))
            text = text.mid(2);
        if (!value.isString() || text.size() != 2 * _size || !isHexText(text))
            return fail(_key, QString("expected %1 hexadecimal digits").arg(2 * _size));
        _out = QByteArray::fromHex(text.toLatin1());
        return true;
    }

    bool object(const QString& _key, QJsonObject& _out)
    {
        if (!ok() || !has(_key))
            return ok();
        const QJsonValue value = m_object.value(_key);
        if (!value.isObject())
            return fail(_key, "expected an object");
        _out = value.toObject();
        return true;
    }

    bool array(const QString& _key, QJsonArray& _out)
    {
        if (!ok() || !has(_key))
            return ok();
        const QJsonValue value = m_object.value(_key);
        if (!value.isArray())
            return fail(_key, "expected a list");
        _out = value.toArray();
        return true;
    }

private:
    static bool isHexText(const QString& _text)
    {
        for (const QChar c : _text) {
            if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))
                return false;
        }
        return true;
    }

    QJsonObject m_object;
    QString m_path;
    QString& m_error;
};

constexpr qint64 kMaxMs = 7LL * 24 * 3600 * 1000; // a week is more than any run

void readTiming(const QJsonObject& _object, SimTiming& _timing, QString& _error)
{
    FieldReader r(_object, "timing", _error);
    r.onlyKeys({"connectIntervalMs", "replyTimeoutMs", "maxRetries", "resetPollMs", "nwkStatusMs", "discoveryMs",
                "queryIntervalMs", "stickQueryIntervalMs", "blockIntervalMs", "restartDelayMs", "stickRestartDelayMs",
                "requestRetryMs", "requestMaxRetries"});
    r.integer("connectIntervalMs", 1, kMaxMs, _timing.connectIntervalMs);
    r.integer("replyTimeoutMs", 1, kMaxMs, _timing.replyTimeoutMs);
    r.integer("maxRetries", 0, 1000, _timing.maxRetries);
    r.integer("resetPollMs", 1, kMaxMs, _timing.resetPollMs);
    r.integer("nwkStatusMs", 1, kMaxMs, _timing.nwkStatusMs);
    r.integer("discoveryMs", 0, kMaxMs, _timing.discoveryMs);
    r.integer("queryIntervalMs", 1, kMaxMs, _timing.queryIntervalMs);
    r.integer("stickQueryIntervalMs", 1, kMaxMs, _timing.stickQueryIntervalMs);
    r.integer("blockIntervalMs", 0, kMaxMs, _timing.blockIntervalMs);
    r.integer("restartDelayMs", 0, kMaxMs, _timing.restartDelayMs);
    r.integer("stickRestartDelayMs", 0, kMaxMs, _timing.stickRestartDelayMs);
    r.integer("requestRetryMs", 1, kMaxMs, _timing.requestRetryMs);
    r.integer("requestMaxRetries", 0, 1000, _timing.requestMaxRetries);
}

// Fields shared by devices and the stick; the defaults come from the timing.
const QStringList kClientKeys{
    "version",         "manufacturer",   "endpoint",        "maxDataSize",    "queryIntervalMs", "firstQueryMs",
    "blockIntervalMs", "restartDelayMs", "restartAtOffset", "keepOldVersion", "silentAfterMs",   "silentAtOffset",
    "queryImageType",  "blockImageType", "endStatus",       "newVersion",     "newVersionAtMs"};

void readClient(FieldReader& _r, SimClientConfig& _client)
{
    _r.require("version");
    _r.version("version", _client.version);
    _r.integer("manufacturer", 0, 0xFFFF, _client.manufacturer);
    _r.integer("endpoint", 1, 240, _client.endpoint);
    _r.integer("maxDataSize", 1, 255, _client.maxDataSize);
    _r.integer("queryIntervalMs", 1, kMaxMs, _client.queryIntervalMs);
    _r.integer("firstQueryMs", 0, kMaxMs, _client.firstQueryMs);
    _r.integer("blockIntervalMs", 0, kMaxMs, _client.blockIntervalMs);
    _r.integer("restartDelayMs", 0, kMaxMs, _client.restartDelayMs);
    _r.integer("restartAtOffset", 0, 0x7FFFFFFF, _client.restartAtOffset);
    _r.boolean("keepOldVersion", _client.keepOldVersion);
    _r.integer("silentAfterMs", 0, kMaxMs, _client.silentAfterMs);
    _r.integer("silentAtOffset", 0, 0x7FFFFFFF, _client.silentAtOffset);
    _r.integer("queryImageType", 0, 0xFFFF, _client.queryImageType);
    _r.integer("blockImageType", 0, 0xFFFF, _client.blockImageType);
    _r.integer("endStatus", 0, 0xFF, _client.endStatus);
    _r.integer("newVersionAtMs", 0, kMaxMs, _client.newVersionAtMs);
    _r.version("newVersion", _client.newVersion);
    if (_r.ok() && (_client.newVersionAtMs >= 0) != _r.has("newVersion"))
        _r.fail("newVersion", "\"newVersion\" and \"newVersionAtMs\" go together");
}

void applyTiming(const SimTiming& _timing, SimClientConfig& _client, bool _isStick)
{
    _client.queryIntervalMs = _isStick ? _timing.stickQueryIntervalMs : _timing.queryIntervalMs;
    _client.blockIntervalMs = _timing.blockIntervalMs;
    _client.restartDelayMs = _isStick ? _timing.stickRestartDelayMs : _timing.restartDelayMs;
    _client.requestRetryMs = _timing.requestRetryMs;
    _client.requestMaxRetries = _timing.requestMaxRetries;
}

void readStick(const QJsonObject& _object, const SimTiming& _timing, SimStickConfig& _stick, QString& _error)
{
    FieldReader r(_object, "stick", _error);
    QStringList keys = kClientKeys;
    keys << "shortAddress"
         << "channel"
         << "networkId"
         << "networkState";
    r.onlyKeys(keys);
    applyTiming(_timing, _stick.client, true);
    _stick.client.imageType = DeviceType::UsbStick;
    readClient(r, _stick.client);
    r.integer("shortAddress", 0, 0xFFFF, _stick.client.shortAddress);
    r.integer("channel", 0, 255, _stick.channel);
    r.hexBytes("networkId", 8, _stick.networkId);
    r.integer("networkState", 0, 255, _stick.networkState);
}

void readDevice(const QJsonValue& _value, int _index, const SimTiming& _timing, SimClientConfig& _device,
                QString& _error)
{
    const QString path = QString("devices[%1]").arg(_index);
    if (!_value.isObject()) {
        _error = path + ": expected an object";
        return;
    }
    FieldReader r(_value.toObject(), path, _error);
    QStringList keys = kClientKeys;
    keys << "shortAddress"
         << "type";
    r.onlyKeys(keys);
    applyTiming(_timing, _device, false);
    r.require("shortAddress");
    r.integer("shortAddress", 0, 0xFFFF, _device.shortAddress);
    r.require("type");
    r.integer("type", 0, 0xFFFF, _device.imageType);
    if (r.ok() && _device.imageType == DeviceType::UsbStick)
        r.fail("type", "6 is the stick's own image type; describe the stick under \"stick\"");
    readClient(r, _device);
}

void readFaults(const QJsonObject& _object, SimFaults& _faults, QString& _error)
{
    FieldReader r(_object, "faults", _error);
    r.onlyKeys({"corruptShare", "duplicateShare", "repeatSeqShare", "dropReplyShare", "linkCuts", "networkIdChangeAtMs",
                "stickRestartsAtMs", "deafAtMs", "deafForMs"});
    r.share("corruptShare", _faults.corruptShare);
    r.share("duplicateShare", _faults.duplicateShare);
    r.share("repeatSeqShare", _faults.repeatSeqShare);
    r.share("dropReplyShare", _faults.dropReplyShare);
    r.integer("networkIdChangeAtMs", 0, kMaxMs, _faults.networkIdChangeAtMs);
    r.integer("deafAtMs", 0, kMaxMs, _faults.deafAtMs);
    r.integer("deafForMs", 1, kMaxMs, _faults.deafForMs);
    if (r.ok() && (_faults.deafAtMs >= 0) != (_faults.deafForMs > 0))
        r.fail("deafForMs", "\"deafAtMs\" and \"deafForMs\" go together");

    QJsonArray cuts;
    r.array("linkCuts", cuts);
    for (int i = 0; r.ok() && i < cuts.size(); ++i) {
        const QString path = QString("faults.linkCuts[%1]").arg(i);
        if (!cuts.at(i).isObject()) {
            _error = path + ": expected an object {\"atMs\": ..., \"forMs\": ...}";
            return;
        }
        FieldReader c(cuts.at(i).toObject(), path, _error);
        SimLinkCut cut;
        c.onlyKeys({"atMs", "forMs"});
        c.require("atMs");
        c.integer("atMs", 0, kMaxMs, cut.atMs);
        c.require("forMs");
        c.integer("forMs", 1, kMaxMs, cut.forMs);
        if (c.ok())
            _faults.linkCuts.append(cut);
    }

    QJsonArray restarts;
    r.array("stickRestartsAtMs", restarts);
    for (int i = 0; r.ok() && i < restarts.size(); ++i) {
        const QJsonValue value = restarts.at(i);
        if (!value.isDouble() || value.toDouble() < 0 || value.toDouble() > kMaxMs ||
            std::floor(value.toDouble()) != value.toDouble()) {
            _error = QString("faults.stickRestartsAtMs[%1]: expected milliseconds from 0 to %2").arg(i).arg(kMaxMs);
            return;
        }
        _faults.stickRestartsAtMs.append(qint64(value.toDouble()));
    }
}

QString lineAndColumn(const QByteArray& _json, int _offset)
{
    int line = 1;
    int column = 1;
    for (int i = 0; i < _offset && i < _json.size(); ++i) {
        if (_json.at(i) == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return QString("line %1, column %2").arg(line).arg(column);
}

} // namespace

bool Scenario::parseVersionText(const QString& _text, quint32& _version)
{
    const QStringList parts = _text.split('.');
    if (parts.size() != 3)
        return false;
    quint32 result = 0;
    for (const QString& part : parts) {
        bool ok = false;
        const uint value = part.toUInt(&ok, 10);
        if (!ok || value > 255 || part.startsWith('+'))
            return false;
        result = (result << 8) | value;
    }
    _version = result;
    return true;
}

bool Scenario::fromJson(const QByteArray& _json, Scenario& _out, QString& _error)
{
    _error.clear();
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(_json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        _error =
            QString("not valid JSON at %1: %2").arg(lineAndColumn(_json, parseError.offset), parseError.errorString());
        return false;
    }
    if (!document.isObject()) {
        _error = "the scenario must be a JSON object";
        return false;
    }

    Scenario scenario;
    FieldReader r(document.object(), QString(), _error);
    r.onlyKeys({"seed", "timing", "stick", "devices", "faults", "stopAfterMs", "stopWhenNoImage"});
    r.integer("seed", 0, 0xFFFFFFFFLL, scenario.seed);
    r.integer("stopAfterMs", 0, kMaxMs, scenario.stopAfterMs);
    r.boolean("stopWhenNoImage", scenario.stopWhenNoImage);

    QJsonObject timing;
    if (r.object("timing", timing))
        readTiming(timing, scenario.timing, _error);

    QJsonObject stick;
    r.require("stick");
    if (r.object("stick", stick) && r.ok())
        readStick(stick, scenario.timing, scenario.stick, _error);

    QJsonArray devices;
    r.array("devices", devices);
    QSet<quint16> addresses{scenario.stick.client.shortAddress};
    for (int i = 0; r.ok() && i < devices.size(); ++i) {
        SimClientConfig device;
        readDevice(devices.at(i), i, scenario.timing, device, _error);
        if (!r.ok())
            break;
        if (addresses.contains(device.shortAddress)) {
            _error = QString("devices[%1].shortAddress: 0x%2 is already taken")
                         .arg(i)
                         .arg(device.shortAddress, 4, 16, QChar('0'));
            break;
        }
        addresses.insert(device.shortAddress);
        scenario.devices.append(device);
    }

    QJsonObject faults;
    if (r.ok() && r.object("faults", faults) && r.ok())
        readFaults(faults, scenario.faults, _error);

    if (!r.ok())
        return false;
    _out = scenario;
    return true;
}

bool Scenario::load(const QString& _path, Scenario& _out, QString& _error)
{
    QFile file(_path);
    if (!file.open(QIODevice::ReadOnly)) {
        _error = QString("%1: %2").arg(_path, file.errorString());
        return false;
    }
    if (!fromJson(file.readAll(), _out, _error)) {
        _error = QString("%1: %2").arg(_path, _error);
        return false;
    }
    return true;
}
