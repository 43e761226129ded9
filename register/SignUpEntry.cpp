#include "register/SignUpEntry.h"

#include "core/EntryValidation.h"
#include "core/RecordEncoding.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QStringDecoder>

#include <utility>

namespace {

std::optional<QString> decodeUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

QString *fieldNamed(SignUpFields &fields, QStringView name)
{
    const std::pair<QStringView, QString SignUpFields::*> named[] = {
        {u"username", &SignUpFields::username},   {u"password", &SignUpFields::password},
        {u"email", &SignUpFields::email},         {u"gender", &SignUpFields::gender},
        {u"challenge", &SignUpFields::challenge}, {u"nonce", &SignUpFields::nonce},
    };
    for (const auto &[fieldName, member] : named) {
        if (name == fieldName)
            return &(fields.*member);
    }
    return nullptr;
}

void setField(SignUpFields &fields, const QString &name, const QString &value)
{
    if (name == QLatin1String("password2"))
        fields.password2 = value;
    else if (QString *field = fieldNamed(fields, name))
        *field = value;
}

std::optional<SignUpFields> readForm(const QByteArray &body)
{
    SignUpFields fields;
    QSet<QString>
        names; // a name given twice is not something a form sends: refused, not guessed at
    for (const QByteArray &pair : body.split('&')) {
        if (pair.isEmpty())
            continue;
        const qsizetype equals = pair.indexOf('=');
        QByteArray name = equals < 0 ? pair : pair.left(equals);
        QByteArray value = equals < 0 ? QByteArray() : pair.mid(equals + 1);
        name.replace('+', ' ');
        value.replace('+', ' ');
        const std::optional<QString> nameText = decodeUtf8(QByteArray::fromPercentEncoding(name));
        const std::optional<QString> valueText = decodeUtf8(QByteArray::fromPercentEncoding(value));
        if (!nameText || !valueText)
            return std::nullopt;
        if (names.contains(*nameText))
            return std::nullopt;
        names.insert(*nameText);
        setField(fields, *nameText, *valueText);
    }
    return fields;
}

std::optional<SignUpFields> readJson(const QByteArray &body)
{
    if (!decodeUtf8(body))
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    SignUpFields fields;
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        const bool known =
            it.key() == QLatin1String("password2") || fieldNamed(fields, it.key()) != nullptr;
        if (!known)
            continue;
        if (!it.value().isString())
            return std::nullopt;
        setField(fields, it.key(), it.value().toString());
    }
    return fields;
}

} // namespace

std::optional<SignUpFields> readSignUpBody(const QByteArray &body, BodyKind kind)
{
    return kind == BodyKind::Json ? readJson(body) : readForm(body);
}

SignUpCheck checkSignUp(const SignUpFields &fields, const QString &via)
{
    SignUpCheck check;
    QString email = fields.email;
    const ValidationResult rules = validateAccountTexts(fields.username, fields.password, email);
    if (!rules.passed) {
        check.refusal = rules.text;
        return check;
    }
    if (fields.password2 && *fields.password2 != fields.password) {
        check.refusal = QStringLiteral("Passwords do not match");
        return check;
    }
    const bool female = fields.gender == QLatin1String("female");
    if (!female && !fields.gender.isEmpty() && fields.gender != QLatin1String("male")) {
        check.refusal = QStringLiteral("Gender must be male or female");
        return check;
    }
    check.passed = true;
    check.account = {fields.username,
                     BuildRecordLine(fields.username, fields.password, female ? 0 : 1, email, 0),
                     via};
    return check;
}
