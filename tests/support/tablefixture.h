#pragma once
// Table windows in one test process: one window for the tests of the window itself, or several
// hosting and joining over real loopback sockets. Every window gets its own program directory (so
// settings files never collide), every message box is recorded per window and answered for the
// user, and every message a window's player and listener receive is recorded too.
#include "hub/wire.h"
#include "support/rawpeer.h"
#include <QHash>
#include <QList>
#include <QMessageBox>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <vector>

class QTcpSocket;
class TmainFrm;

struct ShownMessage
{
    QMessageBox::Icon icon;
    QString text;
    QMessageBox::StandardButtons buttons;
    bool connected; // the window's player was still connected to a table when the box came up
};

// One message as it arrived: the tag and the six values, and the sender's port (0 for the own player's).
struct Delivered
{
    int fromPort = 0;
    HubMessage msg;
    QString tag() const { return msg.Protocol; }
    QString value(int n) const { return msg.value[n - 1]; } // n 1..6
};

class TableFixture
{
public:
    TableFixture();
    ~TableFixture();
    TableFixture(const TableFixture &) = delete;
    TableFixture &operator=(const TableFixture &) = delete;

    // A new window, shown (its settings are loaded from its own empty directory); a window the
    // platform never shows fails the test.
    TmainFrm *newWindow();
    // The same, not yet shown: its settings are loaded when it is.
    TmainFrm *newHiddenWindow();
    // A new window whose directory holds a settings file with exactly these bytes before it is shown.
    TmainFrm *newWindowWithSettings(const QByteArray &iniBytes);
    // Closes the window (its settings are saved) and starts a new one in the same directory.
    TmainFrm *reopenWindow(TmainFrm *w);
    QString programDirOf(TmainFrm *w) const;
    QList<TmainFrm *> windows() const { return m_windows; }
    // Closes and deletes one window (its settings are saved, its table left).
    void closeWindow(TmainFrm *w);
    // Deletes one window without closing it first: only what its destructor does happens.
    void deleteWindow(TmainFrm *w);

    // Hosting on a port the system chooses (the dialog accepts only 1..65535): the nick is typed
    // into the dialog and hosting started; true once the host sits in seat 1.
    bool host(TmainFrm *w, const QString &nick, int ms = 5000);
    TmainFrm *hostWindow() const { return m_host; }
    int hostPort() const;

    // Types nick, "127.0.0.1" and the host's port into the dialog and presses CONNECT; no waiting.
    void connectGuest(TmainFrm *w, const QString &nick);
    // A new window that connects and is waited for until it is seated and every copy shows every seat;
    // nullptr when that did not happen in time.
    TmainFrm *join(const QString &nick, int ms = 5000);

    // The host (first nick) and a guest for each further nick, every copy seated and shown everywhere,
    // beeps off; host first. Empty when that did not happen in time.
    QList<TmainFrm *> seatTable(const QStringList &nicks);

    // Every copy at the table shows every seated player (as the host's roster has them) in the
    // screen seat its own point of view gives, itself at the bottom, and the free seats empty.
    bool tableShown() const;
    bool waitTableShown(int ms = 5000);
    // Why a copy does not show the table; empty when it does.
    QString tableProblem(TmainFrm *w) const;
    // Windows whose player holds a seat at the host (the host included).
    QList<TmainFrm *> seatedWindows() const;
    // The screen seat at which the viewer's copy should show the nick, from the host's roster; 0 if none.
    int expectedScreenSeat(TmainFrm *viewer, const QString &nick) const;
    // The nick the viewer's screen seat shows, with the letter spacing taken out; empty for a free seat.
    static QString shownNick(TmainFrm *viewer, int screenSeat);

    static bool waitFor(const std::function<bool()> &pred, int ms = 5000) { return Stress::waitUntil(pred, ms); }
    // An ordering sentinel: the host pings the guest and waits for its answer. Once it is in, the guest
    // has handled everything the host sent it before, and the host everything the guest sent before.
    bool roundTrip(TmainFrm *guest, int ms = 5000);

    // The socket of a guest window's connection to its host.
    static QTcpSocket *clientSocketOf(TmainFrm *w);
    // A guest window whose program hangs: its connection no longer reacts to anything; false undoes it.
    static void freezeClient(TmainFrm *w, bool frozen);

    // Message boxes shown by a window, oldest first.
    QList<ShownMessage> messagesOf(TmainFrm *w) const { return m_boxes.value(w); }
    QStringList messageTextsOf(TmainFrm *w) const;
    void clearMessages() { m_boxes.clear(); }
    // The answer given to boxes that offer Yes and No (Yes unless told otherwise); other boxes get OK.
    void setAnswer(QMessageBox::StandardButton answer) { m_answer = answer; }

    // Messages a window's own player (its client model's connection) or, hosting, its listener received, oldest first.
    QList<Delivered> clientReceived(TmainFrm *w) const { return m_clientIn.value(w); }
    QList<Delivered> hostReceived(TmainFrm *w) const { return m_hostIn.value(w); }
    QStringList clientTags(TmainFrm *w) const;
    void clearTraffic();

private:
    QMessageBox::StandardButton answerBox(TmainFrm *w, QMessageBox::Icon icon, const QString &text,
                                          QMessageBox::StandardButtons buttons);
    TmainFrm *createWindow(std::unique_ptr<QTemporaryDir> dir, const QByteArray *iniBytes, bool shown = true);
    struct Slot
    {
        TmainFrm *w;
        std::unique_ptr<QTemporaryDir> dir;
    };
    QList<TmainFrm *> m_windows;
    std::vector<Slot> m_slots;
    TmainFrm *m_host = nullptr;
    QHash<TmainFrm *, QList<ShownMessage>> m_boxes;
    QHash<TmainFrm *, QList<Delivered>> m_clientIn;
    QHash<TmainFrm *, QList<Delivered>> m_hostIn;
    QMessageBox::StandardButton m_answer = QMessageBox::Yes;
};
