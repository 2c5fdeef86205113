// lumoran-fuzz-seeds FUZZ_DIR: writes the seed corpora of the harnesses
// (FUZZ_DIR/corpus/<harness>/) and the signed data file of the signature
// harness (FUZZ_DIR/data/) from the byte examples and edge cases of the
// protocol, the index, the signatures and the INI files. Run it again after a
// change of an input format; the files are kept in the repository.

#include <cstdio>

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QList>
#include <QString>

#include "Publisher.h"
#include "botan/BotanWrapper.h"
#include "link/FrameCodec.h"
#include "link/OtaRecords.h"
#include "support/DevelopmentSigner.h"
#include "support/StickFrames.h"

using namespace OtaRecords;
using namespace StickFrames;

namespace {
QString s_fuzzDir;
int s_written = 0;
bool s_ok = true;

void write(const QString& _harness, const QString& _name, const QByteArray& _bytes)
{
    const QString dir = s_fuzzDir + "/corpus/" + _harness;
    QDir().mkpath(dir);
    QFile file(dir + "/" + _name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(_bytes) != _bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
        s_ok = false;
        return;
    }
    ++s_written;
}

QByteArray hex(const char* _text)
{
    return QByteArray::fromHex(_text);
}

// ---------------------------------------------------------------------------
// Deframer: chunks, each preceded by its length.

QByteArray chunks(const QList<QByteArray>& _chunks)
{
    QByteArray input;
    for (const QByteArray& chunk : _chunks) {
        input += char(chunk.size());
        input += chunk;
    }
    return input;
}

QList<QByteArray> bytewise(const QByteArray& _stream)
{
    QList<QByteArray> result;
    for (const char byte : _stream)
        result << QByteArray(1, byte);
    return result;
}

void deframerSeeds()
{
    const QByteArray examples = hex("7e026ad37e") + hex("7e01f1e17e") + hex("7e047d5edef27e");
    write("deframer", "examples", chunks({examples}));
    write("deframer", "examples-bytewise", chunks(bytewise(examples)));
    write("deframer", "doubled-delimiters", chunks({hex("7e7e7e01f1e17e")}));
    write("deframer", "garbage-before-frame", chunks({hex("aabb7e01f1e17e")}));
    write("deframer", "shared-delimiter", chunks({hex("7e01f1e17e026ad37e")}));
    write("deframer", "no-delimiter", chunks({hex("aabbcc"), hex("7e01"), hex("f1e17e")}));
    write("deframer", "bad-crc-then-good", chunks({hex("7e010000") + hex("7e7e026ad37e")}));
    write("deframer", "lone-escape-at-end", chunks({hex("7e017d7e"), hex("7e7d")}));
    write("deframer", "empty-body", chunks({FrameCodec::encode(QByteArray())}));

    // A stick session on the wire, split in the middle of frames.
    QByteArray session;
    for (const QByteArray& body : {connectRequest(), networkStatus(1, 3, 11, 0x0807060504030201ull, 0x1A2B),
                                   queryNextImage(2, 0x1A2B, 1, 0x00010203), imageBlock(3, 0x1A2B, 1, 0, 40)})
        session += FrameCodec::encode(body);
    write("deframer", "stick-session", chunks({session.left(17), session.mid(17, 40), session.mid(57)}));

    // Around the length limit, in the longest chunks the input allows.
    const auto pieces = [](const QByteArray& _stream) {
        QList<QByteArray> result;
        for (int at = 0; at < _stream.size(); at += 255)
            result << _stream.mid(at, 255);
        return result;
    };
    QByteArray longest(FrameCodec::kMaxFrameBytes - 2, char(0x55));
    while (FrameCodec::encode(longest).size() != FrameCodec::kMaxFrameBytes + 2)
        longest[0] = char(longest.at(0) + 1);
    write("deframer", "frame-at-limit", chunks(pieces(FrameCodec::encode(longest) + hex("7e01f1e17e"))));
    write("deframer", "overlong-frame-then-good",
          chunks(pieces(FrameCodec::encode(longest + hex("7e")) + hex("7e01f1e17e"))));
    write("deframer", "endless-open-frame",
          chunks(pieces(hex("7e") + QByteArray(FrameCodec::kMaxFrameBytes + 300, char(0x55)) + hex("7e01f1e17e"))));
}

// ---------------------------------------------------------------------------
// Stick interface: a mode byte, then items (length-prefixed frame bodies,
// 0xFE action, 0xFF supervision step).

enum Mode : quint8
{
    Idle = 0,
    DeviceUpdate = 1,
    StickUpdate = 2,
    IndexAnswered = 4
};

struct Session
{
    QByteArray bytes;
    explicit Session(quint8 _mode) { bytes += char(_mode); }
    Session& frame(const QByteArray& _body)
    {
        bytes += char(_body.size());
        bytes += _body;
        return *this;
    }
    Session& action(quint8 _action)
    {
        bytes += char(0xFE);
        bytes += char(_action);
        return *this;
    }
    Session& after(quint16 _seconds)
    {
        bytes += char(0xFF);
        bytes += char(_seconds & 0xFF);
        bytes += char(_seconds >> 8);
        return *this;
    }
};

// A device's whole update of a 1000-byte image: query, 25 blocks, end, query again.
Session& deviceUpdate(Session& _session, quint8& _seq, quint16 _address, quint16 _type, int _size)
{
    _session.frame(queryNextImage(_seq++, _address, _type, 0x00010000));
    for (int offset = 0; offset < _size; offset += 40)
        _session.frame(imageBlock(_seq++, _address, _type, quint32(offset), 64));
    _session.frame(upgradeEnd(_seq++, _address, _type, 0x00020000));
    _session.frame(queryNextImage(_seq++, _address, _type, 0x00020000));
    return _session;
}

void stickSeeds()
{
    const QByteArray joined = networkStatus(1, 3, 11, 0x0807060504030201ull, 0x1A2B);
    {
        // The Query Next Image example: short address 0x1A2B, sequence number 5.
        Session s(Idle);
        s.frame(joined).frame(queryNextImage(5, 0x1A2B, 1, 0x00010203));
        write("stickinterface", "query-next-image-example", s.bytes);
    }
    {
        Session s(DeviceUpdate);
        quint8 seq = 2;
        s.frame(joined);
        deviceUpdate(s, seq, 0x1A2B, 1, 1000);
        write("stickinterface", "device-update-control", s.bytes);
    }
    {
        Session s(DeviceUpdate | IndexAnswered);
        quint8 seq = 2;
        s.frame(joined).frame(queryNextImage(seq++, 0x0001, 1, 0x00010000));
        deviceUpdate(s, seq, 0x0002, 2, 333);
        s.frame(queryNextImage(seq++, 0x0001, 1, 0x00010000)).after(400);
        write("stickinterface", "wall-transmitter-first", s.bytes);
    }
    {
        Session s(DeviceUpdate);
        quint8 seq = 2;
        s.frame(joined).frame(queryNextImage(seq++, 0x0004, 4, 0x00010000));
        s.frame(imageBlock(seq++, 0x0004, 4, 0, 40));
        write("stickinterface", "missing-file", s.bytes);
    }
    {
        // A restart in the middle of the transfer, twice, then a timeout.
        Session s(DeviceUpdate);
        quint8 seq = 2;
        s.frame(joined);
        for (int round = 0; round < 3; ++round) {
            s.frame(queryNextImage(seq++, 0x1A2B, 1, 0x00010000));
            s.frame(imageBlock(seq++, 0x1A2B, 1, 0, 40));
            s.frame(imageBlock(seq++, 0x1A2B, 1, 40, 40));
        }
        s.after(120).after(3600);
        write("stickinterface", "restarts-and-timeout", s.bytes);
    }
    {
        Session s(StickUpdate);
        quint8 seq = 2;
        s.frame(queryNextImage(seq++, 0x0000, 6, 0x00010000));
        for (int offset = 0; offset < 1000; offset += 40)
            s.frame(imageBlock(seq++, 0x0000, 6, quint32(offset), 40));
        s.frame(upgradeEnd(seq++, 0x0000, 6, 0x00030000));
        s.frame(queryNextImage(seq++, 0x0000, 6, 0x00030000));
        write("stickinterface", "stick-update", s.bytes);
    }
    {
        Session s(Idle);
        s.frame(queryNextImage(2, 0x0000, 6, 0x00010000)).action(2);
        s.frame(imageBlock(3, 0x0000, 6, 0, 40)).frame(imageBlock(4, 0x0000, 6, 960, 40));
        s.frame(imageBlock(5, 0x0000, 6, 5000, 40)).frame(upgradeEnd(6, 0x0000, 6, 0x00020000, 0x96));
        write("stickinterface", "stick-update-started-by-user", s.bytes);
    }
    {
        // Repetitions, the reset poll, a new network and the user's reset.
        Session s(Idle);
        s.frame(command(1, 0x01)).frame(command(1, 0x01)).action(3).frame(command(2, 0x01));
        s.frame(networkStatus(3, 2, 15, 1, 0x0001)).frame(command(4, 0x01));
        s.frame(joined).frame(queryNextImage(5, 0x1A2B, 1, 0x00010000)).frame(queryNextImage(5, 0x1A2B, 1, 0));
        s.frame(networkStatus(6, 3, 20, 2, 0x0001));
        write("stickinterface", "repetitions-and-resets", s.bytes);
    }
    {
        // Bad input: foreign manufacturer, short and unknown frames, commands and ZCL commands.
        Session s(DeviceUpdate);
        s.frame(queryNextImage(2, 0x1A2B, 1, 0x00010000, 0x1234));
        s.frame(imageBlock(3, 0x1A2B, 1, 0, 40, 0x1234)).frame(upgradeEnd(4, 0x1A2B, 1, 0, 0, 0x1234));
        s.frame(hex("03")).frame(hex("0305")).frame(hex("030610")).frame(hex("0307ff0102"));
        s.frame(hex("05aabb")).frame(command(8, 0x02, hex("0301")));
        s.frame(command(9, 0x10, indication(0x1A2B, 0x09, hex("00"))));
        s.frame(command(10, 0x10, indication(0x1A2B, 0x03, hex("003d1c"))));
        s.frame(hex("")).frame(command(11, 0x10, hex("02")));
        write("stickinterface", "malformed", s.bytes);
    }
    {
        // Requests outside a run, and a run aborted by the user.
        Session s(IndexAnswered);
        s.frame(imageBlock(2, 0x1A2B, 1, 0, 40)).frame(imageBlock(3, 0x1A2B, 6, 0, 40));
        s.frame(queryNextImage(4, 0x1A2B, 9999, 0xFFFFFFFF)).frame(queryNextImage(5, 0x1A2C, 7, 0));
        s.action(0).frame(imageBlock(6, 0x1A2C, 7, 0, 40)).action(1).action(4);
        write("stickinterface", "outside-a-run", s.bytes);
    }
}

// ---------------------------------------------------------------------------
// Update index: the document itself.

Publisher::IndexEntry entry(quint16 _devType, const QString& _application, const QString& _version,
                            const QString& _fileName, const QString& _sys = QString())
{
    Publisher::IndexEntry result;
    result.devType = _devType;
    result.application = _application;
    result.version = _version;
    result.fileName = _fileName;
    result.sys = _sys;
    return result;
}

void indexSeeds()
{
    write("updateindex", "published",
          Publisher::indexXml({entry(4, "plug", "1.0.0", "plug_1.0.0.bin"), entry(4, "plug", "1.1.0", "plug_1.1.0.bin"),
                               entry(2, "wall", "2.0.0", "wall_2.0.0.bin", "win"),
                               entry(1, "control", "3.0.0", "control_3.0.0.bin", "linux"),
                               entry(6, "stick", "3.1.4", "stick_3.1.4.bin"),
                               entry(9999, "tool", "1.3.0", "tool_1.3.0.run")}));
    write("updateindex", "entity-in-name", Publisher::indexXml({entry(7, "new", "1.0.0", "a&b.bin")}));
    write("updateindex", "traversal-names",
          Publisher::indexXml({entry(1, "control", "3.0.0", "../../outside.bin"),
                               entry(2, "wall", "2.0.0", "/etc/absolute.bin"), entry(4, "plug", "1.0.0", "CON.bin"),
                               entry(6, "stick", "1.0.0", "..\\..\\win.bin")}));
    write("updateindex", "odd-versions",
          Publisher::indexXml({entry(1, "a", "", "a.bin"), entry(1, "a", "7", "b.bin"), entry(1, "a", "1.2", "c.bin"),
                               entry(1, "a", "1.2.3.4", "d.bin"), entry(1, "a", "300.-1.x", "e.bin"),
                               entry(65535, "max", "255.255.255", "f.bin"), entry(0, "zero", "0.0.0", "g.bin")}));
    write("updateindex", "empty-apps", "<apps/>");
    write("updateindex", "update-without-devid",
          "<apps><updates application=\"plug\"><update version=\"1.0.0\" fileName=\"plug.bin\"/></updates></apps>");
    write("updateindex", "other-platform",
          "<apps><updates devid=\"4\"><update version=\"1.0.0\" fileName=\"plug.bin\" sys=\"mac\"/></updates></apps>");
    write("updateindex", "not-xml", "<apps><updates devid=\"4\"");
    write("updateindex", "attributes-out-of-place",
          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<apps devid=\"1\"><updates devid=\"abc\" application='x\"y'>"
          "<update version=\"1.0.0\" fileName=\"p&quot;q.bin\" sys=\"\"/><update/></updates>"
          "<updates devid=\"-5\"><update version=\"2.0.0\"><update version=\"3.0.0\"/></update></updates>"
          "<p devid=\"9\"/></apps>");
    write("updateindex", "doctype-entities",
          "<?xml version=\"1.0\"?><!DOCTYPE apps [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;\">]>"
          "<apps><updates devid=\"4\"><update version=\"1.0.0\" fileName=\"&b;.bin\"/></updates></apps>");
    QByteArray deep;
    for (int i = 0; i < 200; ++i)
        deep += "<apps>";
    write("updateindex", "deep-nesting", deep);
}

// ---------------------------------------------------------------------------
// Signature: a mode byte (0 signature file, 1 public key), then the payload.

QByteArray readFile(const QString& _path)
{
    QFile file(_path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void signatureSeeds(DevelopmentSigner& _signer)
{
    const QString dataDir = s_fuzzDir + "/data";
    QDir().mkpath(dataDir);
    const QByteArray data = Publisher::otaImage(1, 0x00020000, 400);
    QFile dataFile(dataDir + "/signed-data.bin");
    const QByteArray signature = _signer.signature(data);
    QFile sigFile(dataDir + "/signed-data.sig");
    if (!dataFile.open(QIODevice::WriteOnly | QIODevice::Truncate) || dataFile.write(data) != data.size() ||
        !sigFile.open(QIODevice::WriteOnly | QIODevice::Truncate) || sigFile.write(signature) != signature.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(dataDir));
        s_ok = false;
        return;
    }

    const QByteArray sig(1, '\0');
    write("signature", "valid", sig + signature);
    QByteArray lines;
    for (int i = 0; i < signature.size(); i += 64)
        lines += signature.mid(i, 64) + "\r\n";
    write("signature", "valid-in-lines", sig + lines);
    write("signature", "valid-with-line-break", sig + signature + "\n");
    write("signature", "character-outside-alphabet", sig + QByteArray(signature).replace(10, 1, "*"));
    write("signature", "one-byte-changed",
          sig + QByteArray(signature).replace(20, 1, signature.at(20) == 'A' ? "B" : "A"));
    write("signature", "short-signature", sig + QByteArray(255, 'x').toBase64());
    write("signature", "long-signature", sig + QByteArray(257, 'x').toBase64());
    write("signature", "padding-only", sig + "====");
    write("signature", "empty", sig);
    write("signature", "over-buffer", sig + QByteArray(4097, 'A'));

    const QByteArray key(1, '\1');
    const QByteArray pem = readFile(DevelopmentSigner::publicKeyPath());
    write("signature", "key-pem", key + pem);
    QByteArray body = pem;
    body.replace("-----BEGIN PUBLIC KEY-----", "").replace("-----END PUBLIC KEY-----", "");
    write("signature", "key-der", key + QByteArray::fromBase64(body.simplified().replace(" ", "")));
    write("signature", "key-pem-truncated", key + pem.left(pem.size() / 2));
    write("signature", "key-private", key + readFile(DevelopmentSigner::privateKeyPath()).left(600));
    write("signature", "key-garbage", key + "-----BEGIN PUBLIC KEY-----\nAAAA\n-----END PUBLIC KEY-----\n");
}

// ---------------------------------------------------------------------------
// INI files: backup.ini, the separator line, production.ini. The firmware
// files named are those the harness lays out.

const QByteArray kSeparator = "\n====production.ini====\n";

void iniSeeds()
{
    const QByteArray backupHeld = "[devices]\nknown_devices=1, 4\nkeep_old=false\n\n"
                                  "[1]\nid=1\nver=2.0.5\nfile=control_2.0.5.ota\nduration=250\n\n"
                                  "[4]\nid=4\nver=1.0.0\nfile=plug_1.0.0.ota\nduration=120\n";
    const QByteArray production = "[devices]\nknown_devices=1, 2, 6, 9999\n\n"
                                  "[1]\nid=1\nver=2.1.0\nfile=control_2.1.0.ota\nduration=600\n\n"
                                  "[2]\nid=2\nver=1.0.0\nfile=wall_1.0.0.ota\nduration=300\n\n"
                                  "[6]\nid=6\nver=3.0.0\nfile=stick_3.0.0.bin\nduration=90\n\n"
                                  "[9999]\nid=9999\nver=9.9.9\nfile=tool_1.3.0.zip\nduration=0\n";
    write("inifiles", "newer-production-replaces", backupHeld + kSeparator + production);
    write("inifiles", "keep-old",
          QByteArray(backupHeld).replace("keep_old=false", "keep_old=true") + kSeparator + production);
    write("inifiles", "backup-newer",
          QByteArray(backupHeld).replace("ver=2.0.5", "ver=2.2.0") + kSeparator + production);
    write("inifiles", "pruned-empty-version",
          "[devices]\nknown_devices=1, 2\n\n[1]\nid=1\nduration=250\n\n[2]\nid=2\nver=2.0.0\nfile=gone.ota\n" +
              kSeparator + production);
    write("inifiles", "backup-only", backupHeld);
    write("inifiles", "unusual-entries",
          kSeparator + "[devices]\nknown_devices=9999, 1, 2, x\n\n[9999]\nid=9999\nver=0.0.1\nfile=tool_1.3.0.zip\n\n"
                       "[1]\nid=1\nver=1.5.0\nfile=\nduration=300\n\n[2]\nid=2\nver=1.0.0\nfile=notshipped.ota\n\n"
                       "[x]\nid=4\nver=1.1.0\nfile=control_2.1.0.ota\n");
    write("inifiles", "odd-values",
          "[devices]\nknown_devices=\" 1 \", , 70000, -1\nkeep_old=maybe\n\n[ 1 ]\nid=1\n\n[70000]\nid=70000\n"
          "ver=1.2.3.4\nfile=plug_1.0.0.ota\nduration=99999999999\n\n[-1]\nid=-1\nver=\\x41\nduration=-2147483648\n" +
              kSeparator +
              "[devices]\nknown_devices=@Invalid(), \"a,b\"\n\n[General]\nid=1\n\n[%U4E00]\nid=6\nver=1\n"
              "file=stick_3.0.0.bin\n");
    write("inifiles", "traversal-names",
          "[devices]\nknown_devices=1, 4\n\n[1]\nid=1\nver=1.0.0\nfile=../../../app/device/control_2.1.0.ota\n\n"
          "[4]\nid=4\nver=1.0.0\nfile=/etc/hostname\n" +
              kSeparator +
              "[devices]\nknown_devices=1, 4\n\n[1]\nid=1\nver=2.1.0\nfile=../device/control_2.1.0.ota\n\n"
              "[4]\nid=4\nver=2.0.0\nfile=wall_1.0.0.ota\n");
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FUZZ_DIR\n", argv[0]);
        return 2;
    }
    s_fuzzDir = QString::fromLocal8Bit(argv[1]);
    DevelopmentSigner signer;
    if (!signer.isValid()) {
        std::fprintf(stderr, "the development key cannot be loaded\n");
        return 1;
    }
    deframerSeeds();
    stickSeeds();
    indexSeeds();
    signatureSeeds(signer);
    iniSeeds();
    std::printf("%d seed files written\n", s_written);
    return s_ok ? 0 : 1;
}
