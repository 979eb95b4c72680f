// The logger's MQTT options, on the command line or in a per-adapter
// configuration file (FOLDER/ADAPTER.conf of --config-dir, the service's
// /etc/pressure-logger/ADAPTER.conf) whose keys are the long options'
// names:
//
//   mqtt = mqtts://broker.lab:8883
//   mqtt-ca = /etc/pressure-logger/lab-ca.pem
//   mqtt-credentials = /etc/pressure-logger/enp3s0.credentials
//
// An option on the command line wins over the file.
#pragma once

#include "mqtt_settings.h"

#include <QCommandLineParser>

namespace logger {

void addMqttOptions(QCommandLineParser &parser);

// The settings from the parsed line and the adapter's configuration file,
// checked and completed with their defaults: topics under PREFIX/HOST/ADAPTER,
// the client id pressure-logger-HOST-ADAPTER, the outbox OUTPUT/mqtt-outbox.
// The credentials file is read here. False with `error` set when something
// is wrong; without --mqtt (or mqtt = in the file) `settings` stays disabled.
bool takeMqttOptions(const QCommandLineParser &parser, const QString &adapter, const QString &outputDir,
                     MqttSettings *settings, QString *error);

} // namespace logger
