// Replays the kept inputs of one fuzz target through its entry point, built
// with the normal compiler: every seed and every input that once crashed must
// now pass. The folders come from FUZZ_SEEDS_DIR and FUZZ_REGRESSIONS_DIR,
// the entry point from the fuzz target's own source, linked into this
// executable.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <QTest>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

class FuzzReplay : public QObject {
    Q_OBJECT

    static QStringList inputFiles()
    {
        QStringList files;
        const QStringList dirs{QStringLiteral(FUZZ_SEEDS_DIR), QStringLiteral(FUZZ_REGRESSIONS_DIR)};
        for (const QString &d : dirs) {
            QDir dir(d);
            const QFileInfoList entries =
                dir.entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
            for (const QFileInfo &fi : entries)
                files << fi.absoluteFilePath();
        }
        return files;
    }

private slots:
    void hasInputs()
    {
        // Without seeds the replay proves nothing: the folder must not be empty.
        QVERIFY2(!inputFiles().isEmpty(), "no inputs in " FUZZ_SEEDS_DIR " or " FUZZ_REGRESSIONS_DIR);
    }

    void replay_data()
    {
        QTest::addColumn<QString>("path");
        for (const QString &f : inputFiles()) {
            const QFileInfo fi(f);
            const QString row = fi.dir().dirName() + "/" + fi.fileName(); // seeds/x, regressions/y
            QTest::newRow(qPrintable(row)) << f;
        }
    }

    void replay()
    {
        QFETCH(QString, path);
        QFile file(path);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable("cannot open " + path));
        const QByteArray bytes = file.readAll();
        const int rc = LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.constData()),
                                              static_cast<size_t>(bytes.size()));
        QCOMPARE(rc, 0);
    }

    void emptyAndTinyInputs()
    {
        // The smallest inputs take the shortest paths; they must be harmless too.
        const uint8_t none[1] = {0};
        QCOMPARE(LLVMFuzzerTestOneInput(none, 0), 0);
        for (int b = 0; b < 256; ++b) {
            const uint8_t one = static_cast<uint8_t>(b);
            QCOMPARE(LLVMFuzzerTestOneInput(&one, 1), 0);
        }
    }
};

QTEST_GUILESS_MAIN(FuzzReplay)
#include "tst_fuzz_replay.moc"
