#include <random>

#include "test_master.h"

using namespace testing;

// Random, mutated and truncated frames, a few thousand with a fixed seed: the
// model must never crash, and a frame it answers must keep its length and
// datagram layout.
class TestRobustness : public QObject {
    Q_OBJECT
private slots:
    void randomFrames()
    {
        TestMaster m("sensor,dig-out,dig-in,big-in,sensor-sii,short-sensor");
        std::mt19937 rng(20261207);
        auto byte = [&] { return uint8_t(rng()); };
        // Seed some state: addresses, mailboxes, a few states, so deeper paths run too.
        m.assignStations();
        m.setupMailbox(0);
        m.request(0, al::PreOp);
        size_t answered = 0, dropped = 0;
        std::vector<uint8_t> out;
        for (int i = 0; i < 6000; ++i) {
            std::vector<uint8_t> f;
            const int mode = i % 3;
            if (mode == 0) {
                // Pure noise with the EtherCAT EtherType now and then.
                f.resize(rng() % 1600);
                for (auto &b : f)
                    b = byte();
                if (f.size() > 16 && (rng() & 1)) {
                    f[12] = 0x88;
                    f[13] = 0xA4;
                }
            } else {
                // Well-formed frames with random commands, addresses and lengths...
                FrameBuilder b;
                const int n = 1 + int(rng() % 4);
                for (int d = 0; d < n; ++d) {
                    std::vector<uint8_t> data(rng() % 300);
                    for (auto &x : data)
                        x = byte();
                    uint32_t addr = rng();
                    if (rng() & 1) // mostly real registers and RAM
                        addr = makeAddress(uint16_t(rng() % 8 == 0 ? rng() : TestMaster::station(rng() % 6)),
                                           uint16_t(rng() % 0x3000));
                    b.add(Command(rng() % 16), byte(), addr, data.data(), uint16_t(data.size()));
                }
                f = b.finish();
                if (mode == 2) {
                    // ...then mutated or cut.
                    if (rng() & 1)
                        f.resize(rng() % (f.size() + 1));
                    for (int k = int(rng() % 4); k > 0 && !f.empty(); --k)
                        f[rng() % f.size()] = byte();
                }
            }
            std::unique_ptr<uint8_t[]> exact(new uint8_t[f.size() + 1]);
            std::copy(f.begin(), f.end(), exact.get());
            if (m.bus->handleFrame(exact.get(), f.size(), out)) {
                ++answered;
                QCOMPARE(out.size(), f.size());
                ParsedFrame a, b;
                QCOMPARE(parseFrame(exact.get(), f.size(), a), ParseError::None);
                QCOMPARE(parseFrame(out.data(), out.size(), b), ParseError::None);
                QCOMPARE(a.datagrams.size(), b.datagrams.size());
            } else {
                ++dropped;
            }
            if (i % 500 == 0) // commands in between
                m.bus->command(i % 1000 ? "invalid 3" : "profile sine 500 20 3");
        }
        QVERIFY(answered > 1000);
        QVERIFY(dropped > 1000);
        QCOMPARE(m.bus->stats().malformed, uint64_t(dropped));
        // Still a working bus afterwards.
        QCOMPARE(m.txLen(Command::BRD, makeAddress(0, reg::Type), 1).wkc, uint16_t(6));
    }

    void randomCommands()
    {
        TestMaster m("sensor,dig-in");
        std::mt19937 rng(7);
        const char *words[] = {"slave", "1", "2", "9", "pressure", "profile", "ramp", "sine", "file", "pumpdown",
                               "invalid", "invalid-for", "flags", "image", "refuse-op", "error-state", "on", "off",
                               "-1", "0x18", "1e308", "nan", "over,under", "FFFF", "stats", "", "0"};
        for (int i = 0; i < 3000; ++i) {
            std::string line;
            for (int n = int(rng() % 6); n > 0; --n)
                line += std::string(words[rng() % (sizeof words / sizeof *words)]) + " ";
            const std::string r = m.bus->command(line);
            QVERIFY2(r.rfind("ok", 0) == 0 || r.rfind("error: ", 0) == 0, (line + " -> " + r).c_str());
        }
    }
};

QTEST_APPLESS_MAIN(TestRobustness)
#include "tst_robustness.moc"
