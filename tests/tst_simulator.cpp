// The simulated encoder, byte for byte, on a virtual clock.
#include "dialect/Commands.h"
#include "device/Device.h"
#include "device/Connection.h"
#include "device/Pacer.h"
#include "ui/sim/SimPanel.h"
#include "sim/Simulator.h"
#include "sim/StripeCodec.h"
#include "support/Dialects.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

Q_DECLARE_METATYPE(SimCard)
Q_DECLARE_METATYPE(SimTrack)

namespace {
QByteArray hx(const char *pairs) { return QByteArray::fromHex(pairs); }
QByteArray nuls(int n) { return QByteArray(n, '\0'); }
const QByteArray kEot(1, '\x04');
const char *kSettings = "9600,n,8,1";

using D = DialectId;

SimCard card(const QByteArray &t1, const QByteArray &t2, const QByteArray &t3)
{
    SimCard c;
    c.name = QStringLiteral("test card");
    c.tracks[0].chars = t1;
    c.tracks[1].chars = t2;
    c.tracks[1].high210 = false;
    c.tracks[2].chars = t3;
    return c;
}
} // namespace

class TestSimulator : public QObject {
    Q_OBJECT

    // A fresh clock from 0 and an encoder at power-on for every test.
    struct Bench {
        VirtualPacer vp;
        Simulator sim{vp};
    };
    std::optional<Bench> bench;
    VirtualPacer *vp = nullptr;
    Simulator *sim = nullptr;
    std::unique_ptr<SerialLink> link;

    void send(const QByteArray &bytes) { QVERIFY(link->write(bytes)); }
    QByteArray after(double dt)
    {
        vp->advance(dt);
        return link->takeAll();
    }
    // Sends, swipes the slot's card and gives everything the encoder answered.
    QByteArray swiped(const QByteArray &command)
    {
        send(command);
        const QByteArray before = after(0.1);
        sim->swipe();
        return before + after(0.5);
    }
    // Long enough for a 107-character track at 9600 baud.
    QByteArray vntExchange(const QByteArray &command) { return (send(command), after(0.2)); }
    // One ISO read of the next card, everything the encoder answered.
    QByteArray readOnce(D dialect)
    {
        if (dialect == D::Hkd382)
            return swiped(hx("1B72"));
        QByteArray all = swiped("P");
        for (const char *t : {"Q", "R", "S"})
            all += "|" + vntExchange(t);
        return all;
    }
    // One ISO write of `t1` on track 1; the encoder's answer after the swipe.
    QByteArray writeOnce(D dialect, const QByteArray &t1)
    {
        if (dialect == D::Hkd382)
            return swiped(hx("1B77 1B73 1B01") + t1 + hx("1B02 1B03 3F1C"));
        QByteArray all = vntExchange("A"); // in this order: one statement each
        all += vntExchange(t1 + kEot);
        all += swiped("@");
        return all;
    }

private slots:
    void init()
    {
        bench.emplace();
        vp = &bench->vp;
        sim = &bench->sim;
        link = sim->makeLink();
        QVERIFY(link->open(1, QString::fromLatin1(kSettings)));
    }
    void cleanup()
    {
        link.reset();
        sim = nullptr;
        vp = nullptr;
        bench.reset();
    }

    void commandReplies_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QByteArray>("reply");
        auto hkd = [](const char *name, QByteArray cmd, QByteArray reply) {
            QTest::newRow(name) << D::Hkd382 << cmd << reply;
        };
        auto vnt = [](const char *name, QByteArray cmd, QByteArray reply) {
            QTest::newRow(name) << D::Vnt290b << cmd << reply;
        };
        hkd("hkd reset", hx("1B61"), {});
        hkd("hkd comm test", hx("1B65"), hx("1B79"));
        hkd("hkd high co", hx("1B78"), hx("1B30"));
        hkd("hkd low co", hx("1B79"), hx("1B30"));
        hkd("hkd indicators", hx("1B84 1B83 1B85 1B81"), {});
        hkd("hkd bpi codes", hx("1B5A 3D163D"), hx("1B30"));
        hkd("hkd bpi", hx("1B6A D24BD2"), hx("1B30"));
        hkd("hkd bpi bad value", hx("1B6A D200D2"), hx("1B31"));
        hkd("hkd erase mask 0", hx("1B63 00"), hx("1B31"));
        hkd("hkd read awaits swipe", hx("1B72"), {});
        hkd("hkd write awaits swipe", hx("1B77 1B73 1B01 41 1B02 1B03 3F1C"), {});
        hkd("hkd write malformed", hx("1B77 4142"), hx("1B31"));
        hkd("hkd write bad selector", hx("1B77 1B73 1B11 41 1B02 1B03 3F1C"), hx("1B31"));
        hkd("hkd non-iso read bad selector", hx("1B52 110302"), hx("1B31"));
        hkd("hkd ignores vnt", QByteArray("P{L(") + hx("7F"), {});
        hkd("hkd unknown", "xyz", {});
        vnt("vnt attention", hx("7F"), ":");
        vnt("vnt high co", "{", "^");
        vnt("vnt low co", "|", "^");
        vnt("vnt indicator error", "M", "^");
        vnt("vnt indicator off", "m", "^");
        vnt("vnt prepare read", "L", "^");
        vnt("vnt prepare write", "(", "^");
        vnt("vnt abort", "l", "^");
        vnt("vnt bpi 1 210", ";11", "^");
        vnt("vnt bpi 2 75", ";20", "^");
        vnt("vnt bpi bad track", ";40", {});
        vnt("vnt read", "P", "^");
        vnt("vnt write letter", "A", "^");
        vnt("vnt erase track", "Z", "^");
        vnt("vnt erase go", "]", "^");
        vnt("vnt write go", "@", "^");
        vnt("vnt ignores hkd", hx("1B65 1B78"), {});
        vnt("vnt unknown", "xyz", {});
    }
    void commandReplies()
    {
        QFETCH(DialectId, dialect);
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, reply);
        sim->setDialect(dialect);
        vp->advance(1.0);
        send(command);
        QCOMPARE(sim->received().last().time, 1.0);
        vp->advance(0.019);
        QCOMPARE(link->pending(), 0);
        QCOMPARE(after(0.003), reply);
        QCOMPARE(after(2.0), QByteArray());
    }

    void followsProgramDialect()
    {
        link = sim->makeLink(D::Vnt290b);
        QVERIFY(link->open(1, QString::fromLatin1(kSettings)));
        send(hx("7F"));
        QCOMPARE(after(0.1), QByteArray(":"));
        link = sim->makeLink(D::Hkd382);
        QVERIFY(link->open(1, QString::fromLatin1(kSettings)));
        send(hx("7F 1B65"));
        QCOMPARE(after(0.1), hx("1B79"));
    }

    void hkdReadBlock_data()
    {
        QTest::addColumn<SimCard>("card");
        QTest::addColumn<bool>("bad");
        QTest::addColumn<char>("status");
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("data, blank, data") << card("B123", "", "456") << false << '0'
                                           << hx("1B73 1B01 25 42313233 3F 1B02 3B 2B 1B03 3B 343536 3F 3F1C 1B30");
        QTest::newRow("blank, data, blank") << card("", "12=34", "") << false << '0'
                                            << hx("1B73 1B01 25 2B 1B02 3B 31323D3334 3F 1B03 3B 2B 3F1C 1B30");
        SimCard damaged = card("A", "", "");
        damaged.tracks[1].unreadable = true;
        QTest::newRow("unreadable track") << damaged << false << '0'
                                          << hx("1B73 1B01 25 41 3F 1B02 3B 2A 3F 1B03 3B 2B 3F1C 1B30");
        QTest::newRow("bad swipe") << card("A", "1", "2") << true << '0'
                                   << hx("1B73 1B01 25 2A 3F 1B02 3B 2A 3F 1B03 3B 2A 3F 3F1C 1B31");
        QTest::newRow("status byte") << card("A", "", "") << false << '2'
                                     << hx("1B73 1B01 25 41 3F 1B02 3B 2B 1B03 3B 2B 3F1C 1B32");
    }
    void hkdReadBlock()
    {
        QFETCH(SimCard, card);
        QFETCH(bool, bad);
        QFETCH(char, status);
        QFETCH(QByteArray, reply);
        sim->setDialect(D::Hkd382);
        sim->insertCard(card);
        sim->setBadSwipe(bad);
        sim->setStatusByte(status);
        send(hx("1B72"));
        QVERIFY(sim->awaitingSwipe());
        QCOMPARE(sim->statusText(), QStringLiteral("Waiting for a swipe: read"));
        QCOMPARE(after(3.0), QByteArray());
        sim->swipe();
        QVERIFY(!sim->awaitingSwipe());
        QCOMPARE(sim->statusText(), QStringLiteral("Idle"));
        vp->advance(0.015);
        QCOMPARE(link->pending(), 0);
        QCOMPARE(after(0.1), reply);
        sim->swipe(); // nothing pending: ignored
        QCOMPARE(after(1.0), QByteArray());
    }

    void vntRead_data()
    {
        QTest::addColumn<int>("deckIndex");
        QTest::addColumn<bool>("bad");
        QTest::addColumn<QList<QByteArray>>("tracks");
        const QList<SimCard> deck = Simulator::defaultDeck();
        QTest::newRow("bank") << 0 << false << QList<QByteArray>{deck[0].tracks[0].chars, deck[0].tracks[1].chars, deck[0].tracks[2].chars};
        QTest::newRow("track 2 only") << 1 << false << QList<QByteArray>{"+", deck[1].tracks[1].chars, "+"};
        QTest::newRow("blank") << 2 << false << QList<QByteArray>{"+", "+", "+"};
        QTest::newRow("unreadable 2") << 3 << false << QList<QByteArray>{deck[3].tracks[0].chars, "*", deck[3].tracks[2].chars};
        QTest::newRow("5-bit track 1") << 4 << false << QList<QByteArray>{"*", "+", "+"};
        QTest::newRow("bad swipe") << 0 << true << QList<QByteArray>{"*", "*", "*"};
    }
    void vntRead()
    {
        QFETCH(int, deckIndex);
        QFETCH(bool, bad);
        QFETCH(QList<QByteArray>, tracks);
        sim->setDialect(D::Vnt290b);
        sim->selectCard(deckIndex);
        sim->setBadSwipe(bad);
        QCOMPARE(swiped("P"), QByteArray("^^"));
        QCOMPARE(vntExchange("Q"), tracks[0]);
        QCOMPARE(vntExchange("R"), tracks[1]);
        QCOMPARE(vntExchange("S"), tracks[2]);
    }

    void writeThenRead_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<QList<QByteArray>>("write");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QList<QByteArray>>("after");
        const QList<QByteArray> bank = {"B1^X^", "4000=30", "0140"};
        for (const DialectEntry &e : kDialects) {
            const D d = e.id;
            const QByteArray tag = dialectRowName(d) + ' ';
            QTest::newRow(tag + "all tracks") << d << QList<QByteArray>{"ABC 123", "1234=56", "789"} << true
                                              << QList<QByteArray>{"ABC 123", "1234=56", "789"};
            QTest::newRow(tag + "track 1 only, others kept") << d << QList<QByteArray>{"NEW", "", ""} << true
                                                             << QList<QByteArray>{"NEW", bank[1], bank[2]};
            QTest::newRow(tag + "letters on track 2 refused") << d << QList<QByteArray>{"NEW", "ABC", ""} << false << bank;
            QTest::newRow(tag + "40 chars at 75 BPI refused") << d << QList<QByteArray>{"", QByteArray(40, '1'), ""}
                                                              << false << bank;
            QTest::newRow(tag + "39 chars at 75 BPI fit") << d << QList<QByteArray>{"", QByteArray(39, '1'), ""} << true
                                                          << QList<QByteArray>{bank[0], QByteArray(39, '1'), bank[2]};
        }
    }
    void writeThenRead()
    {
        QFETCH(DialectId, dialect);
        QFETCH(QList<QByteArray>, write);
        QFETCH(bool, ok);
        QFETCH(QList<QByteArray>, after);
        sim->setDialect(dialect);
        sim->deck()[0] = card("B1^X^", "4000=30", "0140");
        if (dialect == D::Hkd382) {
            QByteArray block = hx("1B77 1B73");
            for (int i = 0; i < 3; ++i)
                block += QByteArray(1, '\x1B') + char(i + 1) + write[i];
            QCOMPARE(swiped(block + hx("3F1C")), ok ? hx("1B30") : hx("1B31"));
            const QByteArray reply = swiped(hx("1B72"));
            for (int i = 0; i < 3; ++i)
                QVERIFY2(reply.contains(QByteArray(1, '\x1B') + char(i + 1) + (i ? ";" : "%") + after[i] + "?"), reply.toHex(' '));
        } else {
            for (int i = 0; i < 3; ++i) {
                if (write[i].isEmpty())
                    continue;
                QCOMPARE(vntExchange(QByteArray(1, char('A' + i))), QByteArray("^"));
                QCOMPARE(vntExchange(write[i] + kEot), QByteArray("^"));
            }
            QCOMPARE(swiped("@"), QByteArray(ok ? "^^" : "^!"));
            QCOMPARE(swiped("P"), QByteArray("^^"));
            for (int i = 0; i < 3; ++i)
                QCOMPARE(vntExchange(QByteArray(1, char('Q' + i))), after[i]);
        }
        for (int i = 0; i < 3; ++i)
            QCOMPARE(sim->deck()[0].tracks[size_t(i)].chars, after[i]);
    }

    void erase_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QByteArray>("replies");
        QTest::addColumn<bool>("bad");
        QTest::addColumn<QList<bool>>("blank");
        QTest::newRow("hkd 1 and 3") << D::Hkd382 << hx("1B63 05") << hx("1B30") << false << QList<bool>{true, false, true};
        QTest::newRow("hkd bad swipe") << D::Hkd382 << hx("1B63 07") << hx("1B31") << true << QList<bool>{false, false, false};
        QTest::newRow("vnt 1 and 3") << D::Vnt290b << QByteArray("Z\\]") << QByteArray("^^^^") << false
                                     << QList<bool>{true, false, true};
        QTest::newRow("vnt 2") << D::Vnt290b << QByteArray("[]") << QByteArray("^^^") << false << QList<bool>{false, true, false};
        QTest::newRow("vnt bad swipe") << D::Vnt290b << QByteArray("Z[\\]") << QByteArray("^^^^!") << true
                                       << QList<bool>{false, false, false};
    }
    void erase()
    {
        QFETCH(DialectId, dialect);
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, replies);
        QFETCH(bool, bad);
        QFETCH(QList<bool>, blank);
        sim->setDialect(dialect);
        sim->setBadSwipe(bad);
        QCOMPARE(swiped(command), replies);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(sim->cardInSlot().tracks[size_t(i)].isBlank(), blank[i]);
    }

    void abortsEndTheWaitForASwipe_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QByteArray>("abort");
        QTest::addColumn<QByteArray>("replies");
        QTest::newRow("hkd reset ends read") << D::Hkd382 << hx("1B72") << hx("1B61") << QByteArray();
        QTest::newRow("hkd l ends erase") << D::Hkd382 << hx("1B63 01") << QByteArray("l") << QByteArray();
        QTest::newRow("hkd l leaves read") << D::Hkd382 << hx("1B72") << QByteArray("l") << QByteArray("pending");
        QTest::newRow("vnt attention ends read") << D::Vnt290b << QByteArray("P") << hx("7F") << QByteArray("^:");
        QTest::newRow("vnt l ends erase") << D::Vnt290b << QByteArray("Z]") << QByteArray("l") << QByteArray("^^^");
        QTest::newRow("vnt attention ends write data") << D::Vnt290b << QByteArray("A12") << hx("7F") << QByteArray("^:");
    }
    void abortsEndTheWaitForASwipe()
    {
        QFETCH(DialectId, dialect);
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, abort);
        QFETCH(QByteArray, replies);
        sim->setDialect(dialect);
        send(command);
        send(abort);
        if (replies == "pending") {
            QVERIFY(sim->awaitingSwipe());
            return;
        }
        QVERIFY(!sim->awaitingSwipe());
        sim->swipe();
        QCOMPARE(after(1.0), replies);
        QVERIFY(sim->deck() == Simulator::defaultDeck());
    }

    void hkdNonIso()
    {
        sim->setDialect(D::Hkd382);
        sim->selectCard(2);
        QCOMPARE(swiped(hx("1B57 1B73 1B11 4142 1B12 1B13 3F1C")), hx("1B30"));
        QCOMPARE(swiped(hx("1B52 110203")), hx("1B73 1B01 25 4142 3F 1B02 3B 2B 1B03 3B 2B 3F1C 1B30"));
        // Track 1 in the 5-bit format at 75 BPI: an ISO read cannot decode it.
        send(hx("1B6A 4B4BD2"));
        QCOMPARE(after(0.1), hx("1B30"));
        QCOMPARE(swiped(hx("1B57 1B73 1B01 3132 1B02 1B03 3F1C")), hx("1B30"));
        QCOMPARE(sim->cardInSlot().tracks[0].bitsPerChar, 5);
        QVERIFY(!sim->cardInSlot().tracks[0].high210);
        QVERIFY(swiped(hx("1B72")).startsWith(hx("1B73 1B01 25 2A 3F")));
        QVERIFY(swiped(hx("1B52 010203")).startsWith(hx("1B73 1B01 3B 3132 3F")));
    }

    void vntNonIso()
    {
        sim->setDialect(D::Vnt290b);
        sim->selectCard(2);
        // Custom 5-bit track 1 at 75 BPI, with its lead-in of single NUL writes.
        QCOMPARE(vntExchange(";10"), QByteArray("^"));
        QCOMPARE(vntExchange("E5"), QByteArray("^"));
        for (int i = 0; i < 6; ++i)
            send(nuls(1));
        QCOMPARE(vntExchange(hx("011F") + kEot), QByteArray("^"));
        // Standard 5-bit format on track 3.
        QCOMPARE(vntExchange("c2"), QByteArray("^"));
        QCOMPARE(vntExchange("12" + kEot), QByteArray("^"));
        QCOMPARE(swiped("@"), QByteArray("^^"));
        const SimTrack t1 = sim->cardInSlot().tracks[0];
        QVERIFY(t1.raw);
        QCOMPARE(t1.bitsPerChar, 5);
        QCOMPARE(t1.chars, hx("011F"));
        QVERIFY(!t1.high210);

        QCOMPARE(swiped("P"), QByteArray("^^"));
        QCOMPARE(vntExchange("U5"), hx("011F"));
        QCOMPARE(vntExchange("q2"), QByteArray("*"));
        QCOMPARE(vntExchange("s3"), QByteArray("12"));
        QCOMPARE(vntExchange("S"), QByteArray("12"));
        QCOMPARE(vntExchange("s1"), QByteArray("*"));
        QCOMPARE(vntExchange("V6"), QByteArray("+"));
        // The raw bits of a standard track: start sentinel, characters, end sentinel, LRC.
        QCOMPARE(vntExchange("W5"), hx("0B 01 02 1F 07"));
    }

    void stackRoundTrip_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<QByteArray>("written");
        QTest::addColumn<QByteArray>("readBack"); // a read of the third written card
        QTest::newRow("hkd") << D::Hkd382 << hx("1B30")
                             << hx("1B73 1B01 25") + "CARD 3" + hx("3F 1B02 3B 2B 1B03 3B 2B 3F1C 1B30");
        QTest::newRow("vnt") << D::Vnt290b << QByteArray("^^^^") << QByteArray("^^|CARD 3|+|+");
    }
    // Five different cards read in turn, then written back onto five blank cards in turn.
    void stackRoundTrip()
    {
        QFETCH(DialectId, dialect);
        QFETCH(QByteArray, written);
        QFETCH(QByteArray, readBack);
        const D d = dialect;
        sim->setDialect(d);
        const QList<SimCard> samples = Simulator::sampleStack();
        QCOMPARE(samples.size(), 5);
        sim->setStack(samples);
        QVERIFY(sim->stackMode());
        QStringList reads;
        for (int i = 0; i < 5; ++i) {
            // A bad swipe leaves the card on the stack: the next swipe reads that same card.
            sim->setNextSwipeBad(i == 2);
            QVERIFY(i != 2 || (!readOnce(d).contains(samples[2].tracks[1].chars) && sim->swipedCards().size() == 2));
            const QByteArray reply = readOnce(d);
            const SimTrack &t2 = samples[i].tracks[1];
            QVERIFY2(reply.contains(t2.isBlank() ? samples[i].tracks[0].chars : t2.chars), reply.constData());
            reads << QString::fromLatin1(reply);
        }
        reads.removeDuplicates();
        QCOMPARE(reads.size(), 5);
        QVERIFY(sim->stack().isEmpty());
        QCOMPARE(sim->swipedCards(), samples); // reading changed none of them
        QCOMPARE(sim->deck(), Simulator::defaultDeck()); // nor the deck

        sim->setStack(Simulator::blankStack());
        for (int i = 0; i < 5; ++i)
            QCOMPARE(writeOnce(d, "CARD " + QByteArray::number(i + 1)), written);
        QCOMPARE(sim->swipedCards().size(), 5);
        for (int i = 0; i < 5; ++i) {
            const SimCard &c = sim->swipedCards()[i];
            QCOMPARE(c.tracks[0].chars, "CARD " + QByteArray::number(i + 1));
            QVERIFY(c.tracks[1].isBlank() && c.tracks[2].isBlank());
            QVERIFY2(c.name.startsWith(QStringLiteral("Written: 1: CARD ")), qPrintable(c.name));
        }
        // No card left: the write keeps waiting.
        send(d == D::Hkd382 ? hx("1B72") : QByteArray("P"));
        QVERIFY(!sim->hasCardToSwipe());
        sim->swipe();
        QVERIFY(sim->awaitingSwipe());
        // A written card taken from the pile again reads back what was written, and keeps its place.
        sim->swipeAgain(5);
        QVERIFY(sim->awaitingSwipe());
        sim->swipeAgain(2);
        QByteArray reread = after(0.5);
        if (d == D::Vnt290b) {
            for (const char *t : {"Q", "R", "S"})
                reread += "|" + vntExchange(t);
        }
        QCOMPARE(reread, readBack);
        QCOMPARE(sim->swipedCards().size(), 5);
        QCOMPARE(sim->swipedCards()[2].tracks[0].chars, QByteArray("CARD 3"));
        sim->useSlot();
        QVERIFY(!sim->stackMode());
        QCOMPARE(sim->cardInSlot(), Simulator::defaultDeck()[0]);
    }

    void nextSwipeBadOnce_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<QByteArray>("bad");
        QTest::addColumn<QByteArray>("good");
        QTest::newRow("hkd") << D::Hkd382 << hx("1B31") << hx("1B30");
        QTest::newRow("vnt") << D::Vnt290b << QByteArray("|*|*|*") << QByteArray("|+|+|+");
    }
    void nextSwipeBadOnce()
    {
        QFETCH(DialectId, dialect);
        QFETCH(QByteArray, bad);
        QFETCH(QByteArray, good);
        sim->setDialect(dialect);
        sim->selectCard(2);
        sim->setNextSwipeBad();
        QVERIFY(sim->nextSwipeBad());
        QVERIFY(readOnce(dialect).endsWith(bad));
        QVERIFY(!sim->nextSwipeBad());
        QVERIFY(!sim->badSwipe());
        QVERIFY(readOnce(dialect).endsWith(good));
    }

    void commandFaults_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<QByteArray>("chosen");
        QTest::addColumn<int>("fault");
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QByteArray>("reply");
        using F = Simulator::Fault;
        auto row = [](const char *name, D d, QByteArray chosen, F f, QByteArray cmd, QByteArray reply) {
            QTest::newRow(name) << d << chosen << int(f) << cmd << reply;
        };
        row("hkd refuse comm test", D::Hkd382, hx("1B65"), F::Refuse, hx("1B65"), hx("1B31"));
        row("hkd ignore comm test", D::Hkd382, hx("1B65"), F::Ignore, hx("1B65"), {});
        row("hkd refuse bpi, parameters too", D::Hkd382, hx("1B6A"), F::Refuse, hx("1B6A 4B4B4B"), hx("1B31"));
        row("hkd ignore write block", D::Hkd382, hx("1B77"), F::Ignore, hx("1B77 1B73 1B01 41 1B02 1B03 3F1C"), {});
        row("hkd refuse read", D::Hkd382, hx("1B72"), F::Refuse, hx("1B72"), hx("1B31"));
        row("hkd other commands answered", D::Hkd382, hx("1B72"), F::Refuse, hx("1B78"), hx("1B30"));
        row("hkd cleared", D::Hkd382, hx("1B65"), F::None, hx("1B65"), hx("1B79"));
        row("vnt refuse prepare write", D::Vnt290b, "(", F::Refuse, "(", "!");
        row("vnt ignore read", D::Vnt290b, "P", F::Ignore, "P", {});
        row("vnt refuse bpi, parameters too", D::Vnt290b, ";", F::Refuse, ";10", "!");
        row("vnt ignore attention", D::Vnt290b, "\x7F", F::Ignore, "\x7F", {});
    }
    void commandFaults()
    {
        QFETCH(DialectId, dialect);
        QFETCH(QByteArray, chosen);
        QFETCH(int, fault);
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, reply);
        sim->setDialect(dialect);
        sim->setCommandFault(chosen, Simulator::Fault(fault));
        send(command);
        QCOMPARE(after(0.1), reply);
        if (Simulator::Fault(fault) != Simulator::Fault::None)
            QVERIFY(!sim->awaitingSwipe());
        QCOMPARE(sim->densities(), (std::array<bool, 3>{true, false, true}));
        // Every time, and the bytes that follow are commands again.
        send(command + (dialect == D::Hkd382 ? hx("1B61 1B79") : QByteArray("l")));
        QCOMPARE(after(0.1), reply + (dialect == D::Hkd382 ? hx("1B30") : QByteArray("^")));
    }

    void prepareReadRequired_data()
    {
        QTest::addColumn<bool>("required");
        QTest::addColumn<QByteArray>("commands");
        QTest::addColumn<QByteArray>("replies");
        QTest::newRow("off by default") << false << QByteArray("P") << QByteArray("^");
        QTest::newRow("P alone refused") << true << QByteArray("P") << QByteArray("!");
        QTest::newRow("L arms P") << true << QByteArray("LP") << QByteArray("^^");
        QTest::newRow("once per L") << true << QByteArray("LPlP") << QByteArray("^^^!");
        QTest::newRow("attention disarms") << true << QByteArray("L\x7FP") << QByteArray("^:!");
        QTest::newRow("prepare write does not arm") << true << QByteArray("(P") << QByteArray("^!");
    }
    void prepareReadRequired()
    {
        QFETCH(bool, required);
        QFETCH(QByteArray, commands);
        QFETCH(QByteArray, replies);
        sim->setDialect(D::Vnt290b);
        if (required)
            sim->setPrepareReadRequired(true);
        send(commands);
        QCOMPARE(after(0.1), replies);
        QCOMPARE(sim->awaitingSwipe(), replies.endsWith('^'));
    }

    void codecCapacity_data()
    {
        QTest::addColumn<int>("bits");
        QTest::addColumn<bool>("high210");
        QTest::addColumn<int>("capacity");
        QTest::newRow("7-bit 210") << 7 << true << 76;
        QTest::newRow("7-bit 75") << 7 << false << 27;
        QTest::newRow("6-bit 210") << 6 << true << 88;
        QTest::newRow("6-bit 75") << 6 << false << 32;
        QTest::newRow("5-bit 210") << 5 << true << 106;
        QTest::newRow("5-bit 75") << 5 << false << 39;
    }
    void codecCapacity()
    {
        QFETCH(int, bits);
        QFETCH(bool, high210);
        QFETCH(int, capacity);
        QCOMPARE(StripeCodec::capacity(bits, high210), capacity);
        for (bool raw : {false, true}) {
            const char c = raw ? '\x01' : '1';
            QVERIFY(StripeCodec::fits(QByteArray(capacity, c), bits, raw, high210));
            QVERIFY(!StripeCodec::fits(QByteArray(capacity + 1, c), bits, raw, high210));
        }
        // Raw codes: from 1 to the largest the bits hold.
        QVERIFY(StripeCodec::fits(QByteArray(1, char((1 << bits) - 1)), bits, true, high210));
        QVERIFY(!StripeCodec::fits(QByteArray(1, char(1 << bits)), bits, true, high210));
        QVERIFY(!StripeCodec::fits(QByteArray(1, '\0'), bits, true, high210));
    }

    void codecRead_data()
    {
        QTest::addColumn<SimTrack>("track");
        QTest::addColumn<int>("trackNo");
        QTest::addColumn<int>("bits");
        QTest::addColumn<bool>("raw");
        QTest::addColumn<QByteArray>("read");
        const auto rawTrack = [](QByteArray codes, int bits) { return SimTrack{codes, bits, true, false, true}; };
        QTest::newRow("raw codes back as raw") << rawTrack("\x01\x1F\x0B", 5) << 2 << 5 << true << QByteArray("\x01\x1F\x0B");
        // Raw codes that frame a start and an end sentinel with nothing between: no data, never
        // an empty answer (which the window would take for no answer at all).
        QTest::newRow("sentinels only") << rawTrack("\x0B\x1F", 5) << 2 << 5 << false << QByteArray("+");
    }
    void codecRead()
    {
        QFETCH(SimTrack, track);
        QFETCH(int, trackNo);
        QFETCH(int, bits);
        QFETCH(bool, raw);
        QFETCH(QByteArray, read);
        QCOMPARE(StripeCodec::read(track, trackNo, bits, raw), read);
    }

    void faults()
    {
        sim->setDialect(D::Hkd382);
        sim->setSilent(true);
        send(hx("1B65"));
        QCOMPARE(after(2.0), QByteArray());
        QCOMPARE(sim->receivedBytes(), hx("1B65"));
        sim->setSilent(false);

        sim->setReplyDelay(0.5);
        send(hx("1B65"));
        QCOMPARE(after(0.49), QByteArray());
        QCOMPARE(after(0.02), hx("1B79"));
        sim->setReplyDelay(0.0);

        sim->setNextReply("xy");
        send(hx("1B61 1B65"));
        QCOMPARE(after(0.1), QByteArray("xy"));
        sim->setNextReply({});
        send(hx("1B65"));
        QCOMPARE(after(0.1), QByteArray());
        send(hx("1B65"));
        QCOMPARE(after(0.1), hx("1B79"));

        sim->setReplyPieces(3, 0.2);
        sim->insertCard(card("A", "", ""));
        send(hx("1B72"));
        sim->swipe();
        QCOMPARE(after(0.1), hx("1B73 1B01 25 41 3F"));
        QCOMPARE(after(0.1), QByteArray());
        QCOMPARE(after(0.02), hx("1B02 3B 2B 1B03"));
        QCOMPARE(after(0.2), hx("3B 2B 3F1C 1B30"));

        // Each byte takes its time on the line: 10 bits at 1200 baud with 7 bits and parity.
        sim->setReplyPieces(1, 0);
        QVERIFY(link->open(1, QStringLiteral("1200,e,7,1")));
        send(hx("1B65"));
        QCOMPARE(after(0.008), hx("1B"));
        QCOMPARE(after(0.001), hx("79"));
        QVERIFY(link->open(1, QString::fromLatin1(kSettings)));

        // A write reported with a bad status records nothing.
        sim->setStatusByte('4');
        QCOMPARE(swiped(hx("1B77 1B73 1B01 42 1B02 1B03 3F1C")), hx("1B34"));
        QCOMPARE(sim->cardInSlot().tracks[0].chars, QByteArray("A"));
    }

    void partialCommandGoesStale()
    {
        sim->setDialect(D::Hkd382);
        send(hx("1B77 1B73 1B01 41"));
        QCOMPARE(after(3.0), QByteArray());
        send(hx("1B65"));
        QCOMPARE(after(0.1), hx("1B79"));
    }

    void oneHolderAndLostBytes()
    {
        sim->setDialect(D::Hkd382);
        auto other = sim->makeLink();
        QVERIFY(!other->open(3, QString::fromLatin1(kSettings)));
        QCOMPARE(other->error(), PortError::Busy);
        QVERIFY(!sim->makeLink()->open(1, QStringLiteral("9600,x,8,1")));
        send(hx("1B65"));
        link->close();
        vp->advance(0.1);
        QVERIFY(other->open(3, QString::fromLatin1(kSettings)));
        QCOMPARE(other->takeAll(), QByteArray()); // answered while nobody held the port
    }

    void vanish()
    {
        sim->setDialect(D::Hkd382);
        send(hx("1B65"));
        sim->vanishPort();
        QVERIFY(link->isOpen()); // noticed at the next use, as a real port
        QCOMPARE(link->pending(), 0);
        QVERIFY(!link->isOpen());
        QCOMPARE(link->error(), PortError::Vanished);
        QVERIFY(!link->write(hx("1B65")));
        QVERIFY(!link->open(1, QString::fromLatin1(kSettings)));
        QCOMPARE(link->error(), PortError::NoSuchDevice);
        sim->restorePort();
        QVERIFY(link->open(1, QString::fromLatin1(kSettings)));
    }

    void throughDevice()
    {
        link.reset();
        Connection connection;
        connection.port = 1;
        connection.dialect = D::Hkd382;
        connection.links = sim->links();
        connection.pacer = vp;
        CancelToken token;
        Device dev{token, connection};
        QVERIFY(dev.open());
        QCOMPARE(dev.sendAndWait(Cmd::Hkd::CommTest, 2), Cmd::Hkd::CommTestReply);
        const double t0 = vp->now();
        vp->after(1.0, [this] { sim->swipe(); });
        dev.write(Cmd::Hkd::ReadIso);
        QCOMPARE(dev.waitForBytes(1, -1, true), WaitEnd::Ready);
        QVERIFY(qAbs(vp->now() - t0 - 1.02) < 0.011);
        vp->advance(0.5); // the rest of the reply

        int lost = 0;
        dev.setPortLostHandler([&] { ++lost; });
        vp->after(0.5, [this] { sim->vanishPort(); });
        QCOMPARE(dev.sendAndWaitCancelable(Cmd::Hkd::ReadIso).end, WaitEnd::PortFailed);
        QVERIFY(dev.portFailed());
        QVERIFY(!dev.open());
        QCOMPARE(lost, 1);
    }

    void panel()
    {
        sim->setDialect(D::Hkd382);
        SimPanel panel(*sim);
        QCOMPARE(panel.windowTitle(), QStringLiteral("Encoder Simulator"));
        QVERIFY(panel.isWindow());
        QVERIFY(!panel.parentWidget());
        QCOMPARE(panel.deckList()->count(), sim->deck().size());
        QCOMPARE(panel.statusLabel()->text(), QStringLiteral("Idle"));

        panel.deckList()->setCurrentRow(3);
        QCOMPARE(sim->slotIndex(), 3);
        QCOMPARE(panel.trackField(1)->text(), QStringLiteral("(unreadable)"));
        QVERIFY(panel.trackField(0)->text().startsWith(QString::fromLatin1(sim->deck()[3].tracks[0].chars)));

        panel.swipeButton()->click();
        QCOMPARE(panel.noteLabel()->text(), QStringLiteral("Nothing is waiting for a swipe."));

        send(hx("1B72"));
        QCOMPARE(panel.statusLabel()->text(), QStringLiteral("Waiting for a swipe: read"));
        panel.badSwipeBox()->click();
        QVERIFY(sim->badSwipe());
        panel.swipeButton()->click();
        QCOMPARE(panel.statusLabel()->text(), QStringLiteral("Idle"));
        QVERIFY(after(0.1).endsWith(hx("1B31")));
    }

    void panelStacks()
    {
        sim->setDialect(D::Hkd382);
        SimPanel panel(*sim);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        const QRect swipeAt = panel.swipeButton()->geometry();
        const QSize sizeAt = panel.size();
        emit panel.cardsBox()->activated(SimPanel::BlankStack);
        QVERIFY(sim->stackMode());
        QCOMPARE(panel.deckList()->count(), 5);
        QCOMPARE(panel.deckList()->item(0)->text(), QStringLiteral("Card 1: Blank card  (next)"));

        send(hx("1B77 1B73 1B01 4142 1B02 1B03 3F1C"));
        panel.swipeButton()->click();
        QCOMPARE(after(0.1), hx("1B30"));
        // Named by what it holds now, and shown.
        QCOMPARE(panel.deckList()->item(0)->text(), QStringLiteral("Card 1: Written: 1: AB  (swiped)"));
        QCOMPARE(panel.deckList()->item(1)->text(), QStringLiteral("Card 2: Blank card  (next)"));
        QCOMPARE(panel.trackField(0)->text(), QStringLiteral("AB"));

        // Picked from the pile and swiped again, card 1 reads back what was written.
        QVERIFY(panel.swipeAgainButton()->isEnabled());
        panel.deckList()->setCurrentRow(1);
        QVERIFY(!panel.swipeAgainButton()->isEnabled()); // the next card has not been swiped
        panel.deckList()->setCurrentRow(0);
        send(hx("1B72"));
        panel.swipeAgainButton()->click();
        QCOMPARE(after(0.1), hx("1B73 1B01 25 4142 3F 1B02 3B 2B 1B03 3B 2B 3F1C 1B30"));
        QCOMPARE(panel.deckList()->currentRow(), 0);
        QCOMPARE(panel.deckList()->item(1)->text(), QStringLiteral("Card 2: Blank card  (next)"));

        // A long name is elided; the panel keeps its width and the tooltips hold the whole name.
        send(hx("1B77 1B73 1B01") + "THE LONGEST NAME SO FAR" + hx("1B02") + QByteArray(39, '2') + hx("1B03")
             + QByteArray(100, '3') + hx("3F1C"));
        panel.swipeButton()->click();
        QCOMPARE(after(0.1), hx("1B30"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCOMPARE(panel.size(), sizeAt);
        const QString longName = panel.deckList()->item(1)->text();
        QVERIFY2(longName.endsWith(QStringLiteral("  (swiped)")), qPrintable(longName));
        QCOMPARE(panel.deckList()->item(1)->toolTip(), longName);
        QVERIFY(panel.deckList()->visualItemRect(panel.deckList()->item(1)).right() < panel.deckList()->viewport()->width());
        QCOMPARE(panel.cardLabel()->toolTip(), longName);
        // Elided in the middle: the number and the state stay in sight.
        const QString shown = panel.cardLabel()->text();
        QVERIFY2(shown.size() < longName.size() && shown.startsWith(QStringLiteral("Card 2: "))
                     && shown.endsWith(QStringLiteral("(swiped)")),
                 qPrintable(shown));

        // The hint's room is kept: nothing moves when it appears.
        panel.swipeButton()->click();
        QCOMPARE(panel.noteLabel()->text(), QStringLiteral("Nothing is waiting for a swipe."));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCOMPARE(panel.swipeButton()->geometry(), swipeAt);
        QCOMPARE(panel.size(), sizeAt);

        panel.restackButton()->click();
        QCOMPARE(sim->stack(), Simulator::blankStack());
        emit panel.cardsBox()->activated(SimPanel::SlotCard);
        QVERIFY(!sim->stackMode());
        QCOMPARE(panel.deckList()->count(), sim->deck().size());
    }

    // Clicks go through the window system, where modality blocks them.
    void panelUsableUnderWindowModalDialog()
    {
        QWidget mainWindow;
        auto *mainButton = new QPushButton(QStringLiteral("Read"), &mainWindow);
        mainWindow.show();
        QDialog dialog(&mainWindow);
        dialog.setWindowModality(Qt::WindowModal);
        dialog.show();
        SimPanel panel(*sim);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));

        QSignalSpy mainClicks(mainButton, &QPushButton::clicked);
        QTest::mouseClick(mainWindow.windowHandle(), Qt::LeftButton, {}, mainButton->geometry().center());
        QCOMPARE(mainClicks.count(), 0);

        sim->setDialect(D::Hkd382);
        send(hx("1B72"));
        QPushButton *swipe = panel.swipeButton();
        QTest::mouseClick(panel.windowHandle(), Qt::LeftButton, {}, swipe->mapTo(&panel, swipe->rect().center()));
        QVERIFY(!sim->awaitingSwipe());
        QVERIFY(after(0.1).startsWith(hx("1B73")));
    }
};

QTEST_MAIN(TestSimulator)
#include "tst_simulator.moc"
