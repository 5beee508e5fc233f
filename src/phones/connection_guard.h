#pragma once
// The listening socket of the phones' page. Every connection passes through
// here before the HTTP server sees a byte, so that whatever the network sends
// costs the jukebox a bounded amount of memory and time: a cap on connections
// (in all and per address), on the bytes of one request, on the time one
// request may take to arrive, and on idle connections.
#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTimer>

class QTcpSocket;

namespace orvela {

class TConnectionGuard : public QTcpServer {
  Q_OBJECT

 public:
  struct Limits {
    int connections = 256;               // open at once, in all
    int connectionsPerAddress = 24;      // a phone opens a handful; the rest is a flood
    qint64 requestBytes = 64 * 1024;     // request line, headers and body of one request
    int requestMilliseconds = 10'000;    // from a request's first byte to its answer
    int idleMilliseconds = 30'000;       // a kept-alive connection without traffic
  };

  explicit TConnectionGuard(QObject* parent = nullptr) : TConnectionGuard(Limits{}, parent) {}
  TConnectionGuard(Limits limits, QObject* parent = nullptr);

  // The connection has become a live-update channel: no request deadline and
  // no idle limit (the server pings it; the channel bounds its own frames).
  void MarkLive(const QHostAddress& peer, quint16 port);
  int OpenConnections() const { return static_cast<int>(sockets_.size()); }
  const Limits& CurrentLimits() const { return limits_; }

 protected:
  void incomingConnection(qintptr descriptor) override;

 private:
  struct Tracked {
    QPointer<QTcpSocket> socket;
    QHostAddress address;
    qint64 requestBytes = 0;     // since the last answer
    qint64 requestStart = -1;    // ms, first byte since the last answer; -1: none pending
    qint64 lastTraffic = 0;      // ms
    bool live = false;
  };

  void Received(QTcpSocket* socket);
  void Answered(QTcpSocket* socket);
  void Sweep();
  void Drop(QTcpSocket* socket);

  Limits limits_;
  QElapsedTimer clock_;
  QTimer sweep_;
  QHash<QTcpSocket*, Tracked> sockets_;
  QHash<QHostAddress, int> perAddress_;
};

}  // namespace orvela
