#pragma once

#include "core/AccountEdit.h"
#include "core/AccountRecord.h"

#include <QAbstractTableModel>
#include <QList>
#include <QString>

#include <memory>

class AccountTable;
class QThread;

// The Accounts window's rows: every line of one loaded account file, filtered and sorted by the
// table itself. The model keeps only line indexes; a line is decoded when the view asks for a
// visible cell. On a large table the filter and the sort run on a thread of their own, one at a
// time, and the rows are replaced when the latest request is done: meanwhile the view goes on
// showing the previous rows.
class AccountTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column
    {
        LineColumn,
        UsernameColumn, // then the record's fields in file order
        PasswordColumn,
        GenderColumn,
        EmailColumn,
        GmFlagsColumn,
        ColumnCount,
    };

    explicit AccountTableModel(QObject *parent = nullptr);
    ~AccountTableModel() override; // waits for the filter or sort under way

    // A new version of the file; the filter text and the order stay as they were.
    void setTable(std::shared_ptr<const AccountTable> table);
    // The table the rows shown come from.
    const AccountTable *table() const { return m_shownTable.get(); }
    void setFilterText(const QString &text);
    void setPasswordsShown(bool shown);
    bool passwordsShown() const { return m_passwordsShown; }
    int sortColumn() const { return m_request.sortColumn; }
    Qt::SortOrder sortOrder() const { return m_request.sortOrder; }

    // From how many lines on a table is filtered and sorted in the background.
    void setBackgroundFrom(qsizetype lines) { m_backgroundFrom = lines; }

    qsizetype lineAt(int row) const { return m_rows.at(row); }
    int rowOfLine(qsizetype line) const; // -1 when the line is filtered out
    AccountRecord recordAt(int row) const;
    bool isMalformedAt(int row) const;
    // A line a removal by name would not take: malformed, or its name on another line too. Such
    // a line is removed as the very line shown.
    bool isRemovedByLineAt(int row) const;
    FileLine fileLineAt(int row) const;

    // "N of M lines shown, K malformed" for the status line.
    QString statusText() const;
    // The rows as tab-separated text, one line each, passwords left out while they are hidden.
    QString copyText(const QList<int> &rows) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    // The line column gives file order (or its reverse); every other column orders by its field.
    // Passwords order the rows only while they are shown; hiding them brings back file order.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

signals:
    // Around every replacement of the rows (a model reset), so that the window can keep the
    // selected account and the scroll position across it.
    void rowsAboutToBeReplaced();
    void rowsReplaced();
    // A sort asked for and not made: the view's sort indicator must go back to sortColumn().
    void sortRefused();

private:
    struct Request
    {
        std::shared_ptr<const AccountTable> table;
        QString filterText;
        int sortColumn = LineColumn;
        Qt::SortOrder sortOrder = Qt::AscendingOrder;
    };
    static QList<qsizetype> rowsFor(const Request &request);
    void update();
    void startWorker();
    void showRows(std::shared_ptr<const AccountTable> table, QList<qsizetype> rows);
    QString cellText(int row, int column) const;

    Request m_request; // what the rows must become
    std::shared_ptr<const AccountTable> m_shownTable;
    QList<qsizetype> m_rows; // as shown
    qsizetype m_backgroundFrom = 100000;
    quint64 m_generation = 0; // of m_request
    bool m_requestWaiting = false;
    QThread *m_worker = nullptr;
    bool m_passwordsShown = false;
    // The view asks for each cell of a row in turn; the row is decoded once.
    mutable qsizetype m_cachedLine = -1;
    mutable AccountRecord m_cachedRecord;
};
