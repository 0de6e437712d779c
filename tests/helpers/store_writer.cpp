// A workstation doing the program's own writes through the data layer, for the reliability tests:
// saves of a shown act, new acts and sums paid over, each reported on the standard output once
// committed (and, in "crash" mode, announced before it starts).
//
//   store_writer crash PATH SEED REPORT     writes until killed, reports into the file REPORT
//   store_writer duel PATH SEED MS TAG      writes for MS milliseconds on the acts present
#include "store/Store.h"
#include "store/sqlite/SqliteStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QThread>

#include <cstdio>
#include <vector>

using namespace obs;

namespace {

// Where the reports go: the standard output, or a file that keeps them through a kill.
std::FILE* g_report = stdout;

void say(const QString& line) {
    std::fputs(line.toUtf8().constData(), g_report);
    std::fputc('\n', g_report);
    std::fflush(g_report);
}

std::vector<qint64> actNumbers(SqliteStore& store) {
    std::vector<qint64> numbers;
    store.database().queryRaw(QStringLiteral("SELECT NUMINT FROM ACTES ORDER BY NUMINT"), {}, [&](const Row& r) {
        numbers.push_back(r.values().value(0).toLongLong());
        return true;
    });
    return numbers;
}

// Every column the writes touch holds one figure k: a row mixing two figures was written in part.
Act actOf(qint64 k, const Act& base) {
    Act a = base;
    const QString t = QString::number(k);
    a.surname = u'C' + t;
    a.firstName = u'C' + t;
    a.date = 40000 + k % 1000;
    a.followedBy = u'P' + t;
    a.performedBy = u'P' + t;
    a.act = u'A' + t;
    a.code = t;
    for (QString& line : a.secondary)
        line = t;
    // Whole cents, as the store takes money: k cents.
    const Money cents = Money::fromUnits(k * (Money::Scale / 100));
    a.price = a.excess = a.paidSecu = a.paidComplementary = a.paidExcess = cents;
    return a;
}

int crash(SqliteStore& store, QRandomGenerator& rng) {
    std::vector<qint64> numbers = actNumbers(store);
    for (;;) {
        const qint64 k = 1 + rng.bounded(1000000000);
        const int op = numbers.empty() ? 0 : rng.bounded(3);
        if (op == 0) {
            say(QStringLiteral("P A 0 %1").arg(k));
            qint64 n = 0;
            Act a = actOf(k, Act{});
            a.paidSecu = a.paidComplementary = a.paidExcess = Money();
            const Status s = store.acts().append(a, &n);
            if (!s)
                return say(QStringLiteral("F ") + s.message), 1;
            numbers.push_back(n);
            say(QStringLiteral("K A %1 %2").arg(n).arg(k));
        } else {
            const qint64 n = numbers[rng.bounded(int(numbers.size()))];
            if (op == 1) {
                Act shown;
                bool found = false;
                Status s = store.acts().find(n, &shown, &found);
                if (!s || !found)
                    return say(QStringLiteral("F lecture %1").arg(n)), 1;
                say(QStringLiteral("P U %1 %2").arg(n).arg(k));
                s = store.acts().update(shown, actOf(k, shown), true);
                if (!s)
                    return say(QStringLiteral("F ") + s.message), 1;
                say(QStringLiteral("K U %1 %2").arg(n).arg(k));
            } else {
                const qint64 amount = (1 + k % 1000000) * (Money::Scale / 100);
                say(QStringLiteral("P R %1 %2").arg(n).arg(amount));
                bool changed = false;
                const Status s = store.acts().addReversal(n, 40000 + k % 1000, Money::fromUnits(amount), &changed);
                if (!s || !changed)
                    return say(QStringLiteral("F ") + s.message), 1;
                say(QStringLiteral("K R %1 %2").arg(n).arg(amount));
            }
        }
    }
}

int duel(SqliteStore& store, QRandomGenerator& rng, int ms, const QString& tag) {
    std::vector<qint64> numbers = actNumbers(store);
    if (numbers.empty())
        return say(QStringLiteral("F aucun acte")), 1;
    QElapsedTimer clock;
    clock.start();
    int counter = 0;
    while (clock.elapsed() < ms) {
        const int op = rng.bounded(10);
        const qint64 n = numbers[rng.bounded(int(numbers.size()))];
        if (op < 5) {
            // A save: the act as shown a moment ago, its name changed, the name it had kept in the
            // first name, so that the chain of saves of an act can be followed.
            Act shown;
            bool found = false;
            Status s = store.acts().find(n, &shown, &found);
            if (!s || !found) {
                say(QStringLiteral("F lecture %1 %2").arg(n).arg(s.message));
                continue;
            }
            QThread::usleep(rng.bounded(3000));
            Act edited = shown;
            const QString token = tag + QString::number(++counter);
            edited.surname = token;
            edited.firstName = shown.surname;
            // Each save also records a payment received from the national insurance.
            edited.paidSecu = Money::fromUnits(shown.paidSecu.value_or(Money()).units() +
                                               (1 + rng.bounded(100000)) * (Money::Scale / 100));
            s = store.acts().update(shown, edited, false);
            if (s)
                say(QStringLiteral("S %1 %2").arg(n).arg(token));
            else if (s.error == StoreError::Changed)
                say(QStringLiteral("C %1").arg(n));
            else
                say(QStringLiteral("F enregistrement %1 %2").arg(n).arg(s.message));
        } else if (op < 9) {
            const qint64 amount = (1 + rng.bounded(1000000)) * (Money::Scale / 100);
            bool changed = false;
            const Status s = store.acts().addReversal(n, 40000, Money::fromUnits(amount), &changed);
            if (s && changed)
                say(QStringLiteral("R %1 %2").arg(n).arg(amount));
            else
                say(QStringLiteral("F reversement %1 %2").arg(n).arg(s.message));
        } else {
            qint64 number = 0;
            Act a;
            a.surname = tag + QStringLiteral("nouveau");
            a.price = Money::fromEuros(100);
            const Status s = store.acts().append(a, &number);
            say(s ? QStringLiteral("A %1").arg(number) : QStringLiteral("F ajout ") + s.message);
        }
    }
    say(QStringLiteral("E"));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4)
        return 2;
    Status status;
    auto store = SqliteStore::open(args[2], &status);
    if (!store) {
        say(QStringLiteral("F ouverture ") + status.message);
        return 1;
    }
    QRandomGenerator rng(args[3].toUInt());
    if (args[1] == QLatin1String("crash") && args.size() >= 5) {
        g_report = std::fopen(args[4].toLocal8Bit().constData(), "w");
        if (!g_report)
            return 1;
        return crash(*store, rng);
    }
    if (args[1] == QLatin1String("duel") && args.size() >= 6)
        return duel(*store, rng, args[4].toInt(), args[5]);
    return 2;
}
