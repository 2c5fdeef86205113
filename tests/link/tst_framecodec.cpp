#include <algorithm>

#include <QRandomGenerator>
#include <QtTest>

#include "link/FrameCodec.h"
#include "link/FrameDeframer.h"
#include "support/LogCapture.h"

using ByteArrayList = QList<QByteArray>;

class tst_FrameCodec : public QObject
{
    Q_OBJECT
private slots:
    void checkValue();
    void byteUpdateEqualsBitwiseDefinition();
    void encode_data();
    void encode();
    void deframe_data();
    void deframe();
    void roundTripOfEscapeHeavyBodies();
    void badCrcLogsResidueAndHexDump();
    void largeChunkOfManyFrames();
    void longFrameOverManyChunks();

private:
    // Feeds the stream whole, byte by byte, or twice back to back.
    static ByteArrayList deframeAll(const QList<QByteArray>& _chunks, FrameDeframer& _deframer);
};

void tst_FrameCodec::checkValue()
{
    QCOMPARE(FrameCodec::crc16(QByteArray("123456789")), quint16(0x906E));
    QCOMPARE(FrameCodec::crc16(QByteArray::fromHex("04 7e")), quint16(0xF2DE));
    // Body plus its CRC (low byte first) leaves the good-frame residue.
    QCOMPARE(FrameCodec::crc16(QByteArray::fromHex("01 f1 e1")), FrameCodec::kGoodResidue);
    // Over escaped bytes: the same as over what they stand for, a lone escape at the end standing for nothing.
    for (const char* escaped : {"04 7d 5e de f2", "7d 5d 7d 5e 00 7d", "7d", ""}) {
        const QByteArray bytes = QByteArray::fromHex(escaped);
        QCOMPARE(FrameCodec::crc16Escaped(bytes.constData(), bytes.size()),
                 FrameCodec::crc16(FrameCodec::unescape(bytes.constData(), bytes.size())));
    }
}

void tst_FrameCodec::byteUpdateEqualsBitwiseDefinition()
{
    // The definition: XOR the byte in, then eight single-bit steps.
    const auto bitwise = [](quint16 _crc, uchar _byte) {
        quint16 x = (_crc ^ _byte) & 0xFF;
        for (int bit = 0; bit < 8; ++bit)
            x = (x & 1) ? quint16((x >> 1) ^ 0x8408) : quint16(x >> 1);
        return quint16((_crc >> 8) ^ x);
    };
    for (quint32 crc = 0; crc <= 0xFFFF; ++crc) {
        for (quint32 byte = 0; byte <= 0xFF; ++byte) {
            if (FrameCodec::crcUpdate(quint16(crc), uchar(byte)) != bitwise(quint16(crc), uchar(byte)))
                QFAIL(qPrintable(QString("crc %1 byte %2 differs").arg(crc, 4, 16).arg(byte, 2, 16)));
        }
    }
}

void tst_FrameCodec::encode_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("02") << QByteArray::fromHex("02") << QByteArray::fromHex("7e 02 6a d3 7e");
    QTest::newRow("01") << QByteArray::fromHex("01") << QByteArray::fromHex("7e 01 f1 e1 7e");
    QTest::newRow("escaped body") << QByteArray::fromHex("04 7e") << QByteArray::fromHex("7e 04 7d 5e de f2 7e");
    QTest::newRow("escape byte in body") << QByteArray::fromHex("7d") << QByteArray();
}

void tst_FrameCodec::encode()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, wire);
    const QByteArray encoded = FrameCodec::encode(body);
    if (!wire.isEmpty())
        QCOMPARE(encoded, wire);
    // Only the two delimiters may be 0x7E on the wire.
    QCOMPARE(encoded.count(char(0x7E)), 2);
    QVERIFY(encoded.startsWith(char(0x7E)) && encoded.endsWith(char(0x7E)));
}

ByteArrayList tst_FrameCodec::deframeAll(const QList<QByteArray>& _chunks, FrameDeframer& _deframer)
{
    ByteArrayList frames;
    for (const QByteArray& chunk : _chunks)
        _deframer.feed(chunk, [&frames](const QByteArray& _body) { frames.append(_body); });
    return frames;
}

void tst_FrameCodec::deframe_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<ByteArrayList>("frames");
    QTest::addColumn<QStringList>("logLines");
    QTest::addColumn<int>("pending");

    QTest::newRow("single") << QByteArray::fromHex("7e 01 f1 e1 7e") << ByteArrayList{QByteArray::fromHex("01")}
                            << QStringList() << 0;
    QTest::newRow("doubled delimiters") << QByteArray::fromHex("7e 7e 7e 01 f1 e1 7e")
                                        << ByteArrayList{QByteArray::fromHex("01")}
                                        << QStringList{"skip delimiter next to delimiter byte",
                                                       "skip delimiter next to delimiter byte"}
                                        << 0;
    QTest::newRow("garbage before") << QByteArray::fromHex("aa bb 7e 01 f1 e1 7e")
                                    << ByteArrayList{QByteArray::fromHex("01")} << QStringList{"skip 2 bytes"} << 0;
    QTest::newRow("shared delimiter") << QByteArray::fromHex("7e 01 f1 e1 7e 02 6a d3 7e")
                                      << ByteArrayList{QByteArray::fromHex("01")} << QStringList{"skip 3 bytes"} << 1;
    QTest::newRow("no delimiter") << QByteArray::fromHex("aa bb cc") << ByteArrayList{}
                                  << QStringList{"skip all 3 bytes AA BB CC"} << 0;
    QTest::newRow("bad crc then good") << QByteArray::fromHex("7e 01 f1 e2 7e 7e 02 6a d3 7e")
                                       << ByteArrayList{QByteArray::fromHex("02")}
                                       << QStringList{"skip frame due to wrong crc:  0x%1",
                                                      "skipped frame:  3 bytes '01 F1 E2'"}
                                       << 0;
    QTest::newRow("escaped delimiter") << QByteArray::fromHex("7e 04 7d 5e de f2 7e")
                                       << ByteArrayList{QByteArray::fromHex("04 7e")} << QStringList() << 0;
    QTest::newRow("incomplete") << QByteArray::fromHex("7e 01 f1") << ByteArrayList{} << QStringList() << 3;
    QTest::newRow("two frames") << QByteArray::fromHex("7e 01 f1 e1 7e 7e 02 6a d3 7e")
                                << ByteArrayList{QByteArray::fromHex("01"), QByteArray::fromHex("02")} << QStringList()
                                << 0;

    // The length limit counts the bytes between the delimiters, escapes
    // included. An overlong frame gets one line showing its first bytes.
    const int limit = FrameCodec::kMaxFrameBytes;
    const int shown = FrameCodec::kMaxLoggedBytes;
    const auto cutDump = [shown](const QByteArray& _bytes) {
        return QString("%1 .. (%2 bytes)")
            .arg(QString::fromLatin1(_bytes.left(shown).toHex(' ').toUpper()))
            .arg(_bytes.size() - shown);
    };
    const auto tooLong = [&](const QByteArray& _between) {
        return QString("skip frame longer than %1 bytes: '%2'").arg(limit).arg(cutDump(_between));
    };
    const QByteArray good = QByteArray::fromHex("7e 01 f1 e1 7e");

    QByteArray longest(limit - 2, char(0x55)); // with a CRC that needs no escape
    while (FrameCodec::encode(longest).size() != limit + 2)
        longest[0] = char(longest.at(0) + 1);
    QTest::newRow("frame at the length limit")
        << FrameCodec::encode(longest) << ByteArrayList{longest} << QStringList() << 0;
    // Its closing delimiter opens the next frame, doubled by that frame's own.
    const QByteArray huge = FrameCodec::encode(QByteArray(limit / 2, char(0x7E)));
    QTest::newRow("huge frame, then the next")
        << huge + good << ByteArrayList{QByteArray::fromHex("01")}
        << QStringList{tooLong(huge.mid(1, huge.size() - 2)), "skip delimiter next to delimiter byte"} << 0;
    // Rubbish after an opening delimiter ends at the next frame's delimiter.
    const QByteArray rubbish(3 * limit, char(0x55));
    QTest::newRow("endless open frame, then the next")
        << char(0x7E) + rubbish + good << ByteArrayList{QByteArray::fromHex("01")} << QStringList{tooLong(rubbish)}
        << 0;
    QTest::newRow("endless open frame") << char(0x7E) + rubbish << ByteArrayList{} << QStringList{tooLong(rubbish)}
                                        << 0;
    const QByteArray badBody(500, char(0x55));
    QTest::newRow("long bad frame, dump cut")
        << char(0x7E) + badBody + char(0x7E) << ByteArrayList{}
        << QStringList{QString("skip frame due to wrong crc:  0x%1").arg(FrameCodec::crc16(badBody), 4, 16, QChar('0')),
                       QString("skipped frame:  500 bytes '%1'").arg(cutDump(badBody))}
        << 0;
}

void tst_FrameCodec::deframe()
{
    QFETCH(QByteArray, stream);
    QFETCH(ByteArrayList, frames);
    QFETCH(QStringList, logLines);
    QFETCH(int, pending);

    // The wrong-CRC line carries the computed residue.
    for (QString& line : logLines) {
        if (line.contains("%1")) {
            const QByteArray badFrame = QByteArray::fromHex("01 f1 e2");
            line = line.arg(FrameCodec::crc16(badFrame), 4, 16, QChar('0'));
        }
    }

    {
        LogCapture log;
        FrameDeframer whole;
        QCOMPARE(deframeAll({stream}, whole), frames);
        QCOMPARE(log.lines(), logLines);
        QCOMPARE(whole.pendingBytes(), pending);
    }
    {
        // Byte by byte gives the same frames; a partial frame waits for its
        // end, and never takes more memory than the longest allowed.
        LogCapture log;
        FrameDeframer bytewise;
        ByteArrayList received;
        int held = 0;
        for (char c : stream) {
            bytewise.feed(QByteArray(1, c), [&received](const QByteArray& _body) { received.append(_body); });
            held = qMax(held, bytewise.heldBytes());
        }
        QCOMPARE(received, frames);
        QCOMPARE(bytewise.pendingBytes(), pending);
        QVERIFY2(held <= FrameCodec::kMaxFrameBytes + 1, qPrintable(QString::number(held)));
        // One line for an overlong frame, however it arrives.
        const auto overlong = [](const QStringList& _lines) {
            return std::count_if(_lines.begin(), _lines.end(),
                                 [](const QString& _line) { return _line.startsWith("skip frame longer than"); });
        };
        QCOMPARE(overlong(log.lines()), overlong(logLines));
    }
    if (pending == 0) {
        FrameDeframer twice;
        QCOMPARE(deframeAll({stream + stream}, twice), frames + frames);
    }
}

void tst_FrameCodec::roundTripOfEscapeHeavyBodies()
{
    QRandomGenerator rng(0x5EED);
    QList<QByteArray> bodies;
    QByteArray stream;
    for (int i = 0; i < 500; ++i) {
        QByteArray body;
        const int size = 1 + int(rng.bounded(80));
        for (int j = 0; j < size; ++j) {
            const quint32 pick = rng.bounded(4);
            body.append(pick == 0 ? char(0x7E) : pick == 1 ? char(0x7D) : char(rng.bounded(256)));
        }
        bodies.append(body);
        stream += FrameCodec::encode(body);
    }
    FrameDeframer deframer;
    // Uneven chunks cut frames and escape pairs in the middle.
    QList<QByteArray> chunks;
    for (int pos = 0; pos < stream.size();) {
        const int len = 1 + int(rng.bounded(37));
        chunks.append(stream.mid(pos, len));
        pos += len;
    }
    QCOMPARE(deframeAll(chunks, deframer), bodies);
    QCOMPARE(deframer.pendingBytes(), 0);
}

void tst_FrameCodec::badCrcLogsResidueAndHexDump()
{
    LogCapture log;
    FrameDeframer deframer;
    QByteArray wire = FrameCodec::encode(QByteArray::fromHex("03 05 10"));
    wire[2] = char(wire[2] ^ 0x01); // damage the sequence number
    QCOMPARE(deframeAll({wire}, deframer), ByteArrayList{});
    QVERIFY(log.lines().value(0).startsWith("skip frame due to wrong crc:  0x"));
    QVERIFY(log.lines().value(1).startsWith("skipped frame:  5 bytes '03 04 10"));
}

void tst_FrameCodec::largeChunkOfManyFrames()
{
    const QByteArray body = QByteArray::fromHex("04 05 10") + QByteArray(51, char(0x7E));
    QByteArray chunk;
    int count = 0;
    while (chunk.size() < (1 << 20)) {
        FrameCodec::encodeInto(body, chunk);
        ++count;
    }
    FrameDeframer deframer;
    int received = 0;
    deframer.feed(chunk, [&](const QByteArray& _body) {
        if (_body == body)
            ++received;
    });
    QCOMPARE(received, count);
    QCOMPARE(deframer.pendingBytes(), 0);
}

void tst_FrameCodec::longFrameOverManyChunks()
{
    // A 600-byte body full of bytes to escape, arriving 7 bytes at a time,
    // with the next frame starting in the chunk that ends it.
    QByteArray body;
    for (int i = 0; i < 600; ++i)
        body.append(i % 3 == 0 ? char(0x7E) : char(i));
    const QByteArray stream = FrameCodec::encode(body) + QByteArray::fromHex("7e 01 f1 e1 7e");
    QList<QByteArray> chunks;
    for (int pos = 0; pos < stream.size(); pos += 7)
        chunks.append(stream.mid(pos, 7));
    FrameDeframer deframer;
    QCOMPARE(deframeAll(chunks, deframer), (ByteArrayList{body, QByteArray::fromHex("01")}));
    QCOMPARE(deframer.pendingBytes(), 0);

    // A frame left incomplete and then dropped with clear() leaves nothing
    // behind: a short frame after it is found at once.
    QCOMPARE(deframeAll({stream.left(500)}, deframer), ByteArrayList{});
    QCOMPARE(deframer.pendingBytes(), 500);
    deframer.clear();
    QCOMPARE(deframer.pendingBytes(), 0);
    QCOMPARE(deframeAll({QByteArray::fromHex("7e 02 6a d3 7e")}, deframer), ByteArrayList{QByteArray::fromHex("02")});

    // A frame completed in a later chunk is checked like any other: a bad one
    // is dropped and the frame after it still comes.
    LogCapture log;
    QCOMPARE(deframeAll({QByteArray::fromHex("7e 05 06 07"), QByteArray::fromHex("08 7e"),
                         QByteArray::fromHex("7e 01 f1 e1 7e")},
                        deframer),
             ByteArrayList{QByteArray::fromHex("01")});
    QVERIFY(log.lines().value(0).startsWith("skip frame due to wrong crc:  0x"));
}

QTEST_GUILESS_MAIN(tst_FrameCodec)
#include "tst_framecodec.moc"
