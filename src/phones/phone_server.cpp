#include "phones/phone_server.h"

#include <QFile>
#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponse>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QUrlQuery>
#include <QWebSocket>
#include <algorithm>

#include "common/codepage.h"
#include "phones/connection_guard.h"
#include "phones/phone_host.h"

namespace orvela {
namespace {

using Status = QHttpServerResponder::StatusCode;

// Entries of the queue a phone is shown after the playing title; the rest is counted.
constexpr std::size_t kQueueShown = 50;
constexpr qsizetype kChoiceBodyBytes = 1024;
constexpr int kLiveConnections = 200;
constexpr int kLiveFrameBytes = 1024;
constexpr int kPingMilliseconds = 30'000;

QString Text(const std::string& codePage) { return QString::fromStdString(Cp1252ToUtf8(codePage)); }

QHttpServerResponse Json(const QJsonObject& object, Status status = Status::Ok) {
  return QHttpServerResponse("application/json", QJsonDocument(object).toJson(QJsonDocument::Compact), status);
}

QHttpServerResponse Refusal(const QString& message, Status status) {
  return Json(QJsonObject{{"meldung", message}}, status);
}

QByteArray Resource(const QString& name) {
  QFile file(name);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// 32 hex digits from the system's random source: a phone's name, and so not guessable.
QString RandomHex(int bytes) {
  QByteArray raw(bytes, Qt::Uninitialized);
  for (char& c : raw) c = static_cast<char>(QRandomGenerator::system()->bounded(256));
  return QString::fromLatin1(raw.toHex());
}

bool IsPhoneName(const QString& name) {
  if (name.size() != 32) return false;
  return std::all_of(name.begin(), name.end(), [](QChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f');
  });
}

QJsonObject StandingJson(const TPhoneStanding& s) {
  return QJsonObject{{"wartend", s.waiting}, {"proHandy", s.perPhone}, {"warten", s.waitSeconds}};
}

}  // namespace

TPhoneServer::TPhoneServer(TPhoneHost& host, QObject* parent)
    : TPhoneServer(host, [] { return QDateTime::currentDateTime(); }, parent) {}

TPhoneServer::TPhoneServer(TPhoneHost& host, NowFunction now, QObject* parent)
    : QObject(parent), host_(host), now_(std::move(now)) {
  RollCode();
  codeTimer_.setInterval(30'000);
  connect(&codeTimer_, &QTimer::timeout, this, &TPhoneServer::RollCode);
  pushTimer_.setSingleShot(true);
  pushTimer_.setInterval(100);
  connect(&pushTimer_, &QTimer::timeout, this, &TPhoneServer::SendQueue);
  pingTimer_.setInterval(kPingMilliseconds);
  connect(&pingTimer_, &QTimer::timeout, this, [this] {
    for (QWebSocket* socket : live_) socket->ping();
    // The remaining time drifts from the phones' own count when the operator
    // moves the position bar: they hear the truth now and then.
    SendQueue();
  });
}

TPhoneServer::~TPhoneServer() { Stop(); }

bool TPhoneServer::Start(quint16 port, const QHostAddress& address) {
  Stop();
  http_ = std::make_unique<QHttpServer>();
  guard_ = new TConnectionGuard(limits_, http_.get());
  if (!guard_->listen(address, port)) {
    http_.reset();
    guard_ = nullptr;
    return false;
  }
  http_->bind(guard_);
  Route();
  connect(http_.get(), &QAbstractHttpServer::newWebSocketConnection, this, &TPhoneServer::NewLiveConnection);
  codeTimer_.start();
  pingTimer_.start();
  return true;
}

void TPhoneServer::Stop() {
  for (QWebSocket* socket : std::exchange(live_, {})) {
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
  }
  http_.reset();
  guard_ = nullptr;
  codeTimer_.stop();
  pingTimer_.stop();
  pushTimer_.stop();
  buckets_.clear();
}

bool TPhoneServer::IsListening() const { return guard_ != nullptr && guard_->isListening(); }

quint16 TPhoneServer::Port() const { return IsListening() ? guard_->serverPort() : 0; }

QString TPhoneServer::PageAddress(const QString& host) const {
  if (!IsListening() || host.isEmpty()) return {};
  const QString bracketed = host.contains(u':') ? u'[' + host + u']' : host;
  return QStringLiteral("http://%1:%2/?k=%3").arg(bracketed).arg(Port()).arg(code_);
}

void TPhoneServer::RollCode() {
  // The day of a code begins at six in the morning, when the bar is closed.
  const QDate day = now_().addSecs(-kCodeChangeHour * 3600).date();
  if (!code_.isEmpty() && day == codeDay_) return;
  codeDay_ = day;
  code_ = RandomHex(5);
  emit AccessCodeChanged();
}

bool TPhoneServer::CodeOk(const QHttpServerRequest& request) const {
  return request.query().queryItemValue(QStringLiteral("k"), QUrl::FullyDecoded) == code_;
}

bool TPhoneServer::Admit(const QHostAddress& address, double cost) {
  const qint64 now = QDateTime::currentMSecsSinceEpoch();
  if (buckets_.size() > 4096) {
    // A flood of addresses: forget those that have been quiet for a minute.
    for (auto it = buckets_.begin(); it != buckets_.end();)
      it = now - it->at > 60'000 ? buckets_.erase(it) : std::next(it);
  }
  Bucket& b = buckets_[address];
  if (b.at == 0) b.at = now;
  b.tokens = std::min(kRequestBurst, b.tokens + (now - b.at) / 1000.0 * kRequestsPerSecond);
  b.at = now;
  if (b.tokens < cost) return false;
  b.tokens -= cost;
  return true;
}

QString TPhoneServer::PhoneOf(const QHttpServerRequest& request) const {
  for (const auto& [name, value] : request.headers()) {
    if (name.compare("cookie", Qt::CaseInsensitive) != 0) continue;
    for (const QByteArray& part : value.split(';')) {
      const QByteArray pair = part.trimmed();
      if (pair.startsWith(QByteArray(kCookieName) + '=')) {
        const QString phone = QString::fromLatin1(pair.mid(qsizetype(qstrlen(kCookieName)) + 1));
        if (IsPhoneName(phone)) return phone;
      }
    }
  }
  return {};
}

void TPhoneServer::Route() {
  using Method = QHttpServerRequest::Method;
  http_->route("/", Method::Get, [this](const QHttpServerRequest& r) { return Page(r); });
  http_->route("/api/suche", Method::Get, [this](const QHttpServerRequest& r) { return Search(r); });
  http_->route("/api/warteschlange", Method::Get, [this](const QHttpServerRequest& r) { return Queue(r); });
  http_->route("/api/waehlen", Method::Post, [this](const QHttpServerRequest& r) { return Choose(r); });
  http_->route("/api/cover", Method::Get, [this](const QHttpServerRequest& r) { return Cover(r); });
  // The upgrade to a live channel is taken only when a route claims the
  // request; the channel itself is checked when it arrives (NewLiveConnection).
  http_->route("/live", Method::Get, [](const QHttpServerRequest&, QHttpServerResponder&&) {});
  http_->setMissingHandler([](const QHttpServerRequest&, QHttpServerResponder&& responder) {
    responder.write(Status::NotFound);
  });
  http_->afterRequest([](QHttpServerResponse&& response) {
    if (!response.hasHeader("Cache-Control")) response.addHeader("Cache-Control", "no-store");
    response.addHeader("X-Content-Type-Options", "nosniff");
    response.addHeader("Referrer-Policy", "no-referrer");
    // The page carries its style and script; it may talk to this server alone.
    response.addHeader("Content-Security-Policy",
                       "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; "
                       "img-src data: blob:; connect-src 'self'; base-uri 'none'; form-action 'none'; "
                       "frame-ancestors 'none'");
    return std::move(response);
  });
}

QHttpServerResponse TPhoneServer::Page(const QHttpServerRequest& request) {
  if (!Admit(request.remoteAddress())) return QHttpServerResponse(Status::TooManyRequests);
  if (!CodeOk(request)) {
    static const QByteArray scan = Resource(QStringLiteral(":/phones/scan.html"));
    return QHttpServerResponse("text/html; charset=utf-8", scan, Status::Forbidden);
  }
  static const QByteArray page = Resource(QStringLiteral(":/phones/page.html"));
  QHttpServerResponse response("text/html; charset=utf-8", page);
  if (PhoneOf(request).isEmpty()) {
    response.addHeader("Set-Cookie", QByteArray(kCookieName) + '=' + RandomHex(16).toLatin1() +
                                         "; Path=/; Max-Age=86400; HttpOnly; SameSite=Strict");
  }
  return response;
}

QHttpServerResponse TPhoneServer::Search(const QHttpServerRequest& request) {
  if (!Admit(request.remoteAddress())) return QHttpServerResponse(Status::TooManyRequests);
  if (!CodeOk(request)) return Refusal(QString::fromUtf8(kScanText), Status::Forbidden);
  const QUrlQuery query = request.query();
  const auto mode = SearchModeFromName(query.queryItemValue(QStringLiteral("modus")).toStdString());
  if (!mode) return Refusal(QStringLiteral("Unbekannte Suchart"), Status::BadRequest);
  // The raw bytes, so that text which is no UTF-8 is refused rather than searched as "?".
  const QByteArray raw = QByteArray::fromPercentEncoding(
      query.queryItemValue(QStringLiteral("text"), QUrl::FullyEncoded).toLatin1());
  if (!IsWellFormedUtf8(std::string_view(raw.constData(), static_cast<std::size_t>(raw.size())))) {
    return Refusal(QStringLiteral("Der Suchtext ist kein g\u00fcltiger Text"), Status::BadRequest);
  }
  const QString text = QString::fromUtf8(raw);
  if (static_cast<std::size_t>(text.size()) > kPhoneSearchMaxCharacters) {
    return Refusal(QStringLiteral("Der Suchtext ist zu lang"), Status::BadRequest);
  }
  const TPhoneSearchAnswer answer = host_.PhoneSearch(*mode, Utf8ToCp1252(raw.toStdString()));
  QJsonArray titles;
  for (const TPhoneTitle& t : answer.titles) {
    titles.append(QJsonObject{{"id", QString::fromStdString(t.id)},
                              {"interpret", Text(t.interpret)},
                              {"titel", Text(t.titel)},
                              {"genre", Text(t.genre)},
                              {"jahr", Text(t.jahr)},
                              {"dauer", Text(t.dauer)}});
  }
  return Json(QJsonObject{
      {"gesamt", static_cast<qint64>(answer.total)}, {"titel", titles}, {"cover", host_.PhoneCovers()}});
}

QByteArray TPhoneServer::QueueJson() {
  const TPhoneQueueView view = host_.PhoneQueue();
  QJsonArray next;
  for (std::size_t i = 0; i < view.next.size() && i < kQueueShown; ++i) {
    const TPhoneQueueEntry& e = view.next[i];
    next.append(QJsonObject{{"titel", Text(e.caption)}, {"dauer", Text(e.dauer)}, {"start", Text(e.start)}});
  }
  QJsonObject object{{"status", Text(view.status)},
                     {"jetzt", Text(view.nowCaption)},
                     {"laenge", static_cast<qint64>(view.nowLength)},
                     {"rest", static_cast<qint64>(view.nowRemaining)},
                     {"warteschlange", next},
                     {"weitere", static_cast<qint64>(view.nextTotal - std::min(view.nextTotal, kQueueShown))}};
  return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QHttpServerResponse TPhoneServer::Queue(const QHttpServerRequest& request) {
  if (!Admit(request.remoteAddress())) return QHttpServerResponse(Status::TooManyRequests);
  if (!CodeOk(request)) return Refusal(QString::fromUtf8(kScanText), Status::Forbidden);
  QJsonObject object = QJsonDocument::fromJson(QueueJson()).object();
  const QString phone = PhoneOf(request);
  if (!phone.isEmpty()) object.insert("stand", StandingJson(host_.PhoneStanding(phone.toStdString())));
  return Json(object);
}

QHttpServerResponse TPhoneServer::Choose(const QHttpServerRequest& request) {
  if (!Admit(request.remoteAddress())) return QHttpServerResponse(Status::TooManyRequests);
  if (!CodeOk(request)) return Refusal(QString::fromUtf8(kScanText), Status::Forbidden);
  const QString phone = PhoneOf(request);
  if (phone.isEmpty()) return Refusal(QStringLiteral("Bitte die Seite neu laden."), Status::Forbidden);
  const QByteArray body = request.body();
  if (body.size() > kChoiceBodyBytes) return Refusal(QStringLiteral("Anfrage zu gro\u00df"), Status::PayloadTooLarge);
  QJsonParseError error;
  const QJsonDocument document = QJsonDocument::fromJson(body, &error);
  const QString id = document.object().value("id").toString();
  if (error.error != QJsonParseError::NoError || id.isEmpty() || id.size() > 64) {
    return Refusal(QStringLiteral("Unbekannter Titel"), Status::BadRequest);
  }
  const TPhoneChoice choice = host_.PhoneChoose(phone.toStdString(), id.toStdString());
  return Json(QJsonObject{{"aufgenommen", choice.added},
                          {"meldung", Text(choice.message)},
                          {"stand", StandingJson(choice.standing)}});
}

QHttpServerResponse TPhoneServer::Cover(const QHttpServerRequest& request) {
  if (!Admit(request.remoteAddress(), kCoverRequestCost)) return QHttpServerResponse(Status::TooManyRequests);
  if (!CodeOk(request)) return Refusal(QString::fromUtf8(kScanText), Status::Forbidden);
  const QString id = request.query().queryItemValue(QStringLiteral("id"), QUrl::FullyDecoded);
  if (id.isEmpty() || id.size() > 64) return QHttpServerResponse(Status::BadRequest);
  const TPhoneCover cover = host_.PhoneCover(id.toStdString());
  if (!cover.found || cover.jpeg.empty()) return QHttpServerResponse(Status::NotFound);
  QHttpServerResponse response("image/jpeg", QByteArray::fromStdString(cover.jpeg));
  if (cover.settled) {
    // An id names a title of the collection as loaded: its picture stays for the evening.
    response.addHeader("Cache-Control", "private, max-age=3600");
  } else {
    response.addHeader("X-Cover", "wartet");
  }
  return response;
}

void TPhoneServer::NewLiveConnection() {
  while (http_ && http_->hasPendingWebSocketConnections()) {
    QWebSocket* socket = http_->nextPendingWebSocketConnection().release();
    const QHostAddress address = socket->peerAddress();
    const QUrlQuery query(socket->requestUrl());
    const int fromAddress = static_cast<int>(
        std::count_if(live_.begin(), live_.end(), [&](QWebSocket* s) { return s->peerAddress() == address; }));
    const bool allowed = socket->requestUrl().path() == QStringLiteral("/live") &&
                         query.queryItemValue(QStringLiteral("k")) == code_ && fromAddress < kLivePerAddress &&
                         live_.size() < kLiveConnections && Admit(address);
    if (!allowed) {
      socket->close(QWebSocketProtocol::CloseCodePolicyViolated);
      socket->deleteLater();
      continue;
    }
    if (guard_ != nullptr) guard_->MarkLive(address, socket->peerPort());
    socket->setParent(this);
    socket->setMaxAllowedIncomingFrameSize(kLiveFrameBytes);
    socket->setMaxAllowedIncomingMessageSize(kLiveFrameBytes);
    live_.append(socket);
    connect(socket, &QWebSocket::disconnected, this, [this, socket] {
      live_.removeOne(socket);
      socket->deleteLater();
    });
    socket->sendTextMessage(QString::fromUtf8(QueueJson()));
  }
}

void TPhoneServer::QueueChanged() {
  if (!live_.isEmpty() && !pushTimer_.isActive()) pushTimer_.start();
}

void TPhoneServer::SendQueue() {
  if (live_.isEmpty()) return;
  const QString message = QString::fromUtf8(QueueJson());
  for (QWebSocket* socket : live_) socket->sendTextMessage(message);
}

}  // namespace orvela
