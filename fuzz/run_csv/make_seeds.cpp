// Seed program for the run CSV target: files as the record writer writes
// them (a short run, a daily file holding two runs), the variations a user's
// editor makes (CR LF, byte-order mark, no final line end, a header) and the
// lines the loader must skip.
#include "seed_writer.h"

#include "record_line.h"

#include <QByteArray>
#include <QDateTime>

#include <cmath>

namespace {

std::vector<uint8_t> bytesOf(const QByteArray &b)
{
    return std::vector<uint8_t>(b.begin(), b.end());
}

// `count` records, one per second from `start`, along a pump-down curve.
QByteArray run(const QDateTime &start, int count, double fromMbar)
{
    QByteArray out;
    for (int i = 0; i < count; ++i) {
        const QDateTime now = start.addMSecs(qint64(i) * 1000 + (i * 37) % 1000);
        const double mbar = fromMbar * std::exp(-0.05 * i);
        out += records::formatRecordLine(now, start, mbar).toUtf8();
    }
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    if (!fuzzseeds::init(argc, argv))
        return 2;
    const QDateTime start(QDate(2024, 3, 5), QTime(14, 7, 9), Qt::UTC);
    bool ok = true;

    const QByteArray shortRun = run(start, 20, 1013.25);
    ok &= fuzzseeds::write("run", bytesOf(shortRun));
    ok &= fuzzseeds::write("daily-two-runs",
                           bytesOf(run(start, 8, 1013.25) + run(start.addSecs(600), 8, 900.0)));

    QByteArray crlf = shortRun;
    crlf.replace("\n", "\r\n");
    ok &= fuzzseeds::write("run-crlf", bytesOf(crlf));
    ok &= fuzzseeds::write("run-bom-no-final-newline",
                           bytesOf(QByteArray("\xef\xbb\xbf") + shortRun.left(shortRun.size() - 1)));
    ok &= fuzzseeds::write("run-with-header",
                           bytesOf("timestamp;time;elapsed;pressure\n" + shortRun.left(200)));

    // Lines the loader skips, between good ones.
    const QByteArray odd = QByteArray("2024-03-05;14:07:09;0.000;1013.25\n")
        + "2024-03-05;14:07:10;word;pressure\n"
        + "2024-03-05;14:07:11;2.000;\n"
        + "2024-03-05;14:07:12;3.000;1013,25\n"
        + "2024-03-05;14:07:13;4.000;nan\n"
        + "2024-03-05;14:07:14;5.000;inf\n"
        + "2024-03-05;14:07:15;6.000;-1e+400\n"
        + "2024-03-05;14:07:16\n"
        + "\n"
        + "2024-03-05;14:07:17;  7.000 ;+1.234e-05;extra;fields\n"
        + "2024-03-05;14:07:18;.5;5.;\xc2\xa0" "1\n"
        + "2024-03-05;14:07:19;8.000;1.23457e+06\n";
    ok &= fuzzseeds::write("skipped-lines", bytesOf(odd));
    ok &= fuzzseeds::write("empty", {});
    return ok ? 0 : 1;
}
