// The rules behind the session's link state, without a module: when the module counts as lost
// and back, and how often a read of the first full read is asked again.
#include "model/tag.h"
#include "session/first_read.h"
#include "session/link_state.h"

#include <QTest>

namespace {

// Events as words: "H500" answer heard at 500 ms, "U500" exchange unanswered, "C500" clock
// tick. The result has one letter per event: "-" nothing, "L" lost, "R" restored.
QString RunLink(uint32_t start, const QString &events) {
    TzLinkState link;
    link.Reset(start);
    QString changes;
    for (const QString &event : events.split(' ', Qt::SkipEmptyParts)) {
        const uint32_t now = start + event.mid(1).toUInt();
        TzLinkState::Change change = TzLinkState::Change::None;
        if (event[0] == 'H')
            change = link.Heard(now);
        else if (event[0] == 'U')
            change = link.Unheard(now);
        else
            change = link.Check(now);
        changes += change == TzLinkState::Change::Lost       ? 'L'
                   : change == TzLinkState::Change::Restored ? 'R'
                                                             : '-';
    }
    return changes;
}

} // namespace

class TestLinkRules : public QObject {
    Q_OBJECT
private slots:
    void linkState_data();
    void linkState();
    void firstReadRetries_data();
    void firstReadRetries();
};

void TestLinkRules::linkState_data() {
    QTest::addColumn<uint>("start");
    QTest::addColumn<QString>("events");
    QTest::addColumn<QString>("changes");
    QTest::newRow("three unanswered within 2 s") << 0u << "U400 U800 U1900"
                                                 << "---";
    QTest::newRow("2 s and the third unanswered") << 0u << "U700 U1400 U2100"
                                                  << "--L";
    QTest::newRow("2 s but only two unanswered") << 0u << "U1000 U3000 C5000"
                                                 << "---";
    QTest::newRow("the clock finds it lost") << 0u << "U100 U200 U300 C1999 C2000"
                                             << "----L";
    QTest::newRow("lost once, then back") << 0u << "U700 U1400 U2100 U2500 C3000 H3200 H3300"
                                          << "--L--R-";
    QTest::newRow("an answer starts the count again") << 0u << "U500 U1000 H1500 U2600 U3400"
                                                      << "-----";
    QTest::newRow("an exchange after the answer counts")
        << 0u << "U500 U1000 H1500 U2600 U3400 U3600"
        << "-----L";
    QTest::newRow("tick counter wraps") << 0xFFFFF800u << "U700 U1400 U2100"
                                        << "--L";
}

void TestLinkRules::linkState() {
    QFETCH(uint, start);
    QFETCH(QString, events);
    QFETCH(QString, changes);
    QCOMPARE(RunLink(start, events), changes);
}

void TestLinkRules::firstReadRetries_data() {
    // V value, F no value, f no value while unreachable, x the retry could not be queued
    QTest::addColumn<QString>("answers");
    QTest::addColumn<QString>("outcomes"); // S settled, R retry, G given up, - not tracked
    QTest::newRow("value at once") << "V"
                                   << "S";
    QTest::newRow("value at the last retry") << "FFFV"
                                             << "RRRS";
    QTest::newRow("given up after three retries") << "FFFFV"
                                                  << "RRRG-";
    QTest::newRow("no retry used while unreachable") << "FffffFFV"
                                                     << "RRRRRRRS";
    QTest::newRow("unreachable, then given up") << "ffFFFF"
                                                << "RRRRRG";
    QTest::newRow("retry refused by the queue: given up") << "FxV"
                                                          << "RG-";
}

void TestLinkRules::firstReadRetries() {
    QFETCH(QString, answers);
    QFETCH(QString, outcomes);
    TzTag tag, other;
    TzFirstRead reads;
    reads.Add(&tag);
    reads.Add(&other);
    QString seen;
    for (const QChar answer : answers) {
        const auto outcome =
            answer == 'x' ? reads.GiveUp(&tag) : reads.Answered(&tag, answer == 'V', answer == 'f');
        seen += outcome == TzFirstRead::Outcome::Settled   ? 'S'
                : outcome == TzFirstRead::Outcome::Retry   ? 'R'
                : outcome == TzFirstRead::Outcome::GivenUp ? 'G'
                                                           : '-';
    }
    QCOMPARE(seen, outcomes);
    QVERIFY(reads.Waiting()); // the other read still waits for its value
    QCOMPARE(reads.Answered(&other, true, false), TzFirstRead::Outcome::Settled);
    QVERIFY(!reads.Waiting());
}

QTEST_GUILESS_MAIN(TestLinkRules)
#include "test_link_rules.moc"
