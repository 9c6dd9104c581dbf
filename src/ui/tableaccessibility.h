#pragma once
// TTableAccessibility: what a screen reader hears. Every control gets a name; the own cards name
// themselves (TPlayCard); each seat, the combination on the table and the countdown read as text
// kept current with the client model; a move, a change of turn and the end of a deal are announced
// by an alert on the felt, whose description holds the announcement.
#include <QObject>
#include <QString>

class ClientTable;
class TmainFrm;

class TTableAccessibility : public QObject
{
    Q_OBJECT
public:
    explicit TTableAccessibility(TmainFrm &w);

    // The texts as they stand (screen seat 1..4).
    QString seatText(int screenSeat) const;
    QString tableText() const;
    QString countdownText() const;
    QString lastAnnouncement() const { return m_announcement; }

signals:
    // Each announcement as the alert carries it (the alert reaches only an active screen reader).
    void announced(const QString &text);

private:
    void nameControls();
    void bind(ClientTable *c);
    void refresh();
    void announce(const QString &text);
    QString nick(int absoluteSeat) const;
    TmainFrm &w;
    QString m_announcement;
};
