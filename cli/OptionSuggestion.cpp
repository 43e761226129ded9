#include "cli/OptionSuggestion.h"

#include <QList>

#include <algorithm>

namespace {

// A short word is near every short name: one slip is allowed from two letters on, two from five,
// and a word is taken as the start of a name from three letters on.
constexpr qsizetype mostSlips = 2;
constexpr qsizetype shortestStart = 3;

// The Levenshtein distance, one row at a time: option names are a few letters long.
qsizetype editDistance(const QString &from, const QString &to)
{
    QList<qsizetype> row(to.size() + 1);
    for (qsizetype j = 0; j <= to.size(); ++j)
        row[j] = j;
    for (qsizetype i = 1; i <= from.size(); ++i) {
        qsizetype diagonal = row[0];
        row[0] = i;
        for (qsizetype j = 1; j <= to.size(); ++j) {
            const qsizetype above = row[j];
            const qsizetype changed = diagonal + (from[i - 1] == to[j - 1] ? 0 : 1);
            row[j] = std::min({above + 1, row[j - 1] + 1, changed});
            diagonal = above;
        }
    }
    return row[to.size()];
}

} // namespace

QString closestName(const QString &typed, const QStringList &known)
{
    const QString word = typed.toLower();
    QString best;
    qsizetype bestDistance = std::min((word.size() + 1) / 3, mostSlips) + 1;
    for (const QString &name : known) {
        const qsizetype distance = editDistance(word, name);
        if (distance < bestDistance) {
            best = name;
            bestDistance = distance;
        }
    }
    if (!best.isEmpty() || word.size() < shortestStart)
        return best;
    const auto started = std::find_if(known.cbegin(), known.cend(),
                                      [&](const QString &name) { return name.startsWith(word); });
    return started == known.cend() ? QString() : *started;
}
