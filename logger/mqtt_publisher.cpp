#include "mqtt_publisher.h"

#include "record_line.h"

#include <MQTTAsync.h>

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>
#include <utility>

namespace logger {

namespace {

constexpr int kQos = 1;
constexpr int kKeepAliveS = 30;
constexpr int kConnectTimeoutS = 10;
constexpr int kFirstRetryS = 1;
constexpr int kLongestRetryS = 30;
constexpr char kWill[] = "offline";

QString count(int n, const char *one, const char *many)
{
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

// Why a connect failed: the broker's refusal (CONNACK return codes of MQTT
// 3.1.1, section 3.2.2.3) or the library's own reason.
QString connectFailure(int code, const char *message, const QString &credentialsFile)
{
    switch (code) {
    case 1: return QStringLiteral("the broker refused the protocol version (MQTT 3.1.1)");
    case 2: return QStringLiteral("the broker refused the client id; choose another with --mqtt-client-id");
    case 3: return QStringLiteral("the broker is unavailable");
    case 4:
    case 5:
        return QStringLiteral("the broker refused the user name or password (%1); check %2")
            .arg(code == 4 ? QStringLiteral("bad user name or password") : QStringLiteral("not authorised"),
                 credentialsFile.isEmpty() ? QStringLiteral("whether it needs --mqtt-credentials")
                                           : credentialsFile);
    default: break;
    }
    const QString text = QString::fromUtf8(message && *message ? message : MQTTAsync_strerror(code));
    return text.isEmpty() ? QStringLiteral("error %1").arg(code) : text;
}

} // namespace

// The library calls these on its own threads with the publisher as context.
struct MqttPublisher::Callbacks
{
    static MqttPublisher &of(void *context) { return *static_cast<MqttPublisher *>(context); }

    static void connected(void *context, char *)
    {
        MqttPublisher &p = of(context);
        {
            std::lock_guard<std::mutex> lock(p.m_failureMutex);
            p.m_lastFailure.clear();
        }
        // The status goes again: a broker that restarted has forgotten it,
        // or holds the last will. The publisher's thread says "connected"
        // once it has handed it over, and so knows what that dropped.
        std::lock_guard<std::mutex> lock(p.m_mutex);
        if (!p.m_status.isEmpty())
            p.m_queue.push_back(Message{p.m_statusTopic, p.m_status, true});
        p.m_connected = true;
        p.m_wake.notify_one();
    }
    static void connectFailed(void *context, MQTTAsync_failureData *response)
    {
        MqttPublisher &p = of(context);
        const int code = response ? response->code : MQTTASYNC_FAILURE;
        QString reason = connectFailure(code, response ? response->message : nullptr, p.m_settings.credentialsFile);
        std::unique_lock<std::mutex> lock(p.m_failureMutex);
        if (!p.m_tlsError.isEmpty())
            reason += QStringLiteral(" (%1)").arg(std::exchange(p.m_tlsError, QString()));
        else if (code < 0)
            reason += QStringLiteral(" (does %1 name a host where a broker listens on port %2%3?)")
                          .arg(p.m_settings.host)
                          .arg(p.m_settings.port)
                          .arg(!p.m_settings.tls ? QString()
                               : p.m_settings.certFile.isEmpty()
                                   ? QStringLiteral(", with a certificate that names it, and that asks for no client "
                                                    "certificate (--mqtt-cert)")
                                   : QStringLiteral(", with a certificate that names it"));
        lock.unlock();
        p.connectFailed(reason);
    }
    static int tlsError(const char *text, size_t length, void *context)
    {
        MqttPublisher &p = of(context);
        std::lock_guard<std::mutex> lock(p.m_failureMutex);
        // "...:error:0A000086:SSL routines:FUNCTION:REASON:FILE:LINE:": the reason.
        const QStringList fields = QString::fromUtf8(text, qsizetype(length)).trimmed().split(QLatin1Char(':'));
        p.m_tlsError = fields.size() > 5 ? fields[5] : fields.join(QLatin1Char(':'));
        return 0;
    }
    static void connectionLost(void *context, char *cause)
    {
        MqttPublisher &p = of(context);
        p.report(QStringLiteral("connection to %1 lost (%2); records wait in the outbox and go out when it is back")
                     .arg(p.m_settings.url, cause && *cause ? QString::fromUtf8(cause) : QStringLiteral("closed")));
    }
    static void delivered(void *context, MQTTAsync_token) { ++of(context).m_delivered; }
    static int messageArrived(void *, char *topic, int, MQTTAsync_message *message)
    {
        // Nothing is subscribed; a message that comes all the same is dropped.
        MQTTAsync_freeMessage(&message);
        MQTTAsync_free(topic);
        return 1;
    }
    static void disconnected(void *context, MQTTAsync_successData *) { of(context).m_disconnectDone = true; }
    static void disconnectFailed(void *context, MQTTAsync_failureData *) { of(context).m_disconnectDone = true; }
};

MqttPublisher::MqttPublisher(MqttSettings settings, const QString &adapter, Sink events)
    : m_settings(std::move(settings)),
      m_statusTopic(m_settings.topic(adapter, QStringLiteral("status")).toUtf8()),
      m_pressureTopic(m_settings.topic(adapter, QStringLiteral("pressure")).toUtf8()),
      m_serverUri(m_settings.serverUri().toUtf8()),
      m_clientId(m_settings.clientId.toUtf8()),
      m_outbox(QFile::encodeName(m_settings.outboxDir)),
      m_events(std::move(events))
{
}

MqttPublisher::~MqttPublisher()
{
    if (m_thread.joinable())
        stop();
}

QByteArray MqttPublisher::recordPayload(const QDateTime &now, const QDateTime &runStart, double mbar,
                                        const QString &runName)
{
    // The numbers as the CSV writes them, so a reader gets the same values.
    const QJsonObject record{
        {QStringLiteral("time"), now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate)},
        {QStringLiteral("elapsed"), records::formatElapsed(runStart, now).toDouble()},
        {QStringLiteral("mbar"), records::formatPressure(mbar).toDouble()},
        {QStringLiteral("run"), runName},
    };
    return QJsonDocument(record).toJson(QJsonDocument::Compact);
}

void MqttPublisher::start()
{
    report(QStringLiteral("publishing to %1 as %2: %3 and %4 (QoS 1, waiting messages in %5)")
               .arg(m_settings.url, m_settings.clientId, QString::fromUtf8(m_pressureTopic),
                    QString::fromUtf8(m_statusTopic), m_settings.outboxDir));
    m_thread = std::thread([this] { run(); });
}

void MqttPublisher::record(const QDateTime &now, const QDateTime &runStart, double mbar, const QString &runName)
{
    post(Message{m_pressureTopic, recordPayload(now, runStart, mbar, runName), false});
}

void MqttPublisher::linkState(LinkState state)
{
    if (m_stateSent && state == m_lastState)
        return;
    m_lastState = state;
    m_stateSent = true;
    const QByteArray payload = text(state).toUtf8();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_status = payload;
    m_queue.push_back(Message{m_statusTopic, payload, true});
    m_wake.notify_one();
}

void MqttPublisher::post(Message message)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_queue.push_back(std::move(message));
    m_wake.notify_one();
}

void MqttPublisher::stop()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
        m_wake.notify_one();
    }
    m_thread.join();
    QCoreApplication::sendPostedEvents(&m_receiver);
}

void MqttPublisher::report(const QString &event)
{
    QMetaObject::invokeMethod(
        &m_receiver, [this, event] { m_events(QStringLiteral("MQTT: ") + event); }, Qt::QueuedConnection);
}

void MqttPublisher::reportConnected()
{
    QString event = QStringLiteral("connected to %1").arg(m_settings.url);
    if (const int dropped = std::exchange(m_dropped, 0))
        event += QStringLiteral("; %1 dropped while it was away (the outbox holds %2)")
                     .arg(count(dropped, "oldest message was", "oldest messages were"))
                     .arg(m_settings.bufferLimit);
    if (const int held = waiting())
        event += QStringLiteral("; %1 out now").arg(count(held, "waiting message goes", "waiting messages go"));
    report(event);
}

void MqttPublisher::connectFailed(const QString &reason)
{
    {
        std::lock_guard<std::mutex> lock(m_failureMutex);
        if (reason == m_lastFailure)
            return;
        m_lastFailure = reason;
    }
    report(QStringLiteral("cannot connect to %1: %2; trying again (up to every %3 s), records wait in the outbox "
                          "(up to %4) and the CSV logging goes on")
               .arg(m_settings.url, reason)
               .arg(kLongestRetryS)
               .arg(m_settings.bufferLimit));
}

void MqttPublisher::run()
{
    const bool ready = createClient();
    for (;;) {
        std::deque<Message> batch;
        bool stopping = false;
        bool connected = false;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [this] { return !m_queue.empty() || m_stopping || m_connected; });
            batch.swap(m_queue);
            stopping = m_stopping;
            connected = std::exchange(m_connected, false);
        }
        if (ready) {
            for (const Message &message : batch)
                send(message);
        }
        if (connected)
            reportConnected();
        if (stopping)
            break;
    }
    if (!ready)
        return;
    disconnect(kStopTimeoutMs);
    MQTTAsync client = m_client;
    MQTTAsync_destroy(&client);
    m_client = nullptr;
}

bool MqttPublisher::createClient()
{
    QString error;
    if (!makePrivateFolder(m_settings.outboxDir, &error)) {
        report(QStringLiteral("not publishing: the outbox: %1").arg(error));
        return false;
    }
    MQTTAsync_createOptions create = MQTTAsync_createOptions_initializer;
    create.sendWhileDisconnected = 1;
    create.allowDisconnectedSendAtAnyTime = 1;
    create.maxBufferedMessages = m_settings.bufferLimit;
    create.deleteOldestMessages = 1;
    create.restoreMessages = 1;
    create.MQTTVersion = MQTTVERSION_3_1_1;
    MQTTAsync client = nullptr;
    int rc = MQTTAsync_createWithOptions(&client, m_serverUri.constData(), m_clientId.constData(),
                                         MQTTCLIENT_PERSISTENCE_DEFAULT, const_cast<char *>(m_outbox.constData()),
                                         &create);
    if (rc != MQTTASYNC_SUCCESS) {
        report(QStringLiteral("not publishing: the client cannot start with the outbox %1: %2")
                   .arg(m_settings.outboxDir, QString::fromUtf8(MQTTAsync_strerror(rc))));
        return false;
    }
    m_client = client;
    MQTTAsync_setCallbacks(client, this, &Callbacks::connectionLost, &Callbacks::messageArrived,
                           &Callbacks::delivered);
    MQTTAsync_setConnected(client, this, &Callbacks::connected);

    m_handed = pending();
    if (m_handed > 0)
        report(QStringLiteral("%1 from before in the outbox go out first").arg(count(m_handed, "message", "messages")));

    MQTTAsync_willOptions will = MQTTAsync_willOptions_initializer;
    will.topicName = m_statusTopic.constData();
    will.message = kWill;
    will.retained = 1;
    will.qos = kQos;
    MQTTAsync_SSLOptions ssl = MQTTAsync_SSLOptions_initializer;
    const QByteArray ca = QFile::encodeName(m_settings.caFile);
    const QByteArray cert = QFile::encodeName(m_settings.certFile);
    const QByteArray key = QFile::encodeName(m_settings.keyFile);
    ssl.trustStore = ca.isEmpty() ? nullptr : ca.constData();
    ssl.keyStore = cert.isEmpty() ? nullptr : cert.constData();
    ssl.privateKey = key.isEmpty() ? nullptr : key.constData();
    ssl.enableServerCertAuth = 1;
    ssl.verify = 1;   // the certificate must name the host
    ssl.ssl_error_cb = &Callbacks::tlsError;
    ssl.ssl_error_context = this;

    MQTTAsync_connectOptions options = MQTTAsync_connectOptions_initializer;
    options.keepAliveInterval = kKeepAliveS;
    options.cleansession = 0;
    options.will = &will;
    options.connectTimeout = kConnectTimeoutS;
    options.automaticReconnect = 1;
    options.minRetryInterval = kFirstRetryS;
    options.maxRetryInterval = kLongestRetryS;
    options.MQTTVersion = MQTTVERSION_3_1_1;
    options.onFailure = &Callbacks::connectFailed;
    options.context = this;
    if (!m_settings.userName.isEmpty()) {
        options.username = m_settings.userName.constData();
        options.binarypwd.len = int(m_settings.password.size());
        options.binarypwd.data = m_settings.password.constData();
    }
    if (m_settings.tls)
        options.ssl = &ssl;
    rc = MQTTAsync_connect(client, &options);
    if (rc != MQTTASYNC_SUCCESS)
        connectFailed(connectFailure(rc, nullptr, m_settings.credentialsFile));
    return true;
}

int MqttPublisher::pending() const
{
    MQTTAsync_token *tokens = nullptr;
    int n = 0;
    if (MQTTAsync_getPendingTokens(m_client, &tokens) == MQTTASYNC_SUCCESS && tokens) {
        while (tokens[n] != -1)
            ++n;
        MQTTAsync_free(tokens);
    }
    return n;
}

void MqttPublisher::countDropped()
{
    // The library drops the oldest message that waits, without a word,
    // when `bufferLimit` of them wait; those in flight do not count. What
    // it still holds tells how many went.
    int delivered = 0;
    int held = 0;
    do {
        delivered = m_delivered;
        held = pending();
    } while (delivered != m_delivered);
    const int dropped = m_handed - delivered - held - m_droppedTotal;
    if (dropped <= 0)
        return;
    m_droppedTotal += dropped;
    if (std::exchange(m_dropped, m_dropped + dropped) == 0)
        report(QStringLiteral("the outbox is full (%1 messages): the oldest are dropped from now on")
                   .arg(m_settings.bufferLimit));
}

void MqttPublisher::send(const Message &message)
{
    // Fewer than the bound held, in flight or not: none can go.
    const bool mayDrop = waiting() >= m_settings.bufferLimit;
    MQTTAsync_message out = MQTTAsync_message_initializer;
    out.payload = const_cast<char *>(message.payload.constData());
    out.payloadlen = int(message.payload.size());
    out.qos = kQos;
    out.retained = message.retained ? 1 : 0;
    MQTTAsync_responseOptions response = MQTTAsync_responseOptions_initializer;
    const int rc = MQTTAsync_sendMessage(m_client, message.topic.constData(), &out, &response);
    if (rc != MQTTASYNC_SUCCESS) {
        report(QStringLiteral("a message to %1 was not taken: %2")
                   .arg(QString::fromUtf8(message.topic), QString::fromUtf8(MQTTAsync_strerror(rc))));
        return;
    }
    ++m_handed;
    if (mayDrop)
        countDropped();
}

void MqttPublisher::disconnect(int timeoutMs)
{
    if (MQTTAsync_isConnected(m_client)) {
        MQTTAsync_disconnectOptions options = MQTTAsync_disconnectOptions_initializer;
        options.timeout = timeoutMs;
        options.onSuccess = &Callbacks::disconnected;
        options.onFailure = &Callbacks::disconnectFailed;
        options.context = this;
        if (MQTTAsync_disconnect(m_client, &options) == MQTTASYNC_SUCCESS) {
            const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs + 1000);
            while (!m_disconnectDone && std::chrono::steady_clock::now() < end)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    const int waiting = pending();
    report(waiting == 0 ? QStringLiteral("disconnected from %1, every message delivered").arg(m_settings.url)
                        : QStringLiteral("%1 the broker has not taken stay in %2 for the next start")
                              .arg(count(waiting, "message", "messages"), m_settings.outboxDir));
}

} // namespace logger
