// What the game control asks of the table window, on the window's controls.
#include "cards/playcard.h"
#include "rules/handhandling.h"
#include "ui/chatpanel.h"
#include "ui/countdown.h"
#include "ui/frmsetting.h"
#include "ui/mainfrm.h"
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

void TmainFrm::setButtonEnabled(TGameButton button, bool on)
{
    switch (button) {
    case TGameButton::NewGame:
        btnNew->setEnabled(on);
        break;
    case TGameButton::SortNumber:
        btnSortN->setEnabled(on);
        break;
    case TGameButton::SortFlower:
        btnSortF->setEnabled(on);
        break;
    case TGameButton::Throw:
        btnThrow->setEnabled(on);
        Hint1->setEnabled(on);
        break;
    case TGameButton::Pass:
        btnPass->setEnabled(on);
        break;
    case TGameButton::CardDown:
        btnCardDown->setEnabled(on);
        break;
    case TGameButton::Stop:
        btnStop->setEnabled(on);
        break;
    case TGameButton::Ping:
        btnPing->setEnabled(on);
        break;
    case TGameButton::ConnectItem:
        mnuSetting->setEnabled(on);
        break;
    case TGameButton::DisconnectItem:
        mnuDisconn->setEnabled(on);
        break;
    }
}

void TmainFrm::hideWaitPanel()
{
    txtWait->hide();
}

void TmainFrm::hideSeatCards(int seat, int from, int to)
{
    for (int n = std::max(from, 1); n <= std::min(to, 13); ++n)
        if (QWidget *slot = seatSlot(seat, n))
            slot->hide();
}

void TmainFrm::showTableCards(const QStringList &codes)
{
    for (int n = 1; n <= 5; ++n) {
        TPlayCard *slot = tableSlot(n);
        if (!slot)
            continue;
        if (n <= codes.size()) {
            slot->SetCardCode(codes.at(n - 1));
            slot->OpenCard();
            slot->show();
        } else {
            slot->hide();
        }
    }
}

void TmainFrm::setPassMarker(int seat, bool shown)
{
    if (QLabel *marker = passLabel(seat))
        marker->setVisible(shown);
}

void TmainFrm::showSeat(int seat, const QString &nickText, const QString &credit, bool creditShown)
{
    QLabel *nick = nickLabel(seat);
    QLabel *points = pointLabel(seat);
    if (!nick || !points)
        return;
    nick->setText(nickText);
    points->setText(credit);
    points->setVisible(creditShown);
    showSeatCards(seat, creditShown);
}

void TmainFrm::setSeatAway(int seat, bool away)
{
    if (QLabel *label = awayLabel(seat))
        label->setVisible(away);
}

void TmainFrm::setCreditText(int seat, const QString &text)
{
    if (QLabel *points = pointLabel(seat))
        points->setText(text);
}

void TmainFrm::redrawTable()
{
    if (imgCarpet)
        imgCarpet->update();
}

void TmainFrm::showMessage(TBoxKind kind, const QString &text)
{
    const QMessageBox::Icon icon = kind == TBoxKind::Error     ? QMessageBox::Critical
                                   : kind == TBoxKind::Warning ? QMessageBox::Warning
                                                               : QMessageBox::Information;
    showMessage(icon, text, QMessageBox::Ok);
}

bool TmainFrm::askYesNo(const QString &text)
{
    return showMessage(QMessageBox::Warning, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void TmainFrm::showHand(bool faceUp)
{
    hand->showHand(faceUp);
}

void TmainFrm::sortHandByNumber()
{
    hand->btnSortNClick();
}

void TmainFrm::lowerAllCards()
{
    hand->btnCardDownClick();
}

void TmainFrm::startCountdown()
{
    countdown->startCountdown();
}

void TmainFrm::stopCountdown()
{
    countdown->stop();
}

void TmainFrm::addChatSystemLine(const QString &line)
{
    chat->onSystem(line);
}

void TmainFrm::addChatLine(const QString &nick, const QString &text)
{
    chat->onChat(nick, text);
}

QString TmainFrm::settingsNick() const
{
    return frmSetting->txtNick->text();
}
