#include "register/SignUpPage.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRegularExpression>

namespace {

QByteArray builtIn(const QString &name)
{
    QFile file(QStringLiteral(":/register/page/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// default-src 'self' with the inline scripts and styles of the page allowed by their hashes.
// The placeholders lie outside them, so filling them in changes no hash.
QByteArray policyFor(const QByteArray &page)
{
    static const QRegularExpression inlineBlock(
        QStringLiteral("<(script|style)\\b[^>]*>(.*?)</\\1\\s*>"),
        QRegularExpression::DotMatchesEverythingOption | QRegularExpression::CaseInsensitiveOption);
    QByteArray scripts;
    QByteArray styles;
    const QString text = QString::fromUtf8(page);
    for (auto it = inlineBlock.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const QByteArray hash =
            " 'sha256-" +
            QCryptographicHash::hash(match.captured(2).toUtf8(), QCryptographicHash::Sha256)
                .toBase64() +
            '\'';
        (match.captured(1).compare(QLatin1String("script"), Qt::CaseInsensitive) == 0 ? scripts
                                                                                      : styles) +=
            hash;
    }
    QByteArray policy = "default-src 'self'";
    if (!scripts.isEmpty())
        policy += "; script-src" + scripts;
    if (!styles.isEmpty())
        policy += "; style-src" + styles;
    return policy + "; form-action 'self'; frame-ancestors 'none'; base-uri 'none'";
}

Answer htmlAnswer(int status, QByteArray body, const QByteArray &policy)
{
    Answer answer;
    answer.status = status;
    answer.contentType = "text/html; charset=utf-8";
    answer.body = std::move(body);
    answer.contentSecurityPolicy = policy;
    return answer;
}

} // namespace

SignUpPage::SignUpPage(const QByteArray &customPage)
    : m_form(customPage.isEmpty() ? builtIn(QStringLiteral("signup.html")) : customPage),
      m_formPolicy(policyFor(m_form)), m_result(builtIn(QStringLiteral("result.html"))),
      m_resultPolicy(policyFor(m_result))
{}

Answer SignUpPage::form(const QString &challenge, int bits) const
{
    QByteArray page = m_form;
    page.replace("{{challenge}}", challenge.toHtmlEscaped().toUtf8());
    page.replace("{{bits}}", QByteArray::number(bits));
    return htmlAnswer(200, page, m_formPolicy);
}

Answer SignUpPage::result(int status, const QString &heading, const QString &message) const
{
    QByteArray page = m_result;
    // The message may hold what the player typed: it is escaped before it goes in, and filled
    // in last, so that nothing in it is taken for a placeholder.
    page.replace("{{status}}", QByteArray::number(status));
    page.replace("{{heading}}", heading.toHtmlEscaped().toUtf8());
    page.replace("{{message}}", message.toHtmlEscaped().toUtf8());
    return htmlAnswer(status, page, m_resultPolicy);
}
