#pragma once

#include <QMap>
#include <QObject>
#include <QString>
#include <QVariant>

// The one settings store of the process: an ini file read and written through a fresh
// QSettings per call, plus registered defaults that answer for keys the file does not hold.
class Config : public QObject
{
    Q_OBJECT

public:
    explicit Config(const QString& filePath, QObject* parent = nullptr);

    QVariant Value(const QString& group, const QString& key) const;
    void SetValue(const QString& group, const QString& key, const QVariant& value);
    void Remove(const QString& group, const QString& key);
    void SetDefaultValue(const QString& group, const QString& key, const QVariant& value);

    // Registers the defaults of every setting, in the documented order.
    void RegisterDefaults();

    QString FilePath() const { return filePath; }

    // The configuration of the running process, for code that has no Application at hand
    // (the web API client, the upload manager). Set by the Application constructor and by
    // tests; null before that.
    static Config* Global();
    static void SetGlobal(Config* config);

private:
    QString filePath;
    QMap<QString, QVariant> defaults;
};
