#include "ui/mainfrm.h"

#include "client/clienttable.h"
#include "game/protocol.h"
#include "ui/botseats.h"
#include "ui/handhandling.h"
#include "ui/playcard.h"
#include "ui/chatpanel.h"
#include "ui/countdown.h"
#include "ui/fileplace.h"
#include "ui/frmsetting.h"
#include "ui/hint.h"
#include "ui/homehosting.h"
#include "ui/pictures.h"
#include "ui/keyboardplay.h"
#include "ui/tableaccessibility.h"
#include "ui/tablescale.h"
#include "ui/tablesession.h"
#include "ui/turnnotifier.h"
#include "ui/webtext.h"
#include "ui/windowplace.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDebug>
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTextEdit>
#include <QTimer>
#include <algorithm>
#include <utility>
#include <vector>

TmainFrm *mainFrm = nullptr;

namespace {

constexpr int kClientHeight = 410; // menu bar excluded
constexpr int kDesignFrame = 8;    // outer minus client width of the window the widths were made for

TmainFrm::MessageHook &messageHook()
{
    static TmainFrm::MessageHook hook;
    return hook;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Construction

TmainFrm::TmainFrm(QWidget *parent) : QMainWindow(parent)
{
    if (!mainFrm)
        mainFrm = this;
    FormCreate();
}

TmainFrm::~TmainFrm()
{
    FormDestroy();
    // The table ends quietly while the window comes apart; nobody is left to listen.
    delete botSeats;
    botSeats = nullptr;
    delete session;
    session = nullptr;
    delete homeHosting;
    homeHosting = nullptr;
    delete chat;
    chat = nullptr;
    delete frmSetting;
    frmSetting = nullptr;
    delete accessibility;
    accessibility = nullptr;
    delete keys;
    keys = nullptr;
    delete windowPlace;
    windowPlace = nullptr;
    delete countdown;
    delete hand;
    delete hint;
    hint = nullptr;
    countdown = nullptr;
    hand = nullptr;
    delete tableScale;
    tableScale = nullptr;
    if (mainFrm == this)
        mainFrm = nullptr;
}

QString TmainFrm::settingsPath() const
{
    return writablePlace(programDir, QStringLiteral("Quadrix.INI"), userConfigDir);
}

void TmainFrm::FormCreate()
{
    programDir = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    userConfigDir = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QApplication::setApplicationDisplayName(kVersionText);
    setWindowTitle(QLatin1Char(' ') + kVersionText);
    initPictures();
    m_windowIcon = ::windowIcon();
    m_blankIcon = ::blankIcon();
    setWindowIcon(m_windowIcon);
    QApplication::setWindowIcon(m_windowIcon);
    // The design size is the smallest; the table grows with the window and with a maximised one.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(tableFont(QStringLiteral("MS Sans Serif"), 11, false));

    session = new TableSession(this);
    connect(session, &TableSession::clientCreated, this, &TmainFrm::bindClient);

    buildControls();
    createControllers();
    wireSignals();
}

void TmainFrm::createControllers()
{
    hand = new THandHandling(*this);
    hint = new THint(*this);
    countdown = new TCountdown(*this);
    chat = new TChatPanel(*this); // after the controls: it watches txtInput and chatLog
    frmSetting = new TfrmSetting(*this);
    botSeats = new TBotSeats(*this);
    keys = new TKeyboardPlay(*this);
    turnNotifier = new TTurnNotifier(*this);
    accessibility = new TTableAccessibility(*this);
    windowPlace = new TWindowPlace(*this);
    homeHosting = new THomeHosting(*this);
}

void TmainFrm::wireSignals()
{
    connect(btnNew, &QPushButton::clicked, this, [this] { hand->btnNewClick(); });
    connect(btnSortN, &QPushButton::clicked, this, [this] { hand->btnSortNClick(); });
    connect(btnSortF, &QPushButton::clicked, this, [this] { hand->btnSortFClick(); });
    connect(btnThrow, &QPushButton::clicked, this, [this] { hand->btnThrowClick(); });
    connect(btnPass, &QPushButton::clicked, this, [this] { hand->btnPassClick(); });
    connect(btnCardDown, &QPushButton::clicked, this, [this] { hand->btnCardDownClick(); });
    connect(btnStop, &QPushButton::clicked, this, [this] { hand->btnStopClick(); });
    connect(btnPing, &QPushButton::clicked, this, [this] { hand->btnPingClick(); });
    for (int n = 1; n <= 13; ++n)
        connect(handSlot(n), &TPlayCard::OnLeftClick, this, [this](TPlayCard *c) { hand->cardControl(c); });

    connect(btnNoChat, &QPushButton::clicked, this, [this] { chat->btnNoChatClick(); });
    connect(btnClear, &QPushButton::clicked, this, [this] { chat->btnClearClick(); });
    connect(btnForeColor, &QPushButton::clicked, this, [this] { chat->btnColorClick(btnForeColor); });
    connect(btnBGColor, &QPushButton::clicked, this, [this] { chat->btnColorClick(btnBGColor); });
    connect(btnAltS, &QPushButton::clicked, this, [this] { chat->btnAltSClick(); });

    connect(mnuSetting, &QAction::triggered, this, [this] { frmSetting->mnuSettingClick(); });
    connect(mnuDisconn, &QAction::triggered, this, [this] { frmSetting->mnuDisconnClick(); });
    // The click handlers invert the check mark themselves, so Qt's own toggle is undone first.
    connect(AlwaysOnTop1, &QAction::triggered, this, [this](bool checked) {
        AlwaysOnTop1->setChecked(!checked);
        AlwaysOnTop1Click();
    });
    connect(BeepOnTurn1, &QAction::triggered, this, [this](bool checked) {
        BeepOnTurn1->setChecked(!checked);
        BeepOnTurn1Click();
    });
    connect(ChatDialog1, &QAction::triggered, this, [this](bool checked) {
        ChatDialog1->setChecked(!checked);
        chat->ChatDialog1Click();
    });
    connect(Hint1, &QAction::triggered, this, [this] { hint->give(); });
}

// ---------------------------------------------------------------------------------------------
// Showing and closing

void TmainFrm::showEvent(QShowEvent *e)
{
    QMainWindow::showEvent(e);
    if (!m_shownOnce) {
        m_shownOnce = true;
        FormShow();
    }
}

void TmainFrm::FormShow()
{
    drawTable();
    if (frmSetting)
        frmSetting->loadSettings();
    if (windowPlace)
        windowPlace->load();
    homeHosting->loadSetting();
}

void TmainFrm::drawTable()
{
    tableScale->paintPictures();
}

void TmainFrm::closeEvent(QCloseEvent *e)
{
    FormDestroy();
    if (frmSetting)
        frmSetting->hide(); // a dialog left open must not keep the program alive
    QMainWindow::closeEvent(e);
}

void TmainFrm::closeUnattended()
{
    m_unattended = true;
    // Rejected first: a dialog still shown would keep the program running after the window closed.
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows)
        if (auto *dialog = qobject_cast<QDialog *>(window); dialog && dialog->isVisible())
            dialog->reject();
    close();
}

void TmainFrm::FormDestroy()
{
    if (m_destroyed)
        return;
    m_destroyed = true;
    if (frmSetting && !(frmSetting->saveSettings() && (!windowPlace || windowPlace->save()))) {
        const QString failure = QStringLiteral("The settings could not be saved to %1").arg(settingsPath());
        if (m_unattended)
            qCritical().noquote() << failure;
        else
            showMessage(QMessageBox::Critical, failure);
    }
    homeHosting->saveSetting();
    // The program is ending: the connection's end would only reset a table nobody sees.
    if (botSeats)
        botSeats->clear();
    session->end();
}

bool TmainFrm::event(QEvent *e)
{
    // Menu hover sends status tips; they would wipe the status bar text, which is the window's own.
    if (e->type() == QEvent::StatusTip)
        return true;
    return QMainWindow::event(e);
}

bool TmainFrm::eventFilter(QObject *watched, QEvent *e)
{
    if ((watched == Panel1 && e->type() == QEvent::LayoutRequest)
        || (watched == txtWhoThrow && e->type() == QEvent::Show)) {
        fitWhoThrow();
    } else if (watched == m_client && e->type() == QEvent::Resize) {
        tableScale->apply(m_client->size(), m_chatOpen);
    } else if (chatLog && watched == chatLog->viewport() && e->type() == QEvent::MouseButtonRelease) {
        chat->chatLogClick();
    }
    return QMainWindow::eventFilter(watched, e);
}

// ---------------------------------------------------------------------------------------------
// Look-up by name

QWidget *TmainFrm::findControl(const QString &name) const { return m_byName.value(name.toLower(), nullptr); }

TPlayCard *TmainFrm::findCard(const QString &name) const { return qobject_cast<TPlayCard *>(findControl(name)); }

QLabel *TmainFrm::findLabel(const QString &name) const { return qobject_cast<QLabel *>(findControl(name)); }

TPlayCard *TmainFrm::handSlot(int n) const { return findCard(QStringLiteral("P1C%1").arg(n)); }

TPlayCard *TmainFrm::tableSlot(int n) const { return findCard(QStringLiteral("outC%1").arg(n)); }

QWidget *TmainFrm::seatSlot(int seat, int n) const { return findControl(QStringLiteral("P%1C%2").arg(seat).arg(n)); }

QLabel *TmainFrm::nickLabel(int seat) const { return findLabel(QStringLiteral("txtNick%1").arg(seat)); }

QLabel *TmainFrm::awayLabel(int seat) const { return findLabel(QStringLiteral("txtAway%1").arg(seat)); }

QLabel *TmainFrm::pointLabel(int seat) const { return findLabel(QStringLiteral("txtPoint%1").arg(seat)); }

QLabel *TmainFrm::passLabel(int seat) const { return findLabel(QStringLiteral("txtPass%1").arg(seat)); }

QString TmainFrm::letterSpaced(const QString &nick) { return ::letterSpaced(nick); }

// ---------------------------------------------------------------------------------------------
// Display operations

void TmainFrm::showSeatCards(int seat, bool visible)
{
    if (seat < 1 || seat > 4)
        return;
    for (int n = 1; n <= 13; ++n)
        if (QWidget *w = seatSlot(seat, n))
            w->setVisible(visible);
}

void TmainFrm::hideTableCards()
{
    for (int n = 1; n <= 5; ++n)
        if (TPlayCard *c = tableSlot(n))
            c->hide();
}

int TmainFrm::countTableCards() const
{
    int count = 0;
    for (int n = 1; n <= 5; ++n)
        if (TPlayCard *c = tableSlot(n); c && c->isVisibleTo(Panel1))
            ++count;
    return count;
}

void TmainFrm::resetGameDisplay()
{
    m_winnerText.clear();
    showTable();
}

void TmainFrm::resetConnection()
{
    if (botSeats)
        botSeats->clear();
    session->end();
    resetGameDisplay();
}

void TmainFrm::setWhoThrow(const QString &text)
{
    txtWhoThrow->setText(text);
    txtWhoThrow->show();
    fitWhoThrow();
}

void TmainFrm::fitWhoThrow()
{
    txtWhoThrow->adjustSize();
    txtWhoThrow->move(Panel1->width() / 2 - txtWhoThrow->width() / 2, txtWhoThrow->y());
}

void TmainFrm::setStatusText(const QString &text) { msgBar->showMessage(text); }

QString TmainFrm::statusText() const { return msgBar->currentMessage(); }

void TmainFrm::setTurnMarker(int seat)
{
    static const QPoint pos[] = {{}, {173, 195}, {58, 142}, {173, 70}, {278, 142}};
    if (seat < 1 || seat > 4)
        return;
    TTableScale::moveDesign(imgTurn, pos[seat]);
    imgTurn->show();
}

void TmainFrm::restoreIcon()
{
    m_blankIconShown = false;
    QApplication::setWindowIcon(m_windowIcon);
    setWindowIcon(m_windowIcon);
}

void TmainFrm::showBlankIcon()
{
    m_blankIconShown = true;
    QApplication::setWindowIcon(m_blankIcon);
    setWindowIcon(m_blankIcon);
}

void TmainFrm::setOuterWidth(int outerWidth)
{
    // The two outer widths are those of a window with a 4-pixel border; what counts is the client
    // width they leave (355 closed, 632 open), whatever frame this desktop draws.
    layoutClient(std::max(kTableWidth, outerWidth - kDesignFrame));
}

void TmainFrm::layoutClient(int clientWidth)
{
    m_chatOpen = clientWidth > kTableWidth;
    const QSize design(clientWidth, kClientHeight - kStatusHeight);
    m_client->setMinimumSize(design);
    if (layout())
        layout()->activate();
    if (!(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
        // A table shown larger keeps its factor: the window grows or shrinks by the chat panel's share.
        const qreal f = tableScale->factor();
        const QSize client = f > 1 ? QSize(qRound(design.width() * f), std::max(m_client->height(), design.height()))
                                   : design;
        resize(client + (minimumSize() - m_client->minimumSize()));
        // A shown window takes its new size when the platform reports it; the table is laid out now.
        m_client->resize(client);
    }
    tableScale->apply(m_client->size(), m_chatOpen);
}

// ---------------------------------------------------------------------------------------------
// Connection events

void TmainFrm::socketError(const QString &ErrMsg)
{
    mnuSetting->setEnabled(true);
    mnuDisconn->setEnabled(false);
    resetConnection();
    if (!ErrMsg.isEmpty()) {
        setStatusText(QLatin1Char(' ') + ErrMsg);
        showMessage(QMessageBox::Critical, ErrMsg);
    }
}

void TmainFrm::AlwaysOnTop1Click()
{
    AlwaysOnTop1->setChecked(!AlwaysOnTop1->isChecked());
    const bool onTop = AlwaysOnTop1->isChecked();
    if (bool(windowFlags() & Qt::WindowStaysOnTopHint) == onTop)
        return;
    // Changing the flag re-creates the native window: keep place, size and visibility.
    const QPoint place = pos();
    const bool wasVisible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    move(place);
    if (wasVisible)
        show();
}

void TmainFrm::BeepOnTurn1Click() { BeepOnTurn1->setChecked(!BeepOnTurn1->isChecked()); }

// ---------------------------------------------------------------------------------------------
// Messages, waiting, sound

void TmainFrm::setMessageHook(MessageHook hook) { messageHook() = std::move(hook); }

QMessageBox::StandardButton TmainFrm::showMessage(QMessageBox::Icon icon, const QString &text,
                                                  QMessageBox::StandardButtons buttons)
{
    if (const MessageHook &hook = messageHook())
        return hook(this, icon, text, buttons);
    // "&&" is how the texts write a shown ampersand
    QString shown = text;
    shown.replace(QStringLiteral("&&"), QStringLiteral("&"));
    QMessageBox box(icon, kVersionText, shown, buttons, this);
    return QMessageBox::StandardButton(box.exec());
}

bool TmainFrm::askYesNo(const QString &text)
{
    return showMessage(QMessageBox::Warning, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void TmainFrm::beep()
{
    ++m_beeps;
    QApplication::beep();
}
