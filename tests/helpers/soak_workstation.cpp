// SPDX-License-Identifier: GPL-3.0-or-later
// A workstation replaying a clinic's day through the data layer the screens use, for the soak run
// (scripts/soak.sh): keystroke searches, listings, new acts, payments saved on a shown act, sums
// paid over, now and then a backup, with short pauses. Each write is reported once its outcome is
// known; the check then compares the base with what every workstation reported.
//
//   soak_workstation snapshot LOCATION                     every act's payments and sums paid over
//   soak_workstation work LOCATION SEED SECONDS TAG DIR    works for SECONDS, backups into DIR
//   soak_workstation check LOCATION SNAPSHOT REPORT...     compares, prints counts and timings
//
// Report lines: "D op ms" (an operation and its time), "A number token" (an act created),
// "P number units" (a payment saved), "R number units" (a sum paid over), "U kind number units"
// (a write whose outcome was not known), "C" (another workstation saved first), "L message"
// (the server went away, nothing written), "F op message" (anything else), "E" (the end).
#include "domain/BackupEngine.h"
#include "domain/ServerBackup.h"
#include "store/BrowsedResult.h"
#include "store/Store.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QMap>
#include <QRandomGenerator>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace obs;

namespace {

void say(const QString& line) {
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QString oneLine(const QString& text) {
    return text.simplified();
}

// Every act as stored, through the record buttons' cursor.
Status allActs(Store& store, std::vector<Act>* acts) {
    Status s;
    auto cursor = store.browse(BrowseQuery::allActs(), &s);
    if (!cursor)
        return s;
    for (s = cursor->moveFirst(); s && !cursor->eof(); s = cursor->moveNext()) {
        BrowsedRecord r;
        s = cursor->current(&r);
        if (!s)
            return s;
        if (const Act* a = std::get_if<Act>(&r))
            acts->push_back(*a);
    }
    return s;
}

qint64 units(const std::optional<Money>& m) {
    return m ? m->units() : 0;
}

int snapshot(Store& store) {
    std::vector<Act> acts;
    const Status s = allActs(store, &acts);
    if (!s)
        return say(QStringLiteral("F lecture ") + oneLine(s.message)), 1;
    for (const Act& a : acts)
        say(QStringLiteral("S %1 %2 %3").arg(a.number).arg(units(a.paidSecu)).arg(units(a.reversed)));
    return 0;
}

// What the user sees of a failure: expected ones (another workstation first, the server away
// during its restart) apart from the rest.
void failed(const char* op, const Status& s, const QString& uncertain) {
    if (s.error == StoreError::Changed)
        say(QStringLiteral("C"));
    else if (s.error == StoreError::ConnectionLost && s.message.contains(QStringLiteral("pas certain")))
        say(QStringLiteral("U ") + uncertain);
    else if (s.error == StoreError::ConnectionLost)
        say(QStringLiteral("L ") + oneLine(s.message));
    else
        say(QStringLiteral("F %1 %2").arg(QString::fromLatin1(op), oneLine(s.message)));
}

int work(const QString& location, quint32 seed, int seconds, const QString& tag, const QString& backupDir) {
    QRandomGenerator rng(seed);
    QElapsedTimer opened;
    opened.start();
    Status s;
    std::shared_ptr<Store> store = Store::open(location, &s);
    if (!store)
        return say(QStringLiteral("F ouverture ") + oneLine(s.message)), 1;
    say(QStringLiteral("D ouverture %1").arg(opened.elapsed()));
    std::vector<Act> acts;
    s = allActs(*store, &acts);
    if (!s || acts.empty())
        return say(QStringLiteral("F lecture ") + oneLine(s.message)), 1;
    std::vector<qint64> numbers;
    std::vector<qint64> days; // the days the clinic worked
    for (const Act& a : acts) {
        numbers.push_back(a.number);
        if (a.date)
            days.push_back(*a.date);
    }
    if (days.empty())
        days.push_back(45000);
    auto someDay = [&] { return days[rng.bounded(int(days.size()))]; };
    const QStringList prefixes{QStringLiteral("B"),  QStringLiteral("D"),  QStringLiteral("DU"), QStringLiteral("L"),
                               QStringLiteral("MA"), QStringLiteral("PE"), QStringLiteral("SO"), QStringLiteral("R")};
    BrowsedResult browsed;
    QElapsedTimer clock;
    clock.start();
    qint64 nextBackup = tag.endsWith(u'1') ? 5000 : -1;
    int created = 0;
    while (clock.elapsed() < qint64(seconds) * 1000) {
        QThread::msleep(rng.bounded(150));
        const int op = rng.bounded(100);
        // Half the time one of the day's few patients, whom several workstations handle at once.
        const qint64 n =
            numbers[rng.bounded(rng.bounded(2) ? std::min<int>(8, int(numbers.size())) : int(numbers.size()))];
        QElapsedTimer t;
        t.start();
        if (nextBackup >= 0 && clock.elapsed() >= nextBackup) {
            nextBackup = clock.elapsed() + 30000;
            QString why;
            const QString file = backupFileIn(backupDir);
            const bool done =
                isServerLocation(location) ? backupServer(location, file, &why) : backupDatabase(location, file, &why);
            if (!done)
                say(QStringLiteral("F sauvegarde ") + oneLine(why));
            else
                say(QStringLiteral("D sauvegarde %1").arg(t.elapsed()));
        } else if (op < 30) {
            // A keystroke search, then the next record, as the main window does.
            s = browsed.isOpen() ? Status::success() : browsed.open(*store, BrowseQuery::actsByName());
            bool matched = false;
            BrowsedRecord record;
            if (s)
                s = browsed.findFirst(prefixes[rng.bounded(int(prefixes.size()))], &matched, &record);
            if (s && matched)
                s = browsed.step(BrowsedResult::Move::Next, &record);
            if (!s && s.error != StoreError::NoCurrentRecord) {
                browsed.reset();
                failed("recherche", s, {});
            } else {
                say(QStringLiteral("D recherche %1").arg(t.elapsed()));
            }
        } else if (op < 45) {
            // A month's listing with its total.
            const qint64 first = someDay() - 15;
            qint64 rows = 0;
            std::optional<Money> total;
            s = store->acts().listing(
                ListingKind::Search, Period{first, first + 30}, {},
                [&](const ListingRow&) {
                    ++rows;
                    return true;
                },
                &total);
            if (!s && s.error != StoreError::TotalMissing)
                failed("liste", s, {});
            else
                say(QStringLiteral("D liste %1").arg(t.elapsed()));
        } else if (op < 55) {
            Act a;
            const QString token = tag + QString::number(++created);
            a.surname = QStringLiteral("SOAK") + token;
            a.firstName = QStringLiteral("Journée");
            a.date = someDay();
            a.followedBy = QStringLiteral("Dr SOAK");
            a.performedBy = QStringLiteral("Dr SOAK");
            a.act = QStringLiteral("Consultation");
            a.price = Money::fromEuros(20 + rng.bounded(300));
            qint64 number = 0;
            s = store->acts().append(a, &number);
            if (!s) {
                failed("creation", s, QStringLiteral("A 0 ") + token);
            } else {
                say(QStringLiteral("A %1 %2").arg(number).arg(token));
                say(QStringLiteral("D creation %1").arg(t.elapsed()));
                numbers.push_back(number);
            }
        } else if (op < 85) {
            // A payment typed on the shown act and saved: the save compares with the act as shown.
            Act shown;
            bool found = false;
            s = store->acts().find(n, &shown, &found);
            if (!s || !found) {
                failed("lecture", s ? Status::failure(StoreError::Failed, QStringLiteral("acte absent")) : s, {});
                continue;
            }
            QThread::msleep(rng.bounded(40));
            const qint64 amount = 1 + rng.bounded(500000);
            Act edited = shown;
            edited.paidSecu = Money::fromUnits(units(shown.paidSecu) + amount);
            t.restart();
            s = store->acts().update(shown, edited, false);
            if (!s) {
                failed("paiement", s, QStringLiteral("P %1 %2").arg(n).arg(amount));
            } else {
                say(QStringLiteral("P %1 %2").arg(n).arg(amount));
                say(QStringLiteral("D paiement %1").arg(t.elapsed()));
            }
        } else {
            const qint64 amount = 1 + rng.bounded(300000);
            bool changed = false;
            s = store->acts().addReversal(n, someDay(), Money::fromUnits(amount), &changed);
            if (!s) {
                failed("reversement", s, QStringLiteral("R %1 %2").arg(n).arg(amount));
            } else if (!changed) {
                say(QStringLiteral("F reversement acte %1 absent").arg(n));
            } else {
                say(QStringLiteral("R %1 %2").arg(n).arg(amount));
                say(QStringLiteral("D reversement %1").arg(t.elapsed()));
            }
        }
    }
    say(QStringLiteral("E"));
    return 0;
}

qint64 percentile(std::vector<qint64> v, int p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t((v.size() - 1) * p / 100.0 + 0.5))];
}

int check(Store& store, const QString& snapshotFile, const QStringList& reports) {
    struct Sums {
        qint64 paid = 0, reversed = 0, paidUnknown = 0, reversedUnknown = 0;
    };
    QHash<qint64, Sums> before, written;
    QHash<qint64, QString> createdAs;
    QHash<QString, qint64> createdUnknown;
    QMap<QString, std::vector<qint64>> times;
    int conflicts = 0, lost = 0, uncertain = 0, unexpected = 0, ended = 0, lines = 0;
    QFile snap(snapshotFile);
    if (!snap.open(QIODevice::ReadOnly))
        return say(QStringLiteral("Instantané illisible : ") + snapshotFile), 1;
    for (const QByteArray& line : snap.readAll().split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() == 4 && f[0] == "S")
            before[f[1].toLongLong()] = {f[2].toLongLong(), f[3].toLongLong(), 0, 0};
    }
    for (const QString& report : reports) {
        QFile in(report);
        if (!in.open(QIODevice::ReadOnly))
            return say(QStringLiteral("Rapport illisible : ") + report), 1;
        for (const QByteArray& raw : in.readAll().split('\n')) {
            const QString line = QString::fromUtf8(raw);
            const QStringList f = line.split(u' ');
            if (line.isEmpty())
                continue;
            ++lines;
            const QString& k = f[0];
            if (k == u"D" && f.size() == 3) {
                times[f[1]].push_back(f[2].toLongLong());
            } else if (k == u"A" && f.size() == 3) {
                createdAs[f[1].toLongLong()] = f[2];
            } else if (k == u"P" && f.size() == 3) {
                written[f[1].toLongLong()].paid += f[2].toLongLong();
            } else if (k == u"R" && f.size() == 3) {
                written[f[1].toLongLong()].reversed += f[2].toLongLong();
            } else if (k == u"U" && f.size() == 4) {
                ++uncertain;
                if (f[1] == u"P")
                    written[f[2].toLongLong()].paidUnknown += f[3].toLongLong();
                else if (f[1] == u"R")
                    written[f[2].toLongLong()].reversedUnknown += f[3].toLongLong();
                else
                    createdUnknown[f[3]] = 0;
            } else if (k == u"C") {
                ++conflicts;
            } else if (k == u"L") {
                ++lost;
            } else if (k == u"E") {
                ++ended;
            } else {
                ++unexpected;
                say(QStringLiteral("Message inattendu (%1) : %2").arg(report, line));
            }
        }
    }
    std::vector<Act> acts;
    Status s = allActs(store, &acts);
    if (!s)
        return say(QStringLiteral("Lecture de la base : ") + oneLine(s.message)), 1;
    int lostWrites = 0, corrupt = 0, created = 0;
    QHash<qint64, bool> seen;
    for (const Act& a : acts) {
        seen[a.number] = true;
        const Sums b = before.value(a.number);
        const Sums w = written.value(a.number);
        const qint64 paid = units(a.paidSecu) - b.paid - w.paid;
        const qint64 reversed = units(a.reversed) - b.reversed - w.reversed;
        if (paid < 0 || paid > w.paidUnknown || reversed < 0 || reversed > w.reversedUnknown) {
            ++lostWrites;
            say(QStringLiteral("Acte %1 : payé %2 au lieu de %3, reversé %4 au lieu de %5")
                    .arg(a.number)
                    .arg(units(a.paidSecu))
                    .arg(b.paid + w.paid)
                    .arg(units(a.reversed))
                    .arg(b.reversed + w.reversed));
        }
        if (a.surname.startsWith(QStringLiteral("SOAK"))) {
            ++created;
            const QString token = a.surname.mid(4);
            if (createdAs.value(a.number) != token && !createdUnknown.contains(token)) {
                ++corrupt;
                say(QStringLiteral("Acte %1 « %2 » créé sans qu'un poste l'ait su").arg(a.number).arg(a.surname));
            }
        } else if (!before.contains(a.number)) {
            ++corrupt;
            say(QStringLiteral("Acte %1 inconnu").arg(a.number));
        }
    }
    for (auto it = createdAs.cbegin(); it != createdAs.cend(); ++it) {
        if (!seen.contains(it.key())) {
            ++lostWrites;
            say(QStringLiteral("Acte créé %1 (%2) absent").arg(it.key()).arg(it.value()));
        }
    }
    say(QStringLiteral("Base : %1 actes (%2 créés pendant l'essai), %3 lignes de rapport de %4 postes")
            .arg(acts.size())
            .arg(created)
            .arg(lines)
            .arg(reports.size()));
    for (auto it = times.cbegin(); it != times.cend(); ++it)
        say(QStringLiteral("  %1 : %2 fois, p50 %3 ms, p95 %4 ms")
                .arg(it.key(), -12)
                .arg(it.value().size(), 6)
                .arg(percentile(it.value(), 50), 4)
                .arg(percentile(it.value(), 95), 4));
    say(QStringLiteral("Conflits (un autre poste d'abord) : %1 ; serveur absent, rien écrit : %2 ; issue inconnue : %3")
            .arg(conflicts)
            .arg(lost)
            .arg(uncertain));
    const int crashed = int(reports.size()) - ended;
    say(QStringLiteral("Perdus : %1 ; corrompus : %2 ; postes arrêtés avant la fin : %3 ; messages inattendus : %4")
            .arg(lostWrites)
            .arg(corrupt)
            .arg(crashed)
            .arg(unexpected));
    // A write whose outcome stayed unknown (the server away longer than a connection waits) is
    // told to the user as such; the sums above allow for either outcome.
    return lostWrites || corrupt || crashed || unexpected ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3)
        return 2;
    const QString& mode = args[1];
    if (mode == u"work" && args.size() == 7)
        return work(args[2], args[3].toUInt(), args[4].toInt(), args[5], args[6]);
    Status s;
    std::shared_ptr<Store> store = Store::open(args[2], &s);
    if (!store)
        return say(QStringLiteral("F ouverture ") + oneLine(s.message)), 1;
    if (mode == u"snapshot")
        return snapshot(*store);
    if (mode == u"check" && args.size() >= 5)
        return check(*store, args[3], args.mid(4));
    return 2;
}
