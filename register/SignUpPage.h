#pragma once

#include "register/Answer.h"

#include <QByteArray>
#include <QString>

// The pages the service shows a browser: the sign-up form at /, and the answer to a form posted
// without JavaScript. Both are single files whose scripts and styles are inline; each answer's
// Content-Security-Policy allows those exact scripts and styles (by their SHA-256) and nothing
// else from anywhere.
class SignUpPage
{
public:
    // customPage: an operator's own page (UTF-8); empty for the built-in one.
    explicit SignUpPage(const QByteArray &customPage = {});

    // The form, with {{challenge}} and {{bits}} filled in (an empty challenge and 0 without a
    // proof of work).
    Answer form(const QString &challenge, int bits) const;
    // The answer page: {{status}}, {{heading}} and {{message}} filled in, HTML-escaped.
    Answer result(int status, const QString &heading, const QString &message) const;

private:
    QByteArray m_form;
    QByteArray m_formPolicy;
    QByteArray m_result;
    QByteArray m_resultPolicy;
};
