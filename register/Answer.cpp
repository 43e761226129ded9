#include "register/Answer.h"

#include <QJsonDocument>
#include <QJsonObject>

Answer Answer::json(int status, const char *key, const QString &value)
{
    Answer answer;
    answer.status = status;
    answer.contentType = "application/json";
    answer.body =
        QJsonDocument(QJsonObject{{QLatin1String(key), value}}).toJson(QJsonDocument::Compact);
    return answer;
}

Answer Answer::text(int status, const QByteArray &body)
{
    Answer answer;
    answer.status = status;
    answer.contentType = "text/plain; charset=utf-8";
    answer.body = body;
    return answer;
}
