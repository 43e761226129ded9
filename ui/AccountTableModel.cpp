#include "ui/AccountTableModel.h"

#include "core/AccountTable.h"
#include "core/GmFlags.h"

#include <QBrush>
#include <QColor>
#include <QStringList>

#include <algorithm>

namespace {

// As many dots for every password, so that a hidden password does not give away its length.
const QString hiddenPassword = QString(8, QChar(0x2022));

QString gmFlagsText(qint32 total)
{
    const QStringList names = gmFlagNames(total);
    if (names.isEmpty())
        return QString::number(total);
    return QStringLiteral("%1 (%2)").arg(total).arg(names.join(u'+'));
}

} // namespace

void AccountTableModel::setTable(std::shared_ptr<const AccountTable> table)
{
    beginResetModel();
    m_table = std::move(table);
    m_cachedLine = -1;
    m_filtered = m_table ? m_table->filter(m_filterText) : QList<qsizetype>();
    applyOrder();
    endResetModel();
}

void AccountTableModel::setFilterText(const QString &text)
{
    beginResetModel();
    m_filterText = text;
    m_filtered = m_table ? m_table->filter(m_filterText) : QList<qsizetype>();
    applyOrder();
    endResetModel();
}

void AccountTableModel::setPasswordsShown(bool shown)
{
    if (shown == m_passwordsShown)
        return;
    m_passwordsShown = shown;
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, PasswordColumn), index(rowCount() - 1, PasswordColumn));
}

void AccountTableModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= ColumnCount)
        return;
    emit layoutAboutToBeChanged();
    m_sortColumn = column;
    m_sortOrder = order;
    applyOrder();
    emit layoutChanged();
}

void AccountTableModel::applyOrder()
{
    m_rows = m_filtered;
    if (!m_table)
        return;
    if (m_sortColumn == LineColumn) {
        if (m_sortOrder == Qt::DescendingOrder)
            std::reverse(m_rows.begin(), m_rows.end());
        return;
    }
    m_table->sort(m_rows, RecordField(m_sortColumn - UsernameColumn), m_sortOrder);
}

int AccountTableModel::rowOfLine(qsizetype line) const
{
    return int(m_rows.indexOf(line));
}

AccountRecord AccountTableModel::recordAt(int row) const
{
    const qsizetype line = m_rows.at(row);
    if (line != m_cachedLine) {
        m_cachedRecord = m_table->record(line);
        m_cachedLine = line;
    }
    return m_cachedRecord;
}

bool AccountTableModel::isMalformedAt(int row) const
{
    return m_table->isMalformed(m_rows.at(row));
}

QString AccountTableModel::statusText() const
{
    if (!m_table)
        return {};
    return QStringLiteral("%L1 of %L2 lines shown, %L3 malformed")
        .arg(m_rows.size())
        .arg(m_table->lineCount())
        .arg(m_table->malformedCount());
}

QString AccountTableModel::cellText(int row, int column) const
{
    if (column == LineColumn)
        return QString::number(m_rows.at(row) + 1);
    const AccountRecord record = recordAt(row);
    // A malformed line shows why only: its fields may hold anything, a password among them.
    if (!record.malformed.isEmpty())
        return column == UsernameColumn ? QStringLiteral("Malformed line: %1").arg(record.malformed)
                                        : QString();
    switch (column) {
    case UsernameColumn:
        return record.username;
    case PasswordColumn:
        return m_passwordsShown ? record.password : hiddenPassword;
    case GenderColumn:
        return record.male ? QStringLiteral("Male") : QStringLiteral("Female");
    case EmailColumn:
        return record.email;
    case GmFlagsColumn:
        return gmFlagsText(record.gmFlags);
    default:
        return {};
    }
}

QString AccountTableModel::copyText(const QList<int> &rows) const
{
    QString text;
    for (const int row : rows) {
        QStringList cells;
        for (int column = 0; column < ColumnCount; ++column) {
            if (column != PasswordColumn || m_passwordsShown)
                cells << cellText(row, column);
        }
        text += cells.join(u'\t') + u'\n';
    }
    return text;
}

int AccountTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int AccountTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant AccountTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return cellText(index.row(), index.column());
    case Qt::ToolTipRole:
        if (isMalformedAt(index.row()))
            return cellText(index.row(), UsernameColumn);
        return {};
    case Qt::ForegroundRole:
        if (isMalformedAt(index.row()))
            return QBrush(QColor(Qt::darkRed));
        return {};
    case Qt::TextAlignmentRole:
        if (index.column() == LineColumn)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    default:
        return {};
    }
}

QVariant AccountTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    // A first click on any header sorts up, so one click on Line brings back file order.
    if (role == Qt::InitialSortOrderRole)
        return int(Qt::AscendingOrder);
    if (role != Qt::DisplayRole)
        return {};
    switch (section) {
    case LineColumn:
        return QStringLiteral("Line");
    case UsernameColumn:
        return QStringLiteral("Username");
    case PasswordColumn:
        return QStringLiteral("Password");
    case GenderColumn:
        return QStringLiteral("Gender");
    case EmailColumn:
        return QStringLiteral("E-mail");
    case GmFlagsColumn:
        return QStringLiteral("GM flags");
    default:
        return {};
    }
}
