#pragma once
// The remote view's settings, Config.ini section [Remote]. Everything is off until the operator
// switches it on; the access code is made on first use and kept until "New code".
#include <QString>

struct RemoteSettings {
    static constexpr int DefaultPort = 8080;
    static constexpr int DefaultBrokerPort = 1883;

    bool Enabled = false;
    QString Address;  // empty: all interfaces
    int Port = DefaultPort;
    QString Code;
    QString CertificatePath; // both given: HTTPS
    QString KeyPath;

    bool MqttEnabled = false;
    QString MqttHost = QStringLiteral("localhost");
    int MqttPort = DefaultBrokerPort;
    bool MqttTls = false;
    QString MqttCaFile; // empty: the system's certificate authorities
    QString MqttUser;
    QString MqttPassword;
    QString Station; // empty: the host name

    // Reads [Remote] from the settings file; a missing code is generated (and left for the
    // caller to store).
    static RemoteSettings Load(const QString& configPath);
    // The keys in one replacement of the file; false with the reason when it failed.
    bool Save(const QString& configPath, QString* failure) const;

    QString StationName() const; // Station, or the host name when empty
    // The page's address as a tablet opens it: scheme, host, port and the code.
    QString PageUrl(const QString& host) const;
    bool IsHttps() const { return !CertificatePath.isEmpty() && !KeyPath.isEmpty(); }
};

// A station name fit for an MQTT topic level: no '/', '+', '#' or control characters.
QString TopicSafe(const QString& name);
