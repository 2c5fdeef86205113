#pragma once

#include <memory>

#include <QByteArray>
#include <QList>
#include <QString>

namespace Botan {
class Private_Key;
}

// What a publisher of updates needs: detached signatures, the update index
// and well-formed OTA upgrade images for tests and demo content.
class Publisher
{
public:
    // One update offered by the index.
    struct IndexEntry
    {
        IndexEntry() = default;
        IndexEntry(quint16 _devType, const QString& _application, const QString& _version, const QString& _fileName,
                   const QString& _sys = QString())
            : devType(_devType), application(_application), version(_version), fileName(_fileName), sys(_sys)
        {}

        quint16 devType = 0;
        QString application;
        QString version;
        QString fileName;
        QString sys;
        // The file the record names: written as "size" and "sha256" when
        // known (size -1: the record carries neither).
        qint64 size = -1;
        QByteArray sha256; // lower-case hex
    };

    static constexpr quint32 kOtaFileIdentifier = 0x0BEEF11E;
    static constexpr quint16 kOtaHeaderVersion = 0x0100;
    static constexpr quint16 kOtaHeaderLength = 56;
    static constexpr quint16 kManufacturerCode = 0x1C3D;
    static constexpr quint16 kZigBeeStackVersion = 0x0002; // ZigBee PRO
    static constexpr quint16 kUpgradeImageTag = 0x0000;
    static constexpr int kSubElementHeaderLength = 6;
    static constexpr int kHeaderStringLength = 32;
    static constexpr quint64 kNoSerial = 0;

    Publisher();
    ~Publisher();

    // Loads an unencrypted PKCS #8 private key (PEM or DER).
    bool loadPrivateKey(const QString& _path, QString* _error);
    // Base64 text of the RSASSA-PSS signature (SHA-256, MGF1-SHA-256, 32-byte
    // salt) of _data, IEEE 1363 format, ending in a line feed.
    QByteArray signature(const QByteArray& _data, QString* _error) const;
    // Writes _file's signature to signatureFileName(_file).
    bool signFile(const QString& _file, QString* _error) const;
    // Writes "update.xml" into _outDir from the entries and signs it; a
    // serial of kNoSerial leaves the root element without one.
    bool writeIndex(const QList<IndexEntry>& _entries, const QString& _outDir, QString* _error,
                    quint64 _serial = kNoSerial) const;

    // The signature file next to _file: same folder and base name, extension "sig".
    static QString signatureFileName(const QString& _file);
    // The index document: apps (serial) / updates (devid, application) /
    // update (version, fileName, sys, size, sha256).
    static QByteArray indexXml(const QList<IndexEntry>& _entries, quint64 _serial = kNoSerial);
    // The name under which the tool fetches a file the index names: any
    // folder part dropped, then base name, a dot and the suffix.
    static QString servedName(const QString& _fileName);
    // Reads every file the entries name from _dir (under servedName) and
    // records its size and SHA-256; false when a file cannot be read.
    static bool bindFiles(QList<IndexEntry>* _entries, const QString& _dir, QString* _error);
    // The serial of _dir/update.xml: kNoSerial when there is no such file or
    // its root carries none; false when the file is there but is no index.
    static bool publishedSerial(const QString& _dir, quint64* _serial, QString* _error);
    // Manifest lines "devType;application;version;fileName[;sys]"; blank
    // lines and lines starting with '#' are skipped.
    static bool parseManifest(const QByteArray& _text, QList<IndexEntry>* _entries, QString* _error);
    // A ZigBee OTA upgrade image: the 56-byte file header and one upgrade
    // image sub-element carrying _payloadSize bytes derived from type and version.
    static QByteArray otaImage(quint16 _imageType, quint32 _fileVersion, int _payloadSize,
                               const QByteArray& _headerString = QByteArray("Lumoran test image"));

private:
    std::unique_ptr<Botan::Private_Key> m_key;
};
