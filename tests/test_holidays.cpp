// Public holidays: Easter and the feasts that follow it over forty years, the fixed holidays, the
// hint beside the holiday supplement on the act entry screen, and the calendar's red days.

#include "common/DayNumber.h"
#include "domain/PublicHolidays.h"
#include "test_entry_support.h"
#include "widgets/Dialogs.h"

#include <QCalendarWidget>
#include <QLabel>
#include <QTextCharFormat>

using namespace obs;
using namespace obs::test;

namespace {
struct MonthDay {
    int month;
    int day;
};
struct MovableFeasts {
    int year;
    MonthDay easterMonday;
    MonthDay ascension;
    MonthDay whitMonday;
};
// The published dates, not computed.
constexpr MovableFeasts kFeasts[] = {
    {2000, {4, 24}, {6, 1}, {6, 12}},  {2001, {4, 16}, {5, 24}, {6, 4}},  {2002, {4, 1}, {5, 9}, {5, 20}},
    {2003, {4, 21}, {5, 29}, {6, 9}},  {2004, {4, 12}, {5, 20}, {5, 31}}, {2005, {3, 28}, {5, 5}, {5, 16}},
    {2006, {4, 17}, {5, 25}, {6, 5}},  {2007, {4, 9}, {5, 17}, {5, 28}},  {2008, {3, 24}, {5, 1}, {5, 12}},
    {2009, {4, 13}, {5, 21}, {6, 1}},  {2010, {4, 5}, {5, 13}, {5, 24}},  {2011, {4, 25}, {6, 2}, {6, 13}},
    {2012, {4, 9}, {5, 17}, {5, 28}},  {2013, {4, 1}, {5, 9}, {5, 20}},   {2014, {4, 21}, {5, 29}, {6, 9}},
    {2015, {4, 6}, {5, 14}, {5, 25}},  {2016, {3, 28}, {5, 5}, {5, 16}},  {2017, {4, 17}, {5, 25}, {6, 5}},
    {2018, {4, 2}, {5, 10}, {5, 21}},  {2019, {4, 22}, {5, 30}, {6, 10}}, {2020, {4, 13}, {5, 21}, {6, 1}},
    {2021, {4, 5}, {5, 13}, {5, 24}},  {2022, {4, 18}, {5, 26}, {6, 6}},  {2023, {4, 10}, {5, 18}, {5, 29}},
    {2024, {4, 1}, {5, 9}, {5, 20}},   {2025, {4, 21}, {5, 29}, {6, 9}},  {2026, {4, 6}, {5, 14}, {5, 25}},
    {2027, {3, 29}, {5, 6}, {5, 17}},  {2028, {4, 17}, {5, 25}, {6, 5}},  {2029, {4, 2}, {5, 10}, {5, 21}},
    {2030, {4, 22}, {5, 30}, {6, 10}}, {2031, {4, 14}, {5, 22}, {6, 2}},  {2032, {3, 29}, {5, 6}, {5, 17}},
    {2033, {4, 18}, {5, 26}, {6, 6}},  {2034, {4, 10}, {5, 18}, {5, 29}}, {2035, {3, 26}, {5, 3}, {5, 14}},
    {2036, {4, 14}, {5, 22}, {6, 2}},  {2037, {4, 6}, {5, 14}, {5, 25}},  {2038, {4, 26}, {6, 3}, {6, 14}},
    {2039, {4, 11}, {5, 19}, {5, 30}}, {2040, {4, 2}, {5, 10}, {5, 21}},
};
QDate on(int year, MonthDay md) {
    return QDate(year, md.month, md.day);
}
} // namespace

class HolidaysTest : public QObject {
    Q_OBJECT

private slots:
    void movableFeasts_data() {
        QTest::addColumn<int>("year");
        QTest::addColumn<QDate>("easterMonday");
        QTest::addColumn<QDate>("ascension");
        QTest::addColumn<QDate>("whitMonday");
        for (const MovableFeasts& f : kFeasts)
            QTest::addRow("%d", f.year) << f.year << on(f.year, f.easterMonday) << on(f.year, f.ascension)
                                        << on(f.year, f.whitMonday);
    }
    void movableFeasts() {
        QFETCH(int, year);
        QFETCH(QDate, easterMonday);
        QFETCH(QDate, ascension);
        QFETCH(QDate, whitMonday);
        QCOMPARE(easterSunday(year), easterMonday.addDays(-1));
        QCOMPARE(publicHolidayName(easterMonday), QStringLiteral("Lundi de Pâques"));
        QCOMPARE(publicHolidayName(whitMonday), QStringLiteral("Lundi de Pentecôte"));
        // Ascension may fall on 1 or 8 May, which then keep their own names.
        QVERIFY(!publicHolidayName(ascension).isEmpty());
        if (!(ascension.month() == 5 && (ascension.day() == 1 || ascension.day() == 8)))
            QCOMPARE(publicHolidayName(ascension), QStringLiteral("Ascension"));
        QCOMPARE(holidaySupplementHint(whitMonday), QStringLiteral("Lundi de Pentecôte : supplément Férié ?"));
        // The days around a movable feast are ordinary working days (Easter Sunday is a Sunday).
        for (const QDate& d : {easterMonday.addDays(1), ascension.addDays(-1), whitMonday.addDays(1)})
            if (d.dayOfWeek() != Qt::Sunday && publicHolidayName(d).isEmpty())
                QCOMPARE(holidaySupplementHint(d), QString());
        // Exactly eleven holidays a year.
        int count = 0;
        for (QDate d(year, 1, 1); d.year() == year; d = d.addDays(1))
            count += publicHolidayName(d).isEmpty() ? 0 : 1;
        if (!(ascension.month() == 5 && (ascension.day() == 1 || ascension.day() == 8)))
            QCOMPARE(count, 11);
        else
            QCOMPARE(count, 10);
    }

    void hints_data() {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QString>("hint");
        QTest::newRow("new year") << QDate(2025, 1, 1) << QStringLiteral("Jour de l'an : supplément Férié ?");
        QTest::newRow("1 May") << QDate(2025, 5, 1) << QStringLiteral("Fête du travail : supplément Férié ?");
        QTest::newRow("8 May") << QDate(2025, 5, 8) << QStringLiteral("Victoire 1945 : supplément Férié ?");
        QTest::newRow("14 July") << QDate(2025, 7, 14) << QStringLiteral("Fête nationale : supplément Férié ?");
        QTest::newRow("15 August") << QDate(2025, 8, 15) << QStringLiteral("Assomption : supplément Férié ?");
        QTest::newRow("1 November") << QDate(2025, 11, 1) << QStringLiteral("Toussaint : supplément Férié ?");
        QTest::newRow("11 November") << QDate(2025, 11, 11) << QStringLiteral("Armistice 1918 : supplément Férié ?");
        QTest::newRow("Christmas") << QDate(2025, 12, 25) << QStringLiteral("Noël : supplément Férié ?");
        QTest::newRow("holiday on a Sunday") << QDate(2022, 12, 25) << QStringLiteral("Noël : supplément Férié ?");
        QTest::newRow("14 July on a Sunday")
            << QDate(2024, 7, 14) << QStringLiteral("Fête nationale : supplément Férié ?");
        QTest::newRow("Sunday") << QDate(2025, 3, 2) << QStringLiteral("Dimanche : supplément Férié ?");
        QTest::newRow("Easter Sunday") << QDate(2025, 4, 20) << QStringLiteral("Dimanche : supplément Férié ?");
        QTest::newRow("Saturday") << QDate(2025, 3, 1) << QString();
        QTest::newRow("weekday") << QDate(2025, 3, 3) << QString();
        QTest::newRow("Boxing day") << QDate(2025, 12, 26) << QString();
        QTest::newRow("invalid") << QDate() << QString();
    }
    void hints() {
        QFETCH(QDate, date);
        QFETCH(QString, hint);
        QCOMPARE(holidaySupplementHint(date), hint);
    }

    void entryScreenNamesTheDay_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("hint");
        QTest::newRow("Easter Monday") << QStringLiteral("21/04/2025")
                                       << QStringLiteral("Lundi de Pâques : supplément Férié ?");
        QTest::newRow("Sunday") << QStringLiteral("2/3/2025") << QStringLiteral("Dimanche : supplément Férié ?");
        QTest::newRow("weekday") << QStringLiteral("03/03/2025") << QString();
        QTest::newRow("not a date") << QStringLiteral("31/02/2025") << QString();
    }
    void entryScreenNamesTheDay() {
        QFETCH(QString, typed);
        QFETCH(QString, hint);
        TempClinic clinic;
        seedReferences(clinic);
        writeTariffs();
        ActEntryWindow* form = openEntry(clinic);
        auto* date = child<QLineEdit>(form, "TxtDate");
        auto* label = child<QLabel>(form, "LblJourFerie");
        auto* holiday = child<QRadioButton>(form, "OptFerie");
        QCOMPARE(label->text(), QString());

        // Typed: the day is looked at when the date box loses the focus, and nothing is chosen.
        date->setFocus(Qt::OtherFocusReason);
        QTest::keyClicks(date, typed);
        QCOMPARE(label->text(), QString());
        child<QComboBox>(form, "CmbPrat2")->setFocus(Qt::TabFocusReason);
        QTRY_COMPARE(label->text(), hint);
        QVERIFY(!holiday->isChecked());

        // Picked on the calendar.
        auto* calendar = child<QCalendarWidget>(form, "MonthView1");
        calendar->setSelectedDate(QDate(2025, 5, 29));
        emit calendar->clicked(QDate(2025, 5, 29));
        QCOMPARE(date->text(), QStringLiteral("29/05/2025"));
        QCOMPARE(label->text(), QStringLiteral("Ascension : supplément Férié ?"));
        QVERIFY(!holiday->isChecked());
        emit calendar->clicked(QDate(2025, 5, 28));
        QCOMPARE(label->text(), QString());

        // Cleared with the entry.
        emit calendar->clicked(QDate(2025, 5, 1));
        form->clearEntry();
        QCOMPARE(label->text(), QString());
        dispose(form);
    }

    void calendarShowsHolidaysInRed() {
        TempClinic clinic;
        seedReferences(clinic);
        writeTariffs();
        ActEntryWindow* form = openEntry(clinic);
        auto* calendar = child<QCalendarWidget>(form, "MonthView1");
        const auto isMarked = [calendar](QDate d) {
            return calendar->dateTextFormat(d).foreground().color() == QColor(0xc0, 0x00, 0x00);
        };
        calendar->setCurrentPage(2026, 5);
        for (int day : {1, 3, 8, 10, 14, 17, 24, 25, 31})
            QVERIFY2(isMarked(QDate(2026, 5, day)), qPrintable(QString::number(day)));
        for (int day : {2, 4, 7, 9, 13, 15, 26})
            QVERIFY2(!isMarked(QDate(2026, 5, day)), qPrintable(QString::number(day)));
        // Turning the page marks the new month and forgets the old.
        calendar->setCurrentPage(2026, 7);
        QVERIFY(isMarked(QDate(2026, 7, 14)));
        QVERIFY(!isMarked(QDate(2026, 5, 14)));
        dispose(form);
    }
};

QTEST_MAIN(HolidaysTest)
#include "test_holidays.moc"
