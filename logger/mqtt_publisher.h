// Publishes the logger's records and link state to an MQTT broker without
// ever making the tick wait on the network.
//
// The tick only appends a message to an outbox in memory; a thread of the
// publisher's own hands each one to the client library (Eclipse Paho's
// asynchronous client), which may block for a while on a name lookup or a
// connect. The library sends at QoS 1 in a persistent session (clean session
// off, a stable client id) and, while the broker cannot be reached, keeps
// every message in order in memory and as a file in a private folder, up to
// `bufferLimit` of them; beyond that the oldest go first. A restarted logger
// finds the waiting messages in the folder and sends them first. The broker
// sends the retained last will "offline" on the status topic when the
// logger dies without saying "stopped".
//
// The events (connected, cannot connect and why, connection lost, messages
// dropped) go to `events` on the thread that made the publisher, through its
// event loop, each once when it happens.
#pragma once

#include "mqtt_settings.h"
#include "reading_publisher.h"

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace logger {

class MqttPublisher : public ReadingPublisher
{
public:
    using Sink = std::function<void(const QString &)>;

    MqttPublisher(MqttSettings settings, const QString &adapter, Sink events);
    ~MqttPublisher() override;
    MqttPublisher(const MqttPublisher &) = delete;
    MqttPublisher &operator=(const MqttPublisher &) = delete;

    // Starts the thread: the client with its waiting messages, and the
    // connection (retried by the library, from 1 s up to every 30 s).
    void start();
    void record(const QDateTime &now, const QDateTime &runStart, double mbar, const QString &runName) override;
    void linkState(LinkState state) override;
    // Hands the outbox over and disconnects, giving the broker up to
    // kStopTimeoutMs to take what is in flight; what it has not taken stays
    // in the folder for the next start. Then the last events are delivered.
    void stop() override;
    static constexpr int kStopTimeoutMs = 3000;

    // The JSON object of one record: local time with its UTC offset, elapsed
    // seconds and mbar with the CSV's digits, the run's name.
    static QByteArray recordPayload(const QDateTime &now, const QDateTime &runStart, double mbar,
                                    const QString &runName);

private:
    struct Message
    {
        QByteArray topic;
        QByteArray payload;
        bool retained = false;
    };

    void post(Message message);
    void report(const QString &event);
    void run();
    void reportConnected();
    bool createClient();
    void send(const Message &message);
    void disconnect(int timeoutMs);
    // The library's count of messages it holds (waiting or in flight).
    int pending() const;
    // Counts what the library dropped for the message just handed over.
    void countDropped();
    int waiting() const { return m_handed - m_delivered - m_droppedTotal; }

    // The client library's callbacks, on its threads.
    struct Callbacks;
    friend struct Callbacks;
    void connectFailed(const QString &reason);

    const MqttSettings m_settings;
    const QByteArray m_statusTopic;
    const QByteArray m_pressureTopic;
    const QByteArray m_serverUri;
    const QByteArray m_clientId;
    const QByteArray m_outbox;
    QObject m_receiver;   // delivers the events on the owner's thread
    Sink m_events;

    void *m_client = nullptr;   // MQTTAsync, used by the thread only
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Message> m_queue;   // the outbox between the tick and the thread
    bool m_stopping = false;
    bool m_connected = false;      // the library has connected: say so
    QByteArray m_status;           // the last status, sent again on every connect
    LinkState m_lastState = LinkState::Stopped;
    bool m_stateSent = false;

    // Every message handed over (or found in the outbox at the start) is
    // delivered, dropped by the library or still held by it. The library
    // drops only while the publisher's thread hands one over, so that
    // thread counts them; the library's thread counts deliveries.
    int m_handed = 0;
    int m_droppedTotal = 0;
    int m_dropped = 0;                 // since the last connect
    std::atomic<int> m_delivered{0};   // acknowledged by the broker
    std::atomic<bool> m_disconnectDone{false};
    std::mutex m_failureMutex;
    QString m_lastFailure;             // reported once until the next connect
    QString m_tlsError;                // the TLS library's last word
};

} // namespace logger
