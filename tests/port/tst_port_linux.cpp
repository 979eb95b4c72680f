// The Linux port in a network namespace whose /sys belongs to another one
// (a container, or `unshare -n` without a new sysfs mount; foreign-sys-run
// makes one): the adapters are those the kernel has in the process's own
// namespace, never those /sys/class/net shows.
#include "adapter_check.h"
#include "port/platform.h"

#include "sim_process.h"

#include <soem/soem.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>

#include <memory>
#include <net/if.h>

namespace {

bool listed(const QString &name)
{
    ec_adaptert *list = ec_find_adapters();
    bool found = false;
    for (ec_adaptert *a = list; a; a = a->next)
        found = found || name == QLatin1String(a->name);
    ec_free_adapters(list);
    return found;
}

} // namespace

class TestPortLinux : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void ownAdapterAcceptedThoughMissingInSys();
    void adapterOnlyInSysIsNoSuchAdapter();
    void loopbackIsNotEthernet();
    void adapterListIsTheOwnNamespaces();
    void busComesUpOnOwnAdapter();
    void adapterDownIsAFailure();

private:
    QString masterIf_;
    QString simIf_;
    QString sysOnly_; // in /sys/class/net, not in this namespace
};

void TestPortLinux::initTestCase()
{
    masterIf_ = testsupport::masterInterface();
    simIf_ = testsupport::simulatorInterface();
    if (masterIf_.isEmpty() || simIf_.isEmpty())
        QFAIL("ECAT_MASTER_IF/ECAT_SIM_IF not set: run through foreign-sys-run (see CMakeLists.txt)");
    // The situation under test: this namespace's adapters are not in /sys,
    // and /sys lists adapters that this namespace does not have.
    QVERIFY2(!QFileInfo::exists("/sys/class/net/" + masterIf_),
             "/sys shows this namespace's adapters: run through foreign-sys-run");
    const QStringList inSys = QDir("/sys/class/net").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &name : inSys) {
        if (if_nametoindex(name.toLocal8Bit().constData()) == 0) {
            sysOnly_ = name;
            break;
        }
    }
    QVERIFY2(!sysOnly_.isEmpty(), qPrintable("no adapter of another namespace in /sys: " + inSys.join(' ')));
}

void TestPortLinux::ownAdapterAcceptedThoughMissingInSys()
{
    std::string why;
    QVERIFY2(ethercat::checkEthernetAdapter(masterIf_.toLocal8Bit().constData(), &why), why.c_str());
}

void TestPortLinux::adapterOnlyInSysIsNoSuchAdapter()
{
    std::string why;
    QVERIFY(!ethercat::checkEthernetAdapter(sysOnly_.toLocal8Bit().constData(), &why));
    QCOMPARE(QString::fromStdString(why), QStringLiteral("no such adapter"));
    QVERIFY(!ethercat::checkEthernetAdapter("nosuch0", &why));
    QCOMPARE(QString::fromStdString(why), QStringLiteral("no such adapter"));
}

void TestPortLinux::loopbackIsNotEthernet()
{
    // ARPHRD_LOOPBACK is 772 (linux/if_arp.h).
    std::string why;
    QVERIFY(!ethercat::checkEthernetAdapter("lo", &why));
    QCOMPARE(QString::fromStdString(why), QStringLiteral("not an Ethernet adapter (link type 772)"));
}

void TestPortLinux::adapterListIsTheOwnNamespaces()
{
    QVERIFY(listed(masterIf_));
    QVERIFY(listed(simIf_));
    QVERIFY(!listed(sysOnly_));
    QVERIFY(!listed("lo"));
}

void TestPortLinux::busComesUpOnOwnAdapter()
{
    testsupport::SimProcess sim;
    QString error;
    QVERIFY2(sim.start({}, &error), qPrintable(error));
    std::unique_ptr<ecx_contextt> ctx(new ecx_contextt{});
    QCOMPARE(ecx_init(ctx.get(), masterIf_.toLocal8Bit().constData()), 1);
    QCOMPARE(ecx_config_init(ctx.get()), 1);
    QVERIFY(ctx->slavelist[1].state != 0);
    ecx_close(ctx.get());
}

// An adapter that is down cannot be opened; one taken down while open fails
// the receive at once instead of timing out.
void TestPortLinux::adapterDownIsAFailure()
{
    const QByteArray name = masterIf_.toLocal8Bit();
    auto setLink = [&](const char *state) { return QProcess::execute("ip", {"link", "set", masterIf_, state}) == 0; };
    std::string why;
    QVERIFY(setLink("down"));
    std::unique_ptr<ethercat::Transport> port(ethercat::openAdapter(name.constData(), &why));
    QVERIFY(setLink("up"));
    QVERIFY(!port);
    QCOMPARE(QString::fromStdString(why), QStringLiteral("the adapter is down"));

    port.reset(ethercat::openAdapter(name.constData(), &why));
    QVERIFY2(port, why.c_str());
    QVERIFY(setLink("down"));
    uint8_t frame[64];
    QElapsedTimer waited;
    waited.start();
    const int got = port->receive(frame, sizeof frame, 2000000);
    QVERIFY(setLink("up"));
    QCOMPARE(got, -1);
    QVERIFY2(waited.elapsed() < 1000, qPrintable(QString::number(waited.elapsed())));
}

QTEST_GUILESS_MAIN(TestPortLinux)
#include "tst_port_linux.moc"
