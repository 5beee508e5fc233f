#pragma once
// The page the guests' phones open from the QR code: served from inside the
// jukebox, on the event loop of the screen, so that the queue, the program
// folder's lock and the kept queue stay one. Every answer comes from the
// TPhoneHost, which holds phones to the screen's own rules.
//
// A phone must show the day's code (in the QR's address) with every request,
// so a photo of yesterday's QR code queues nothing; it is known by a random
// cookie the page sets.
#include <QDateTime>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

#include "phones/connection_guard.h"

class QHttpServer;
class QHttpServerRequest;
class QHttpServerResponse;
class QWebSocket;

namespace orvela {

class TPhoneHost;

class TPhoneServer : public QObject {
  Q_OBJECT

 public:
  using NowFunction = std::function<QDateTime()>;

  // Requests one address may make per second on average, and in a burst.
  static constexpr double kRequestsPerSecond = 10.0;
  static constexpr double kRequestBurst = 40.0;
  // What a cover costs of that: a page of hits asks for a dozen at once.
  static constexpr double kCoverRequestCost = 0.25;
  // Live-update connections of one address.
  static constexpr int kLivePerAddress = 4;
  // The code changes each day at this hour, and at every start.
  static constexpr int kCodeChangeHour = 6;
  static constexpr const char* kScanText = "Bitte den QR-Code an der Jukebox scannen";
  static constexpr const char* kCookieName = "orvela_handy";

  explicit TPhoneServer(TPhoneHost& host, QObject* parent = nullptr);
  TPhoneServer(TPhoneHost& host, NowFunction now, QObject* parent = nullptr);
  ~TPhoneServer() override;

  // Before Start; the defaults are what a venue needs.
  void SetConnectionLimits(const TConnectionGuard::Limits& limits) { limits_ = limits; }
  // A new code when the day (from six to six) has changed since the last one;
  // a timer asks twice a minute.
  void CheckAccessCode() { RollCode(); }

  // Listens on every address of the machine; false when the port is taken.
  // Port 0 takes a free one (tests).
  bool Start(quint16 port, const QHostAddress& address = QHostAddress::Any);
  void Stop();
  bool IsListening() const;
  quint16 Port() const;
  QString AccessCode() const { return code_; }
  // "http://HOST:PORT/?k=CODE": what the QR code says.
  QString PageAddress(const QString& host) const;
  // The queue or the playing state changed: the phones hear of it.
  void QueueChanged();
  int LiveConnections() const { return static_cast<int>(live_.size()); }

 signals:
  void AccessCodeChanged();

 private:
  void Route();
  bool CodeOk(const QHttpServerRequest& request) const;
  bool Admit(const QHostAddress& address, double cost = 1.0);
  QString PhoneOf(const QHttpServerRequest& request) const;
  QHttpServerResponse Page(const QHttpServerRequest& request);
  QHttpServerResponse Search(const QHttpServerRequest& request);
  QHttpServerResponse Queue(const QHttpServerRequest& request);
  QHttpServerResponse Choose(const QHttpServerRequest& request);
  QHttpServerResponse Cover(const QHttpServerRequest& request);
  QByteArray QueueJson();
  void NewLiveConnection();
  void SendQueue();
  void RollCode();

  TPhoneHost& host_;
  NowFunction now_;
  std::unique_ptr<QHttpServer> http_;
  TConnectionGuard::Limits limits_;
  TConnectionGuard* guard_ = nullptr;  // owned by http_
  QString code_;
  QDate codeDay_;
  QTimer codeTimer_;
  QTimer pushTimer_;   // gathers a burst of queue changes into one message
  QTimer pingTimer_;
  QList<QWebSocket*> live_;
  struct Bucket {
    double tokens = kRequestBurst;
    qint64 at = 0;  // ms since epoch
  };
  QHash<QHostAddress, Bucket> buckets_;
};

}  // namespace orvela
