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

const QString kVersion = QStringLiteral("Quadrix v1.11");
constexpr int kTableWidth = 355;   // client width with the chat panel closed
constexpr int kClientHeight = 410; // menu bar excluded
constexpr int kStatusHeight = 19;
constexpr int kDesignFrame = 8;    // outer minus client width of the window the widths were made for

TmainFrm::MessageHook &messageHook()
{
    static TmainFrm::MessageHook hook;
    return hook;
}

// Left/top of a fan or table slot; slots are numbered from the centre outwards.
QPoint slotPos(int seat, int n)
{
    const int j = n / 2;
    const int sign = (n % 2 == 0) ? 1 : -1; // even: down/right, odd: up/left (the table mirrors it)
    switch (seat) {
    case 2: return {24, n == 1 ? 120 : 120 + sign * 16 * j};
    case 4: return {296, n == 1 ? 120 : 120 + sign * 16 * j};
    case 3: return {n == 1 ? 160 : 160 + sign * 16 * j, 24};
    case 0: return {n == 1 ? 168 : 168 - sign * 32 * j, 144}; // "outC"
    default: return {64 + 16 * (n - 1), THandHandling::kLoweredTop};            // own hand
    }
}

QColor scrollBarGrey() { return QColor(0xC8, 0xC8, 0xC8); }

void paintSolid(QWidget *w, const QColor &bg, const QColor &fg)
{
    QPalette p = w->palette();
    if (bg.isValid()) {
        p.setColor(QPalette::Window, bg);
        w->setAutoFillBackground(true);
    }
    p.setColor(QPalette::WindowText, fg);
    w->setPalette(p);
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
    QApplication::setApplicationDisplayName(kVersion);
    setWindowTitle(QLatin1Char(' ') + kVersion);
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

template <class W> W *TmainFrm::named(W *w, const QString &name)
{
    w->setObjectName(name);
    m_byName.insert(name.toLower(), w);
    return w;
}

void TmainFrm::buildControls()
{
    const QFont arial11 = tableFont(QStringLiteral("Arial"), 11, false);
    const QFont arial11b = tableFont(QStringLiteral("Arial"), 11, true);
    const QFont courier11 = tableFont(QStringLiteral("Courier New"), 11, false);

    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("clientArea"));
    setCentralWidget(m_client);

    // Picture holders on the window itself, under the panels.
    Img1 = named(new QLabel(m_client), QStringLiteral("Img1"));
    Img1->setGeometry(25, 17, 30, 30);
    Img1->setPixmap(feltTile());
    cardImg = named(new QLabel(m_client), QStringLiteral("cardImg"));
    cardImg->setGeometry(8, 24, 31, 44);
    cardImg->setPixmap(cardBackPicture());
    cardImg->hide();
    noImg = named(new QLabel(m_client), QStringLiteral("noImg"));
    noImg->setGeometry(41, 24, 16, 16);
    noImg->setPixmap(m_blankIcon.pixmap(16, 16));

    Panel2 = named(new QFrame(m_client), QStringLiteral("Panel2"));
    Panel2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel2->setLineWidth(1);
    paintSolid(Panel2, scrollBarGrey(), Qt::black);
    for (int s = 2; s <= 4; ++s) {
        const int left[] = {0, 0, 8, 142, 274};
        auto *p = named(new QLabel(QStringLiteral("0"), Panel2), QStringLiteral("txtPoint%1").arg(s));
        p->setGeometry(left[s], 4, 73, 12);
        p->setFont(arial11);
        p->setAlignment(Qt::AlignCenter);
        paintSolid(p, Qt::white, Qt::black);
        p->hide();
    }

    Panel4 = named(new QFrame(m_client), QStringLiteral("Panel4"));
    Panel4->setGeometry(0, 21, kTableWidth, 370);
    Panel4->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel4->setLineWidth(1);
    Panel4->setAutoFillBackground(true); // panels are opaque: the picture holders below never show

    Panel1 = named(new QFrame(Panel4), QStringLiteral("Panel1"));
    Panel1->setGeometry(2, 2, 351, 289);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(1);
    Panel1->setAutoFillBackground(true);

    imgCarpet = named(new QLabel(Panel1), QStringLiteral("imgCarpet"));
    imgCarpet->setGeometry(2, 2, 347, 285);
    paintSolid(imgCarpet, QColor(0, 96, 0), Qt::white);

    // Card slots: the opponents' fans, the own hand, the table.
    for (int s = 2; s <= 4; ++s) {
        std::vector<QLabel *> fan;
        for (int n = 1; n <= 13; ++n) {
            auto *img = named(new QLabel(Panel1), QStringLiteral("p%1c%2").arg(s).arg(n));
            const QPoint pos = slotPos(s, n);
            img->setGeometry(pos.x(), pos.y(), 31, 44);
            img->hide();
            fan.push_back(img);
        }
        // each card over its left neighbour (top fan) or over the card above it (side fans)
        std::stable_sort(fan.begin(), fan.end(), [](QLabel *a, QLabel *b) {
            return a->x() + a->y() < b->x() + b->y();
        });
        for (QLabel *img : fan)
            img->raise();
    }
    for (int n = 1; n <= 13; ++n) {
        auto *c = named(new TPlayCard(Panel1), QStringLiteral("p1c%1").arg(n));
        const QPoint pos = slotPos(1, n);
        c->setGeometry(pos.x(), pos.y(), 31, 44);
        c->CloseCard();
        c->hide();
        c->raise(); // over its left neighbour
    }
    for (int n = 1; n <= 5; ++n) {
        auto *c = named(new TPlayCard(Panel1), QStringLiteral("outC%1").arg(n));
        const QPoint pos = slotPos(0, n);
        c->setGeometry(pos.x(), pos.y(), 31, 44);
        c->OpenCard();
        c->hide();
    }

    // Labels of the four seats.
    const QRect nickRect[] = {{}, {78, 262, 179, 17}, {6, 56, 14, 177}, {78, 5, 195, 17}, {332, 56, 14, 177}};
    const QRect passRect[] = {{}, {152, 198, 57, 15}, {58, 114, 14, 65}, {152, 71, 57, 15}, {279, 114, 14, 65}};
    for (int s = 1; s <= 4; ++s) {
        auto *nick = named(new QLabel(emptySeatText(), Panel1), QStringLiteral("txtNick%1").arg(s));
        nick->setGeometry(nickRect[s]);
        nick->setFont(courier11);
        paintSolid(nick, QColor(), Qt::white);
        nick->setAlignment(Qt::AlignCenter);
        nick->setWordWrap(s == 2 || s == 4);

        auto *pass = named(new QLabel(QStringLiteral("P A S S"), Panel1), QStringLiteral("txtPass%1").arg(s));
        pass->setGeometry(passRect[s]);
        pass->setFont(arial11b);
        paintSolid(pass, Qt::black, Qt::white);
        pass->setAlignment(Qt::AlignCenter);
        pass->setWordWrap(true);
        pass->hide();

        // Beside the nick while the player's connection is away and the host holds the seat.
        const QRect awayRect[] = {{}, {258, 262, 40, 17}, {6, 2, 14, 52}, {275, 5, 40, 17}, {332, 2, 14, 52}};
        auto *away = named(new QLabel(QStringLiteral("A W A Y"), Panel1), QStringLiteral("txtAway%1").arg(s));
        away->setGeometry(awayRect[s]);
        away->setFont(arial11b);
        paintSolid(away, QColor(), Qt::yellow);
        away->setAlignment(Qt::AlignCenter);
        away->setWordWrap(s == 2 || s == 4);
        away->setToolTip(QStringLiteral(" Connection lost: the host holds this seat for a minute "));
        away->hide();
    }
    auto *point1 = named(new QLabel(QStringLiteral("0"), Panel1), QStringLiteral("txtPoint1"));
    point1->setGeometry(6, 271, 73, 12);
    point1->setFont(arial11);
    point1->setAlignment(Qt::AlignCenter);
    paintSolid(point1, Qt::white, Qt::black);
    point1->hide();

    txtWhoThrow = named(new QLabel(QStringLiteral(" WHO THROW "), Panel1), QStringLiteral("txtWhoThrow"));
    txtWhoThrow->setFont(courier11);
    paintSolid(txtWhoThrow, QColor(), QColor(0, 255, 255));
    txtWhoThrow->setAlignment(Qt::AlignCenter);
    txtWhoThrow->move(144, 126);
    txtWhoThrow->adjustSize();
    txtWhoThrow->hide();

    imgTurn = named(new QLabel(Panel1), QStringLiteral("imgTurn"));
    imgTurn->setGeometry(278, 182, 17, 17);
    imgTurn->setPixmap(turnMarkerPicture());
    imgTurn->hide();

    txtAutoPass = named(new QLabel(QStringLiteral("Auto Pass"), Panel1), QStringLiteral("txtAutoPass"));
    txtAutoPass->setGeometry(272, 268, 50, 14);
    txtAutoPass->setFont(arial11);
    paintSolid(txtAutoPass, QColor(), Qt::white);
    txtAutoPass->hide();

    txtPassCntDwn = named(new QLabel(QStringLiteral("60"), Panel1), QStringLiteral("txtPassCntDwn"));
    txtPassCntDwn->setGeometry(326, 268, 20, 15);
    txtPassCntDwn->setFont(tableFont(QStringLiteral("Arial"), 12, true));
    paintSolid(txtPassCntDwn, Qt::red, Qt::white);
    txtPassCntDwn->setAlignment(Qt::AlignCenter);
    txtPassCntDwn->hide();

    txtWait = named(new QLabel(QStringLiteral("Waiting for players ..."), Panel1), QStringLiteral("txtWait"));
    txtWait->setGeometry(120, 146, 145, 20);
    txtWait->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    txtWait->setLineWidth(1);
    paintSolid(txtWait, Qt::black, Qt::white);
    txtWait->setAlignment(Qt::AlignCenter);
    txtWait->hide();

    // Button row.
    Panel3 = named(new QFrame(Panel4), QStringLiteral("Panel3"));
    Panel3->setGeometry(2, 291, 351, 77);
    Panel3->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel3->setLineWidth(1);
    auto button = [&](QPushButton *&b, const char *name, const char *caption, int x, int y, int w, bool arial) {
        b = named(new QPushButton(QString::fromLatin1(caption), Panel3), QString::fromLatin1(name));
        b->setGeometry(x, y, w, 25);
        if (arial)
            b->setFont(arial11);
        b->setEnabled(false);
        b->setAutoDefault(false);
    };
    button(btnStop, "btnStop", "Stop Game", 11, 8, 78, false);
    button(btnPing, "btnPing", "Ping Users", 11, 32, 78, false);
    button(btnSortF, "btnSortF", "Sort by Flower", 88, 8, 89, true);
    button(btnSortN, "btnSortN", "Sort by Number", 88, 32, 89, true);
    button(btnThrow, "btnThrow", "Throw Card", 176, 8, 81, true);
    button(btnCardDown, "btnCardDown", "Unselect All", 176, 32, 81, true);
    button(btnNew, "btnNew", "New Game", 256, 8, 82, true);
    button(btnPass, "btnPass", "PASS", 256, 32, 82, true);
    btnStop->setToolTip(QStringLiteral(" Stop Current Game ! "));
    btnPing->setToolTip(QStringLiteral(" Kill disconnected user from game ! "));

    buildChatPanel();

    // Link labels: the program's name, and a jump to the chat input line.
    const QFont serif9 = tableFont(QStringLiteral("MS Serif"), 9, false);
    webText1 = named(new TwebText(Panel3), QStringLiteral("webText1"));
    webText1->setFont(serif9);
    webText1->setText(kVersion);
    paintSolid(webText1, QColor(), QColor(0, 128, 0));
    webText1->setGeometry(10, 60, 148, 11);
    webText2 = named(new TwebText(Panel3), QStringLiteral("webText2"));
    webText2->setFont(serif9);
    webText2->setText(QStringLiteral("Chat line"));
    paintSolid(webText2, QColor(), QColor(0, 128, 0));
    webText2->setGeometry(258, 60, 82, 11);
    webText2->setLinkControl(txtInput);

    msgBar = new QStatusBar(this);
    msgBar->setObjectName(QStringLiteral("msgBar"));
    m_byName.insert(QStringLiteral("msgbar"), msgBar);
    msgBar->setSizeGripEnabled(false);
    msgBar->setFixedHeight(kStatusHeight);
    setStatusBar(msgBar);
    msgBar->showMessage(QStringLiteral(" idle"));

    buildMenu();

    Panel1->installEventFilter(this);
    txtWhoThrow->installEventFilter(this);
    chatLog->viewport()->installEventFilter(this);
    m_client->installEventFilter(this);

    tableScale = new TTableScale(*this);
    tableScale->record();
    layoutClient(kTableWidth);
}

void TmainFrm::buildChatPanel()
{
    chatPanel = named(new QFrame(m_client), QStringLiteral("chatPanel"));
    chatPanel->setFocusPolicy(Qt::TabFocus);
    chatPanel->setAutoFillBackground(true);
    auto button = [&](QPushButton *&b, const char *name, const char *caption, QRect r) {
        b = named(new QPushButton(QString::fromLatin1(caption), chatPanel), QString::fromLatin1(name));
        b->setGeometry(r);
        b->setAutoDefault(false);
    };
    button(btnNoChat, "btnNoChat", "&Close Chat", {6, 5, 67, 25});
    button(btnClear, "btnClear", "Cl&ear Log", {72, 5, 73, 25});
    button(btnForeColor, "btnForeColor", "Fore Color", {144, 5, 65, 25});
    button(btnBGColor, "btnBGColor", "BG Color", {208, 5, 65, 25});

    chatLog = named(new QTextEdit(chatPanel), QStringLiteral("chatLog"));
    chatLog->setGeometry(1, 32, 278, 313);
    chatLog->setReadOnly(true);
    chatLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    chatLog->setFocusPolicy(Qt::ClickFocus); // the Tab key skips the log
    QPalette lp = chatLog->palette();
    lp.setColor(QPalette::Base, Qt::white);
    lp.setColor(QPalette::Text, Qt::black);
    chatLog->setPalette(lp);

    // The "&S" button only lends its accelerator (Alt+S sends); the input line covers it.
    button(btnAltS, "btnAltS", "&S", {56, 344, 25, 17});
    txtInput = named(new QLineEdit(chatPanel), QStringLiteral("txtInput"));
    txtInput->setGeometry(2, 345, 277, 21);
    txtInput->raise();

    QWidget::setTabOrder(txtInput, btnNoChat);
    QWidget::setTabOrder(btnNoChat, btnClear);
    QWidget::setTabOrder(btnClear, btnForeColor);
    QWidget::setTabOrder(btnForeColor, btnBGColor);
    QWidget::setTabOrder(btnBGColor, btnAltS);
}

void TmainFrm::buildMenu()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    Connection1 = bar->addMenu(QStringLiteral("&Connection"));
    Connection1->setObjectName(QStringLiteral("Connection1"));
    mnuSetting = Connection1->addAction(QStringLiteral("&Connect"));
    mnuSetting->setObjectName(QStringLiteral("mnuSetting"));
    mnuDisconn = Connection1->addAction(QStringLiteral("&Disconnect"));
    mnuDisconn->setObjectName(QStringLiteral("mnuDisconn"));
    mnuDisconn->setEnabled(false);

    Settings1 = bar->addMenu(QStringLiteral("S&ettings"));
    Settings1->setObjectName(QStringLiteral("Settings1"));
    AlwaysOnTop1 = Settings1->addAction(QStringLiteral("&Always On Top"));
    AlwaysOnTop1->setObjectName(QStringLiteral("AlwaysOnTop1"));
    AlwaysOnTop1->setCheckable(true);
    AlwaysOnTop1->setChecked(false);
    BeepOnTurn1 = Settings1->addAction(QStringLiteral("&Beep On Turn"));
    BeepOnTurn1->setObjectName(QStringLiteral("BeepOnTurn1"));
    BeepOnTurn1->setCheckable(true);
    BeepOnTurn1->setChecked(true);
    ChatDialog1 = Settings1->addAction(QStringLiteral("Chat Dialog"));
    ChatDialog1->setObjectName(QStringLiteral("ChatDialog1"));
    ChatDialog1->setCheckable(true);
    ChatDialog1->setChecked(false);
    Settings1->addSeparator();
    Hint1 = Settings1->addAction(QStringLiteral("Hint"));
    Hint1->setObjectName(QStringLiteral("Hint1"));
    Hint1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    Hint1->setEnabled(false); // the throw button's state: only on the own turn
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
    QMessageBox box(icon, kVersion, shown, buttons, this);
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
