#include "FaultInjector.h"

QJsonObject FaultInjector::Rule::ToJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("path"), path);
    if (!method.isEmpty()) {
        o.insert(QStringLiteral("method"), method);
    }
    o.insert(QStringLiteral("delay"), delayMs);
    o.insert(QStringLiteral("status"), status);
    o.insert(QStringLiteral("code"), errorCode);
    o.insert(QStringLiteral("body"), body);
    o.insert(QStringLiteral("drop"), dropAfter);
    o.insert(QStringLiteral("throttle"), throttle);
    o.insert(QStringLiteral("times"), times);
    return o;
}

bool FaultInjector::ParseRule(const QString& text, Rule* rule, QString* error)
{
    QJsonObject object;
    for (const QString& pair : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const int eq = pair.indexOf(QLatin1Char('='));
        if (eq <= 0) {
            *error = QStringLiteral("fault rule item without '=': ") + pair;
            return false;
        }
        const QString key = pair.left(eq).trimmed();
        const QString value = pair.mid(eq + 1).trimmed();
        bool isNumber = false;
        const qint64 number = value.toLongLong(&isNumber);
        if (isNumber) {
            object.insert(key, number);
        } else {
            object.insert(key, value);
        }
    }
    return RuleFromJson(object, rule, error);
}

bool FaultInjector::RuleFromJson(const QJsonObject& object, Rule* rule, QString* error)
{
    static const QStringList known = {
        QStringLiteral("path"),   QStringLiteral("method"),   QStringLiteral("delay"),
        QStringLiteral("status"), QStringLiteral("code"),     QStringLiteral("body"),
        QStringLiteral("drop"),   QStringLiteral("throttle"), QStringLiteral("times")};
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        if (!known.contains(it.key())) {
            *error = QStringLiteral("unknown fault key: ") + it.key();
            return false;
        }
    }
    Rule r;
    r.path = object.value(QStringLiteral("path")).toString();
    if (!r.path.startsWith(QLatin1Char('/'))) {
        *error = QStringLiteral("fault rule needs path=/prefix");
        return false;
    }
    r.method = object.value(QStringLiteral("method")).toString().toUpper();
    r.delayMs = object.value(QStringLiteral("delay")).toInt();
    r.status = object.value(QStringLiteral("status")).toInt();
    r.errorCode = object.value(QStringLiteral("code")).toInt();
    r.body = object.value(QStringLiteral("body")).toString();
    r.dropAfter = static_cast<qint64>(object.value(QStringLiteral("drop")).toDouble(-1));
    r.throttle = static_cast<qint64>(object.value(QStringLiteral("throttle")).toDouble(0));
    r.times = object.value(QStringLiteral("times")).toInt(-1);
    if (!r.body.isEmpty() && r.body != QLatin1String("malformed") &&
        r.body != QLatin1String("truncated")) {
        *error = QStringLiteral("body must be malformed or truncated");
        return false;
    }
    if (r.delayMs < 0 || r.status < 0 || r.throttle < 0 || r.times == 0 ||
        (r.status != 0 && (r.status < 100 || r.status > 599))) {
        *error = QStringLiteral("fault rule value out of range");
        return false;
    }
    *rule = r;
    return true;
}

void FaultInjector::Add(const Rule& rule)
{
    std::lock_guard<std::mutex> lock(mutex_);
    rules_.append(rule);
}

void FaultInjector::Clear()
{
    std::lock_guard<std::mutex> lock(mutex_);
    rules_.clear();
}

QJsonArray FaultInjector::List() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    QJsonArray list;
    for (const Rule& rule : rules_) {
        list.append(rule.ToJson());
    }
    return list;
}

std::optional<FaultInjector::Rule> FaultInjector::Take(const QString& method, const QString& path,
                                                       bool stream)
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (int i = 0; i < rules_.size(); ++i) {
        Rule& rule = rules_[i];
        if (!path.startsWith(rule.path) || (!rule.method.isEmpty() && rule.method != method) ||
            rule.IsStream() != stream) {
            continue;
        }
        const Rule taken = rule;
        if (rule.times > 0 && --rule.times == 0) {
            rules_.removeAt(i);
        }
        return taken;
    }
    return std::nullopt;
}
