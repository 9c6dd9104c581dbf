// The window's controls, menu and chat panel as laid out at the design size; the table scales them.
#include "ui/mainfrm.h"

#include "game/protocol.h"
#include "ui/chatpanel.h"
#include "ui/handhandling.h"
#include "ui/pictures.h"
#include "ui/playcard.h"
#include "ui/tablescale.h"
#include "ui/webtext.h"

#include <QFrame>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTextEdit>

namespace {

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
    webText1->setText(kVersionText);
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

