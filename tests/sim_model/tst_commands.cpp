#include <QTemporaryDir>
#include <QTemporaryFile>

#include "planted.h"
#include "record_check.h"

#include "test_master.h"

using namespace testing;

class TestCommands : public QObject {
    Q_OBJECT

    std::unique_ptr<TestMaster> m;

    struct Image {
        uint8_t flags = 0xFF;
        float value = -1;
        uint16_t wkc = 0;
    };
    Image read()
    {
        const Reply r = m->txLen(Command::LRD, 0, 5);
        Image i;
        i.wkc = r.wkc;
        if (r.data.size() == 5) {
            i.flags = r.data[0];
            i.value = getF32(r.data.data() + 1);
        }
        return i;
    }
    void ok(const std::string &line) { QCOMPARE(m->bus->command(line), std::string("ok")); }
    void fails(const std::string &line, const std::string &mention)
    {
        const std::string reply = m->bus->command(line);
        QVERIFY2(reply.rfind("error: ", 0) == 0, (line + " -> " + reply).c_str());
        QVERIFY2(reply.find(mention) != std::string::npos, (line + " -> " + reply).c_str());
    }

private slots:
    void init()
    {
        m = std::make_unique<TestMaster>("sensor,dig-in");
        m->assignStations();
        m->sensorToOp(0, 0);
    }

    void defaultIsAtmosphere()
    {
        const Image i = read();
        QCOMPARE(i.wkc, uint16_t(1));
        QCOMPARE(i.flags, uint8_t(0x01));
        QCOMPARE(i.value, 101325.0f);
    }

    void pressureAndProfiles()
    {
        ok("pressure 2.5");
        QCOMPARE(read().value, 250.0f);
        ok("profile constant 1000");
        QCOMPARE(read().value, 100000.0f);
        ok("profile ramp 0 100 10");
        QCOMPARE(read().value, 0.0f);
        m->clockNs += 5'000'000'000ull;
        QCOMPARE(read().value, 5000.0f);
        m->clockNs += 20'000'000'000ull;
        QCOMPARE(read().value, 10000.0f); // holds the end value
        ok("profile sine 1000 50 4");
        QCOMPARE(read().value, 100000.0f);
        m->clockNs += 1'000'000'000ull; // a quarter period: the top
        QCOMPARE(read().value, 105000.0f);
        m->clockNs += 2'000'000'000ull;
        QCOMPARE(read().value, 95000.0f);
        ok("profile pumpdown 60");
        QCOMPARE(read().value, 101325.0f);
        m->clockNs += 30'000'000'000ull;
        const float half = read().value;
        QVERIFY(half < 101325.0f / 100 && half > 101325.0f / 10000); // decades down, not linear
        m->clockNs += 100'000'000'000ull;
        QVERIFY(qAbs(read().value - 0.1f) < 1e-4f); // 1e-3 mbar, then holding
        ok("profile pumpdown");
    }

    // After the pump-down: a straight rise (leak), or one that flattens
    // towards end + amplitude (outgassing).
    void leakAndOutgassingProfiles_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QList<float>>("atTensOfSeconds"); // 0.01 mbar at t = 0, 10, 20, 30 s
        QTest::newRow("leak") << "profile leak 10 0.001" << QList<float>{101325.0f, 0.1f, 1.1f, 2.1f};
        QTest::newRow("outgassing") << "profile outgassing 10 0.01 10"
                                    << QList<float>{101325.0f, 0.1f, 0.1f + 0.63212f, 0.1f + 0.86466f};
    }
    void leakAndOutgassingProfiles()
    {
        QFETCH(QString, command);
        QFETCH(QList<float>, atTensOfSeconds);
        ok(command.toStdString());
        for (float expected : atTensOfSeconds) {
            QVERIFY2(qAbs(read().value - expected) <= expected * 1e-4f, qPrintable(QString::number(read().value)));
            m->clockNs += 10'000'000'000ull;
        }
    }
    void leakAndOutgassingRefuseBadNumbers()
    {
        ok("profile leak");
        ok("profile outgassing");
        fails("profile leak 0", "greater than 0");
        fails("profile leak 60 -1e-4", "greater than 0");
        fails("profile outgassing 60 0.01 0", "greater than 0");
        fails("profile leak 60 1e-4 5", "usage");
    }

    void profileFromFile()
    {
        QTemporaryFile f;
        QVERIFY(f.open());
        f.write("1000\n\n  999.5 \n# comment\n998\n");
        f.flush();
        ok("profile file " + f.fileName().toStdString());
        QCOMPARE(read().value, 100000.0f);
        m->clockNs += 1'000'000'000ull;
        QCOMPARE(read().value, 99950.0f);
        m->clockNs += 1'000'000'000ull;
        QCOMPARE(read().value, 99800.0f);
        m->clockNs += 1'000'000'000ull;
        QCOMPARE(read().value, 100000.0f); // repeats
    }

    // A profile file is read only when it is a regular file reached without a
    // link: a FIFO or a device is refused at once instead of stopping the
    // simulator. An error names the file and the line, never what the file
    // holds (the simulator may run as root, and the file be /etc/shadow).
    void profileFileRefusals_data()
    {
        QTest::addColumn<QString>("plant");   // what is put at the path
        QTest::addColumn<QByteArray>("text"); // what a file there holds
        QTest::addColumn<QString>("mention");
        const QByteArray secret = "root:$y$j9T$Secret.Hash:19700:0:99999:7:::\n";
        QTest::newRow("secrets, 0600") << "file" << secret << "line 1 is not a number";
        QTest::newRow("bad second line") << "file" << QByteArray("1000\n" + secret) << "line 2 is not a number";
        QTest::newRow("no values") << "file" << QByteArray("# none\n\n") << "holds no values";
        QTest::newRow("missing") << "nothing" << QByteArray() << "No such file";
        QTest::newRow("link to secrets") << "link" << secret << "is a symbolic link";
        QTest::newRow("FIFO") << "fifo" << QByteArray() << "is a FIFO, not a profile file";
        QTest::newRow("folder") << "folder" << QByteArray() << "is a folder";
        QTest::newRow("device") << "/dev/zero" << QByteArray() << "is a device";
    }

    void profileFileRefusals()
    {
        QFETCH(QString, plant);
        QFETCH(QByteArray, text);
        QFETCH(QString, mention);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString secrets = dir.filePath("secrets");
        if (!text.isEmpty())
            QVERIFY(QFile::setPermissions(testsupport::writeFile(secrets, text), QFile::ReadOwner | QFile::WriteOwner));
        const QString path = plant == "file" ? secrets : plant.startsWith('/') ? plant : dir.filePath("profile.txt");
        QVERIFY(testsupport::plantAt(path, plant, secrets));
        ok("pressure 1000");
        const std::string line = "profile file " + path.toStdString();
        fails(line, mention.toStdString());
        const QString reply = QString::fromStdString(m->bus->command(line));
        QVERIFY2(reply.contains(path), qPrintable(reply));
        for (const char *word : {"$y$", "Secret", "19700", "99999"})
            QVERIFY2(!reply.contains(word), qPrintable(reply));
        QCOMPARE(read().value, 100000.0f); // the old profile stays after a failed command
    }

    void invalidReadings()
    {
        ok("invalid 2");
        QCOMPARE(read().flags, uint8_t(0x00));
        QCOMPARE(read().flags, uint8_t(0x00));
        QCOMPARE(read().flags, uint8_t(0x01));
        ok("invalid-for 1.5");
        QCOMPARE(read().flags, uint8_t(0x00));
        m->clockNs += 1'000'000'000ull;
        QCOMPARE(read().flags, uint8_t(0x00));
        m->clockNs += 600'000'000ull;
        QCOMPARE(read().flags, uint8_t(0x01));
        ok("invalid on");
        m->clockNs += 100'000'000'000ull;
        QCOMPARE(read().flags, uint8_t(0x00));
        ok("invalid off");
        QCOMPARE(read().flags, uint8_t(0x01));
        fails("invalid -1", "count");
        fails("invalid", "usage");
        fails("invalid-for soon", "SECONDS");
    }

    void flags()
    {
        ok("flags over");
        QCOMPARE(read().flags, uint8_t(0x03));
        ok("flags under");
        QCOMPARE(read().flags, uint8_t(0x05));
        ok("flags over,under");
        QCOMPARE(read().flags, uint8_t(0x07));
        ok("invalid 1");
        QCOMPARE(read().flags, uint8_t(0x06));
        ok("flags none");
        QCOMPARE(read().flags, uint8_t(0x01));
        fails("flags sideways", "sideways");
    }

    void fixedImage()
    {
        ok("image 050000C842");
        const Image i = read();
        QCOMPARE(i.flags, uint8_t(0x05));
        QCOMPARE(i.value, 100.0f);
        ok("pressure 1"); // the fixed image overrides the profile
        QCOMPARE(read().value, 100.0f);
        ok("image 07");
        QCOMPARE(read().flags, uint8_t(0x07));
        QCOMPARE(read().value, 0.0f); // the rest is zero
        ok("image off");
        QCOMPARE(read().value, 100.0f);
        fails("image 050000C84200", "5-byte");
        fails("image 5", "hex");
        fails("image zz", "hex");
    }

    void slavePrefix()
    {
        ok("slave 2 image 0102");
        m->setupInputs(1, 2, 0x20);
        QCOMPARE(m->request(1, al::PreOp), al::PreOp);
        QCOMPARE(m->request(1, al::SafeOp), al::SafeOp);
        QCOMPARE(m->txLen(Command::LRD, 0x20, 2).data, std::vector<uint8_t>({1, 2}));
        fails("slave 2 pressure 5", "not a pressure sensor");
        fails("slave 3 pressure 5", "slave N");
        fails("slave 0 pressure 5", "slave N");
        fails("slave x pressure 5", "slave N");
        fails("slave 1", "slave N");
        ok("slave 2 refuse-op on");
        QVERIFY(m->bus->slave(1).refuseOp());
        QVERIFY(!m->bus->slave(0).refuseOp());
    }

    void noSensorOnTheBus()
    {
        TestMaster io("dig-in,dig-out");
        const std::string r = io.bus->command("pressure 5");
        QVERIFY(r.find("no sensor") != std::string::npos);
        QCOMPARE(io.bus->command("image 0102"), std::string("ok")); // the first slave
    }

    void errorsAndStats()
    {
        fails("", "empty");
        fails("teleport 5", "unknown command 'teleport'");
        fails("pressure", "usage");
        fails("pressure high", "usage");
        fails("pressure nan", "usage");
        fails("pressure 1e999", "usage");
        fails("profile", "kind");
        fails("profile ramp 1 2", "usage");
        fails("profile ramp 1 2 0", "greater than 0");
        fails("profile sine 1 2 -1", "greater than 0");
        fails("profile wobble 1", "unknown profile");
        fails("profile pumpdown 0", "greater than 0");
        read();
        const std::string s = m->bus->command("stats");
        QVERIFY2(s.rfind("ok frames=", 0) == 0, s.c_str());
        QVERIFY(s.find("slave1=sensor:OP:0x0000") != std::string::npos);
        QVERIFY(s.find("slave2=dig-in:INIT:0x0000") != std::string::npos);
        QVERIFY(s.find("readings=") != std::string::npos);
        QVERIFY(s.find('\n') == std::string::npos);
    }

    void clockHook()
    {
        // Replacing the clock moves profiles, timed faults and the DC time together.
        uint64_t t = 5'000'000'000ull;
        m->bus->setClock([&t] { return t; });
        QCOMPARE(m->bus->now(), t);
        ok("profile ramp 0 10 1");
        t += 500'000'000;
        QCOMPARE(read().value, 500.0f);
        m->bus->setClock(nullptr); // back to the monotonic clock
        QVERIFY(m->bus->now() != t);
    }
};

QTEST_APPLESS_MAIN(TestCommands)
#include "tst_commands.moc"
