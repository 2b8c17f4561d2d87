// Every file the program creates that can hold card data is its owner's alone from the start,
// whatever the umask lets other programs' files be; a data file it replaces keeps its own mode.
#include "operation/EncodeDataFile.h"
#include "batch/SaveJournal.h"
#include "device/Pacer.h"
#include "device/TraceLink.h"

#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

namespace {
int modeOf(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return int(st.st_mode & 07777);
}

bool makeFile(const QString &path, int mode)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write("OLD||\r\n");
    f.close();
    return ::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0;
}
} // namespace

class FileModesTest : public QObject {
    Q_OBJECT
    mode_t umask_ = 0;

private slots:
    void initTestCase() { umask_ = ::umask(022); }
    void cleanupTestCase() { ::umask(umask_); }

    void createdFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("existing"); // mode of a file already at the path; -1: none
        QTest::addColumn<int>("mode");
        QTest::newRow("trace") << "trace" << -1 << 0600;
        QTest::newRow("trace over an old one readable by all") << "trace" << 0644 << 0600;
        QTest::newRow("save journal") << "journal" << -1 << 0600;
        QTest::newRow("save journal over an old one readable by all") << "journal" << 0644 << 0600;
        QTest::newRow("saved data file") << "data" << -1 << 0600;
        QTest::newRow("saved data file replacing one of mode 640") << "data" << 0640 << 0640;
        QTest::newRow("saved data file replacing one of mode 644") << "data" << 0644 << 0644;
    }
    void createdFiles()
    {
        QFETCH(QString, kind);
        QFETCH(int, existing);
        QFETCH(int, mode);
        QTemporaryDir dir;
        const QString path = dir.filePath("file.txt");
        if (existing >= 0)
            QVERIFY(makeFile(path, existing));
        if (kind == "trace") {
            VirtualPacer clock;
            TraceFile trace(clock);
            QVERIFY2(trace.open(path, "vnt410-utility 0"), qPrintable(trace.errorText()));
            trace.line('>', "\x1b\x72");
        } else if (kind == "journal") {
            SaveJournal journal({}, path);
            QVERIFY(journal.append({{"%B1^DOE^", "1=2", ""}}));
        } else if (kind == "data") {
            const auto result = EncodeDataFile::writeFile(path, "%B1^DOE^|1=2|\r\n", true);
            QVERIFY2(result.status == EncodeDataFile::WriteStatus::Written, qPrintable(result.problem));
        }
        QCOMPARE(QString::number(modeOf(path), 8), QString::number(mode, 8));
        // Nothing left beside it: no temporary file, no second copy.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"file.txt"});
    }
};

QTEST_GUILESS_MAIN(FileModesTest)
#include "tst_filemodes.moc"
