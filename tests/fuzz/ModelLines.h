#pragma once

#include <QByteArray>
#include <QList>

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
