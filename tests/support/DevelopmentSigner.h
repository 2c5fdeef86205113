#pragma once

#include <QByteArray>
#include <QString>

#include "Publisher.h"

// Signs test content with the development key pair of the repository, the
// way lumoran-publish does.
class DevelopmentSigner
{
public:
    DevelopmentSigner();

    bool isValid() const { return m_valid; }
    // Writes _file's signature next to it ("<base>.sig").
    bool sign(const QString& _file);
    // The Base64 signature text of _data.
    QByteArray signature(const QByteArray& _data);
    // Writes _dir/_name with _bytes and, when _signed, its signature.
    bool writeFile(const QString& _dir, const QString& _name, const QByteArray& _bytes, bool _signed = true);

    // Whether the key compiled into ":rsa/key_pub.pem" is the development key;
    // a build with a release key cannot verify content signed here.
    static bool embeddedKeyIsDevelopmentKey();
    static QString privateKeyPath();
    static QString publicKeyPath();

private:
    Publisher m_publisher;
    bool m_valid = false;
};
