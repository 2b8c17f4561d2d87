#include "SwipeFixture.h"

#include "ui/common/SwipeWindow.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>

// ---- RecordStub -----------------------------------------------------------------------------

void RecordStub::setTrackText(int box, const QByteArray &text)
{
    texts[size_t(box)] = text;
    changes.append({clock ? clock->now() : 0.0, box, QStringLiteral("text"), QString::fromLatin1(text)});
}

void RecordStub::setCount(int box, const QString &count)
{
    counts[size_t(box)] = count;
    changes.append({clock ? clock->now() : 0.0, box, QStringLiteral("count"), count});
}

void RecordStub::setMessage(const QString &text)
{
    msg = text;
    changes.append({clock ? clock->now() : 0.0, -1, QStringLiteral("message"), text});
}

void RecordStub::setInput(const QByteArray &t1, const QByteArray &t2, const QByteArray &t3)
{
    texts[0] = t1;
    texts[1] = t2;
    texts[2] = t3;
    for (int i = 0; i < 3; ++i)
        counts[size_t(i)] = QString::number(texts[size_t(i)].size());
}

QStringList RecordStub::messages() const
{
    QStringList out;
    for (const Change &c : changes)
        if (c.box == -1)
            out << c.value;
    return out;
}

// ---- SwipeFixture ---------------------------------------------------------------------------

SwipeFixture::SwipeFixture(DialectId dialect, double start) : vp(start)
{
    connection.dialect = dialect;
    connection.links = sim.links();
    connection.pacer = &vp;
    records.clock = &vp;

    records.resize(640, 400);
    records.show();

    // Answers whatever modal window turns up, except the swipe window under test.
    watch_.setInterval(0);
    connect(&watch_, &QTimer::timeout, this, &SwipeFixture::lookForDialogs);
    watch_.start();
    qApp->installEventFilter(this);
}

SwipeFixture::~SwipeFixture()
{
    qApp->removeEventFilter(this);
    watch_.stop();
}

bool SwipeFixture::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Hide && qobject_cast<SwipeWindow *>(watched)) {
        hiddenAt = vp.now();
        nextShownAt = -1.0;
    } else if (event->type() == QEvent::Show && hiddenAt >= 0 && nextShownAt < 0 && qobject_cast<QDialog *>(watched)) {
        nextShownAt = vp.now();
    }
    return false;
}

void SwipeFixture::setLine(const QString &settings)
{
    const QStringList parts = settings.split(QLatin1Char(','));
    connection.baud = parts.value(0);
    const QString p = parts.value(1);
    connection.parity = p == QLatin1String("e") ? QStringLiteral("Even") : p == QLatin1String("o") ? QStringLiteral("Odd") : QStringLiteral("None");
    connection.dataBits = parts.value(2);
}

QByteArray SwipeFixture::hex(const char *text) { return QByteArray::fromHex(QByteArray(text).replace(' ', "")); }

void SwipeFixture::swipeAt(double t)
{
    vp.at(t, [this] { sim.swipe(); });
}

void SwipeFixture::clickAt(double t, QWidget *window, const QString &button)
{
    QPointer<QWidget> w(window);
    vp.atEvent(t, [w, button] {
        if (!w)
            return;
        if (auto *b = w->findChild<QPushButton *>(button))
            b->click();
    });
}

void SwipeFixture::closeAt(double t, QWidget *window)
{
    QPointer<QWidget> w(window);
    vp.atEvent(t, [w] {
        if (w)
            w->close();
    });
}

void SwipeFixture::escapeAt(double t, QWidget *window)
{
    QPointer<QWidget> w(window);
    vp.atEvent(t, [w] {
        if (w)
            QTest::keyClick(w, Qt::Key_Escape);
    });
}

int SwipeFixture::run(QDialog &window, double deadline)
{
    timedOut = false;
    QPointer<QDialog> w(&window);
    vp.at(deadline, [this, w] {
        if (w && w->isVisible()) {
            timedOut = true;
            w->close();
        }
    });
    window.setWindowModality(Qt::WindowModal);
    return window.exec();
}

void SwipeFixture::lookForDialogs()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || qobject_cast<SwipeWindow *>(modal) || answered_.contains(modal))
        return;
    answered_.append(modal);
    connect(modal, &QObject::destroyed, this, [this, modal] { answered_.removeAll(modal); });

    Shown s{vp.now(), QString::fromLatin1(modal->metaObject()->className()), modal->windowTitle(), {},
            int(sim.received().size())};
    if (auto *box = qobject_cast<QMessageBox *>(modal)) {
        s.text = box->text();
    } else if (auto *label = modal->findChild<QLabel *>(QStringLiteral("Label1"))) {
        s.text = label->text();
    }
    shown.append(s);

    auto *dialog = qobject_cast<QDialog *>(modal);
    if (answer_ && dialog) {
        answer_(dialog);
        return;
    }
    if (auto *box = qobject_cast<QMessageBox *>(modal)) {
        QAbstractButton *b = box->defaultButton();
        if (!b)
            b = box->escapeButton();
        if (!b && !box->buttons().isEmpty())
            b = box->buttons().first();
        if (b)
            b->click();
        else
            box->reject();
        return;
    }
    const QList<QPushButton *> buttons = modal->findChildren<QPushButton *>();
    if (buttons.size() == 1)
        buttons.first()->click();
    else if (dialog)
        dialog->reject();
}

QList<QByteArray> SwipeFixture::writes() const
{
    QList<QByteArray> out;
    for (const auto &r : sim.received())
        out << r.bytes;
    return out;
}

QList<double> SwipeFixture::writeTimes() const
{
    QList<double> out;
    for (const auto &r : sim.received())
        out << r.time;
    return out;
}

void SwipeFixture::verifyPortFailureReport(const QWidget &window, double endsBefore) const
{
    QVERIFY(!timedOut);
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].title, QString("Communications Error"));
    QVERIFY(!window.isVisible());
    QVERIFY2(vp.now() < endsBefore, qPrintable(QString::number(vp.now()) + "\n" + timeline()));
}

QString SwipeFixture::timeline() const
{
    QString out;
    for (const auto &r : sim.received())
        out += QStringLiteral("%1 %2\n").arg(r.time, 0, 'f', 3).arg(QString::fromLatin1(r.bytes.toHex(' ').toUpper()));
    return out;
}
