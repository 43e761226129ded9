#include "ui/frmKeltoAccountCreator.h"

#include "core/CreateAccount.h"
#include "ui/AccountsWindow.h"
#include "ui/CommandButton.h"
#include "ui/ControlFonts.h"
#include "ui/ModalMessage.h"
#include "ui/TitleColour.h"
#include "ui/Twips.h"
#include "ui/UpDownArrows.h"
#include "ui/frmGmSelect.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>

#include <iterator>
#include <limits>

namespace {

QKeySequence accountsShortcut()
{
    return QKeySequence(Qt::CTRL | Qt::Key_M);
}

void paintText(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::ButtonText, colour);
    widget->setPalette(palette);
}

QLabel *makeLabel(QWidget *window, const char *name, const QString &caption, QRect rect,
                  const QFont &font, const QColor &colour, Qt::Alignment alignment)
{
    auto *label = new QLabel(caption, window);
    label->setObjectName(QLatin1String(name));
    // Record lines hold whatever the operator typed; it must never be read as markup.
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    label->setAlignment(alignment);
    label->setGeometry(rect);
    paintText(label, colour);
    return label;
}

QLabel *makeCentredLabel(QWidget *window, const char *name, const QString &caption, QRect rect)
{
    return makeLabel(window, name, caption, rect, ControlFonts::boldTahoma(9.75),
                     activeTitleColour(), Qt::AlignHCenter | Qt::AlignTop);
}

QLabel *makeHintLabel(QWidget *window, const char *name, QRect rect)
{
    QLabel *label = makeLabel(window, name, QStringLiteral("(4-16 Characters)"), rect,
                              ControlFonts::boldTahoma(8.25), activeTitleColour(),
                              Qt::AlignLeft | Qt::AlignTop);
    // These hints fit their text rather than a box of their own; the font decides the size.
    label->adjustSize();
    return label;
}

QLineEdit *makeTextBox(QWidget *window, const char *name, QRect rect)
{
    auto *box = new QLineEdit(window);
    box->setObjectName(QLatin1String(name));
    // The rules alone limit lengths, so an overlong entry reaches them and is named.
    box->setMaxLength(std::numeric_limits<int>::max());
    box->setGeometry(rect);
    return box;
}

QRadioButton *makeOption(QWidget *window, const char *name, const QString &caption, QRect rect)
{
    auto *option = new QRadioButton(caption, window);
    option->setObjectName(QLatin1String(name));
    option->setGeometry(rect);
    paintText(option, activeTitleColour());
    return option;
}

} // namespace

frmKeltoAccountCreator::frmKeltoAccountCreator(const QString &applicationFolder, QWidget *parent)
    : QWidget(parent), m_loadFolder(applicationFolder)
{
    setObjectName(QStringLiteral("frmKeltoAccountCreator"));
    setWindowTitle(QStringLiteral("Kelto Account Creator by Falmoor"));
    setWindowIcon(QIcon(QStringLiteral(":/kelto/kelto-icon.png")));
    setFont(ControlFonts::dialog());
    resize(510, 385);
    // Shrunk further, the window would hide Create Account, Clear and Exit.
    setMinimumSize(size());

    createControls();
    connectHandlers();
    applyTabOrder();
    Form_Load();
}

frmKeltoAccountCreator::~frmKeltoAccountCreator()
{
    // The GM window has no owner, so nothing else deletes it if it outlives the event loop.
    delete m_gmWindow.data();
}

void frmKeltoAccountCreator::createControls()
{
    lblKadd =
        makeLabel(this, "lblKadd", QString(), twips(360, 360, 6975, 375),
                  ControlFonts::boldTahoma(9.75), QColor(255, 0, 0), Qt::AlignLeft | Qt::AlignTop);
    lblUsername = makeCentredLabel(this, "lblUsername", QStringLiteral("Username"),
                                   twips(1320, 1080, 1575, 255));
    txtUsername = makeTextBox(this, "txtUsername", twips(3000, 1080, 1935, 285));
    lblUsername1 = makeHintLabel(this, "lblUsername1", twips(5160, 1080, 1470, 195));
    lblPassword = makeCentredLabel(this, "lblPassword", QStringLiteral("Password"),
                                   twips(1320, 1680, 1575, 255));
    txtPassword = makeTextBox(this, "txtPassword", twips(3000, 1680, 1935, 285));
    lblPassword1 = makeHintLabel(this, "lblPassword1", twips(5160, 1680, 1470, 195));
    lblGender =
        makeCentredLabel(this, "lblGender", QStringLiteral("Gender"), twips(1320, 2280, 1575, 255));
    optGenderMale =
        makeOption(this, "optGenderMale", QStringLiteral("Male"), twips(3000, 2280, 735, 255));
    // 60 pixels: the Windows style leaves "Female" in Tahoma 1 pixel short at 57.
    optGenderFemale =
        makeOption(this, "optGenderFemale", QStringLiteral("Female"), twips(3960, 2280, 900, 255));
    lblEmail =
        makeCentredLabel(this, "lblEmail", QStringLiteral("Email"), twips(1320, 2880, 1575, 255));
    txtEmail = makeTextBox(this, "txtEmail", twips(3000, 2880, 1935, 285));
    cmdGM =
        makeCommandButton(this, "cmdGM", QStringLiteral("Create GM"), twips(3120, 3360, 1815, 495));
    lblGmMode = makeCentredLabel(this, "lblGmMode", QStringLiteral("Gm Mode"),
                                 twips(1320, 3480, 1575, 255));
    // Wider than its neighbours, about the same centre: Windows draws the caption in a narrower
    // space inside the button's frame.
    cmdCreate = makeCommandButton(this, "cmdCreate", QStringLiteral("Create Account"),
                                  twips(780, 4440, 1455, 615));
    cmdClear =
        makeCommandButton(this, "cmdClear", QStringLiteral("Clear"), twips(3240, 4440, 1335, 615));
    CmdExit =
        makeCommandButton(this, "CmdExit", QStringLiteral("Exit"), twips(5520, 4440, 1335, 615));

    // Screen readers name a text box after the label it belongs to.
    lblUsername->setBuddy(txtUsername);
    lblPassword->setBuddy(txtPassword);
    lblEmail->setBuddy(txtEmail);

    optGenderMale->setChecked(true);
    keepTabStopOnSelectedGender();
    moveAcrossWithUpAndDown(optGenderMale, optGenderFemale);
}

void frmKeltoAccountCreator::connectHandlers()
{
    connect(cmdCreate, &QPushButton::clicked, this, &frmKeltoAccountCreator::cmdCreate_Click);
    connect(cmdClear, &QPushButton::clicked, this, &frmKeltoAccountCreator::cmdClear_Click);
    connect(cmdGM, &QPushButton::clicked, this, &frmKeltoAccountCreator::cmdGM_Click);
    connect(CmdExit, &QPushButton::clicked, this, &frmKeltoAccountCreator::CmdExit_Click);
    connect(optGenderMale, &QRadioButton::toggled, this,
            &frmKeltoAccountCreator::keepTabStopOnSelectedGender);
    new QShortcut(accountsShortcut(), this, this, &frmKeltoAccountCreator::openAccountsWindow);
}

void frmKeltoAccountCreator::applyTabOrder()
{
    const QWidget *order[] = {txtUsername,     txtPassword, optGenderMale,
                              optGenderFemale, txtEmail,    cmdCreate,
                              cmdClear,        CmdExit,     cmdGM};
    for (size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(const_cast<QWidget *>(order[i - 1]), const_cast<QWidget *>(order[i]));
    txtUsername->setFocus();
}

void frmKeltoAccountCreator::keepTabStopOnSelectedGender()
{
    // The two options are one stop in the tab order, and Tab lands on the selected one, also
    // after Clear selects Male behind the operator's back.
    const bool male = optGenderMale->isChecked();
    optGenderMale->setFocusPolicy(male ? Qt::StrongFocus : Qt::ClickFocus);
    optGenderFemale->setFocusPolicy(male ? Qt::ClickFocus : Qt::StrongFocus);
}

QLineEdit *frmKeltoAccountCreator::box(EntryBox box) const
{
    switch (box) {
    case EntryBox::Username:
        return txtUsername;
    case EntryBox::Password:
        return txtPassword;
    case EntryBox::Email:
        break;
    }
    return txtEmail;
}

QString frmKeltoAccountCreator::text(EntryBox box) const
{
    return this->box(box)->text();
}

void frmKeltoAccountCreator::setText(EntryBox box, const QString &text)
{
    this->box(box)->setText(text);
}

bool frmKeltoAccountCreator::isMaleSelected() const
{
    return optGenderMale->isChecked();
}

void frmKeltoAccountCreator::setMaleSelected(bool selected)
{
    // An exclusive option cannot be unticked directly; ticking its partner does it.
    (selected ? optGenderMale : optGenderFemale)->setChecked(true);
}

void frmKeltoAccountCreator::setRecordLabel(const QString &caption)
{
    // Cut at the right edge, a long record would show a wrong GM value. Cut in the middle the
    // end stays true, and the whole line is the tooltip and what a screen reader says.
    const QString shown = lblKadd->fontMetrics().elidedText(caption, Qt::ElideMiddle,
                                                            lblKadd->contentsRect().width());
    lblKadd->setText(shown);
    lblKadd->setToolTip(shown == caption ? QString() : caption);
    lblKadd->setAccessibleName(caption);
}

QString frmKeltoAccountCreator::applicationFolder() const
{
    return m_applicationFolder;
}

void frmKeltoAccountCreator::showMessageBox(const QString &text,
                                            const std::optional<QString> &title, MessageIcon icon)
{
    ModalMessage::show(this, text, title, icon);
}

qint32 frmKeltoAccountCreator::gmFlagTotal() const
{
    return Module1::gmFlagTotal;
}

void frmKeltoAccountCreator::setGmFlagTotal(qint32 total)
{
    Module1::gmFlagTotal = total;
}

void frmKeltoAccountCreator::runClear()
{
    cmdClear_Click();
}

CreateAccountState &frmKeltoAccountCreator::keptValues()
{
    return m_kept;
}

frmGmSelect *frmKeltoAccountCreator::gmWindow() const
{
    return m_gmWindow.data();
}

void frmKeltoAccountCreator::setServerFolderChooser(ServerFolderChooser chooser)
{
    m_chooseServerFolder = std::move(chooser);
}

void frmKeltoAccountCreator::changeServerFolder()
{
    if (!m_chooseServerFolder)
        return;
    const QString folder = m_chooseServerFolder(this, m_applicationFolder);
    if (folder.isEmpty())
        return;
    m_loadFolder = folder;
    m_applicationFolder = folder;
}

void frmKeltoAccountCreator::contextMenuEvent(QContextMenuEvent *event)
{
    // Only the window's empty area: the controls keep what a right-click does on them.
    if (childAt(event->pos()) != nullptr) {
        event->ignore();
        return;
    }
    QMenu menu(this);
    // The folder in use heads the menu so that a glance tells which server is being changed.
    menu.addAction(QDir::toNativeSeparators(m_applicationFolder))->setEnabled(false);
    menu.addSeparator();
    menu.addAction(QStringLiteral("Change server folder…"), this,
                   &frmKeltoAccountCreator::changeServerFolder)
        ->setEnabled(bool(m_chooseServerFolder));
    // The shortcut is the window's own (see connectHandlers); the menu only shows it.
    menu.addAction(QStringLiteral("Manage accounts…"), this,
                   &frmKeltoAccountCreator::openAccountsWindow)
        ->setShortcut(accountsShortcut());
    menu.exec(event->globalPos());
}

void frmKeltoAccountCreator::openAccountsWindow()
{
    // One Accounts window, on the folder in use: after a change of folder the old one goes.
    if (m_accountsWindow && m_accountsWindow->applicationFolder() != m_applicationFolder) {
        m_accountsWindow->close(); // deleted later
        m_accountsWindow = nullptr;
    }
    if (!m_accountsWindow) {
        m_accountsWindow = new AccountsWindow(m_applicationFolder, this);
        m_accountsWindow->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_accountsWindow->show();
    m_accountsWindow->raise();
    m_accountsWindow->activateWindow();
}

AccountsWindow *frmKeltoAccountCreator::accountsWindow() const
{
    return m_accountsWindow;
}

void frmKeltoAccountCreator::Form_Load()
{
    m_applicationFolder = m_loadFolder;
}

void frmKeltoAccountCreator::cmdCreate_Click()
{
    CreateAccount(*this);
}

void frmKeltoAccountCreator::cmdClear_Click()
{
    ClearEntry(*this);
}

void frmKeltoAccountCreator::cmdGM_Click()
{
    if (!m_gmWindow) {
        // No owner: the GM window lives on its own and may outlast a closed main window.
        m_gmWindow = new frmGmSelect();
        m_gmWindow->show();
        return;
    }
    if (m_gmWindow->isMinimized())
        m_gmWindow->showNormal();
    m_gmWindow->raise();
    m_gmWindow->activateWindow();
}

void frmKeltoAccountCreator::CmdExit_Click()
{
    // Ends the program outright; an open GM window goes without Done.
    QApplication::closeAllWindows();
    QCoreApplication::quit();
}
