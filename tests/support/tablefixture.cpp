#include "support/tablefixture.h"

#include "client/clienttable.h"
#include "game/protocol.h"
#include "host/tablehost.h"
#include "hub/hubclient.h"
#include "hub/hubserver.h"
#include "net/hubdialer.h"
#include "net/hublistener.h"
#include "ui/frmsetting.h"
#include "ui/homehosting.h"
#include "ui/mainfrm.h"
#include "ui/turnnotifier.h"
#include "ui/tablesession.h"

#include <QCoreApplication>
#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpSocket>
#include <QTest>

namespace {
// Every fixture alive: a message box goes to the one that made its window.
QList<TableFixture *> &liveFixtures()
{
    static QList<TableFixture *> fixtures;
    return fixtures;
}
} // namespace

TableFixture::TableFixture()
{
    liveFixtures().append(this);
    THomeHosting::askRouters(false); // the tests' tables stay on loopback
    TmainFrm::setMessageHook([](TmainFrm *w, QMessageBox::Icon icon, const QString &text,
                                QMessageBox::StandardButtons buttons) {
        for (TableFixture *fx : std::as_const(liveFixtures()))
            if (fx->m_windows.contains(w))
                return fx->answerBox(w, icon, text, buttons);
        return buttons.testFlag(QMessageBox::Ok) ? QMessageBox::Ok : QMessageBox::NoButton;
    });
}

QMessageBox::StandardButton TableFixture::answerBox(TmainFrm *w, QMessageBox::Icon icon, const QString &text,
                                                    QMessageBox::StandardButtons buttons)
{
    const ClientTable *c = w->client();
    m_boxes[w].append(ShownMessage{icon, text, buttons, c && c->connection() && c->connection()->isOpen()});
    if (buttons.testFlag(QMessageBox::Yes) && buttons.testFlag(QMessageBox::No))
        return m_answer;
    return buttons.testFlag(QMessageBox::Ok) ? QMessageBox::Ok : QMessageBox::NoButton;
}

TableFixture::~TableFixture()
{
    // Guests first, so the host never has to tell them the table is gone.
    for (auto it = m_slots.rbegin(); it != m_slots.rend(); ++it)
        if (it->w != m_host)
            delete it->w;
    delete m_host;
    m_slots.clear();
    m_windows.clear();
    liveFixtures().removeAll(this);
    if (liveFixtures().isEmpty())
        TmainFrm::setMessageHook({});
}

TmainFrm *TableFixture::newWindow()
{
    return createWindow(std::make_unique<QTemporaryDir>(), nullptr);
}

TmainFrm *TableFixture::newHiddenWindow()
{
    return createWindow(std::make_unique<QTemporaryDir>(), nullptr, false);
}

TmainFrm *TableFixture::newWindowWithSettings(const QByteArray &iniBytes)
{
    return createWindow(std::make_unique<QTemporaryDir>(), &iniBytes);
}

TmainFrm *TableFixture::reopenWindow(TmainFrm *old)
{
    for (auto it = m_slots.begin(); it != m_slots.end(); ++it) {
        if (it->w == old) {
            std::unique_ptr<QTemporaryDir> dir = std::move(it->dir);
            closeWindow(old);
            return createWindow(std::move(dir), nullptr);
        }
    }
    return nullptr;
}

TmainFrm *TableFixture::createWindow(std::unique_ptr<QTemporaryDir> dir, const QByteArray *iniBytes, bool shown)
{
    Slot slot{new TmainFrm, std::move(dir)};
    TmainFrm *w = slot.w;
    if (!slot.dir->isValid())
        QTest::qFail("no temporary program directory", __FILE__, __LINE__);
    w->programDir = slot.dir->path() + QLatin1Char('/');
    if (iniBytes) {
        // A settings file that is not there would pass for one read with defaults.
        QFile file(w->settingsPath());
        if (!file.open(QIODevice::WriteOnly) || file.write(*iniBytes) != iniBytes->size() || !file.flush())
            QTest::qFail(qPrintable(QStringLiteral("could not write %1").arg(file.fileName())), __FILE__, __LINE__);
    }
    // Every table the window sits at: what its player's copy and, when it hosts, its listener receive.
    QObject::connect(w->session, &TableSession::clientCreated, w, [this, w](ClientTable *c) {
        QObject::connect(c->connection(), &Connection::message, w,
                         [this, w](const HubMessage &m) { m_clientIn[w].append(Delivered{0, m}); });
        if (HubListener *listener = w->session->listener())
            QObject::connect(listener->hub(), &TwsHUBsvr::OnDataArrived, w,
                             [this, w](const QString &, int fromPort, const QString &tag, const QString &v1,
                                       const QString &v2, const QString &v3, const QString &v4, const QString &v5,
                                       const QString &v6) {
                                 m_hostIn[w].append(Delivered{fromPort, HubMessage{tag, {v1, v2, v3, v4, v5, v6}}});
                             });
    });
    // A test's turn never reaches the desktop the tests run on; the tests of the call set their own.
    w->turnNotifier->setDesktop({[] { return true; }, {}, {}});
    m_windows.append(w);
    m_slots.push_back(std::move(slot));
    if (shown) {
        w->show();
        if (!QTest::qWaitForWindowExposed(w))
            QTest::qFail("the window was never shown", __FILE__, __LINE__);
    }
    return w;
}

QString TableFixture::programDirOf(TmainFrm *w) const
{
    for (const Slot &s : m_slots)
        if (s.w == w)
            return s.dir->path() + QLatin1Char('/');
    return {};
}

void TableFixture::closeWindow(TmainFrm *w)
{
    if (m_windows.contains(w))
        w->close();
    deleteWindow(w);
}

void TableFixture::deleteWindow(TmainFrm *w)
{
    for (auto it = m_slots.begin(); it != m_slots.end(); ++it) {
        if (it->w == w) {
            m_windows.removeAll(w);
            if (m_host == w)
                m_host = nullptr;
            delete w;
            m_slots.erase(it);
            m_boxes.remove(w);
            m_clientIn.remove(w);
            m_hostIn.remove(w);
            return;
        }
    }
}

bool TableFixture::host(TmainFrm *w, const QString &nick, int ms)
{
    w->frmSetting->txtNick->setText(nick);
    m_host = w;
    if (!w->startHosting(0, nick))
        return false;
    return waitFor([w] { return w->client() && w->client()->mySeat() == 1; }, ms);
}

int TableFixture::hostPort() const
{
    return m_host ? m_host->session->listeningPort() : 0;
}

void TableFixture::connectGuest(TmainFrm *w, const QString &nick)
{
    w->frmSetting->txtNick->setText(nick);
    w->frmSetting->txtHOST->setText(QStringLiteral("127.0.0.1"));
    w->frmSetting->txtPort->setText(QString::number(hostPort()));
    w->frmSetting->btnConnect->click();
}

TmainFrm *TableFixture::join(const QString &nick, int ms)
{
    TmainFrm *w = newWindow();
    connectGuest(w, nick);
    // Seated, shown everywhere, and told every other player's credit (the last of its welcome).
    const bool seated = waitFor([this, w, nick] {
        const TableHost *host = m_host ? m_host->tableHost() : nullptr;
        if (!host || !TuserInfo::validSeat(host->roster().seatOfNick(nick)) || !tableShown())
            return false;
        int credits = 0;
        for (const Delivered &d : m_clientIn.value(w))
            credits += d.tag() == Tag::CREDIT ? 1 : 0;
        return credits >= host->roster().seatCount() - 1;
    }, ms);
    return seated ? w : nullptr;
}

QList<TmainFrm *> TableFixture::seatTable(const QStringList &nicks)
{
    QList<TmainFrm *> copies;
    TmainFrm *h = newWindow();
    if (!host(h, nicks.first()))
        return {};
    copies << h;
    for (qsizetype i = 1; i < nicks.size(); ++i) {
        TmainFrm *g = join(nicks.at(i));
        if (!g)
            return {};
        copies << g;
    }
    for (TmainFrm *w : copies)
        w->BeepOnTurn1->setChecked(false);
    return waitTableShown() ? copies : QList<TmainFrm *>{};
}

QList<TmainFrm *> TableFixture::seatedWindows() const
{
    QList<TmainFrm *> out;
    if (!m_host)
        return out;
    for (TmainFrm *w : m_windows) {
        if (w == m_host) {
            out.append(w);
            continue;
        }
        const ClientTable *c = w->client();
        if (!c || !c->connection()->isOpen() || !m_host->tableHost())
            continue;
        const TuserInfo &roster = m_host->tableHost()->roster();
        const int seat = roster.seatOfNick(c->myNick());
        if (TuserInfo::validSeat(seat) && roster.user(seat).port == c->connection()->wirePort())
            out.append(w);
    }
    return out;
}

int TableFixture::expectedScreenSeat(TmainFrm *viewer, const QString &nick) const
{
    if (!m_host || !m_host->tableHost() || !viewer->client())
        return 0;
    const TuserInfo &roster = m_host->tableHost()->roster();
    const int m = roster.seatOfNick(viewer->client()->myNick());
    const int k = roster.seatOfNick(nick);
    if (!TuserInfo::validSeat(m) || !TuserInfo::validSeat(k))
        return 0;
    return 1 + (((k - m) % 4) + 4) % 4;
}

QString TableFixture::shownNick(TmainFrm *viewer, int screenSeat)
{
    QLabel *label = viewer->nickLabel(screenSeat);
    if (!label || label->text() == kEmptySeatText)
        return {};
    // Letter spacing puts a blank after every character; every other character is the nick's.
    const QString text = label->text();
    QString nick;
    for (qsizetype i = 0; i < text.size(); i += 2)
        nick += text[i];
    return nick;
}

QString TableFixture::tableProblem(TmainFrm *w) const
{
    if (!m_host || !m_host->tableHost())
        return QStringLiteral("nobody hosts");
    if (!w->client())
        return QStringLiteral("a window at no table");
    const TuserInfo &truth = m_host->tableHost()->roster();
    const TuserInfo &mine = w->client()->roster();
    const QString me = w->client()->myNick();
    const int m = truth.seatOfNick(me);
    if (!TuserInfo::validSeat(m))
        return QStringLiteral("'%1' holds no seat at the host").arg(me);
    for (int k = 1; k <= 4; ++k) {
        const int screen = 1 + (((k - m) % 4) + 4) % 4;
        const TuserRec &u = truth.user(k);
        const bool occupied = u.port >= 0 && !u.nick.isEmpty();
        QLabel *label = w->nickLabel(screen);
        if (!label)
            return QStringLiteral("no nick label %1").arg(screen);
        const QString want = occupied ? letterSpaced(u.nick) : kEmptySeatText;
        if (label->text() != want)
            return QStringLiteral("'%1' shows '%2' at screen seat %3, expected '%4'")
                .arg(me, label->text())
                .arg(screen)
                .arg(want);
        if (occupied && mine.user(k).nick != u.nick)
            return QStringLiteral("'%1' has '%2' in roster seat %3, expected '%4'")
                .arg(me, mine.user(k).nick)
                .arg(k)
                .arg(u.nick);
        if (!occupied && mine.user(k).port != -1)
            return QStringLiteral("'%1' still has '%2' in roster seat %3")
                .arg(me, mine.user(k).nick)
                .arg(k);
    }
    return {};
}

bool TableFixture::tableShown() const
{
    if (!m_host)
        return false;
    for (TmainFrm *w : seatedWindows())
        if (!tableProblem(w).isEmpty())
            return false;
    return true;
}

bool TableFixture::waitTableShown(int ms)
{
    return waitFor([this] { return tableShown(); }, ms);
}

bool TableFixture::roundTrip(TmainFrm *guest, int ms)
{
    if (!m_host || !guest || guest == m_host)
        return false;
    if (!guest->client() || !m_host->session->listener())
        return false;
    const int port = guest->client()->connection()->wirePort();
    const qsizetype before = m_hostIn.value(m_host).size();
    if (!m_host->session->listener()->hub()->SendToClient(port, Tag::PING, {}, {}, {}))
        return false;
    return waitFor([this, port, before] {
        const QList<Delivered> in = m_hostIn.value(m_host);
        for (qsizetype i = before; i < in.size(); ++i)
            if (in.at(i).fromPort == port && in.at(i).tag() == Tag::PONG)
                return true;
        return false;
    }, ms);
}

QTcpSocket *TableFixture::clientSocketOf(TmainFrm *w)
{
    HubDialer *dialer = w->session->dialer();
    return dialer ? dialer->hub()->findChild<QTcpSocket *>() : nullptr;
}

void TableFixture::freezeClient(TmainFrm *w, bool frozen)
{
    if (HubDialer *dialer = w->session->dialer())
        for (QObject *child : dialer->hub()->children())
            child->blockSignals(frozen);
}

QStringList TableFixture::messageTextsOf(TmainFrm *w) const
{
    QStringList out;
    for (const ShownMessage &m : m_boxes.value(w))
        out.append(m.text);
    return out;
}

QStringList TableFixture::clientTags(TmainFrm *w) const
{
    QStringList out;
    for (const Delivered &d : m_clientIn.value(w))
        out.append(d.tag());
    return out;
}

void TableFixture::clearTraffic()
{
    m_clientIn.clear();
    m_hostIn.clear();
}
