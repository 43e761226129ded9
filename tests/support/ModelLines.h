#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The lines of an account file (after any byte-order mark) as the plainest reader sees them:
// CR LF, LF and a lone CR each end a line, and a last line without an end still counts.
inline QList<QByteArray> modelLines(const QByteArray &bytes)
{
    QList<QByteArray> lines;
    QByteArray line;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes.at(i);
        if (c == '\r' || c == '\n') {
            lines.append(line);
            line.clear();
            if (c == '\r' && i + 1 < bytes.size() && bytes.at(i + 1) == '\n')
                ++i;
        } else {
            line.append(c);
        }
    }
    if (!line.isEmpty())
        lines.append(line);
    return lines;
}

// Whether two names name one account: the same text once composed and case-folded, character
// by character (ß is not ss).
inline bool sameName(const QString &a, const QString &b)
{
    const auto key = [](const QString &name) {
        return name.normalized(QString::NormalizationForm_C).toCaseFolded();
    };
    return key(a) == key(b);
}
