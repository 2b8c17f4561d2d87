// The main window's placement on resize, as a pure function of sizes (twips).
#include "ui/main/MainLayout.h"

#include <QtTest>
#include <cmath>

using namespace MainLayout;

namespace {

// The design placement, with captions of a plausible size.
Geometry designState()
{
    Geometry g;
    for (QRect &r : g)
        r = QRect(0, 0, 600, 255);
    return designLayout(g);
}

Request request(const Geometry &g, QSize reference, QSize client)
{
    Request r;
    r.geometry = g;
    r.reference = reference;
    r.client = client;
    r.outer = client + DefaultFrame;
    return r;
}

bool scalesWidth(int item, bool headings)
{
    return (item >= TIT_0 && item < TIT_0 + 6) || item == Label4 || item >= Command1_0
           || (headings && item >= Label3_0 && item < Label3_0 + 3);
}

bool scalesHeight(int item)
{
    return (item >= TIT_0 && item < TIT_0 + 6) || item == Label4 || item >= Command1_0;
}

int times(int v, double ratio) { return int(std::lround(v * ratio)); }

} // namespace

class TestMainLayout : public QObject {
    Q_OBJECT
private slots:
    void designTable();
    void stretchRightOnly_data();
    void stretchRightOnly();
    void doubleBoth();
    void tallerOnly();
    void snapBackToDesign_data();
    void snapBackToDesign();
    void tooShortKeepsWidth_data();
    void tooShortKeepsWidth();
    void fitTestFails();
    void tooLowChangesNothing();
    void minimiseAndRestore();
    void enlargementsCompound();
    void twipsAndPixels();
};

void TestMainLayout::designTable()
{
    const Geometry g = designState();
    QCOMPARE(g[command1(6)], QRect(6900, 5520, 2115, 690));
    QCOMPARE(g[command1(7)], QRect(7080, 5010, 1575, 375));
    QCOMPARE(g[tit(2)], QRect(390, 1620, 8265, 495));
    QCOMPARE(g[tit(3)], QRect(390, 2520, 8265, 285));
    QCOMPARE(g[lit1(5)].topLeft(), QPoint(60, 2550));
    QCOMPARE(g[lit1(3)].topLeft(), QPoint(60, 3210));
    QCOMPARE(g[lt(4)].topLeft(), QPoint(8700, 2850));
    QCOMPARE(g[label3(1)], QRect(-30, 2220, 9345, 255));
    QCOMPARE(g[Label4], QRect(150, 4140, 8835, 645));
    QCOMPARE(g[label2(4)].topLeft(), QPoint(8280, 360));
    QCOMPARE(g[label1(0)].topLeft(), QPoint(60, 60));
    // Captions keep their own size.
    QCOMPARE(g[label1(3)].size(), QSize(600, 255));
}

void TestMainLayout::stretchRightOnly_data()
{
    QTest::addColumn<int>("clientWidth");
    QTest::newRow("a little") << 9600;
    QTest::newRow("one and a half") << 13725;
    QTest::newRow("double") << 18300;
}

void TestMainLayout::stretchRightOnly()
{
    QFETCH(int, clientWidth);
    const Geometry g = designState();
    const Result r = relayout(request(g, DesignClient, QSize(clientWidth, DesignClient.height())));
    const double ratio = double(clientWidth) / DesignClient.width();
    QVERIFY(r.changed);
    for (int item = 0; item < ItemCount; ++item) {
        QCOMPARE(r.geometry[item].top(), g[item].top());
        QCOMPARE(r.geometry[item].height(), g[item].height());
        QCOMPARE(r.geometry[item].left(), times(g[item].left(), ratio));
        QCOMPARE(r.geometry[item].width(), scalesWidth(item, false) ? times(g[item].width(), ratio) : g[item].width());
    }
    QVERIFY(r.outerToSet);
    QCOMPARE(r.outerToSet->height(), 6750);
    QCOMPARE(r.clientToSet->height(), 6345);
    QCOMPARE(r.clientToSet->width(), clientWidth);
    QCOMPARE(r.reference, QSize(clientWidth, 6345));
}

void TestMainLayout::doubleBoth()
{
    const Geometry g = designState();
    const Result r = relayout(request(g, DesignClient, DesignClient * 2));
    QVERIFY(r.changed);
    QVERIFY(!r.clientToSet);
    QCOMPARE(r.reference, DesignClient * 2);
    for (int item = 0; item < ItemCount; ++item) {
        QCOMPARE(r.geometry[item].topLeft(), g[item].topLeft() * 2);
        QCOMPARE(r.geometry[item].width(), g[item].width() * (scalesWidth(item, true) ? 2 : 1));
        QCOMPARE(r.geometry[item].height(), g[item].height() * (scalesHeight(item) ? 2 : 1));
    }
}

void TestMainLayout::tallerOnly()
{
    const Geometry g = designState();
    // Wider first, then back to the design width but taller: horizontal design values.
    const Result wide = relayout(request(g, DesignClient, QSize(13725, 9000)));
    const Result r = relayout(request(wide.geometry, wide.reference, QSize(9150, 9000)));
    QVERIFY(r.changed);
    QVERIFY(!r.clientToSet);
    for (int item = 0; item < ItemCount; ++item) {
        QCOMPARE(r.geometry[item].left(), designLayout(g)[item].left());
        QCOMPARE(r.geometry[item].width(), designLayout(g)[item].width());
        QCOMPARE(r.geometry[item].top(), wide.geometry[item].top());
    }
}

void TestMainLayout::snapBackToDesign_data()
{
    QTest::addColumn<QSize>("outer");
    QTest::newRow("narrower, design height") << QSize(9000, 6750);
    QTest::newRow("narrower and lower") << QSize(8000, 5000);
    QTest::newRow("design size") << QSize(9270, 6750);
    QTest::newRow("lowest that is laid out") << QSize(9270, 1000);
}

void TestMainLayout::snapBackToDesign()
{
    QFETCH(QSize, outer);
    const Geometry design = designState();
    const Result doubled = relayout(request(design, DesignClient, DesignClient * 2));
    Request req = request(doubled.geometry, doubled.reference, outer - DefaultFrame);
    req.outer = outer;
    const Result r = relayout(req);
    QVERIFY(r.changed);
    QCOMPARE(r.geometry, design);
    QCOMPARE(*r.outerToSet, QSize(9270, 6750));
    QCOMPARE(*r.clientToSet, QSize(9150, 6345));
    QCOMPARE(r.reference, DesignClient);
}

void TestMainLayout::tooShortKeepsWidth_data()
{
    QTest::addColumn<QSize>("client");
    QTest::newRow("a little short") << QSize(12000, 6000);
    QTest::newRow("button row cut off") << QSize(12000, 5000);
    QTest::newRow("below 1000") << QSize(12000, 500);
    QTest::newRow("design height") << QSize(12000, 6345);
}

void TestMainLayout::tooShortKeepsWidth()
{
    // Wider but too short, after a doubling: the width stays, the height goes back to the design.
    QFETCH(QSize, client);
    const Geometry design = designState();
    const Result doubled = relayout(request(design, DesignClient, DesignClient * 2));
    const Result r = relayout(request(doubled.geometry, doubled.reference, client));
    QVERIFY(r.changed);
    QCOMPARE(*r.clientToSet, QSize(client.width(), 6345));
    QCOMPARE(*r.outerToSet, QSize(client.width() + DefaultFrame.width(), 6750));
    QCOMPARE(r.reference, QSize(client.width(), 6345));
    const double ratio = double(client.width()) / DesignClient.width();
    for (int item = 0; item < ItemCount; ++item) {
        QCOMPARE(r.geometry[item].top(), design[item].top());
        QVERIFY2(std::abs(r.geometry[item].left() - times(design[item].left(), ratio)) <= 1,
                 qPrintable(QStringLiteral("item %1").arg(item)));
    }
}

void TestMainLayout::fitTestFails()
{
    // Controls placed for twice the reference: the lower-right button would end beyond the
    // right edge, so the design layout comes back.
    const Geometry design = designState();
    const Result doubled = relayout(request(design, DesignClient, DesignClient * 2));
    const Result r = relayout(request(doubled.geometry, DesignClient, QSize(12000, 6345)));
    QCOMPARE(r.geometry, design);
    QCOMPARE(*r.outerToSet, QSize(9270, 6750));
    QCOMPARE(r.reference, DesignClient);
}

void TestMainLayout::tooLowChangesNothing()
{
    const Geometry design = designState();
    const Result doubled = relayout(request(design, DesignClient, DesignClient * 2));
    Request req = request(doubled.geometry, doubled.reference, QSize(8000, 500));
    req.outer = QSize(8120, 905);
    const Result r = relayout(req);
    QVERIFY(!r.changed);
    QCOMPARE(r.geometry, doubled.geometry);
    QCOMPARE(r.reference, doubled.reference);
    QVERIFY(!r.clientToSet);
}

void TestMainLayout::minimiseAndRestore()
{
    const Geometry design = designState();
    const Result doubled = relayout(request(design, DesignClient, DesignClient * 2));

    Request minimised = request(doubled.geometry, doubled.reference, QSize(0, 0));
    minimised.outer = QSize(2400, 450);
    minimised.minimized = true;
    const Result during = relayout(minimised);
    QVERIFY(!during.changed);
    QCOMPARE(during.geometry, doubled.geometry);
    QCOMPARE(during.reference, doubled.reference);
    QVERIFY(!during.outerToSet);

    // A client area of 0 by 0 counts as minimised even without the flag.
    Request zero = minimised;
    zero.minimized = false;
    QCOMPARE(relayout(zero).geometry, doubled.geometry);

    const Result restored = relayout(request(during.geometry, during.reference, DesignClient * 2));
    QCOMPARE(restored.geometry, doubled.geometry);
    QCOMPARE(restored.reference, doubled.reference);
}

void TestMainLayout::enlargementsCompound()
{
    const Geometry design = designState();
    const Result once = relayout(request(design, DesignClient, DesignClient * 2));
    const Result half = relayout(request(design, DesignClient, QSize(13725, 9518)));
    const Result twice = relayout(request(half.geometry, half.reference, DesignClient * 2));
    for (int item = 0; item < ItemCount; ++item) {
        const QRect a = once.geometry[item], b = twice.geometry[item];
        QVERIFY2(std::abs(a.left() - b.left()) <= 1 && std::abs(a.top() - b.top()) <= 1
                     && std::abs(a.width() - b.width()) <= 1 && std::abs(a.height() - b.height()) <= 1,
                 qPrintable(QStringLiteral("item %1").arg(item)));
    }
    QCOMPARE(twice.reference, once.reference);
}

void TestMainLayout::twipsAndPixels()
{
    QCOMPARE(toPixels(QRect(-30, 60, 9345, 285), 96, 96), QRect(-2, 4, 623, 19));
    QCOMPARE(toTwips(QSize(610, 423), 96, 96), DesignClient);
    QCOMPARE(toPixelsFloor(DesignClient, 96, 96), QSize(610, 423));
    // At 120 dpi a set-back size never lands above the design in twips.
    const QSize px = toPixelsFloor(DesignClient, 120, 120);
    QVERIFY(toTwips(px, 120, 120).width() <= DesignClient.width());
    QVERIFY(toTwips(px, 120, 120).height() <= DesignClient.height());
}

QTEST_GUILESS_MAIN(TestMainLayout)
#include "tst_mainlayout.moc"
