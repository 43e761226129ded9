#pragma once

#include "core/AccountRecord.h"

#include <QAbstractTableModel>
#include <QList>
#include <QString>

#include <memory>

class AccountTable;

// The Accounts window's rows: every line of one loaded account file, filtered and sorted by the
// table itself. The model keeps only line indexes; a line is decoded when the view asks for a
// visible cell.
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

    using QAbstractTableModel::QAbstractTableModel;

    // A new version of the file; the filter text and the order stay as they were.
    void setTable(std::shared_ptr<const AccountTable> table);
    const AccountTable *table() const { return m_table.get(); }
    void setFilterText(const QString &text);
    void setPasswordsShown(bool shown);
    bool passwordsShown() const { return m_passwordsShown; }

    qsizetype lineAt(int row) const { return m_rows.at(row); }
    int rowOfLine(qsizetype line) const; // -1 when the line is filtered out
    AccountRecord recordAt(int row) const;
    bool isMalformedAt(int row) const;

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
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    void applyOrder();
    QString cellText(int row, int column) const;

    std::shared_ptr<const AccountTable> m_table;
    QString m_filterText;
    QList<qsizetype> m_filtered; // in file order
    QList<qsizetype> m_rows;     // as shown
    int m_sortColumn = LineColumn;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    bool m_passwordsShown = false;
    // The view asks for each cell of a row in turn; the row is decoded once.
    mutable qsizetype m_cachedLine = -1;
    mutable AccountRecord m_cachedRecord;
};
