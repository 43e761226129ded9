#include "ui/AccountsWindow.h"

#include "core/AccountFile.h"
#include "core/AccountRestore.h"
#include "core/AccountTable.h"
#include "core/CreateAccount.h"
#include "ui/AccountDetailsDialog.h"
#include "ui/AccountDetailsFields.h"
#include "ui/AccountTableLoader.h"
#include "ui/AccountTableModel.h"
#include "ui/AddAccountDialog.h"
#include "ui/ModalMessage.h"
#include "ui/PasswordDialog.h"
#include "ui/PasswordFields.h"
#include "ui/RemoveAccountDialog.h"

#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTableView>
#include <QThread>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace {

// A quiet moment this long takes a replacing save (write, rename, lock files) as one change; a
// file that never goes quiet is still shown afresh this long after a burst's first change.
constexpr int reloadDelayMs = 200;
constexpr int longestReloadDelayMs = 1000;
constexpr int progressDelayMs = 300;
constexpr int progressSteps = 1000;

QPushButton *makeButton(QWidget *window, const char *name, const QString &caption,
                        const QString &accessibleName)
{
    auto *button = new QPushButton(caption, window);
    button->setObjectName(QLatin1String(name));
    button->setAccessibleName(accessibleName);
    button->setAutoDefault(false);
    return button;
}

} // namespace

AccountsWindow::AccountsWindow(const QString &applicationFolder, QWidget *parent)
    : QWidget(parent, Qt::Window), m_applicationFolder(applicationFolder),
      m_accountPath(accountFilePath(applicationFolder)), m_model(new AccountTableModel(this)),
      m_loader(new AccountTableLoader(applicationFolder, this)),
      m_watcher(new QFileSystemWatcher(this))
{
    setObjectName(QStringLiteral("frmAccounts"));
    setWindowTitle(QStringLiteral("Accounts – %1").arg(QDir::toNativeSeparators(m_accountPath)));
    createControls();

    m_reloadTimer.setSingleShot(true);
    connect(&m_reloadTimer, &QTimer::timeout, this, &AccountsWindow::reload);
    m_progressDelay.setSingleShot(true);
    m_progressDelay.setInterval(progressDelayMs);
    connect(&m_progressDelay, &QTimer::timeout, prgLoad, &QWidget::show);

    connect(m_loader, &AccountTableLoader::loaded, this, &AccountsWindow::showTable);
    connect(m_loader, &AccountTableLoader::failed, this, &AccountsWindow::showLoadError);
    connect(m_loader, &AccountTableLoader::progress, this, &AccountsWindow::showProgress);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &AccountsWindow::fileTouched);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &AccountsWindow::fileTouched);
    watchFile();
    reload();
}

AccountsWindow::~AccountsWindow()
{
    // Only a window destroyed without being closed gets here with a change under way: no
    // message can be shown any more, but the change is not cut short.
    if (m_change) {
        m_change->wait();
        delete m_change;
    }
}

void AccountsWindow::closeEvent(QCloseEvent *event)
{
    if (m_change) {
        // A change must never end unseen: the operator waits for its outcome here.
        m_change->wait();
        m_nextStep = nullptr;
        finishChange();
    }
    QWidget::closeEvent(event);
}

void AccountsWindow::createControls()
{
    resize(900, 560);
    auto *layout = new QVBoxLayout(this);

    auto *top = new QHBoxLayout;
    auto *filterLabel = new QLabel(QStringLiteral("&Filter:"), this);
    txtFilter = new QLineEdit(this);
    txtFilter->setObjectName(QStringLiteral("txtFilter"));
    txtFilter->setAccessibleName(QStringLiteral("Filter"));
    txtFilter->setPlaceholderText(QStringLiteral("Username or e-mail; * and ? as wildcards"));
    txtFilter->setClearButtonEnabled(true);
    filterLabel->setBuddy(txtFilter);
    chkShowPasswords = new QCheckBox(QStringLiteral("&Show passwords"), this);
    chkShowPasswords->setObjectName(QStringLiteral("chkShowPasswords"));
    chkShowPasswords->setAccessibleName(QStringLiteral("Show passwords"));
    top->addWidget(filterLabel);
    top->addWidget(txtFilter, 1);
    top->addWidget(chkShowPasswords);
    layout->addLayout(top);

    tblAccounts = new QTableView(this);
    tblAccounts->setObjectName(QStringLiteral("tblAccounts"));
    tblAccounts->setAccessibleName(QStringLiteral("Accounts"));
    tblAccounts->setModel(m_model);
    tblAccounts->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblAccounts->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tblAccounts->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblAccounts->setTabKeyNavigation(false);
    tblAccounts->setWordWrap(false);
    tblAccounts->verticalHeader()->hide();
    // A fixed row height spares the view from measuring a million rows.
    tblAccounts->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    tblAccounts->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    QHeaderView *header = tblAccounts->horizontalHeader();
    header->setStretchLastSection(true);
    const int widths[] = {70, 160, 130, 70, 220};
    for (int column = 0; column < int(std::size(widths)); ++column)
        header->resizeSection(column, widths[column]);
    header->setSortIndicator(AccountTableModel::LineColumn, Qt::AscendingOrder);
    tblAccounts->setSortingEnabled(true);
    tblAccounts->installEventFilter(this);
    layout->addWidget(tblAccounts, 1);

    auto *statusRow = new QHBoxLayout;
    lblStatus = new QLabel(QStringLiteral("Reading the account file…"), this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setAccessibleName(QStringLiteral("Status"));
    lblStatus->setTextFormat(Qt::PlainText);
    lblStatus->setWordWrap(true);
    prgLoad = new QProgressBar(this);
    prgLoad->setObjectName(QStringLiteral("prgLoad"));
    prgLoad->setAccessibleName(QStringLiteral("Reading the account file"));
    prgLoad->setRange(0, progressSteps);
    prgLoad->hide();
    statusRow->addWidget(lblStatus, 1);
    statusRow->addWidget(prgLoad);
    layout->addLayout(statusRow);

    auto *buttons = new QHBoxLayout;
    cmdPassword = makeButton(this, "cmdPassword", QStringLiteral("Change &password…"),
                             QStringLiteral("Change password"));
    cmdEdit = makeButton(this, "cmdEdit", QStringLiteral("&Edit…"), QStringLiteral("Edit"));
    cmdRemove = makeButton(this, "cmdRemove", QStringLiteral("&Remove…"), QStringLiteral("Remove"));
    buttons->addWidget(cmdPassword);
    buttons->addWidget(cmdEdit);
    buttons->addWidget(cmdRemove);
    buttons->addStretch();
    // Apart from the commands on the selected account: it needs none.
    cmdAdd = makeButton(this, "cmdAdd", QStringLiteral("&Add…"), QStringLiteral("Add account"));
    cmdAdd->setToolTip(
        QStringLiteral("Add an account (%1)")
            .arg(QKeySequence(QKeySequence::New).toString(QKeySequence::NativeText)));
    buttons->addWidget(cmdAdd);
    layout->addLayout(buttons);
    new QShortcut(QKeySequence::New, this, this, &AccountsWindow::addAccount);

    m_rowMenu = new QMenu(this);
    m_rowMenu->setObjectName(QStringLiteral("mnuRow"));
    // The commands of the buttons below the table, enabled as they are.
    m_rowChanges = {
        m_rowMenu->addAction(cmdPassword->text(), this, &AccountsWindow::changePassword),
        m_rowMenu->addAction(cmdEdit->text(), this, &AccountsWindow::editAccount),
        m_rowRemove = m_rowMenu->addAction(cmdRemove->text(), this, &AccountsWindow::removeAccount),
    };
    m_rowMenu->addSeparator();
    m_copyUsername =
        m_rowMenu->addAction(QStringLiteral("&Copy username"), this, &AccountsWindow::copyUsername);
    m_rowMenu->addSeparator();
    m_restore = m_rowMenu->addAction(QStringLiteral("Restore &previous file…"), this,
                                     &AccountsWindow::restorePreviousFile);
    tblAccounts->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tblAccounts, &QWidget::customContextMenuRequested, this, &AccountsWindow::showRowMenu);

    setTabOrder(txtFilter, tblAccounts);
    setTabOrder(tblAccounts, cmdPassword);
    setTabOrder(cmdPassword, cmdEdit);
    setTabOrder(cmdEdit, cmdRemove);
    setTabOrder(cmdRemove, chkShowPasswords);
    setTabOrder(chkShowPasswords, cmdAdd);

    connect(txtFilter, &QLineEdit::textChanged, m_model, &AccountTableModel::setFilterText);
    connect(m_model, &AccountTableModel::rowsAboutToBeReplaced, this, &AccountsWindow::keepPlace);
    connect(m_model, &AccountTableModel::rowsReplaced, this, &AccountsWindow::returnToPlace);
    connect(chkShowPasswords, &QCheckBox::toggled, this, [this](bool shown) {
        m_model->setPasswordsShown(shown);
        showSortIndicator();
    });
    connect(m_model, &AccountTableModel::sortRefused, this, &AccountsWindow::showSortIndicator);
    // A click makes the row current before it selects it: both are followed.
    connect(tblAccounts->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &AccountsWindow::updateCommands);
    connect(tblAccounts->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &AccountsWindow::updateCommands);
    connect(tblAccounts, &QTableView::doubleClicked, this, &AccountsWindow::editAccount);
    connect(cmdPassword, &QPushButton::clicked, this, &AccountsWindow::changePassword);
    connect(cmdEdit, &QPushButton::clicked, this, &AccountsWindow::editAccount);
    connect(cmdRemove, &QPushButton::clicked, this, &AccountsWindow::removeAccount);
    connect(cmdAdd, &QPushButton::clicked, this, &AccountsWindow::addAccount);
    txtFilter->installEventFilter(this);
    updateCommands();
    txtFilter->setFocus();
}

bool AccountsWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == txtFilter && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent *>(event)->key()) {
        case Qt::Key_Down:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            enterTable(true);
            return true;
        default:
            break;
        }
    }
    // Enter and Delete act on the selected row: a table reached by Tab must have one.
    if (watched == tblAccounts && event->type() == QEvent::FocusIn) {
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if ((reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason) && selectedRow() < 0)
            enterTable(false);
    }
    if (watched == tblAccounts && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->matches(QKeySequence::Copy)) {
            copySelection();
            return true;
        }
        if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier) {
            switch (key->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
                editAccount();
                return true;
            case Qt::Key_Delete:
                removeAccount();
                return true;
            default:
                break;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void AccountsWindow::enterTable(bool firstRow)
{
    if (m_model->rowCount() > 0) {
        const QModelIndex current = tblAccounts->currentIndex();
        const int row = firstRow || !current.isValid() ? 0 : current.row();
        selectRow(row);
        tblAccounts->scrollTo(m_model->index(row, 0));
    }
    tblAccounts->setFocus(Qt::OtherFocusReason);
}

void AccountsWindow::showRowMenu(const QPoint &position)
{
    // Off the rows the menu still offers what concerns the whole file.
    m_copyUsername->setEnabled(tblAccounts->indexAt(position).isValid() && selectedRow() >= 0);
    m_rowMenu->popup(tblAccounts->viewport()->mapToGlobal(position));
}

void AccountsWindow::watchFile()
{
    // A save that replaces the file leaves the watch on a file that is gone: watch the new one.
    if (!m_watcher->files().contains(m_accountPath) && QFileInfo::exists(m_accountPath))
        m_watcher->addPath(m_accountPath);
    const QString folder = QFileInfo(m_accountPath).absolutePath();
    if (!m_watcher->directories().contains(folder) && QFileInfo::exists(folder))
        m_watcher->addPath(folder);
}

void AccountsWindow::fileTouched()
{
    watchFile();
    if (!m_reloadTimer.isActive())
        m_burst.start();
    const qint64 left = longestReloadDelayMs - m_burst.elapsed();
    m_reloadTimer.start(int(std::clamp<qint64>(left, 0, reloadDelayMs)));
}

void AccountsWindow::reload()
{
    m_reloadTimer.stop();
    if (!m_progressDelay.isActive() && prgLoad->isHidden())
        m_progressDelay.start();
    prgLoad->setValue(0);
    m_loader->start();
}

void AccountsWindow::showProgress(qint64 bytesRead, qint64 fileSize)
{
    if (fileSize > 0)
        prgLoad->setValue(int(std::min(bytesRead, fileSize) * progressSteps / fileSize));
}

void AccountsWindow::showTable(std::shared_ptr<const AccountTable> table)
{
    m_loadShowing = true;
    m_model->setTable(std::move(table));
}

void AccountsWindow::keepPlace()
{
    m_place = {m_model->table(), -1, {}, -1, {}, tblAccounts->verticalScrollBar()->value()};
    if (const int row = selectedRow(); row >= 0) {
        m_place.selectedLine = m_model->lineAt(row);
        m_place.selectedName = m_model->recordAt(row).username;
    }
    if (const int top = tblAccounts->rowAt(0); top >= 0) {
        m_place.topLine = m_model->lineAt(top);
        m_place.topName = m_model->recordAt(top).username;
    }
}

void AccountsWindow::returnToPlace()
{
    const AccountTable *table = m_model->table();
    const bool sameFile = table == m_place.table;
    // Line numbers move when lines are added or removed above: a new version is searched by name.
    const auto rowOf = [&](qsizetype line, const QString &name) {
        if (!sameFile)
            line = name.isEmpty() || !table ? -1 : table->find(name);
        return line < 0 ? -1 : m_model->rowOfLine(line);
    };
    // An account just added is the one the operator will look for.
    const bool added = !m_addedName.isEmpty() && table && table->find(m_addedName) >= 0;
    const int selected = added ? m_model->rowOfLine(table->find(std::exchange(m_addedName, {})))
                               : rowOf(m_place.selectedLine, m_place.selectedName);
    selectRow(selected);
    if (sameFile || added) {
        // A new filter or order: the selected account stays in view.
        if (selected >= 0)
            tblAccounts->scrollTo(m_model->index(selected, 0), QAbstractItemView::PositionAtCenter);
    } else if (const int top = rowOf(m_place.topLine, m_place.topName); top >= 0) {
        tblAccounts->scrollTo(m_model->index(top, 0), QAbstractItemView::PositionAtTop);
    } else {
        tblAccounts->verticalScrollBar()->setValue(m_place.scroll);
    }
    showStatus();
    updateCommands();
    if (m_loadShowing) {
        m_loadShowing = false;
        m_progressDelay.stop();
        prgLoad->hide();
        emit tableLoaded();
    }
}

void AccountsWindow::showLoadError(const QString &errorText)
{
    // The table keeps the last version read; the status line says why it is not the latest.
    m_progressDelay.stop();
    prgLoad->hide();
    lblStatus->setText(errorText);
    emit tableLoaded();
}

int AccountsWindow::selectedRow() const
{
    const QModelIndex current = tblAccounts->selectionModel()->currentIndex();
    if (!current.isValid() || !tblAccounts->selectionModel()->isRowSelected(current.row()))
        return -1;
    return current.row();
}

// A malformed line has no fields to change safely: it can only be removed.
int AccountsWindow::changeableRow() const
{
    const int row = selectedRow();
    return m_change || row < 0 || m_model->isMalformedAt(row) ? -1 : row;
}

int AccountsWindow::removableRow() const
{
    return m_change ? -1 : selectedRow();
}

void AccountsWindow::selectRow(int row)
{
    if (row < 0)
        return;
    tblAccounts->selectionModel()->setCurrentIndex(
        m_model->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void AccountsWindow::showSortIndicator()
{
    QHeaderView *header = tblAccounts->horizontalHeader();
    // The rows are already in this order: the header must not ask for it once more.
    const QSignalBlocker quiet(header);
    header->setSortIndicator(m_model->sortColumn(), m_model->sortOrder());
}

void AccountsWindow::showStatus()
{
    lblStatus->setText(m_change ? m_changeStatus : m_model->statusText());
}

void AccountsWindow::updateCommands()
{
    const bool account = changeableRow() >= 0;
    cmdPassword->setEnabled(account);
    cmdEdit->setEnabled(account);
    cmdRemove->setEnabled(removableRow() >= 0);
    for (QAction *action : std::as_const(m_rowChanges))
        action->setEnabled(action == m_rowRemove ? cmdRemove->isEnabled() : account);
    cmdAdd->setEnabled(!m_change);
    m_restore->setEnabled(!m_change);
}

void AccountsWindow::openDialog(QDialog *dialog)
{
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->open();
}

void AccountsWindow::changePassword()
{
    const int row = changeableRow();
    if (row < 0)
        return;
    const QString username = m_model->recordAt(row).username;
    auto *dialog = new PasswordDialog(username, this);
    connect(dialog, &PasswordDialog::submitted, this, [this, dialog, username] {
        PasswordFields *passwords = dialog->passwords();
        apply(dialog, passwordChange(username, passwords->password(), passwords->repeated()));
        if (passwords->password() != passwords->repeated())
            passwords->startOver();
    });
    openDialog(dialog);
}

void AccountsWindow::editAccount()
{
    const int row = changeableRow();
    if (row < 0)
        return;
    const AccountRecord record = m_model->recordAt(row);
    auto *dialog = new AccountDetailsDialog(record, this);
    connect(dialog, &AccountDetailsDialog::submitted, this, [this, dialog, record] {
        const AccountDetailsFields *details = dialog->details();
        apply(dialog, detailsChange(record, details->isMaleSelected(), details->email(),
                                    details->gmFlagTotal()));
    });
    openDialog(dialog);
}

void AccountsWindow::addAccount()
{
    if (m_change)
        return;
    auto *dialog = new AddAccountDialog(this);
    connect(dialog, &AddAccountDialog::submitted, this, [this, dialog] {
        PasswordFields *passwords = dialog->passwords();
        const AccountDetailsFields *details = dialog->details();
        apply(dialog,
              accountAddition(dialog->username(), passwords->password(), passwords->repeated(),
                              details->isMaleSelected(), details->email(), details->gmFlagTotal()));
        if (passwords->password() != passwords->repeated())
            passwords->startOver();
    });
    openDialog(dialog);
}

void AccountsWindow::removeAccount()
{
    const int row = removableRow();
    if (row < 0)
        return;
    if (m_model->isRemovedByLineAt(row)) {
        const FileLine line = m_model->fileLineAt(row);
        auto *dialog = new RemoveAccountDialog(
            QStringLiteral("Remove line %1 from the account file?").arg(line.number), this);
        connect(dialog, &RemoveAccountDialog::submitted, this,
                [this, dialog, line] { apply(dialog, lineRemoval(line, dialog->keepBackup())); });
        openDialog(dialog);
        return;
    }
    const QString username = m_model->recordAt(row).username;
    auto *dialog = new RemoveAccountDialog(
        QStringLiteral("Remove the account %1 from the account file?").arg(username), this);
    connect(dialog, &RemoveAccountDialog::submitted, this,
            [this, dialog, username] { apply(dialog, removal(username, dialog->keepBackup())); });
    openDialog(dialog);
}

void AccountsWindow::apply(QDialog *dialog, const AccountChange &change)
{
    if (change.refused) {
        ModalMessage::show(dialog, change.refused->text, change.refused->title,
                           MessageIcon::Critical);
        return;
    }
    // A second dialog opened while another was up waits for the change under way.
    if (m_change)
        return;
    if (change.isEmpty()) {
        dialog->accept();
        return;
    }
    // The dialog stays, greyed, until the outcome is known: a refusal or a file error then
    // leaves the entry in it to be mended rather than typed again.
    dialog->setEnabled(false);
    m_changeDialog = dialog;

    m_addingName = change.addition ? change.addition->username : QString();
    const QString status =
        change.addition ? QStringLiteral("Adding %1…") : QStringLiteral("Changing %1…");
    const QString folder = m_applicationFolder;
    startChange(status.arg(change.subject()),
                [folder, change] { return sendChange(folder, change); });
}

// At a million lines a change takes a quarter of a second: the window must answer meanwhile.
void AccountsWindow::startChange(const QString &status,
                                 const std::function<std::optional<ChangeMessage>()> &work)
{
    const quint64 id = ++m_changeId;
    auto message = std::make_shared<std::optional<ChangeMessage>>();
    m_changeMessage = message;
    m_changeStatus = status;
    m_change = QThread::create([work, message] { *message = work(); });
    connect(m_change, &QThread::finished, this, [this, id] {
        if (id == m_changeId && m_change)
            finishChange();
    });
    m_change->start();
    setCursor(Qt::BusyCursor);
    showStatus();
    updateCommands();
}

void AccountsWindow::finishChange()
{
    m_change->wait();
    delete m_change;
    m_change = nullptr;
    const std::optional<ChangeMessage> message = *std::exchange(m_changeMessage, nullptr);
    unsetCursor();
    showStatus();
    updateCommands();
    QDialog *dialog = std::exchange(m_changeDialog, nullptr);
    if (message && dialog) {
        dialog->setEnabled(true);
        ModalMessage::show(dialog, message->text, message->title, message->icon);
    } else if (message) {
        ModalMessage::show(this, message->text, message->title, message->icon);
    } else {
        if (dialog)
            dialog->accept();
        m_addedName = m_addingName;
        if (const std::function<void()> next = std::exchange(m_nextStep, nullptr))
            next();
    }
    m_addingName.clear();
    // Whatever the outcome, the table shows the file as it now is.
    reload();
}

// Shows what putting kAdd.txt.bak back would change, read off the window's thread, then asks.
void AccountsWindow::restorePreviousFile()
{
    if (m_change)
        return;
    const QString folder = m_applicationFolder;
    auto preview = std::make_shared<RestorePreview>();
    m_nextStep = [this, preview] {
        askToRestore(*preview);
    };
    startChange(QStringLiteral("Reading the previous file…"),
                [folder, preview]() -> std::optional<ChangeMessage> {
                    *preview = PreviewRestore(folder);
                    if (preview->outcome == ReadOutcome::Done)
                        return std::nullopt;
                    return ChangeMessage{preview->errorText, fileErrorTitle};
                });
}

void AccountsWindow::askToRestore(const RestorePreview &preview)
{
    QMessageBox question(
        QMessageBox::Question, QStringLiteral("Restore Previous File"),
        QStringLiteral("%1 accounts are only in the current file, %2 only in the previous file "
                       "(kAdd.txt.bak).\n\nPut the previous file back? The current file then "
                       "becomes kAdd.txt.bak, so restoring again undoes this.")
            .arg(preview.onlyInCurrent)
            .arg(preview.onlyInBackup),
        QMessageBox::Yes | QMessageBox::No, this);
    question.setDefaultButton(QMessageBox::No);
    if (question.exec() != QMessageBox::Yes)
        return;
    const QString folder = m_applicationFolder;
    startChange(QStringLiteral("Restoring the previous file…"),
                [folder, preview]() -> std::optional<ChangeMessage> {
                    const RestoreResult result = RestoreBackup(folder, preview);
                    if (result.outcome == RestoreOutcome::Done)
                        return std::nullopt;
                    return ChangeMessage{result.errorText, fileErrorTitle};
                });
}

void AccountsWindow::copySelection()
{
    QList<int> rows;
    for (const QModelIndex &index : tblAccounts->selectionModel()->selectedRows())
        rows << index.row();
    if (rows.isEmpty())
        return;
    std::sort(rows.begin(), rows.end());
    QGuiApplication::clipboard()->setText(m_model->copyText(rows));
}

void AccountsWindow::copyUsername()
{
    if (const int row = selectedRow(); row >= 0)
        QGuiApplication::clipboard()->setText(m_model->recordAt(row).username);
}
