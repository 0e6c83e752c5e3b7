// The texts the upload engine shows for library results and refused logins: pure functions, no
// server needed.
#include <QtTest>

#include "account/AccountManager.h"
#include "api/ApiAccount.h"
#include "api/ApiErrors.h"
#include "upload/SDKUploadTask.h"

class TestUploadTexts : public QObject
{
    Q_OBJECT

private slots:
    void resultText_data();
    void resultText();
    void refusalText_data();
    void refusalText();
};

void TestUploadTexts::resultText_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("expected");

    QTest::newRow("missing file") << 2 << QStringLiteral("whatever")
                                  << QStringLiteral("SdkCodeMsg.NoFile");
    QTest::newRow("empty file") << 4 << QString() << QStringLiteral("SdkCodeMsg.FileEmpty");
    QTest::newRow("unreadable") << 10 << QString() << QStringLiteral("SdkCodeMsg.OpenFileError");
    QTest::newRow("no space") << 102 << QString() << QStringLiteral("SdkCodeMsg.NoSpace");
    QTest::newRow("crc") << 19 << QStringLiteral("crc differs")
                         << QStringLiteral("CRC64 Check Error");
    QTest::newRow("connect timeout, any case")
        << 8 << QStringLiteral("retries exhausted: connectiontimeout after 30 s")
        << QStringLiteral("SdkCodeMsg.ConnectionTimeout");
    QTest::newRow("first row wins") << 8 << QStringLiteral("SocketTimeout then RequestTimeout")
                                    << QStringLiteral("SdkCodeMsg.RequestTimeout");
    QTest::newRow("parse error") << 9 << QStringLiteral("http response parse error: body")
                                 << QStringLiteral("SdkCodeMsg.HttpResponse");
    QTest::newRow("unmapped message kept")
        << 8 << QStringLiteral("proxy refused") << QStringLiteral("proxy refused");
    QTest::newRow("platform code with text")
        << 113 + 410 << QString() << ApiCollection::errorCodeString(410);
    QTest::newRow("platform code without text, empty message")
        << 113 + 9999 << QString() << QStringLiteral("ErrorCodeString.OtherError, code:9999");
    QTest::newRow("platform code without text, message")
        << 113 + 9999 << QStringLiteral("refused") << QStringLiteral("refused");
}

void TestUploadTexts::resultText()
{
    QFETCH(int, code);
    QFETCH(QString, message);
    QFETCH(QString, expected);
    QVERIFY(!expected.isEmpty());
    QCOMPARE(SDKUploadTask::ResultText(code, message), expected);
}

void TestUploadTexts::refusalText_data()
{
    QTest::addColumn<int>("errorCode");
    QTest::addColumn<int>("remaining");
    QTest::addColumn<QString>("expected");

    const QString wrong = ApiCollection::errorCodeString(ApiCollection::MAIN_ACCOUNT_PWD_ERR);
    const QString locked = ApiCollection::errorCodeString(ApiCollection::ACCOUNT_LOCKED);
    QTest::newRow("3 left") << int(ApiCollection::MAIN_ACCOUNT_PWD_ERR) << 3
                            << wrong + QStringLiteral(", 3 attempts remaining");
    QTest::newRow("1 left") << int(ApiCollection::MAIN_ACCOUNT_PWD_ERR) << 1
                            << wrong + QStringLiteral(", 1 attempts remaining");
    QTest::newRow("none left") << int(ApiCollection::MAIN_ACCOUNT_PWD_ERR) << 0
                               << wrong + QStringLiteral(", ") + locked;
    QTest::newRow("5 left: no suffix") << int(ApiCollection::MAIN_ACCOUNT_PWD_ERR) << 5 << wrong;
    QTest::newRow("unknown count: no suffix")
        << int(ApiCollection::MAIN_ACCOUNT_PWD_ERR) << -1 << wrong;
    QTest::newRow("locked") << int(ApiCollection::ACCOUNT_LOCKED) << 0 << locked;
}

void TestUploadTexts::refusalText()
{
    QFETCH(int, errorCode);
    QFETCH(int, remaining);
    QFETCH(QString, expected);
    ApiCollection::LoginResult result;
    result.errorCode = errorCode;
    result.remainLoginChange = remaining;
    QCOMPARE(AccountManager::RefusalText(result), expected);
}

QTEST_GUILESS_MAIN(TestUploadTexts)
#include "tst_upload_texts.moc"
