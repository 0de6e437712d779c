// SPDX-License-Identifier: GPL-3.0-or-later
// The journal of the acts over either engine: written in the transaction of each change, read for an
// act's history and checked link by link.
#include "store/BulkSide.h"
#include "store/SqlStore.h"
#include "store/Tables.h"

#include <algorithm>

#include <QDateTime>

namespace obs {

namespace {

constexpr const char* kEntryColumns[] = {"NUMJ", "ECRIT",   "NUMINT", "NATURE", "RECULE",      "PAYEUR", "BENEFICIAIRE",
                                         "MODE", "MONTANT", "DETAIL", "POSTE",  "UTILISATEUR", "HASH"};
constexpr int kPerformerColumn = 13;    // MEDACTE, after HASH
constexpr int kPerformerTakenOver = 14; // MEDREPRISE

Status withoutJournal() {
    return Status::failure(StoreError::ReadOnly,
                           QStringLiteral("Cette base n'a pas encore de journal des actes : rien ne peut y être "
                                          "enregistré avant sa mise à jour (obsledger-admin upgrade)."));
}

} // namespace

SqlStore::SqlStore(std::shared_ptr<Connection> db, const Dialect& dialect) : m_db(std::move(db)), m_sql(dialect) {
    m_hasJournal = bool(m_db->run(QStringLiteral("SELECT %1 FROM %2").arg(n("NUMJ"), n("JOURNAL_TETE")), {}));
    m_journalPerformer =
        m_hasJournal &&
        bool(m_db->run(QStringLiteral("SELECT %1, %2 FROM %3 LIMIT 0").arg(n("MEDACTE"), n("MEDREPRISE"), n("JOURNAL")),
                       {}));
}

QStringList SqlStore::entryColumns() const {
    QStringList names;
    for (const char* c : kEntryColumns)
        names << n(c);
    if (m_journalPerformer)
        names << n("MEDACTE") << n("MEDREPRISE");
    return names;
}

Status SqlStore::journaled(const QStringList& tables, const std::function<Status(std::vector<JournalEntry>*)>& change) {
    if (!m_hasJournal)
        return withoutJournal();
    Status s = m_db->beginWriting(QStringList{n("JOURNAL_TETE")} + tables);
    if (!s)
        return s;
    std::vector<JournalEntry> entries;
    s = change(&entries);
    if (s && !entries.empty())
        s = appendEntries(&entries);
    if (s)
        s = m_db->commit();
    if (!s)
        m_db->rollback();
    return s;
}

Status SqlStore::appendEntries(std::vector<JournalEntry>* entries) {
    JournalHead head;
    Status s = readHead(&head);
    if (s)
        s = insertEntries(entries, &head);
    if (s)
        s = writeHead(head);
    return s;
}

Status SqlStore::readHead(JournalHead* head) {
    head->number = -1;
    Status s = m_db->run(QStringLiteral("SELECT %1, %2 FROM %3").arg(n("NUMJ"), n("HASH"), n("JOURNAL_TETE")), {},
                         [&](const SqlRow& r) {
                             head->number = r.integer(0).value_or(-1);
                             head->hash = r.text(1);
                             return false;
                         });
    if (s && head->number < 0)
        s = Status::failure(StoreError::Failed,
                            QStringLiteral("La tête du journal des actes est absente : la base a été modifiée hors du "
                                           "programme (obsledger-admin journal verify)."));
    return s;
}

Status SqlStore::writeHead(const JournalHead& head) {
    return m_db->run(QStringLiteral("UPDATE %1 SET %2 = ?, %3 = ?").arg(n("JOURNAL_TETE"), n("NUMJ"), n("HASH")),
                     {bound(head.number), head.hash});
}

Status SqlStore::insertEntries(std::vector<JournalEntry>* entries, JournalHead* head) {
    const QString writtenAt = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    const QString role = m_db->role();
    const QString user = role.isEmpty() ? journalLogin() : QStringLiteral("%1 (%2)").arg(journalLogin(), role);
    const QStringList names = entryColumns();
    const QString row = u'(' + bulkMarks(names.size()) + u')';
    const QString insert = QStringLiteral("INSERT INTO %1 (%2) VALUES ").arg(n("JOURNAL"), names.join(u','));
    // A few hundred entries a statement: an upgrade writes millions.
    constexpr std::size_t chunk = 200;
    for (std::size_t first = 0; first < entries->size(); first += chunk) {
        const std::size_t last = std::min(entries->size(), first + chunk);
        QVariantList binds;
        QStringList rows;
        for (std::size_t i = first; i < last; ++i) {
            JournalEntry& e = (*entries)[i];
            e.number = ++head->number;
            e.writtenAt = writtenAt;
            e.workstation = journalWorkstation();
            e.user = user;
            // A journal not yet given the performer's columns (a server until its owner upgrades it)
            // takes the entry without it: the upgrade gives it the act's performer then.
            if (!m_journalPerformer)
                e.performer.clear();
            e.hash = chainHash(head->hash, e);
            head->hash = e.hash;
            binds << bound(e.number) << e.writtenAt << (e.act ? bound(*e.act) : QVariant()) << journalKindCode(e.kind)
                  << bound(e.receivedOn) << (e.payer.isEmpty() ? QVariant() : QVariant(e.payer))
                  << (e.payee.isEmpty() ? QVariant() : QVariant(e.payee))
                  << (e.mode ? QVariant(paymentModeCode(*e.mode)) : QVariant()) << bound(e.amount)
                  << (e.changes.empty() ? QVariant() : QVariant(changesText(e.changes))) << bound(e.workstation)
                  << bound(e.user) << e.hash;
            if (m_journalPerformer)
                binds << (e.performer.isEmpty() ? QVariant() : QVariant(e.performer))
                      << (e.performerTakenOver.isEmpty() ? QVariant() : QVariant(e.performerTakenOver));
            rows << row;
        }
        if (Status s = m_db->run(insert + rows.join(u','), binds); !s)
            return s;
    }
    return Status::success();
}

Status SqlStore::readEntries(const QString& where, const QVariantList& binds,
                             const std::function<bool(const JournalEntry&)>& each) {
    if (!m_hasJournal)
        return Status::success();
    const QString sql = QStringLiteral("SELECT %1 FROM %2 %3 ORDER BY %4")
                            .arg(entryColumns().join(u','), n("JOURNAL"), where, n("NUMJ"));
    return m_db->run(sql, binds, [&](const SqlRow& r) {
        JournalEntry e;
        e.number = r.integer(0).value_or(0);
        e.writtenAt = r.text(1);
        e.act = r.integer(2);
        // An unknown kind or mode (an edited base) keeps its hash from matching, never stops the reading.
        e.kind = journalKindOf(r.text(3)).value_or(JournalKind::Modified);
        e.receivedOn = r.integer(4);
        e.payer = r.text(5);
        e.payee = r.text(6);
        if (!r.isNull(7))
            e.mode = paymentModeOf(r.text(7)).value_or(PaymentMode::Other);
        e.amount = r.isNull(8) ? std::nullopt : r.money(8);
        e.changes = changesOf(r.text(9)).value_or(std::vector<ColumnChange>{{QStringLiteral("?"), r.text(9), {}}});
        e.workstation = r.text(10);
        e.user = r.text(11);
        e.hash = r.text(12);
        if (m_journalPerformer) {
            e.performer = r.text(kPerformerColumn);
            e.performerTakenOver = r.text(kPerformerTakenOver);
        }
        return each(e);
    });
}

Status SqlStore::ofAct(qint64 number, std::vector<JournalEntry>* entries) {
    entries->clear();
    return readEntries(QStringLiteral("WHERE %1 = ?").arg(n("NUMINT")), {bound(number)}, [&](const JournalEntry& e) {
        entries->push_back(e);
        return true;
    });
}

Status SqlStore::each(const std::function<bool(const JournalEntry&)>& each) {
    return readEntries(QString(), {}, each);
}

Status SqlStore::verify(JournalCheck* check) {
    *check = {};
    if (!m_hasJournal) {
        check->intact = false;
        check->problem = QStringLiteral("la base n'a pas de journal.");
        return Status::success();
    }
    // One snapshot: the head and the entries as one moment left them.
    Status s = m_db->beginReading();
    if (!s)
        return s;
    qint64 headNumber = 0;
    QString headHash;
    s = m_db->run(QStringLiteral("SELECT %1, %2 FROM %3").arg(n("NUMJ"), n("HASH"), n("JOURNAL_TETE")), {},
                  [&](const SqlRow& r) {
                      headNumber = r.integer(0).value_or(0);
                      headHash = r.text(1);
                      return false;
                  });
    // Each entry's fields hashed as the base holds them, without decoding them.
    JournalVerifier verifier;
    const QStringList names = entryColumns();
    constexpr int numbers[] = {2, 4, 7, 8}; // NUMINT, RECULE, MODE, MONTANT: "-" when missing
    if (s)
        s = m_db->run(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3").arg(names.join(u','), n("JOURNAL"), n("NUMJ")),
                      {}, [&](const SqlRow& r) {
                          // Kinds and numbers first: a column read as text is converted in place.
                          const qint64 number = r.integer(0).value_or(0);
                          bool missing[kCanonicalFields] = {};
                          for (const int c : numbers)
                              missing[c] = r.isNull(c);
                          std::array<QByteArrayView, kCanonicalFields> fields;
                          for (int c = 0; c < kCanonicalFields; ++c)
                              fields[size_t(c)] = missing[c] ? QByteArrayView("-") : r.utf8(c);
                          // MEDACTE is in the text of the entries written with it; MEDREPRISE never.
                          const std::optional<QByteArrayView> performer =
                              m_journalPerformer && !r.isNull(kPerformerColumn)
                                  ? std::optional(r.utf8(kPerformerColumn))
                                  : std::nullopt;
                          return verifier.add(number, canonicalText(fields, performer), r.utf8(12));
                      });
    m_db->rollback();
    if (s)
        *check = verifier.finish(headNumber, headHash);
    return s;
}

Status SqlStore::create(qint64* opened) {
    *opened = 0;
    if (m_hasJournal && m_journalPerformer)
        return Status::success();
    if (m_hasJournal) {
        Status s = m_db->beginWriting({n("JOURNAL"), n("JOURNAL_TETE")});
        if (s)
            s = addPerformerColumns();
        if (s)
            s = m_db->commit();
        if (!s) {
            m_db->rollback();
            m_journalPerformer = false;
        }
        return s;
    }
    Status s = m_db->beginWriting({});
    for (const QString& statement : m_sql.journalSchema()) {
        if (s)
            s = m_db->run(statement, {});
    }
    // What each act held is carried over as undated opening entries, in the same transaction.
    m_hasJournal = m_journalPerformer = bool(s);
    if (s)
        s = openEveryAct(opened);
    if (s)
        s = m_db->commit();
    if (!s) {
        m_db->rollback();
        m_hasJournal = m_journalPerformer = false;
        *opened = 0;
    }
    return s;
}

Status SqlStore::addPerformerColumns() {
    Status s;
    for (const QString& statement : m_sql.journalPerformerSchema(true)) {
        if (s)
            s = m_db->run(statement, {});
    }
    // Written once, here: a later upgrade finds the columns and leaves every entry as it stands.
    if (s)
        s = m_db->run(performerFillStatement(m_sql), {});
    for (const QString& statement : m_sql.journalPerformerSchema(false)) {
        if (s)
            s = m_db->run(statement, {});
    }
    m_journalPerformer = bool(s);
    return s;
}

Status SqlStore::appendJournaledActs(const JournaledActSource& source, qint64* added) {
    *added = 0;
    if (!m_hasJournal)
        return withoutJournal();
    Status s = m_db->beginWriting({n("JOURNAL_TETE"), n("ACTES")});
    if (!s)
        return s;
    JournalHead head;
    s = readHead(&head);
    QStringList names;
    const std::span<const BulkColumn> written = bulkActs().subspan(1); // NUMINT is the base's to give
    for (const BulkColumn& c : written)
        names << n(c.name);
    const QString row = u'(' + QStringLiteral("?,").repeated(qsizetype(written.size()) - 1) + QStringLiteral("?)");
    const QString insert = QStringLiteral("INSERT INTO %1 (%2) VALUES ").arg(n("ACTES"), names.join(u','));
    // Several hundred acts a statement: a million acts is a few thousand statements, not a million.
    constexpr std::size_t chunk = 500;
    std::vector<std::vector<JournalEntry>> pending;
    std::vector<JournalEntry> entries;
    for (bool more = true; s && more;) {
        pending.clear();
        entries.clear();
        QVariantList binds;
        QStringList rows;
        while (pending.size() < chunk) {
            Act act;
            std::vector<JournalEntry> accounted;
            if (!source(&act, &accounted)) {
                more = false;
                break;
            }
            appendActValues(act, true, &binds);
            rows << row;
            pending.push_back(std::move(accounted));
        }
        if (pending.empty())
            break;
        std::vector<qint64> numbers;
        s = m_db->run(insert + rows.join(u',') + QStringLiteral(" RETURNING ") + n("NUMINT"), binds,
                      [&](const SqlRow& r) {
                          numbers.push_back(r.integer(0).value_or(0));
                          return true;
                      });
        if (s && numbers.size() != pending.size())
            s = Status::failure(StoreError::Failed,
                                QStringLiteral("Les numéros des actes ajoutés n'ont pas été rendus."));
        if (!s)
            break;
        // The rows of one statement take their numbers in the order given; the answer need not
        // come in that order.
        std::sort(numbers.begin(), numbers.end());
        for (std::size_t i = 0; i < pending.size(); ++i) {
            for (JournalEntry& e : pending[i]) {
                e.act = numbers[i];
                entries.push_back(std::move(e));
            }
        }
        s = insertEntries(&entries, &head);
        if (s)
            *added += qint64(pending.size());
    }
    if (s)
        s = writeHead(head);
    if (s)
        s = m_db->commit();
    if (!s) {
        m_db->rollback();
        *added = 0;
    }
    return s;
}

Status SqlStore::openEveryAct(qint64* opened) {
    *opened = 0;
    if (!m_hasJournal)
        return withoutJournal();
    JournalHead head;
    Status s = readHead(&head);
    if (s && head.number != 0)
        s = Status::failure(StoreError::Failed,
                            QStringLiteral("Le journal des actes de la destination n'est pas vide : les écritures "
                                           "d'ouverture n'y ont pas été ajoutées."));
    std::optional<qint64> after;
    std::vector<JournalEntry> entries;
    for (bool more = true; s && more;) {
        entries.clear();
        QVariantList binds;
        if (after)
            binds << bound(*after);
        qint64 read = 0;
        s = m_db->run(QStringLiteral("SELECT %1, %2, %3, %4, %5, %6, %7 FROM %8 %9 ORDER BY %1 LIMIT 5000")
                          .arg(n("NUMINT"), n("PAYESECU"), n("PAYECOMPLE"), n("PAYEDE"), n("REVERSE"), n("MEDACTE"),
                               n("MEDSUIT"), n("ACTES"),
                               after ? QStringLiteral("WHERE %1 > ?").arg(n("NUMINT")) : QString()),
                      binds, [&](const SqlRow& r) {
                          ++read;
                          Act held;
                          held.number = r.integer(0).value_or(0);
                          after = held.number;
                          held.paidSecu = r.money(1);
                          held.paidComplementary = r.money(2);
                          held.paidExcess = r.money(3);
                          held.reversed = r.money(4);
                          held.performedBy = r.text(5);
                          held.followedBy = r.text(6);
                          for (JournalEntry& e : openingEntriesOf(held)) {
                              e.act = held.number;
                              entries.push_back(std::move(e));
                          }
                          return true;
                      });
        more = read == 5000;
        if (s)
            s = insertEntries(&entries, &head);
    }
    if (s)
        s = writeHead(head);
    if (s)
        *opened = head.number;
    return s;
}

} // namespace obs
