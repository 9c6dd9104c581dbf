// quadrix-arena: plays many deals between strategies with the real rules and reports how the
// first strategy fares. Every deal is played four times, the strategies moved round the
// seats, so the cards dealt favour nobody.
#include "bot/searchstrategy.h"
#include "bot/simulator.h"
#include "bot/strategy.h"
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>
#include <cmath>
#include <memory>
#include <vector>

namespace {

struct Stat
{
    double sum = 0, sumSq = 0;
    qint64 n = 0;
    void add(double x)
    {
        sum += x;
        sumSq += x * x;
        ++n;
    }
    double mean() const { return n ? sum / double(n) : 0; }
    // half width of the 95% confidence interval of the mean
    double half95() const
    {
        if (n < 2)
            return 0;
        const double m = mean();
        const double var = (sumSq - double(n) * m * m) / double(n - 1);
        return 1.96 * std::sqrt(std::max(0.0, var) / double(n));
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quadrix-arena"));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Plays deals between computer strategies with the game's rules and prints how the first "
                       "strategy fares: win rate and mean credit change per deal with 95% confidence intervals, "
                       "and the time it takes to decide a move. Each deal is replayed with the strategies moved "
                       "round all four seats. Strategies: %1, or a level 1 to 4.")
            .arg(strategyNames().join(QStringLiteral(", "))));
    parser.addHelpOption();
    QCommandLineOption dealsOpt(QStringLiteral("deals"), QStringLiteral("Number of different deals (default 20000)."),
                                QStringLiteral("n"), QStringLiteral("20000"));
    QCommandLineOption botOpt(QStringList{QStringLiteral("player"), QStringLiteral("bot")},
                              QStringLiteral("Strategy or level measured (default smart, level 3)."),
                              QStringLiteral("name"), QStringLiteral("smart"));
    QCommandLineOption oppOpt(QStringLiteral("opponents"),
                              QStringLiteral("Strategy of the three other seats, or three names separated by "
                                             "commas (default greedy)."),
                              QStringLiteral("names"), QStringLiteral("greedy"));
    QCommandLineOption seedOpt(QStringLiteral("seed"), QStringLiteral("Seed of the first deal (default 1)."),
                               QStringLiteral("n"), QStringLiteral("1"));
    QCommandLineOption tuneOpt(QStringLiteral("tune"),
                               QStringLiteral("Weights of the measured planning strategy, name=value separated by "
                                              "commas (see TSmartStrategy::Tuning)."),
                               QStringLiteral("list"));
    QCommandLineOption thinkOpt(QStringLiteral("think-ms"),
                                QStringLiteral("Time of one decision of the searching players (level 4), in "
                                               "milliseconds (default %1, at most %2).")
                                    .arg(TSearchStrategy::kDefaultThinkMs)
                                    .arg(TSearchStrategy::kMaxThinkMs),
                                QStringLiteral("ms"), QString::number(TSearchStrategy::kDefaultThinkMs));
    parser.addOptions({dealsOpt, botOpt, oppOpt, seedOpt, tuneOpt, thinkOpt});
    parser.process(app);

    QTextStream out(stdout);
    QTextStream err(stderr);
    bool ok = false;
    const qint64 deals = parser.value(dealsOpt).toLongLong(&ok);
    if (!ok || deals < 1) {
        err << "quadrix-arena: --deals wants a positive number\n";
        return 2;
    }
    const quint64 seed = parser.value(seedOpt).toULongLong(&ok);
    if (!ok) {
        err << "quadrix-arena: --seed wants a number\n";
        return 2;
    }
    const int thinkMs = parser.value(thinkOpt).toInt(&ok);
    if (!ok || thinkMs < 1 || thinkMs > TSearchStrategy::kMaxThinkMs) {
        err << "quadrix-arena: --think-ms wants a number from 1 to " << TSearchStrategy::kMaxThinkMs << "\n";
        return 2;
    }
    QStringList names{parser.value(botOpt)};
    QStringList opp = parser.value(oppOpt).split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (opp.size() == 1)
        opp = QStringList{opp.first(), opp.first(), opp.first()};
    if (opp.size() != 3) {
        err << "quadrix-arena: --opponents wants one name or three\n";
        return 2;
    }
    names += opp;
    std::vector<std::unique_ptr<TBotStrategy>> strategies;
    for (int i = 0; i < 4; ++i) {
        auto s = makeStrategy(names.at(i));
        if (!s) {
            err << "quadrix-arena: unknown strategy " << names.at(i) << " (" << strategyNames().join(QStringLiteral(", "))
                << ")\n";
            return 2;
        }
        s->seed(seed * 4 + quint64(i) + 1);
        if (auto *search = dynamic_cast<TSearchStrategy *>(s.get()))
            search->setThinkMs(thinkMs);
        strategies.push_back(std::move(s));
    }

    if (parser.isSet(tuneOpt)) {
        auto *smart = dynamic_cast<TSmartStrategy *>(strategies.front().get());
        for (const QString &item : parser.value(tuneOpt).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const QStringList kv = item.split(QLatin1Char('='));
            bool isNumber = false;
            const double v = kv.size() == 2 ? kv.at(1).toDouble(&isNumber) : 0;
            if (!smart || !isNumber || !smart->tuning.set(kv.at(0).trimmed(), v)) {
                err << "quadrix-arena: cannot tune " << item << "\n";
                return 2;
            }
        }
    }

    TDealSimulator sim;
    Stat win, credit, oppWin, instant, length;
    double decideMs = 0, maxMs = 0, cpuMs = 0, cpuMaxMs = 0;
    qint64 decisions = 0, slow = 0, cpuSlow = 0, refused = 0, unfinished = 0;
    QElapsedTimer sinceReport;
    sinceReport.start();
    for (qint64 d = 0; d < deals; ++d) {
        const auto hands = sim.deal(seed + quint64(d));
        double dealWin = 0, dealCredit = 0, dealOpp = 0;
        for (int r = 0; r < 4; ++r) {
            // strategy i sits in seat (i + r) mod 4
            std::array<TBotStrategy *, 4> seats{};
            for (int i = 0; i < 4; ++i)
                seats[size_t((i + r) % 4)] = strategies[size_t(i)].get();
            sim.resetTiming();
            const TDealResult res = sim.play(hands, seats);
            const auto &t = sim.timing()[size_t(r)];
            decideMs += t.totalMs;
            maxMs = std::max(maxMs, t.maxMs);
            decisions += t.decisions;
            slow += t.over10ms;
            cpuMs += t.cpuTotalMs;
            cpuMaxMs = std::max(cpuMaxMs, t.cpuMaxMs);
            cpuSlow += t.cpuOver10ms;
            refused += res.refused;
            if (res.winner < 0) {
                ++unfinished;
                continue;
            }
            dealWin += res.winner == r ? 1 : 0;
            dealOpp += res.winner != r ? 1 : 0;
            dealCredit += res.creditChange[size_t(r)];
            length.add(res.moves);
            if (r == 0)
                instant.add(res.instant ? 1 : 0);
        }
        win.add(dealWin / 4);
        credit.add(dealCredit / 4);
        oppWin.add(dealOpp / 12);
        // every 5000 deals, and at least every ten seconds for players that think long
        if ((d + 1) % 5000 == 0 || (d + 1 < deals && sinceReport.hasExpired(10000))) {
            err << "  " << (d + 1) << " deals, win rate so far " << QString::number(100 * win.mean(), 'f', 2)
                << "%\n";
            err.flush();
            sinceReport.restart();
        }
    }

    out << "quadrix-arena: " << names.at(0) << " against " << opp.join(QStringLiteral(", ")) << "\n";
    out << "deals: " << deals << " (each played 4 times, seats rotated: " << deals * 4 << " games), seed " << seed
        << "\n";
    out << "win rate: " << QString::number(100 * win.mean(), 'f', 2) << "% +/- "
        << QString::number(100 * win.half95(), 'f', 2) << " (95% CI; parity 25%)\n";
    out << "mean credit change per deal: " << QString::number(credit.mean(), 'f', 3) << " +/- "
        << QString::number(credit.half95(), 'f', 3) << " (95% CI)\n";
    out << "each opponent's win rate: " << QString::number(100 * oppWin.mean(), 'f', 2) << "%\n";
    out << "instant wins at the deal: " << QString::number(100 * instant.mean(), 'f', 3) << "% of deals; "
        << "mean moves per deal: " << QString::number(length.mean(), 'f', 1) << "\n";
    const double per = decisions ? 1.0 / double(decisions) : 0;
    out << "decision time of " << names.at(0) << " over " << decisions << " decisions: processor time mean "
        << QString::number(cpuMs * per, 'f', 4) << " ms, max " << QString::number(cpuMaxMs, 'f', 3) << " ms, "
        << cpuSlow << " over 10 ms; wall-clock mean " << QString::number(decideMs * per, 'f', 4) << " ms, max "
        << QString::number(maxMs, 'f', 3) << " ms, " << slow << " over 10 ms\n";
    out << "throws refused by the rules: " << refused << "; unfinished games: " << unfinished << "\n";
    out.flush();
    return refused == 0 && unfinished == 0 ? 0 : 1;
}
