#include "ui/AccountTableModel.h"

#include "core/AccountTable.h"
#include "core/GmFlags.h"

#include <QBrush>
#include <QColor>
#include <QStringList>
#include <QThread>

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

AccountTableModel::AccountTableModel(QObject *parent) : QAbstractTableModel(parent) {}

AccountTableModel::~AccountTableModel()
{
    if (m_worker) {
        m_worker->wait();
        delete m_worker;
    }
}

void AccountTableModel::setTable(std::shared_ptr<const AccountTable> table)
{
    m_request.table = std::move(table);
    update();
}

void AccountTableModel::setFilterText(const QString &text)
{
    m_request.filterText = text;
    update();
}

void AccountTableModel::setPasswordsShown(bool shown)
{
    if (shown == m_passwordsShown)
        return;
    m_passwordsShown = shown;
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, PasswordColumn), index(rowCount() - 1, PasswordColumn));
    if (!shown && m_request.sortColumn == PasswordColumn)
        sort(LineColumn);
}

void AccountTableModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= ColumnCount)
        return;
    // The order of the rows would tell hidden passwords apart, and which accounts share one.
    if (column == PasswordColumn && !m_passwordsShown) {
        emit sortRefused();
        return;
    }
    m_request.sortColumn = column;
    m_request.sortOrder = order;
    update();
}

QList<qsizetype> AccountTableModel::rowsFor(const Request &request)
{
    if (!request.table)
        return {};
    QList<qsizetype> rows = request.table->filter(request.filterText);
    if (request.sortColumn == LineColumn) {
        if (request.sortOrder == Qt::DescendingOrder)
            std::reverse(rows.begin(), rows.end());
    } else {
        request.table->sort(rows, RecordField(request.sortColumn - UsernameColumn),
                            request.sortOrder);
    }
    return rows;
}

void AccountTableModel::update()
{
    ++m_generation;
    if (!m_request.table || m_request.table->lineCount() < m_backgroundFrom) {
        showRows(m_request.table, rowsFor(m_request));
        return;
    }
    m_requestWaiting = true;
    startWorker();
}

void AccountTableModel::startWorker()
{
    // One at a time: a request made meanwhile waits, and only the latest then runs.
    if (m_worker || !m_requestWaiting)
        return;
    m_requestWaiting = false;
    const Request request = m_request;
    const quint64 generation = m_generation;
    m_worker = QThread::create([this, request, generation] {
        QList<qsizetype> rows = rowsFor(request);
        QMetaObject::invokeMethod(
            this,
            [this, request, generation, rows = std::move(rows)]() mutable {
                if (generation == m_generation)
                    showRows(request.table, std::move(rows));
            },
            Qt::QueuedConnection);
    });
    connect(m_worker, &QThread::finished, this, [this] {
        m_worker->deleteLater();
        m_worker = nullptr;
        startWorker();
    });
    m_worker->start();
}

void AccountTableModel::showRows(std::shared_ptr<const AccountTable> table, QList<qsizetype> rows)
{
    emit rowsAboutToBeReplaced();
    beginResetModel();
    m_shownTable = std::move(table);
    m_rows = std::move(rows);
    m_cachedLine = -1;
    endResetModel();
    emit rowsReplaced();
}

int AccountTableModel::rowOfLine(qsizetype line) const
{
    return int(m_rows.indexOf(line));
}

AccountRecord AccountTableModel::recordAt(int row) const
{
    const qsizetype line = m_rows.at(row);
    if (line != m_cachedLine) {
        m_cachedRecord = m_shownTable->record(line);
        m_cachedLine = line;
    }
    return m_cachedRecord;
}

bool AccountTableModel::isMalformedAt(int row) const
{
    return m_shownTable->isMalformed(m_rows.at(row));
}

bool AccountTableModel::isRemovedByLineAt(int row) const
{
    const qsizetype line = m_rows.at(row);
    return m_shownTable->isMalformed(line) || m_shownTable->isNameRepeated(line);
}

FileLine AccountTableModel::fileLineAt(int row) const
{
    const qsizetype line = m_rows.at(row);
    return {int(line + 1), m_shownTable->line(line).toByteArray()};
}

QString AccountTableModel::statusText() const
{
    if (!m_shownTable)
        return {};
    return QStringLiteral("%L1 of %L2 lines shown, %L3 malformed")
        .arg(m_rows.size())
        .arg(m_shownTable->lineCount())
        .arg(m_shownTable->malformedCount());
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
