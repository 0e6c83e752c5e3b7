// The server's CRC-64/XZ (carry-less multiplication with a table fallback) against the bitwise
// definition, for every short length and alignment and for arbitrarily split streams.
#include <QRandomGenerator>
#include <QtTest>

#include "Crc64.h"
#include "PlatformClient.h"

class TestDevplatformCrc64 : public QObject
{
    Q_OBJECT

private:
    static QByteArray Random(int size, quint32 seed)
    {
        QByteArray data(size, Qt::Uninitialized);
        QRandomGenerator generator(seed);
        for (char& ch : data) {
            ch = static_cast<char>(generator.generate() & 0xff);
        }
        return data;
    }

private slots:
    void checkValue()
    {
        Crc64 crc;
        crc.Update("123456789", 9);
        QCOMPARE(crc.Value(), Q_UINT64_C(0x995DC9BBDF1939FA));
    }

    void everyLengthAndAlignment()
    {
        const QByteArray data = Random(400, 5);
        for (int offset = 0; offset < 17; ++offset) {
            for (int length = 0; length + offset <= 400; length += (length < 160 ? 1 : 13)) {
                Crc64 crc;
                crc.Update(data.constData() + offset, static_cast<size_t>(length));
                QCOMPARE(crc.Value(), PlatformClient::Crc64(data.mid(offset, length)));
            }
        }
    }

    void splitStreams_data()
    {
        QTest::addColumn<int>("seed");
        for (int seed = 1; seed <= 4; ++seed) {
            QTest::addRow("seed %d", seed) << seed;
        }
    }

    void splitStreams()
    {
        QFETCH(int, seed);
        const QByteArray data = Random(300000, static_cast<quint32>(seed));
        QRandomGenerator pieces(static_cast<quint32>(seed) * 7);
        Crc64 crc;
        int position = 0;
        while (position < data.size()) {
            const int size = qMin(data.size() - position, pieces.bounded(0, 9000));
            crc.Update(data.constData() + position, static_cast<size_t>(size));
            position += size;
        }
        QCOMPARE(crc.Value(), PlatformClient::Crc64(data));
    }
};

QTEST_GUILESS_MAIN(TestDevplatformCrc64)
#include "tst_devplatform_crc64.moc"
