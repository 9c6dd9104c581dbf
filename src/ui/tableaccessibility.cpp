#include "ui/tableaccessibility.h"
#include "cards/cardcode.h"
#include "client/clienttable.h"
#include "ui/mainfrm.h"
#include "ui/playcard.h"
#include "ui/tablesession.h"
#include "ui/webtext.h"
#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTextEdit>

namespace {

QString spokenCode(const QString &code)
{
    int suit = 0, rank = 0;
    if (!parseCardCode(code, &suit, &rank))
        return code;
    return TPlayCard::spokenName(TFlowerType(suit - 1), TNumberType(rank - 1));
}

QString spokenCards(const QStringList &codes)
{
    QStringList names;
    for (const QString &c : codes)
        names << spokenCode(c);
    return names.join(QStringLiteral(", "));
}

const char *const kSides[] = {"", "You", "Left", "Across", "Right"};

} // namespace

TTableAccessibility::TTableAccessibility(TmainFrm &w) : QObject(&w), w(w)
{
    nameControls();
    connect(w.session, &TableSession::clientCreated, this, &TTableAccessibility::bind);
    refresh();
}

void TTableAccessibility::nameControls()
{
    w.Panel1->setAccessibleName(QStringLiteral("Table"));
    w.Panel4->setAccessibleName(QStringLiteral("Table and buttons"));
    w.Img1->setAccessibleName(QStringLiteral("Felt picture"));
    w.cardImg->setAccessibleName(QStringLiteral("Card back picture"));
    w.noImg->setAccessibleName(QStringLiteral("Blank picture"));
    w.msgBar->setAccessibleName(QStringLiteral("Status"));
    w.imgCarpet->setAccessibleName(QStringLiteral("Announcements"));
    w.Panel2->setAccessibleName(QStringLiteral("Credits"));
    w.Panel3->setAccessibleName(QStringLiteral("Buttons"));
    w.chatPanel->setAccessibleName(QStringLiteral("Chat"));
    w.chatLog->setAccessibleName(QStringLiteral("Chat log"));
    w.txtInput->setAccessibleName(QStringLiteral("Chat line"));
    w.imgTurn->setAccessibleName(QStringLiteral("Turn marker"));
    w.txtWhoThrow->setAccessibleName(QStringLiteral("Thrown by"));
    w.txtAutoPass->setAccessibleName(QStringLiteral("Auto pass"));
    w.txtWait->setAccessibleName(QStringLiteral("Waiting for players"));
    for (QPushButton *b : {w.btnStop, w.btnPing, w.btnSortF, w.btnSortN, w.btnThrow, w.btnCardDown, w.btnNew,
                           w.btnPass, w.btnNoChat, w.btnClear, w.btnForeColor, w.btnBGColor, w.btnAltS})
        b->setAccessibleName(b->text().remove(QLatin1Char('&')));
    w.btnAltS->setAccessibleName(QStringLiteral("Send"));
    w.webText1->setAccessibleName(w.webText1->text());
    w.webText2->setAccessibleName(QStringLiteral("Go to the chat line"));
    for (int s = 1; s <= 4; ++s) {
        w.awayLabel(s)->setAccessibleName(QStringLiteral("Away"));
        w.passLabel(s)->setAccessibleName(QStringLiteral("Passed"));
        w.pointLabel(s)->setAccessibleName(QStringLiteral("Credits"));
        for (int n = 1; n <= 13 && s > 1; ++n)
            w.seatSlot(s, n)->setAccessibleName(QStringLiteral("Card of %1").arg(QLatin1String(kSides[s])));
    }
    for (int n = 1; n <= 13; ++n)
        w.handSlot(n)->refreshAccessibleName();
    for (int n = 1; n <= 5; ++n)
        w.tableSlot(n)->refreshAccessibleName();
}

void TTableAccessibility::bind(ClientTable *c)
{
    for (auto signal : {&ClientTable::seatsChanged, &ClientTable::handChanged, &ClientTable::dealStarted,
                        &ClientTable::waitMode, &ClientTable::reconnected})
        connect(c, signal, this, &TTableAccessibility::refresh);
    connect(c, &ClientTable::leaderChanged, this, &TTableAccessibility::refresh);
    connect(c, &ClientTable::creditChanged, this, &TTableAccessibility::refresh);
    connect(c, &ClientTable::awayChanged, this, &TTableAccessibility::refresh);
    connect(c, &ClientTable::countdownChanged, this, &TTableAccessibility::refresh);
    connect(c, &ClientTable::moved, this, [this](int seat, const QStringList &cards) {
        refresh();
        announce(cards.isEmpty() ? QStringLiteral("%1 passed").arg(nick(seat))
                                 : QStringLiteral("%1 threw %2").arg(nick(seat), spokenCards(cards)));
    });
    connect(c, &ClientTable::turnChanged, this, [this](int seat) {
        refresh();
        const ClientTable *m = w.client();
        if (m && m->inDeal() && seat)
            announce(seat == m->mySeat() ? QStringLiteral("Your turn") : QStringLiteral("%1 to move").arg(nick(seat)));
    });
    connect(c, &ClientTable::dealEnded, this, [this](int winner) {
        refresh();
        announce(QStringLiteral("%1 wins the deal").arg(nick(winner)));
    });
}

QString TTableAccessibility::nick(int absoluteSeat) const
{
    const ClientTable *c = w.client();
    return c ? c->roster().user(absoluteSeat).nick : QString();
}

QString TTableAccessibility::seatText(int screenSeat) const
{
    const ClientTable *c = w.client();
    const int a = w.absoluteSeat(screenSeat);
    if (!c || !a || !c->table().seated(a))
        return QStringLiteral("%1: empty seat").arg(QLatin1String(kSides[screenSeat]));
    QStringList parts{QStringLiteral("%1: %2").arg(QLatin1String(kSides[screenSeat]), nick(a))};
    if (c->table().phase() != TablePhase::Waiting)
        parts << QStringLiteral("%1 cards").arg(c->table().cardCount(a));
    parts << QStringLiteral("%1 credits").arg(c->creditText(a));
    if (c->inDeal() && c->table().passed(a))
        parts << QStringLiteral("passed");
    if (c->away(a))
        parts << QStringLiteral("away");
    if (c->inDeal() && c->turnSeat() == a)
        parts << QStringLiteral("to move");
    return parts.join(QStringLiteral(", "));
}

QString TTableAccessibility::tableText() const
{
    const ClientTable *c = w.client();
    if (!c || c->table().phase() == TablePhase::Waiting || c->table().tableCards().isEmpty())
        return QStringLiteral("Nothing on the table");
    QString text = QStringLiteral("On the table: ") + spokenCards(c->table().tableCards());
    if (const int by = c->table().thrower())
        text += QStringLiteral(", thrown by ") + nick(by);
    return text;
}

QString TTableAccessibility::countdownText() const
{
    const ClientTable *c = w.client();
    if (!c || !c->countdownRunning())
        return QStringLiteral("No countdown");
    return QStringLiteral("Auto pass in %1 seconds").arg(c->countdownLeft());
}

void TTableAccessibility::refresh()
{
    // setAccessible* tells a screen reader of every change itself; an unchanged text stays quiet.
    const auto set = [](QWidget *widget, const QString &text) {
        if (widget->accessibleDescription() != text)
            widget->setAccessibleDescription(text);
    };
    for (int s = 1; s <= 4; ++s) {
        const QString text = seatText(s);
        if (w.nickLabel(s)->accessibleName() != text)
            w.nickLabel(s)->setAccessibleName(text);
    }
    set(w.Panel1, tableText());
    const QString countdown = countdownText();
    if (w.txtPassCntDwn->accessibleName() != countdown)
        w.txtPassCntDwn->setAccessibleName(countdown);
}

void TTableAccessibility::announce(const QString &text)
{
    m_announcement = text;
    w.imgCarpet->setAccessibleDescription(text);
    QAccessibleEvent event(w.imgCarpet, QAccessible::Alert);
    QAccessible::updateAccessibility(&event);
    emit announced(text);
}
