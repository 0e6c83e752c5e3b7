#include "app/TextValidator.h"

#include <QRegularExpression>
#include <QRegularExpressionValidator>

namespace TextValidator {

QValidator* Instance()
{
    static QRegularExpressionValidator* validator = new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[\\x{0000}-\\x{ffff}]*")));
    return validator;
}

bool IsValid(const QString& text)
{
    QString copy = text;
    int pos = 0;
    return Instance()->validate(copy, pos) == QValidator::Acceptable;
}

}  // namespace TextValidator
