// The checksums of uploads: the upload library's and the platform's CRC-64/XZ against the
// standard check values, whole and resumed from a stored value at arbitrary cuts (as the
// resume record and the platform's store carry it), and the platform's MD5 state. (Its MD5
// taken up again inside and at the end of a block is tst_devplatform_restart's.)
#include <QtTest>

#include "Crc64.h"  // the platform's
#include "Md5Stream.h"
#include "sdk/src/Crc64.h"  // the library's (kvr::Crc64)

namespace {

// Deterministic bytes, so the expected values can be computed by any other implementation.
QByteArray Pattern(int size)
{
    QByteArray data(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i) {
        data[i] = char(((i * 131 + 7) ^ (i >> 8)) & 0xff);
    }
    return data;
}

}  // namespace

class TestHashes : public QObject
{
    Q_OBJECT

private slots:
    void crc64_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QList<int>>("cuts");  // where the computation stops and resumes
        QTest::addColumn<quint64>("expected");
        // The catalogued check value of CRC-64/XZ and other published values.
        QTest::newRow("check value")
            << QByteArray("123456789") << QList<int>{4} << quint64(0x995dc9bbdf1939faULL);
        QTest::newRow("empty") << QByteArray() << QList<int>{0, 0} << quint64(0);
        QTest::newRow("one byte") << QByteArray("a") << QList<int>{0, 1}
                                  << quint64(0x330284772e652b05ULL);
        QTest::newRow("pangram") << QByteArray("The quick brown fox jumps over the lazy dog")
                                 << QList<int>{1, 2, 3, 40} << quint64(0x5b5eb8c2e54aa1c4ULL);
        // Lengths around the 64-byte blocks of the folding kernels, cut anywhere.
        QTest::newRow("63 bytes") << Pattern(63) << QList<int>{} << quint64(0x08638599cb53ab9bULL);
        QTest::newRow("64 bytes") << Pattern(64) << QList<int>{63}
                                  << quint64(0x043f21f53bad9f39ULL);
        QTest::newRow("65 bytes") << Pattern(65) << QList<int>{1, 64}
                                  << quint64(0x4c2a739ff69cf2f0ULL);
        QTest::newRow("4097 bytes")
            << Pattern(4097) << QList<int>{17, 17, 4096} << quint64(0x1352ffdf2f3ca2baULL);
        QTest::newRow("100003 bytes") << Pattern(100003) << QList<int>{1, 4097, 65536, 99999}
                                      << quint64(0xc1828b02eceb3e69ULL);
        QTest::newRow("1 MiB of zeros")
            << QByteArray(1 << 20, '\0') << QList<int>{3, 1 << 16, (1 << 20) - 5}
            << quint64(0x606b70a23ebaf6c2ULL);
    }

    void crc64()
    {
        QFETCH(QByteArray, data);
        QFETCH(QList<int>, cuts);
        QFETCH(quint64, expected);

        QCOMPARE(kvr::Crc64::Update(0, data.constData(), size_t(data.size())), expected);
        Crc64 platform;
        platform.Update(data.constData(), size_t(data.size()));
        QCOMPARE(platform.Value(), expected);

        // Resumed: each piece continues from the value alone, as after a restart.
        quint64 library = 0;
        quint64 stored = 0;
        int from = 0;
        cuts.append(data.size());
        for (int to : qAsConst(cuts)) {
            library = kvr::Crc64::Update(library, data.constData() + from, size_t(to - from));
            Crc64 resumed = Crc64::FromValue(stored);
            resumed.Update(data.constData() + from, size_t(to - from));
            stored = resumed.Value();
            from = to;
        }
        QCOMPARE(library, expected);
        QCOMPARE(stored, expected);
    }

    // The state of a new upload is taken up again; a damaged state is refused.
    void md5State()
    {
        Md5Stream stream;
        QByteArray state = Md5Stream().State();
        QVERIFY(stream.Restore(state));
        QCOMPARE(stream.Hex(), QStringLiteral("d41d8cd98f00b204e9800998ecf8427e"));
        stream.Update("abc", 3);
        const QString before = stream.Hex();
        QVERIFY(!stream.Restore(state.left(state.size() - 1)));
        QVERIFY(!stream.Restore(QByteArray()));
        // A buffered-byte count beyond one block would make the next update write out of bounds.
        state.fill('\xff');
        QVERIFY(!stream.Restore(state));
        QCOMPARE(stream.Hex(), before);
    }
};

QTEST_GUILESS_MAIN(TestHashes)
#include "tst_hashes.moc"
