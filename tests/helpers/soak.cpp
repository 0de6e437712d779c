// A clinic's day on several workstations at once, for as long as asked, on a file or a server:
// acts created and modified, payments, sums paid over, searches, listings and a backup, with short
// random pauses, through the data layer the screens use. At the end, what each workstation
// reported is compared with the base and its journal.
//
//   soak run LOCATION SECONDS [WORKSTATIONS] [RESTART-COMMAND]
//       seeds the base when empty, runs the workstations, runs RESTART-COMMAND (a shell command, e.g.
//       pg_ctl restart) half-way, then checks; prints the counts and each operation's p50/p95 and
//       exits 1 on any lost or unreported change, journal fault, crash or unexpected failure.
//   soak worker LOCATION SEED MILLISECONDS TAG     one workstation (started by `run`)
#include "common/DayNumber.h"
#include "store/Bulk.h"
#include "store/Store.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <vector>

using namespace obs;

namespace {

void say(const QString& line) {
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// A failure the program would show as the server being away (restart, cut connection): the user
// tries again once it is back.
bool serverAway(const Status& s) {
    return s.error == StoreError::Unreadable || s.error == StoreError::Closed ||
           s.message.contains(QLatin1String("connexion"), Qt::CaseInsensitive) ||
           s.message.contains(QLatin1String("serveur"), Qt::CaseInsensitive);
}

class Workstation {
public:
    Workstation(QString location, quint32 seed, QString tag)
        : m_location(std::move(location)), m_rng(seed), m_tag(std::move(tag)) {}

    int run(int ms) {
        if (!reopen())
            return say(QStringLiteral("F ouverture")), 1;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms) {
            const int pick = m_rng.bounded(100);
            QElapsedTimer t;
            t.start();
            const char* op = pick < 5    ? "creation"
                             : pick < 30 ? "modification"
                             : pick < 60 ? "paiement"
                             : pick < 70 ? "reversement"
                             : pick < 90 ? "recherche"
                             : pick < 99 ? "annee"
                                         : "sauvegarde";
            const bool done = step(op);
            if (done)
                say(QStringLiteral("D %1 %2").arg(QLatin1String(op)).arg(t.nsecsElapsed() / 1000));
            QThread::msleep(m_rng.bounded(20));
        }
        say(QStringLiteral("E"));
        return 0;
    }

private:
    bool reopen() {
        for (int attempt = 0; attempt < 60; ++attempt) {
            Status s;
            m_store = Store::open(m_location, &s);
            if (m_store)
                return true;
            QThread::msleep(500);
        }
        return false;
    }

    // An operation whose failure said the server was away: the store is reopened only when it
    // cannot go on by itself; counted either way.
    template <class F> Status retried(F f) {
        Status s = f();
        for (int attempt = 0; !s && serverAway(s) && attempt < 40; ++attempt) {
            say(QStringLiteral("W %1").arg(s.message.section(u'\n', 0, 0)));
            QThread::msleep(250);
            s = f();
            if (!s && serverAway(s) && attempt == 20) {
                say(QStringLiteral("O"));
                reopen();
            }
        }
        return s;
    }

    qint64 anyAct() {
        std::optional<qint64> last;
        retried([&] { return m_store->acts().latestOfPair(QStringLiteral("*"), QStringLiteral("*"), &last); });
        if (!last)
            return 0;
        // Acts are numbered from 1 with few gaps: a random number at or below the latest.
        for (int i = 0; i < 20; ++i) {
            const qint64 n = 1 + m_rng.bounded(int(std::min<qint64>(*last, 1 << 30)));
            Act a;
            bool found = false;
            if (retried([&] { return m_store->acts().find(n, &a, &found); }) && found)
                return n;
        }
        return 0;
    }

    bool read(qint64 n, Act* a) {
        bool found = false;
        return retried([&] { return m_store->acts().find(n, a, &found); }) && found;
    }

    // A write whose answer was lost with the server is never made again blindly: what is stored
    // says whether it landed.
    Status written(const std::function<Status()>& write, const std::function<bool()>& landed) {
        Status s = write();
        if (!s && serverAway(s)) {
            say(QStringLiteral("W %1").arg(s.message.section(u'\n', 0, 0)));
            Act probe;
            if (!read(1, &probe) && !reopen())
                return s;
            if (landed())
                return Status::success();
            return Status::failure(StoreError::Failed, QStringLiteral("interrompu"));
        }
        return s;
    }

    bool step(const char* op) {
        const QString name = QLatin1String(op);
        const qint64 today = dayNumberOf(QDate::currentDate());
        if (name == QLatin1String("creation")) {
            Act a;
            a.surname = m_tag + QStringLiteral("N%1").arg(++m_counter);
            a.firstName = QStringLiteral("Nouvelle");
            a.date = today - m_rng.bounded(30);
            a.followedBy = m_rng.bounded(2) ? QStringLiteral("Dr MARTIN") : QStringLiteral("Dr LEFEBVRE");
            a.performedBy = m_rng.bounded(2) ? QStringLiteral("Dr MARTIN") : QStringLiteral("Dr LEFEBVRE");
            a.act = QStringLiteral("Accouchement");
            a.price = Money::fromEuros(300);
            a.excess = Money::fromEuros(m_rng.bounded(100));
            qint64 n = 0;
            const Status s = m_store->acts().append(a, &n);
            if (s)
                say(QStringLiteral("A %1 %2").arg(n).arg(a.surname));
            else
                report(QStringLiteral("creation"), s);
            return bool(s);
        }
        if (name == QLatin1String("modification") || name == QLatin1String("paiement")) {
            const qint64 n = anyAct();
            Act shown;
            if (!n || !read(n, &shown))
                return false;
            QThread::msleep(m_rng.bounded(5)); // the user typing
            Act edited = shown;
            Payer payer = Payer::Secu;
            qint64 amount = 0;
            QString token;
            if (name == QLatin1String("modification")) {
                token = m_tag + QString::number(++m_counter);
                edited.surname = token;
                edited.firstName = shown.surname;
            } else {
                payer = Payer(m_rng.bounded(3));
                amount = 100 * (1 + m_rng.bounded(5000));
                auto& total = payer == Payer::Secu            ? edited.paidSecu
                              : payer == Payer::Complementary ? edited.paidComplementary
                                                              : edited.paidExcess;
                total = Money::fromUnits(total.value_or(Money()).units() + amount);
            }
            const Receipt receipt{std::max(today - m_rng.bounded(3), shown.date.value_or(today)),
                                  kPaymentModes[m_rng.bounded(int(kPaymentModes.size()))]};
            const Status s = written([&] { return m_store->acts().update(shown, edited, false, receipt); },
                                     [&] {
                                         Act now;
                                         return read(n, &now) && now == edited;
                                     });
            if (s && token.isEmpty())
                say(QStringLiteral("P %1 %2 %3").arg(n).arg(payerCode(payer)).arg(amount));
            else if (s)
                say(QStringLiteral("S %1 %2").arg(n).arg(token));
            else if (s.error == StoreError::Changed)
                say(QStringLiteral("C %1").arg(n));
            else
                report(name, s);
            return bool(s);
        }
        if (name == QLatin1String("reversement")) {
            const qint64 n = anyAct();
            Act before;
            if (!n || !read(n, &before))
                return false;
            const qint64 amount = 100 * (1 + m_rng.bounded(1000));
            bool changed = false;
            const Status s = written(
                [&] {
                    return m_store->acts().addReversal(n, today, Money::fromUnits(amount), &changed,
                                                       PaymentMode::Transfer);
                },
                [&] {
                    // Landed when the act's sum paid over moved by this amount (no other workstation
                    // paid over on it meanwhile: rare, and then reported as interrupted).
                    Act now;
                    changed = read(n, &now) && now.reversed.value_or(Money()).units() ==
                                                   before.reversed.value_or(Money()).units() + amount;
                    return changed;
                });
            if (s && changed)
                say(QStringLiteral("R %1 %2").arg(n).arg(amount));
            else if (s)
                say(QStringLiteral("G %1").arg(n)); // deleted meanwhile
            else
                report(name, s);
            return bool(s);
        }
        if (name == QLatin1String("recherche") || name == QLatin1String("annee")) {
            const bool year = name == QLatin1String("annee");
            Period p{today - (year ? 365 : 31), today};
            SearchCriteria c;
            if (!year)
                c.performedBy = m_rng.bounded(2) ? QStringLiteral("Dr MARTIN") : QStringLiteral("Dr L*");
            qint64 rows = 0;
            std::optional<Money> total;
            const Status s = retried([&] {
                rows = 0;
                return m_store->acts().listing(
                    ListingKind::Search, p, c,
                    [&](const ListingRow&) {
                        ++rows;
                        return true;
                    },
                    &total);
            });
            if (!s)
                report(name, s);
            return bool(s);
        }
        // A backup of the whole base into a file of its own.
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("copie.mdb"));
        const Status s = retried([&] {
            QFile::remove(target);
            return isServerLocation(m_location) ? copyBase(m_location, target, true)
                                                : snapshotFile(m_location, target, kFileLockWaitMs);
        });
        if (!s)
            report(name, s);
        return bool(s);
    }

    void report(const QString& op, const Status& s) {
        // Another workstation holding the base a few seconds, or the server away: the user is told
        // and tries again; counted apart from faults.
        if (s.error == StoreError::Locked || s.message == QLatin1String("interrompu") || serverAway(s))
            say(QStringLiteral("X %1 %2").arg(op, s.message.section(u'\n', 0, 0)));
        else
            say(QStringLiteral("F %1 %2").arg(op, s.message.section(u'\n', 0, 0)));
    }

    QString m_location;
    QRandomGenerator m_rng;
    QString m_tag;
    std::shared_ptr<Store> m_store;
    int m_counter = 0;
};

double percentile(std::vector<double> v, double p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t rank = size_t(std::max<double>(1, std::ceil(p / 100.0 * double(v.size()))));
    return v[std::min(rank, v.size()) - 1];
}

int runAll(const QString& location, int seconds, int stations, const QString& restart) {
    Status s;
    auto store = Store::open(location, &s);
    if (!store) {
        say(QStringLiteral("ouverture impossible : ") + s.message);
        return 1;
    }
    // A few acts to start from.
    std::optional<qint64> any;
    store->acts().latestOfPair(QStringLiteral("*"), QStringLiteral("*"), &any);
    for (int i = 0; !any && i < 40; ++i) {
        Act a;
        a.surname = QStringLiteral("DEPART%1").arg(i);
        a.date = dayNumberOf(QDate::currentDate()) - 40;
        a.followedBy = QStringLiteral("Dr MARTIN");
        a.performedBy = QStringLiteral("Dr LEFEBVRE");
        a.price = Money::fromEuros(250);
        qint64 n = 0;
        if (!(s = store->acts().append(a, &n)))
            return say(QStringLiteral("départ : ") + s.message), 1;
    }
    std::vector<std::unique_ptr<QProcess>> workers;
    for (int i = 0; i < stations; ++i) {
        auto p = std::make_unique<QProcess>();
        p->setProgram(QCoreApplication::applicationFilePath());
        p->setArguments({QStringLiteral("worker"), location, QString::number(1000 + i), QString::number(seconds * 1000),
                         QStringLiteral("P%1x").arg(i)});
        p->setProcessChannelMode(QProcess::SeparateChannels);
        p->start();
        if (!p->waitForStarted())
            return say(QStringLiteral("poste %1 non démarré").arg(i)), 1;
        workers.push_back(std::move(p));
    }
    if (!restart.isEmpty()) {
        QThread::msleep(seconds * 500);
        QElapsedTimer t;
        t.start();
        const int rc = QProcess::execute(QStringLiteral("sh"), {QStringLiteral("-c"), restart});
        say(QStringLiteral("redémarrage du serveur au milieu : code %1, %2 ms").arg(rc).arg(t.elapsed()));
    }
    std::map<QString, std::vector<double>> times;
    std::map<std::pair<qint64, QString>, qint64> paid; // act, payer -> sum reported
    std::map<qint64, qint64> reversed;
    std::set<QString> tokens;
    int crashes = 0, faults = 0, interrupted = 0, waits = 0, reopened = 0, changed = 0;
    QStringList faultLines;
    for (auto& p : workers) {
        // Reading as it goes, so that a long run does not fill the pipe.
        QByteArray out;
        while (!p->waitForFinished(200))
            out += p->readAllStandardOutput();
        out += p->readAllStandardOutput();
        if (p->exitStatus() != QProcess::NormalExit || p->exitCode() != 0 || !out.contains("\nE\n"))
            ++crashes;
        for (const QByteArray& raw : out.split('\n')) {
            const QString line = QString::fromUtf8(raw);
            const QStringList f = line.split(u' ');
            const QString k = f.value(0);
            if (k == QLatin1String("D"))
                times[f.value(1)].push_back(f.value(2).toDouble() / 1000.0);
            else if (k == QLatin1String("P"))
                paid[{f.value(1).toLongLong(), f.value(2)}] += f.value(3).toLongLong();
            else if (k == QLatin1String("R"))
                reversed[f.value(1).toLongLong()] += f.value(2).toLongLong();
            else if (k == QLatin1String("S"))
                tokens.insert(f.value(2));
            else if (k == QLatin1String("C"))
                ++changed;
            else if (k == QLatin1String("X"))
                ++interrupted;
            else if (k == QLatin1String("W"))
                ++waits;
            else if (k == QLatin1String("O"))
                ++reopened;
            else if (k == QLatin1String("F")) {
                ++faults;
                faultLines << line;
            }
        }
    }

    // What the base and its journal hold.
    store = Store::open(location, &s);
    if (!store)
        return say(QStringLiteral("réouverture impossible : ") + s.message), 1;
    const Status base = checkBase(location);
    JournalCheck chain;
    s = store->journal().verify(&chain);
    std::map<std::pair<qint64, QString>, qint64> journalPaid;
    std::map<qint64, qint64> journalReversed;
    std::map<qint64, QString> lastName;
    int lostUpdates = 0, unreported = 0, entries = 0;
    std::set<QString> written;
    store->journal().each([&](const JournalEntry& e) {
        ++entries;
        if (!e.act)
            return true;
        if (e.kind == JournalKind::Payment)
            journalPaid[{*e.act, e.payer}] += e.amount.value_or(Money()).units();
        else if (e.kind == JournalKind::ReversalPaid)
            journalReversed[*e.act] += e.amount.value_or(Money()).units();
        for (const ColumnChange& c : e.changes) {
            if (c.column != QLatin1String("Nom"))
                continue;
            // Each change of a name was made over the name the act had then.
            if (e.kind == JournalKind::Modified && lastName.count(*e.act) &&
                c.before.value_or(QString()) != lastName[*e.act])
                ++lostUpdates;
            lastName[*e.act] = c.after.value_or(QString());
            if (e.kind == JournalKind::Modified) {
                if (!tokens.count(c.after.value_or(QString())))
                    ++unreported;
                written.insert(c.after.value_or(QString()));
            }
        }
        return true;
    });
    int lostPayments = 0, totalsOff = 0;
    for (const auto& [key, sum] : paid) {
        if (journalPaid[key] != sum)
            ++lostPayments;
    }
    for (const auto& [key, sum] : journalPaid) {
        if (!paid.count(key) && sum != 0)
            ++lostPayments; // a payment in the journal no workstation reported
    }
    for (const auto& [n, sum] : reversed) {
        if (journalReversed[n] != sum)
            ++lostPayments;
    }
    // Each act's running totals equal to its journal's payments.
    std::vector<qint64> numbers;
    for (const auto& [n, name] : lastName)
        numbers.push_back(n);
    std::vector<Act> acts;
    store->acts().findMany(numbers, &acts);
    for (const Act& a : acts) {
        auto units = [](const std::optional<Money>& m) { return m.value_or(Money()).units(); };
        if (units(a.paidSecu) != journalPaid[{a.number, payerCode(Payer::Secu)}] ||
            units(a.paidComplementary) != journalPaid[{a.number, payerCode(Payer::Complementary)}] ||
            units(a.paidExcess) != journalPaid[{a.number, payerCode(Payer::Patient)}] ||
            units(a.reversed) != journalReversed[a.number])
            ++totalsOff;
    }
    const int savesMissing = int(tokens.size()) - int(written.size());

    std::printf("%-14s %8s %9s %9s\n", "opération", "nombre", "p50 ms", "p95 ms");
    int operations = 0;
    for (const auto& [op, v] : times) {
        operations += int(v.size());
        std::printf("%-14s %8zu %9.2f %9.2f\n", qPrintable(op), v.size(), percentile(v, 50), percentile(v, 95));
    }
    std::printf("postes : %d, durée : %d s, opérations : %d, écritures du journal : %d\n", stations, seconds,
                operations, entries);
    std::printf("refusées car modifiées ailleurs : %d, interrompues (serveur absent ou base occupée) : %d, attentes du "
                "serveur : %d, réouvertures : %d\n",
                changed, interrupted, waits, reopened);
    std::printf("perdues : %d, paiements perdus ou en trop : %d, écritures non signalées : %d, enregistrements "
                "signalés absents : %d, totaux différents du journal : %d, chaîne : %s, base : %s, plantages : %d, "
                "échecs inattendus : %d\n",
                lostUpdates, lostPayments, unreported, savesMissing, totalsOff,
                chain.intact ? "intacte" : qPrintable(chain.problem), base ? "saine" : qPrintable(base.message),
                crashes, faults);
    for (const QString& l : faultLines.mid(0, 10))
        std::printf("  %s\n", qPrintable(l));
    std::fflush(stdout);
    const bool sound = s && chain.intact && base && lostUpdates == 0 && lostPayments == 0 && unreported == 0 &&
                       savesMissing == 0 && totalsOff == 0 && crashes == 0 && faults == 0 && operations > 0;
    return sound ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 6 && args[1] == QLatin1String("worker"))
        return Workstation(args[2], args[3].toUInt(), args[5]).run(args[4].toInt());
    if (args.size() >= 4 && args[1] == QLatin1String("run"))
        return runAll(args[2], args[3].toInt(), args.size() >= 5 ? args[4].toInt() : 4,
                      args.size() >= 6 ? args[5] : QString());
    std::fprintf(stderr, "Utilisation : soak run BASE SECONDES [POSTES] [COMMANDE-DE-REDÉMARRAGE]\n"
                         "              soak worker BASE GRAINE MILLISECONDES ÉTIQUETTE\n");
    return 2;
}
