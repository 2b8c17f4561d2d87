// Every file the program creates that can hold card data is its owner's alone from the start,
// whatever the umask lets other programs' files be, and a data file it replaces becomes so too;
// card data is written only into the user's own regular files, and only regular files are read.
#include "FileSizeLimit.h"
#include "operation/EncodeDataFile.h"
#include "operation/RecordWriter.h"
#include "batch/SaveJournal.h"
#include "device/Pacer.h"
#include "device/TraceLink.h"

#include <QTemporaryDir>
#include <QtTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
        QTest::newRow("save journal") << "journal" << -1 << 0600;
        QTest::newRow("saved data file") << "data" << -1 << 0600;
        QTest::newRow("saved data file replacing one of mode 640") << "data" << 0640 << 0600;
        QTest::newRow("saved data file replacing one of mode 644") << "data" << 0644 << 0600;
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
            SaveJournal journal({}, {}, dir.path());
            QVERIFY(journal.append(1, {{"%B1^DOE^", "1=2", ""}}));
            QVERIFY(QFile::rename(journal.path(), path));
            QCOMPARE(QString::number(modeOf(dir.path()), 8), QString("700"));
        } else if (kind == "data") {
            const auto result = EncodeDataFile::writeFile(path, "%B1^DOE^|1=2|\r\n", true);
            QVERIFY2(result.status == EncodeDataFile::WriteStatus::Written, qPrintable(result.problem));
        }
        QCOMPARE(QString::number(modeOf(path), 8), QString::number(mode, 8));
        // Nothing left beside it: no temporary file, no second copy.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"file.txt"});
    }


    // Each kind of path, read as a file to encode, saved to (new only, or --append) and traced
    // to: what is refused says why first; nothing blocks; whatever is written is the user's alone.
    void pathKinds_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("outcome"); // "ok", or the reason given
        const QString fifo = "Not a regular file: a FIFO.", device = "Not a regular file: a device.",
                      folder = "Not a regular file: a folder.", link = "A symbolic link: name the file itself.",
                      exists = "Exists (--append adds to it).", large = "Too large: more than 256 MiB, the most a data file may hold.",
                      privately = "Other users can read or write it: make it private first (chmod 600 '%1').";
        const QMap<QString, QStringList> rows{
            // read, save, append, trace (the trace refuses anything that exists)
            {"missing", {"No such file.", "ok", "ok", "ok"}},
            {"FIFO", {fifo, fifo, fifo, ""}},
            {"device", {device, device, device, ""}},
            {"folder", {folder, folder, folder, ""}},
            {"symbolic link", {"ok", link, link, ""}},
            {"another user's 0666 file", {"ok", exists, "Owned by another user.", ""}},
            {"user's 0644 file", {"ok", exists, privately, ""}},
            {"user's 0600 file", {"ok", exists, "ok", ""}},
            {"too large", {large, exists, large, ""}},
        };
        const QStringList operations{"read", "save", "append", "trace"};
        for (auto it = rows.begin(); it != rows.end(); ++it)
            for (int i = 0; i < operations.size(); ++i) {
                const QString outcome = it.value()[i].isEmpty() ? "It exists: a trace is always a new file." : it.value()[i];
                QTest::addRow("%s, %s", qPrintable(it.key()), qPrintable(operations[i])) << it.key() << operations[i] << outcome;
            }
    }
    void pathKinds()
    {
        QFETCH(QString, kind);
        QFETCH(QString, operation);
        QFETCH(QString, outcome);
        QTemporaryDir dir;
        const QByteArray content = "B1||\r\n";
        QString path = dir.filePath("file.txt");
        if (kind == "FIFO") {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == "device") {
            path = "/dev/zero";
        } else if (kind == "folder") {
            QVERIFY(QDir(dir.path()).mkdir("file.txt"));
        } else if (kind == "symbolic link") {
            QVERIFY(makeFile(dir.filePath("target.txt"), 0600));
            QVERIFY(QFile::link(dir.filePath("target.txt"), path));
        } else if (kind != "missing") {
            QVERIFY(makeFile(path, kind.contains("0644") ? 0644 : kind.contains("0666") ? 0666 : 0600));
            if (kind == "too large")
                QCOMPARE(::truncate(QFile::encodeName(path).constData(), (qint64(256) << 20) + 1), 0);
            if (kind.startsWith("another")
                && (::geteuid() != 0 || ::chown(QFile::encodeName(path).constData(), 65534, 65534) != 0))
                QSKIP("only root hands a file to another user");
        }
        QString got = "ok";
        if (operation == "read") {
            const EncodeDataFile::Loaded loaded = EncodeDataFile::ReadEncodeDataFile(path);
            if (!loaded.ok())
                got = loaded.problem;
            QCOMPARE(loaded.content.isEmpty(), !loaded.ok());
        } else if (operation == "trace") {
            VirtualPacer clock;
            TraceFile trace(clock);
            if (!trace.open(path, "vnt410 0"))
                got = trace.errorText();
        } else {
            RecordWriter writer;
            if (writer.open(path, operation == "append") != RecordWriter::Opened::Ok)
                got = writer.problem().mid(path.size() + 2);
            else
                QVERIFY(writer.add({{"B2", "", ""}}));
        }
        QCOMPARE(got, outcome.contains("%1") ? outcome.arg(path) : outcome);
        if (got == "ok" && operation != "read")
            QCOMPARE(QString::number(modeOf(path), 8), QString("600"));
    }

    // A full disk: the record that does not fit is taken back whole and the failure returned.
    void fullDisk()
    {
        QTemporaryDir dir;
        const EncodeDataFile::Record record{{"B1234567890", "123", ""}};
        const qint64 line = EncodeDataFile::recordLine(record).size();
        RecordWriter writer;
        QCOMPARE(int(writer.open(dir.filePath("saved.txt"), false)), int(RecordWriter::Opened::Ok));
        {
            const FileSizeLimit limit(2 * line + line / 2);
            QVERIFY(writer.add(record));
            QVERIFY(writer.add(record));
            QVERIFY(!writer.add(record)); // half of it went down before the disk was full
            QVERIFY2(writer.problem().startsWith(dir.filePath("saved.txt") + ": "), qPrintable(writer.problem()));
        }
        QFile saved(dir.filePath("saved.txt"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), EncodeDataFile::recordLine(record).repeated(2));
    }
};

QTEST_GUILESS_MAIN(FileModesTest)
#include "tst_filemodes.moc"
