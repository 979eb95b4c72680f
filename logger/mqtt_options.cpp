#include "mqtt_options.h"

#include "regular_file.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QSettings>
#include <QSysInfo>

namespace logger {

namespace {

constexpr char kConfigDir[] = "config-dir";
constexpr char kUrl[] = "mqtt";
constexpr char kCa[] = "mqtt-ca";
constexpr char kCert[] = "mqtt-cert";
constexpr char kKey[] = "mqtt-key";
constexpr char kCredentials[] = "mqtt-credentials";
constexpr char kPrefix[] = "mqtt-prefix";
constexpr char kClientId[] = "mqtt-client-id";
constexpr char kOutbox[] = "mqtt-outbox";
constexpr char kBuffer[] = "mqtt-buffer";
const char *const kFileKeys[] = {kUrl, kCa, kCert, kKey, kCredentials, kPrefix, kClientId, kOutbox, kBuffer};

bool fail(QString *error, const QString &why)
{
    *error = why;
    return false;
}

// FOLDER/ADAPTER.conf as key -> value; no file, no values.
bool readConfigFile(const QString &path, QMap<QString, QString> *values, QString *error)
{
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        return true;
    QFile check;
    if (!records::openRegularFileForReading(check, path, error))
        return false;
    check.close();
    QSettings file(path, QSettings::IniFormat);
    if (file.status() != QSettings::NoError)
        return fail(error, QStringLiteral("%1: not a file of \"key = value\" lines").arg(path));
    for (const QString &key : file.allKeys()) {
        if (std::find(std::begin(kFileKeys), std::end(kFileKeys), key) == std::end(kFileKeys))
            return fail(error, QStringLiteral("%1: unknown setting \"%2\" (known: %3)")
                                   .arg(path, key, QStringList(std::begin(kFileKeys), std::end(kFileKeys))
                                                       .join(QStringLiteral(", "))));
        const QVariant value = file.value(key);
        // An unquoted value with a comma comes back as a list.
        values->insert(key, value.typeId() == QMetaType::QStringList ? value.toStringList().join(QLatin1Char(','))
                                                                      : value.toString());
    }
    return true;
}

bool checkReadable(const QString &option, const QString &path, QString *error)
{
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable())
        return fail(error, QStringLiteral("--%1 %2: no readable file there").arg(option, path));
    return true;
}

} // namespace

void addMqttOptions(QCommandLineParser &parser)
{
    const auto add = [&parser](const char *name, const char *value, const char *help) {
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), QString::fromUtf8(help), QString::fromLatin1(value)));
    };
    add(kUrl, "url", "Also publish every record and the link's state to this MQTT broker: mqtt://HOST[:PORT] "
                     "(1883) or mqtts://HOST[:PORT] (8883, TLS). The CSV files are written all the same.");
    add(kCa, "file", "mqtts: the authority (PEM) that signed the broker's certificate (default: the system's).");
    add(kCert, "file", "mqtts: this client's certificate (PEM), when the broker asks for one.");
    add(kKey, "file", "mqtts: the private key (PEM) of --mqtt-cert, when not in that file.");
    add(kCredentials, "file", "The user name (first line) and password (second line) for the broker; the file "
                              "must be readable by its owner only (chmod 600).");
    add(kPrefix, "prefix", "Topics are PREFIX/HOST/ADAPTER/pressure and .../status (default: pressure-logger).");
    add(kClientId, "id", "The client id; the broker keeps the session under it (default: "
                         "pressure-logger-HOST-ADAPTER).");
    add(kOutbox, "folder", "Private folder for messages waiting for the broker (default: OUTPUT/mqtt-outbox).");
    add(kBuffer, "count", "At most this many messages wait; beyond it the oldest are dropped (default: 100000, "
                          "over a day of records).");
    add(kConfigDir, "folder", "Read the settings above from FOLDER/ADAPTER.conf, when it exists (keys: the long "
                              "options' names, \"mqtt = mqtts://broker:8883\"); the command line wins.");
}

bool takeMqttOptions(const QCommandLineParser &parser, const QString &adapter, const QString &outputDir,
                     MqttSettings *settings, QString *error)
{
    QMap<QString, QString> values;
    QString configFile;
    if (parser.isSet(QString::fromLatin1(kConfigDir))) {
        configFile = QDir(parser.value(QString::fromLatin1(kConfigDir))).filePath(adapter + QStringLiteral(".conf"));
        if (!readConfigFile(configFile, &values, error))
            return false;
    }
    for (const char *key : kFileKeys) {
        if (parser.isSet(QString::fromLatin1(key)))
            values.insert(QString::fromLatin1(key), parser.value(QString::fromLatin1(key)));
    }
    const auto value = [&values](const char *key) { return values.value(QString::fromLatin1(key)); };
    const auto given = [&values](const char *key) { return values.contains(QString::fromLatin1(key)); };

    if (!given(kUrl)) {
        for (const char *key : kFileKeys) {
            if (given(key))
                return fail(error, QStringLiteral("--%1 needs --mqtt URL").arg(QString::fromLatin1(key)));
        }
        return true;
    }
    MqttSettings s;
    if (!parseBrokerUrl(value(kUrl), &s, error))
        return fail(error, QStringLiteral("--mqtt: ") + *error);
    for (const char *key : {kCa, kCert, kKey}) {
        if (!given(key))
            continue;
        if (!s.tls)
            return fail(error, QStringLiteral("--%1 is for mqtts:// (TLS), not %2").arg(QString::fromLatin1(key), s.url));
        if (!checkReadable(QString::fromLatin1(key), value(key), error))
            return false;
    }
    if (given(kKey) && !given(kCert))
        return fail(error, QStringLiteral("--mqtt-key needs --mqtt-cert, the certificate it belongs to"));
    s.caFile = value(kCa);
    s.certFile = value(kCert);
    s.keyFile = value(kKey);
    if (given(kCredentials)) {
        s.credentialsFile = value(kCredentials);
        if (!readCredentials(s.credentialsFile, &s.userName, &s.password, error))
            return fail(error, QStringLiteral("--mqtt-credentials: ") + *error);
    }
    s.hostName = QSysInfo::machineHostName();
    if (given(kPrefix))
        s.prefix = value(kPrefix);
    // The prefix may have levels of its own ("lab/vacuum"), each a proper one.
    for (const QString &level : s.prefix.split(QLatin1Char('/'))) {
        if (!checkTopicLevel(QStringLiteral("a level of --mqtt-prefix"), level, error))
            return false;
    }
    if (!checkTopicLevel(QStringLiteral("the host name"), s.hostName, error)
        || !checkTopicLevel(QStringLiteral("the adapter name"), adapter, error))
        return false;
    s.clientId = given(kClientId) ? value(kClientId)
                                  : QStringLiteral("pressure-logger-%1-%2").arg(s.hostName, adapter);
    if (s.clientId.isEmpty())
        return fail(error, QStringLiteral("--mqtt-client-id is empty; a persistent session needs a name"));
    s.outboxDir = given(kOutbox) ? value(kOutbox) : QDir(outputDir).filePath(QStringLiteral("mqtt-outbox"));
    if (given(kBuffer)) {
        bool ok = false;
        s.bufferLimit = value(kBuffer).toInt(&ok);
        if (!ok || s.bufferLimit < 1)
            return fail(error, QStringLiteral("--mqtt-buffer: \"%1\" is not a count of messages above zero")
                                   .arg(value(kBuffer)));
    }
    *settings = s;
    return true;
}

} // namespace logger
