// quadrix-bench: performance figures of the program, measured on a table of four copies of the
// table window in one process (offscreen platform), talking to each other over loopback.
//
//  - move latency: from a guest's "Throw Card" click until the last of the four copies has applied
//    the throw, next to the floor set by the hubs' send pumps;
//  - deal time: from "New Game" until every copy has started the deal, next to its floor;
//  - the longest time the GUI thread went without running its event loop (a 1 ms timer records the
//    gaps between its ticks), while dealing and while playing;
//  - CPU use of the seated, idle table over 10 s, and resident memory;
//  - parser throughput.
//
// Usage: quadrix-bench [minimum guest throws, default 200]
#include "bot/combos.h"
#include "bot/strategy.h"
#include "cards/playcard.h"
#include "game/gameflow.h"
#include "game/protocol.h"
#include "hub/hubclient.h"
#include "hub/hubserver.h"
#include "hub/wire.h"
#include "rules/handhandling.h"
#include "ui/frmsetting.h"
#include "ui/mainfrm.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QLineEdit>
#include <QPushButton>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <sys/resource.h>
#include <vector>

namespace {

// The hubs' pump timing: a tick before every message, then a quiet pause after each send attempt.
constexpr double kServerTickMs = 5;
constexpr double kServerPauseMs = 20;
constexpr double kClientTickMs = 5;
constexpr double kClientReceiveTickMs = 5; // a guest parses each received chunk one tick later

QElapsedTimer clockStart;
double nowMs() { return double(clockStart.nsecsElapsed()) / 1e6; }

// The time at which the n-th of n messages queued at once for one connection leaves the host (the
// first one after one tick, every further one a tick and a pause later). Each connection has its own
// queue, so this is also when the n-th message has left for every connection.
double hostQueueMs(int n) { return kServerTickMs + (n - 1) * (kServerTickMs + kServerPauseMs); }

// What the host sends to each other copy for a guest's throw: the turn, then the throw itself.
constexpr int kMoveMessages = 2;
// What the host sends to each guest for a deal: thirteen cards, then the start of the deal.
constexpr int kDealMessages = 14;

long statusKb(const char *key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

QString cpuModel()
{
    QFile f(QStringLiteral("/proc/cpuinfo"));
    if (f.open(QIODevice::ReadOnly))
        for (const QByteArray &line : f.readAll().split('\n'))
            if (line.startsWith("model name"))
                return QString::fromLatin1(line.mid(line.indexOf(':') + 1).trimmed());
    return QStringLiteral("unknown");
}

// Records the gaps between the ticks of a 1 ms timer: a gap is the time the GUI thread spent
// without running its event loop (plus the one millisecond of the interval).
class StallMeter
{
public:
    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const double t = nowMs();
            if (!m_paused)
                m_phaseMax = std::max(m_phaseMax, t - m_last);
            m_last = t;
        });
    }
    void start()
    {
        m_last = nowMs();
        m_timer.start();
    }
    void stop() { m_timer.stop(); }
    // The work of the benchmark itself (choosing a move) is not the program's.
    void pause() { m_paused = true; }
    void resume()
    {
        m_paused = false;
        m_last = nowMs();
    }
    void beginPhase()
    {
        m_phaseMax = 0;
        m_last = nowMs();
    }
    double phaseMax() const { return m_phaseMax; }

private:
    QTimer m_timer;
    double m_last = 0;
    double m_phaseMax = 0;
    bool m_paused = false;
};

bool waitFor(const std::function<bool()> &pred, int ms)
{
    const double end = nowMs() + ms;
    QTimer wake; // WaitForMoreEvents returns at least this often
    wake.start(2);
    while (!pred()) {
        if (nowMs() > end)
            return pred();
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Summary
{
    double median = 0, p95 = 0, max = 0, mean = 0;
    int n = 0;
};

Summary summarize(std::vector<double> v)
{
    Summary s;
    s.n = int(v.size());
    if (v.empty())
        return s;
    std::sort(v.begin(), v.end());
    auto at = [&v](double q) {
        const double pos = q * double(v.size() - 1);
        const size_t lo = size_t(pos);
        const size_t hi = std::min(lo + 1, v.size() - 1);
        return v[lo] + (v[hi] - v[lo]) * (pos - double(lo));
    };
    s.median = at(0.5);
    s.p95 = at(0.95);
    s.max = v.back();
    double sum = 0;
    for (double x : v)
        sum += x;
    s.mean = sum / double(v.size());
    return s;
}

// ---------------------------------------------------------------------------------------------
// Parser throughput

struct ParserFigures
{
    double msgsPerSec = 0;
    double mbPerSec = 0;
    qint64 messages = 0;
    double megabytes = 0;
};

ParserFigures measureParser(bool scrambled)
{
    // The messages of a deal in their usual proportions: cards, turns, throws, credits and chat.
    const QList<QByteArray> kinds = {
        BuildFrame(Tag::CARD, QStringLiteral("50123"), QStringLiteral("Ann"), QStringLiteral("7"),
                   QStringLiteral("310"), {}, {}, scrambled, 0x2A),
        BuildFrame(Tag::WHOSETURN, QStringLiteral("50124"), QStringLiteral("Bob"), {}, {}, {}, {}, scrambled, 0x2A),
        BuildFrame(Tag::THROW, QStringLiteral("50123"), QStringLiteral("Ann"), QStringLiteral("5"),
                   QStringLiteral("33#43#13#23#36#"), {}, {}, scrambled, 0x2A),
        BuildFrame(Tag::THROW, QStringLiteral("50125"), QStringLiteral("Cid"), QStringLiteral("0"), {}, {}, {},
                   scrambled, 0x2A),
        BuildFrame(Tag::CREDIT, QStringLiteral("0"), QStringLiteral("Hank"), QStringLiteral("1039"), {}, {}, {},
                   scrambled, 0x2A),
        BuildFrame(Tag::CHAT, QStringLiteral("Ann"), QStringLiteral("well played, one more deal and I am off"), {},
                   {}, {}, {}, scrambled, 0x2A),
    };
    QByteArray stream;
    qint64 messages = 0;
    while (stream.size() < 16 * 1024 * 1024) {
        for (const QByteArray &k : kinds) {
            stream += k;
            ++messages;
        }
    }
    // Read as the hub reads a socket: pieces of at most 64 KiB.
    constexpr qsizetype kPiece = 64 * 1024;
    double best = 1e99;
    for (int round = 0; round < 5; ++round) {
        FrameReader reader;
        qint64 got = 0;
        QElapsedTimer t;
        t.start();
        for (qsizetype at = 0; at < stream.size(); at += kPiece)
            got += reader.feed(stream.mid(at, kPiece), scrambled, 0x2A, true).size();
        const double s = double(t.nsecsElapsed()) / 1e9;
        if (got != messages) {
            std::fprintf(stderr, "parser lost messages: %lld of %lld\n", static_cast<long long>(got),
                         static_cast<long long>(messages));
            std::exit(2);
        }
        best = std::min(best, s);
    }
    ParserFigures f;
    f.messages = messages;
    f.megabytes = double(stream.size()) / 1e6;
    f.msgsPerSec = double(messages) / best;
    f.mbPerSec = f.megabytes / best;
    return f;
}

// ---------------------------------------------------------------------------------------------
// The table

class Table
{
public:
    ~Table()
    {
        for (auto it = m_windows.rbegin(); it != m_windows.rend(); ++it)
            delete *it;
    }

    TmainFrm *newWindow()
    {
        m_dirs.push_back(std::make_unique<QTemporaryDir>());
        auto *w = new TmainFrm;
        w->programDir = m_dirs.back()->path() + QLatin1Char('/');
        watch(w);
        m_windows.push_back(w);
        w->show();
        return w;
    }

    bool host(TmainFrm *w, const QString &nick)
    {
        w->frmSetting->txtNick->setText(nick);
        w->gHost->setPort(0);
        w->gHost->setActive(true);
        m_host = w;
        return waitFor([w, nick] { return w->st.hosting && w->gHost->listeningPort() > 0
                                          && w->roster.seatOfNick(nick) == 1; },
                       5000);
    }

    bool join(TmainFrm *w, const QString &nick)
    {
        w->frmSetting->txtNick->setText(nick);
        w->frmSetting->txtHOST->setText(QStringLiteral("127.0.0.1"));
        w->frmSetting->txtPort->setText(QString::number(m_host->gHost->listeningPort()));
        w->frmSetting->btnConnect->click();
        const int seats = m_host->roster.seatCount() + 1;
        return waitFor([this, w, nick, seats] {
            return TuserInfo::validSeat(m_host->roster.seatOfNick(nick)) && w->roster.seatCount() == seats
                   && quiet();
        }, 10000);
    }

    const std::vector<TmainFrm *> &windows() const { return m_windows; }
    TmainFrm *hostWindow() const { return m_host; }

    // Nothing queued or pausing at the host, no guest within its pause after a send, nothing delivered
    // just now: a click now meets empty pumps, as the floors assume.
    bool quiet() const
    {
        const double t = nowMs();
        return m_host->gHost->queuedMessages() == 0 && t - m_lastHostSend >= kServerPauseMs + 10
               && t - m_lastGuestSend >= 110 && t - m_lastDelivery >= 10;
    }

    // The absolute seat every copy shows to move, or 0 while they differ or nobody moves.
    int agreedMover() const
    {
        int seat = -1;
        for (TmainFrm *w : m_windows) {
            if (!w->st.gameOn || w->st.turnSeat < 1)
                return 0;
            const int mine = w->roster.seatOfNick(w->st.myNick);
            const int abs = (mine - 1 + w->st.turnSeat - 1) % 4 + 1;
            if (seat != -1 && abs != seat)
                return 0;
            seat = abs;
        }
        return seat;
    }

    TmainFrm *windowOfSeat(int seat) const
    {
        for (TmainFrm *w : m_windows)
            if (m_host->roster.seatOfNick(w->st.myNick) == seat)
                return w;
        return nullptr;
    }

    bool anyInDeal() const
    {
        return std::any_of(m_windows.begin(), m_windows.end(), [](TmainFrm *w) { return w->st.gameOn; });
    }

    void clearMarks()
    {
        m_throwSeen.clear();
        m_started.clear();
    }
    // When each copy applied a throw of this nick, since the last clearMarks.
    QHash<TmainFrm *, double> throwSeen(const QString &nick) const { return m_throwSeen.value(nick); }
    QHash<TmainFrm *, double> dealStarted() const { return m_started; }
    void markStarted(TmainFrm *w, double t) { m_started.insert(w, t); }

private:
    void watch(TmainFrm *w)
    {
        // Connected after the window's own handlers: these run once the message has been handled.
        auto arrived = [this, w](const QString &, int, const QString &tag, const QString &, const QString &v2,
                                 const QString &, const QString &, const QString &, const QString &) {
            const double t = nowMs();
            m_lastDelivery = t;

            if (tag == Tag::THROW && !m_throwSeen[v2].contains(w))
                m_throwSeen[v2].insert(w, t);
            if ((tag == Tag::NEWGAME && w != m_host) || (tag == Tag::NEXTGAME && w == m_host))
                if (!m_started.contains(w))
                    m_started.insert(w, t);
        };
        QObject::connect(w->gClient, &TwsHUBcli::OnDataArrived, w, arrived);
        QObject::connect(w->gHost, &TwsHUBsvr::OnDataArrived, w, arrived);
        QObject::connect(w->gClient, &TwsHUBcli::OnBusy, w, [this] { m_lastGuestSend = nowMs(); });
        QObject::connect(w->gHost, &TwsHUBsvr::OnBusy, w, [this] { m_lastHostSend = nowMs(); });
        // A thrower's own copy applies its throw inside the click.
    }

    std::vector<std::unique_ptr<QTemporaryDir>> m_dirs;
    std::vector<TmainFrm *> m_windows;
    TmainFrm *m_host = nullptr;
    QHash<QString, QHash<TmainFrm *, double>> m_throwSeen;
    QHash<TmainFrm *, double> m_started;
    double m_lastHostSend = -1e9;
    double m_lastGuestSend = -1e9;
    double m_lastDelivery = -1e9;
};

// Raises the chosen cards of the player to move and presses "Throw Card", or presses "Pass".
// Returns whether it threw.
bool playOneMove(TmainFrm *w, TBotStrategy &strategy, StallMeter &meter)
{
    meter.pause();
    const QStringList hand = w->hand->handCodes();
    const QStringList table = w->hand->tableCodes();
    TMoveGenerator generator(w->rules);
    TBotView view;
    view.hand = BotCards::maskOf(hand);
    view.table = BotCombos::tableCombo(table);
    const TCombo choice = strategy.choose(view, generator.legalThrows(view.hand, table));
    w->hand->btnCardDownClick();
    if (!choice.isPass()) {
        for (const QString &code : BotCards::codesOf(choice.mask))
            for (int n = 1; n <= 13; ++n) {
                TPlayCard *slot = w->handSlot(n);
                if (slot && !slot->isHidden() && slot->GetCardCode() == code)
                    w->hand->cardControl(slot);
            }
    }
    meter.resume();
    if (choice.isPass()) {
        w->btnPass->click();
        return false;
    }
    w->btnThrow->click();
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    clockStart.start();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const int wantThrows = argc > 1 ? std::max(1, atoi(argv[1])) : 200;
    int qtArgc = 1;
    char *qtArgv[] = {argv[0], nullptr};
    QApplication app(qtArgc, qtArgv);
    QStringList boxes;
    TmainFrm::setMessageHook([&boxes](TmainFrm *, QMessageBox::Icon, const QString &text,
                                      QMessageBox::StandardButtons b) {
        boxes << text;
        return b.testFlag(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
    });

    std::printf("Quadrix benchmark: a table of four copies in one process, on loopback (%s platform)\n",
                qgetenv("QT_QPA_PLATFORM").constData());
    std::printf("machine: %s, %d logical CPUs, %s; Qt %s\n\n", qPrintable(cpuModel()), QThread::idealThreadCount(),
                qPrintable(QSysInfo::prettyProductName()), qVersion());
    std::fflush(stdout);

    const long rssBaseKb = statusKb("VmRSS");
    Table table;
    TmainFrm *hostWin = table.newWindow();
    if (!table.host(hostWin, QStringLiteral("Hank"))) {
        std::fprintf(stderr, "hosting failed\n");
        return 1;
    }
    runFor(500);
    const long rssOneKb = statusKb("VmRSS");
    for (const char *nick : {"Ann", "Bob", "Cid"}) {
        if (!table.join(table.newWindow(), QString::fromLatin1(nick))) {
            std::fprintf(stderr, "%s could not join\n", nick);
            return 1;
        }
    }
    waitFor([&table] { return table.quiet(); }, 5000);
    runFor(500);
    const long rssFourKb = statusKb("VmRSS");

    // Idle: seated, no deal, nothing to do for 10 s.
    runFor(1000);
    const double idleCpu0 = cpuSeconds();
    const double idleWall0 = nowMs();
    runFor(10000);
    const double idleCpu = cpuSeconds() - idleCpu0;
    const double idleWall = (nowMs() - idleWall0) / 1000;

    // Play.
    StallMeter meter;
    meter.start();
    TGreedyStrategy strategy;
    std::vector<double> guestThrowMs, dealMs, dealFloorMs;
    double dealStall = 0, playStall = 0;
    int deals = 0, moves = 0, hostMoves = 0, passes = 0;
    const double moveFloor = kClientTickMs + hostQueueMs(kMoveMessages) + kClientReceiveTickMs;

    while ((int(guestThrowMs.size()) < wantThrows || deals < 5) && deals < 100) {
        if (!waitFor([&table] { return table.quiet() && !table.anyInDeal(); }, 20000)) {
            std::fprintf(stderr, "the table did not come to rest between deals\n");
            return 1;
        }
        TmainFrm *presser = nullptr;
        for (TmainFrm *w : table.windows())
            if (w->btnNew->isEnabled())
                presser = w;
        if (!presser) {
            std::fprintf(stderr, "nobody can start the next deal\n");
            return 1;
        }
        table.clearMarks();
        meter.beginPhase();
        const double t0 = nowMs();
        presser->btnNew->click();
        if (presser == hostWin)
            table.markStarted(hostWin, nowMs()); // the host deals and starts inside the click
        if (!waitFor([&table] { return table.dealStarted().size() == 4; }, 20000)) {
            std::fprintf(stderr, "the deal did not start on every copy\n");
            return 1;
        }
        double last = 0;
        for (double t : table.dealStarted())
            last = std::max(last, t);
        dealMs.push_back(last - t0);
        dealFloorMs.push_back((presser == hostWin ? 0 : kClientTickMs) + hostQueueMs(kDealMessages)
                              + kClientReceiveTickMs);
        dealStall = std::max(dealStall, meter.phaseMax());
        ++deals;

        meter.beginPhase();
        while (table.anyInDeal()) {
            int seat = 0;
            TmainFrm *mover = nullptr;
            // Every copy shows the same player to move, that player's buttons are ready, the pumps are quiet.
            const bool ready = waitFor([&table, &seat, &mover] {
                seat = table.agreedMover();
                mover = seat > 0 ? table.windowOfSeat(seat) : nullptr;
                return !table.anyInDeal() || (mover && mover->btnPass->isEnabled() && table.quiet());
            }, 20000);
            if (!table.anyInDeal())
                break;
            if (!ready) {
                std::fprintf(stderr, "the copies do not agree who moves\n");
                for (TmainFrm *w : table.windows())
                    std::fprintf(stderr, "  %s: seat %d, turn %d, pass %d, in deal %d, table %s\n",
                                 qPrintable(w->st.myNick), hostWin->roster.seatOfNick(w->st.myNick), w->st.turnSeat,
                                 w->btnPass->isEnabled(), w->st.gameOn,
                                 qPrintable(w->hand->tableCodes().join(QLatin1Char(' '))));
                return 1;
            }
            table.clearMarks();
            const double t0 = nowMs();
            const bool threw = playOneMove(mover, strategy, meter);
            ++moves;
            if (mover == hostWin)
                ++hostMoves;
            if (!threw)
                ++passes;
            // Every other copy applies the move (a pass travels as a throw of no cards).
            const QString nick = mover->st.myNick;
            if (!waitFor([&table, &nick] { return table.throwSeen(nick).size() == 3; }, 10000)) {
                std::fprintf(stderr, "a move did not reach every copy\n");
                return 1;
            }
            if (threw && mover != hostWin) {
                double lastSeen = 0;
                for (double t : table.throwSeen(nick))
                    lastSeen = std::max(lastSeen, t);
                guestThrowMs.push_back(lastSeen - t0);
            }
        }
        playStall = std::max(playStall, meter.phaseMax());
    }
    meter.stop();
    waitFor([&table] { return table.quiet(); }, 5000);
    const long rssAfterKb = statusKb("VmRSS");
    const long hwmKb = statusKb("VmHWM");

    // Last, so that its buffers do not count in the memory figures above.
    const ParserFigures plain = measureParser(false);
    const ParserFigures scrambled = measureParser(true);

    const Summary lat = summarize(guestThrowMs);
    const Summary deal = summarize(dealMs);
    const Summary dealFloor = summarize(dealFloorMs);

    std::printf("%-58s %10s %10s %10s\n", "figure", "measured", "floor", "ratio");
    std::printf("%-58s %10.1f %10.1f %10.2f\n", "move latency, median (ms)", lat.median, moveFloor,
                lat.median / moveFloor);
    std::printf("%-58s %10.1f %10.1f %10.2f\n", "move latency, 95th percentile (ms)", lat.p95, moveFloor,
                lat.p95 / moveFloor);
    std::printf("%-58s %10.1f %10.1f %10.2f\n", "move latency, slowest (ms)", lat.max, moveFloor,
                lat.max / moveFloor);
    std::printf("%-58s %10.1f %10.1f %10.2f\n", "deal time, median (ms)", deal.median, dealFloor.median,
                deal.median / dealFloor.median);
    std::printf("%-58s %10.1f %10.1f %10.2f\n", "deal time, slowest (ms)", deal.max, dealFloor.max,
                deal.max / dealFloor.max);
    std::printf("%-58s %10.1f\n", "longest GUI-thread gap while dealing (ms)", dealStall);
    std::printf("%-58s %10.1f\n", "longest GUI-thread gap while playing (ms)", playStall);
    std::printf("%-58s %10.3f\n", "CPU of the seated idle table, 4 copies (% of one core)",
                100.0 * idleCpu / idleWall);
    std::printf("%-58s %10.3f\n", "CPU of the seated idle table, per copy (% of one core)",
                100.0 * idleCpu / idleWall / 4);
    std::printf("%-58s %10.1f\n", "resident memory, process with the toolkit, no window (MB)", rssBaseKb / 1024.0);
    std::printf("%-58s %10.1f\n", "resident memory, process with one copy hosting (MB)", rssOneKb / 1024.0);
    std::printf("%-58s %10.1f\n", "resident memory, process with four copies seated (MB)", rssFourKb / 1024.0);
    std::printf("%-58s %10.1f\n", "resident memory, four copies after the deals (MB)", rssAfterKb / 1024.0);
    std::printf("%-58s %10.1f\n", "  each further copy adds (MB)", (rssFourKb - rssOneKb) / 3.0 / 1024.0);
    std::printf("%-58s %10.1f\n", "  peak resident memory of the process (MB)", hwmKb / 1024.0);
    std::printf("%-58s %10.0f %10.1f\n", "parser, plain (messages/s, MB/s)", plain.msgsPerSec, plain.mbPerSec);
    std::printf("%-58s %10.0f %10.1f\n", "parser, scrambled (messages/s, MB/s)", scrambled.msgsPerSec,
                scrambled.mbPerSec);
    std::printf("\nidle: %.3f s of CPU in %.1f s\n", idleCpu, idleWall);
    std::printf("%d deals, %d moves (%d by the host, %d passes), %d guest throws timed; %lld messages of "
                "%.1f MB parsed per round\n",
                deals, moves, hostMoves, passes, lat.n, static_cast<long long>(plain.messages), plain.megabytes);
    std::printf("floors (a send queue per connection): move = guest tick %.0f + host queue of %d messages per "
                "copy %.0f + receive tick %.0f ms; deal = host queue of %d messages per copy %.0f + receive tick "
                "%.0f ms (+ %.0f when a guest presses)\n",
                kClientTickMs, kMoveMessages, hostQueueMs(kMoveMessages), kClientReceiveTickMs, kDealMessages,
                hostQueueMs(kDealMessages), kClientReceiveTickMs, kClientTickMs);
    if (!boxes.isEmpty())
        std::printf("message boxes shown: %s\n", qPrintable(boxes.join(QStringLiteral(" | "))));
    return 0;
}
