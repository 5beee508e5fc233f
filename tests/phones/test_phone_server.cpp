// The phones' server against what a network can send: the answers a phone
// needs, and every kind of hostile request answered with an error or dropped
// while the event loop (the screen's) stays free.
#include "phones/phone_server.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QWebSocket>
#include <string>
#include <vector>

#include "phones/phone_host.h"
#include "support/raw_client.h"

namespace orvela {
namespace {

using testing::Exchange;
using testing::RawReply;
using testing::WhileServing;

class ScriptedHost : public TPhoneHost {
 public:
  TPhoneSearchAnswer PhoneSearch(TSearchMode mode, const std::string& text) override {
    searches.push_back({mode, text});
    TPhoneSearchAnswer answer;
    answer.total = 3;
    answer.titles.push_back({"7.1", "K\xE4pt'n Peng", "Die Brettschneider", "Hip Hop", "2007", "03:31"});
    return answer;
  }
  TPhoneChoice PhoneChoose(const std::string& phone, const std::string& id) override {
    choices.push_back({phone, id});
    TPhoneChoice choice;
    choice.added = id == "7.1";
    choice.message = choice.added ? "Titel ist in der Warteschlange." : "Titel ist schon vorhanden !";
    choice.standing = {1, 2, 30};
    return choice;
  }
  TPhoneQueueView PhoneQueue() override {
    TPhoneQueueView view;
    view.status = status;
    view.nowCaption = "Nena - 99 Luftballons";
    view.nowLength = 232;
    view.nowRemaining = 100;
    view.next = {{"\xC4rzte - Schrei nach Liebe", "4:02", "ca. 21:14"}};
    view.nextTotal = 1;
    return view;
  }
  TPhoneStanding PhoneStanding(const std::string&) override { return {0, 2, 0}; }
  bool PhoneCovers() override { return true; }
  TPhoneCover PhoneCover(const std::string& id) override {
    coverIds.push_back(id);
    TPhoneCover cover;
    cover.found = id == "7.1";
    cover.settled = coverSettled;
    if (cover.found) cover.jpeg = "\xFF\xD8\xFF\xE0 a picture";
    return cover;
  }

  struct Search {
    TSearchMode mode;
    std::string text;
  };
  std::vector<Search> searches;
  std::vector<std::pair<std::string, std::string>> choices;
  std::vector<std::string> coverIds;
  bool coverSettled = true;
  std::string status = "Play";
};

class PhoneServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_.SetConnectionLimits(Limits());
    ASSERT_TRUE(server_.Start(0, QHostAddress::LocalHost));
    port_ = server_.Port();
    code_ = server_.AccessCode().toStdString();
  }
  virtual TConnectionGuard::Limits Limits() const {
    TConnectionGuard::Limits limits;
    limits.requestMilliseconds = 700;
    limits.idleMilliseconds = 1500;
    return limits;
  }
  RawReply Get(const std::string& target, const std::string& headers = "", const char* from = "127.0.0.1") {
    const std::string request =
        "GET " + target + " HTTP/1.1\r\nHost: jukebox\r\n" + headers + "Connection: close\r\n\r\n";
    const int port = port_;
    return WhileServing([=] { return Exchange(port, request, 3000, from); });
  }
  RawReply Post(const std::string& target, const std::string& body, const std::string& headers = "") {
    const std::string request = "POST " + target + " HTTP/1.1\r\nHost: jukebox\r\n" + headers +
                                "Content-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
                                "\r\nConnection: close\r\n\r\n" + body;
    const int port = port_;
    return WhileServing([=] { return Exchange(port, request); });
  }
  std::string Cookie() {
    const RawReply page = Get("/?k=" + code_);
    const std::size_t at = page.bytes.find("orvela_handy=");
    return at == std::string::npos ? std::string() : page.bytes.substr(at + 13, 32);
  }
  // The server still answers an honest request at once.
  void ExpectStillServing(const char* from = "127.0.0.9") {
    const RawReply reply = Get("/api/warteschlange?k=" + code_, "", from);
    EXPECT_EQ(reply.Status(), 200) << reply.bytes.substr(0, 200);
  }

  ScriptedHost host_;
  QDateTime now_ = QDateTime(QDate(2026, 12, 11), QTime(21, 0));
  TPhoneServer server_{host_, [this] { return now_; }};
  int port_ = 0;
  std::string code_;
};

TEST_F(PhoneServerTest, ThePageNeedsTheDaysCodeAndGivesTheCodeAPhoneName) {
  const RawReply page = Get("/?k=" + code_);
  EXPECT_EQ(page.Status(), 200);
  EXPECT_NE(page.bytes.find("Content-Type: text/html; charset=utf-8"), std::string::npos);
  EXPECT_NE(page.Body().find("<title>Orvela Jukebox</title>"), std::string::npos);
  EXPECT_NE(page.bytes.find("HttpOnly"), std::string::npos);
  EXPECT_EQ(Cookie().size(), 32u);
  EXPECT_NE(Cookie(), Cookie());  // each new phone its own

  for (const std::string& target :
       std::vector<std::string>{"/", "/?k=", "/?k=falsch", "/?k=" + code_ + "x", "/?K=" + code_}) {
    SCOPED_TRACE(target);
    const RawReply refused = Get(target);
    EXPECT_EQ(refused.Status(), 403);
    EXPECT_NE(refused.Body().find("Bitte den QR-Code an der Jukebox scannen"), std::string::npos);
    EXPECT_EQ(refused.Body().find("<script"), std::string::npos);
    EXPECT_EQ(refused.bytes.find("orvela_handy="), std::string::npos);
  }
  // A phone that has its name keeps it.
  const RawReply again = Get("/?k=" + code_, "Cookie: orvela_handy=" + std::string(32, 'a') + "\r\n");
  EXPECT_EQ(again.bytes.find("Set-Cookie"), std::string::npos);
}

TEST_F(PhoneServerTest, ACodeFromYesterdayOrFromBeforeARestartOpensNothing) {
  const std::string evening = code_;
  now_ = QDateTime(QDate(2026, 12, 12), QTime(5, 59));
  server_.CheckAccessCode();
  EXPECT_EQ(server_.AccessCode().toStdString(), evening);  // the night belongs to the evening
  now_ = QDateTime(QDate(2026, 12, 12), QTime(6, 0, 1));
  server_.CheckAccessCode();
  const std::string morning = server_.AccessCode().toStdString();
  EXPECT_NE(morning, evening);
  EXPECT_EQ(Get("/api/warteschlange?k=" + evening).Status(), 403);
  EXPECT_EQ(Get("/api/warteschlange?k=" + morning).Status(), 200);
  EXPECT_NE(server_.PageAddress("192.168.1.20").toStdString().find(morning), std::string::npos);

  TPhoneServer restarted(host_, [this] { return now_; });
  EXPECT_NE(restarted.AccessCode().toStdString(), morning);
}

TEST_F(PhoneServerTest, SearchPassesTheTextAsTheScreenHoldsIt) {
  const RawReply reply = Get("/api/suche?k=" + code_ + "&modus=titel&text=K%C3%A4pt");
  ASSERT_EQ(reply.Status(), 200) << reply.bytes;
  ASSERT_EQ(host_.searches.size(), 1u);
  EXPECT_EQ(host_.searches[0].mode, TSearchMode::Titel);
  EXPECT_EQ(host_.searches[0].text, "K\xE4pt");
  const QJsonObject answer = QJsonDocument::fromJson(QByteArray::fromStdString(reply.Body())).object();
  EXPECT_EQ(answer["gesamt"].toInt(), 3);
  const QJsonObject first = answer["titel"].toArray().at(0).toObject();
  EXPECT_EQ(first["interpret"].toString(), QStringLiteral("K\u00e4pt'n Peng"));
  EXPECT_EQ(first["id"].toString(), QStringLiteral("7.1"));
  EXPECT_FALSE(first.contains("pfad"));
  EXPECT_EQ(reply.Body().find("/m/"), std::string::npos);
  EXPECT_TRUE(answer["cover"].toBool());
}

std::string HeaderOf(const RawReply& reply, const std::string& name) {
  const std::string head = reply.bytes.substr(0, reply.bytes.find("\r\n\r\n"));
  for (std::size_t at = head.find("\r\n"); at != std::string::npos; at = head.find("\r\n", at + 2)) {
    const std::size_t colon = head.find(':', at + 2);
    const std::size_t end = head.find("\r\n", at + 2);
    if (colon == std::string::npos || colon > end) continue;
    if (QByteArray::fromStdString(head.substr(at + 2, colon - at - 2)).toLower() ==
        QByteArray::fromStdString(name).toLower()) {
      return QByteArray::fromStdString(head.substr(colon + 1, end - colon - 1)).trimmed().toStdString();
    }
  }
  return {};
}

TEST_F(PhoneServerTest, CoversAreServedByTheTitlesIdAndOneStillReadIsMarkedToAskAgain) {
  const RawReply cover = Get("/api/cover?k=" + code_ + "&id=7.1");
  ASSERT_EQ(cover.Status(), 200) << cover.bytes.substr(0, 300);
  EXPECT_EQ(HeaderOf(cover, "Content-Type"), "image/jpeg");
  EXPECT_EQ(cover.Body(), "\xFF\xD8\xFF\xE0 a picture");
  EXPECT_EQ(HeaderOf(cover, "X-Cover"), "");
  EXPECT_EQ(HeaderOf(cover, "Cache-Control"), "private, max-age=3600");

  host_.coverSettled = false;
  const RawReply tile = Get("/api/cover?k=" + code_ + "&id=7.1");
  ASSERT_EQ(tile.Status(), 200);
  EXPECT_EQ(HeaderOf(tile, "X-Cover"), "wartet");
  EXPECT_EQ(HeaderOf(tile, "Cache-Control"), "no-store");

  const struct {
    std::string target;
    int status;
  } refused[] = {
      {"/api/cover?id=7.1", 403},
      {"/api/cover?k=" + code_ + "&id=8.2", 404},
      {"/api/cover?k=" + code_ + "&id=%2Fetc%2Fpasswd", 404},
      {"/api/cover?k=" + code_, 400},
      {"/api/cover?k=" + code_ + "&id=" + std::string(65, '7'), 400},
  };
  for (const auto& r : refused) {
    SCOPED_TRACE(r.target);
    EXPECT_EQ(Get(r.target).Status(), r.status);
  }
  // The id reaches the jukebox as sent, never as a path the server opens.
  EXPECT_EQ(host_.coverIds, (std::vector<std::string>{"7.1", "7.1", "8.2", "/etc/passwd"}));
  // A page of hits asks for its covers at once without being slowed down.
  for (int i = 0; i < 60; ++i) ASSERT_EQ(Get("/api/cover?k=" + code_ + "&id=7.1").Status(), 200) << i;
}

TEST_F(PhoneServerTest, MalformedSearchesAreRefusedBeforeTheCollectionIsAsked) {
  const std::string hundred(100, 'a');
  const struct {
    std::string query;
    int status;
  } cases[] = {
      {"&modus=interpret&text=" + hundred, 200},
      {"&modus=interpret&text=" + hundred + "a", 400},
      {"&modus=interpret&text=%FF%FE", 400},
      {"&modus=interpret&text=%C3", 400},
      {"&modus=interpret&text=%ED%A0%80", 400},  // a lone surrogate
      {"&modus=lautstaerke&text=a", 400},
      {"&text=a", 400},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.query);
    host_.searches.clear();
    EXPECT_EQ(Get("/api/suche?k=" + code_ + c.query).Status(), c.status);
    EXPECT_EQ(host_.searches.size(), c.status == 200 ? 1u : 0u);
  }
}

TEST_F(PhoneServerTest, AChoiceNeedsThePhonesNameAndASmallBody) {
  const std::string cookie = Cookie();
  ASSERT_EQ(cookie.size(), 32u);
  const std::string withCookie = "Cookie: other=1; orvela_handy=" + cookie + "\r\n";

  RawReply reply = Post("/api/waehlen?k=" + code_, R"({"id":"7.1"})", withCookie);
  ASSERT_EQ(reply.Status(), 200) << reply.bytes;
  ASSERT_EQ(host_.choices.size(), 1u);
  EXPECT_EQ(host_.choices[0].first, cookie);
  EXPECT_EQ(host_.choices[0].second, "7.1");
  QJsonObject answer = QJsonDocument::fromJson(QByteArray::fromStdString(reply.Body())).object();
  EXPECT_TRUE(answer["aufgenommen"].toBool());
  EXPECT_EQ(answer["stand"].toObject()["proHandy"].toInt(), 2);

  // Refused by the rules: the screen's own words.
  reply = Post("/api/waehlen?k=" + code_, R"({"id":"7.2"})", withCookie);
  answer = QJsonDocument::fromJson(QByteArray::fromStdString(reply.Body())).object();
  EXPECT_FALSE(answer["aufgenommen"].toBool());
  EXPECT_EQ(answer["meldung"].toString(), QStringLiteral("Titel ist schon vorhanden !"));

  host_.choices.clear();
  const struct {
    const char* name;
    std::string target, body, headers;
    int status;
  } refused[] = {
      {"no phone name", "/api/waehlen?k=" + code_, R"({"id":"7.1"})", "", 403},
      {"a forged name", "/api/waehlen?k=" + code_, R"({"id":"7.1"})", "Cookie: orvela_handy=../../x\r\n", 403},
      {"no code", "/api/waehlen", R"({"id":"7.1"})", withCookie, 403},
      {"no JSON", "/api/waehlen?k=" + code_, "id=7.1", withCookie, 400},
      {"no id", "/api/waehlen?k=" + code_, R"({"titel":"x"})", withCookie, 400},
      {"a body past the limit", "/api/waehlen?k=" + code_, R"({"id":")" + std::string(3000, '1') + R"("})",
       withCookie, 413},
      {"a choice by GET", "/api/waehlen?k=" + code_, "", withCookie, 404},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.name);
    const RawReply r = std::string(c.name) == "a choice by GET" ? Get(c.target, c.headers)
                                                                : Post(c.target, c.body, c.headers);
    EXPECT_EQ(r.Status(), c.status) << r.bytes.substr(0, 200);
  }
  EXPECT_TRUE(host_.choices.empty());
}

TEST_F(PhoneServerTest, NoPathOfTheDiskAndNoOtherMethodReachesAnything) {
  for (const char* target : {"/../../../../etc/passwd", "/%2e%2e/%2e%2e/etc/passwd", "/phones/page.html",
                             "/page.html", "/:/phones/page.html", "/api/../../etc/passwd", "//etc/passwd",
                             "/api/suche/../../../etc/passwd?k=x", "/Jukebox.ini", "/Musikliste.xml"}) {
    SCOPED_TRACE(target);
    const RawReply reply = Get(target);
    EXPECT_TRUE(reply.Status() == 404 || reply.Status() == 400 || reply.Status() == 403) << reply.bytes;
    EXPECT_EQ(reply.bytes.find("root:"), std::string::npos);
    EXPECT_EQ(reply.bytes.find("<script"), std::string::npos);
  }
  for (const char* method : {"DELETE", "PUT", "OPTIONS", "TRACE", "BREW", "PATCH"}) {
    SCOPED_TRACE(method);
    const std::string request =
        std::string(method) + " /?k=" + code_ + " HTTP/1.1\r\nHost: j\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    const int port = port_;
    const RawReply reply = WhileServing([=] { return Exchange(port, request); });
    EXPECT_NE(reply.Status(), 200);
    EXPECT_EQ(reply.bytes.find("<script"), std::string::npos);
  }
  ExpectStillServing();
}

TEST_F(PhoneServerTest, OversizedRequestsAreCutOffAndTheServerServesOn) {
  const int port = port_;
  const struct {
    const char* name;
    std::string request;
  } cases[] = {
      {"a 10 MB body", "POST /api/waehlen?k=" + code_ + " HTTP/1.1\r\nHost: j\r\nContent-Length: 10485760\r\n\r\n" +
                           std::string(10 * 1024 * 1024, 'x')},
      {"a 100 KB request line", "GET /?k=" + std::string(100 * 1024, 'a') + " HTTP/1.1\r\nHost: j\r\n\r\n"},
      {"100 KB of headers", "GET / HTTP/1.1\r\nHost: j\r\nX-Pad: " + std::string(100 * 1024, 'b') + "\r\n\r\n"},
      {"ten thousand headers", [] {
         std::string r = "GET / HTTP/1.1\r\nHost: j\r\n";
         for (int i = 0; i < 10000; ++i) r += "X-" + std::to_string(i) + ": 1\r\n";
         return r + "\r\n";
       }()},
      {"binary noise", std::string(200 * 1024, '\0')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string request = c.request;
    const RawReply reply = WhileServing([=] { return Exchange(port, request, 3000); });
    EXPECT_TRUE(reply.closedByServer || reply.sendFailed);
    EXPECT_NE(reply.Status(), 200);
  }
  ExpectStillServing();
}

TEST_F(PhoneServerTest, ASlowSenderIsCutAtItsDeadline) {
  const int port = port_;
  // Ten bytes every 200 ms: it would take seconds to finish.
  const std::string request = "GET /api/warteschlange?k=" + code_ + " HTTP/1.1\r\nHost: jukebox\r\nX-Slow: " +
                              std::string(60, 's') + "\r\n\r\n";
  QElapsedTimer timer;
  timer.start();
  const RawReply reply = WhileServing([=] { return Exchange(port, request, 5000, "127.0.0.1", 12, 200); });
  EXPECT_TRUE(reply.closedByServer || reply.sendFailed);
  EXPECT_NE(reply.Status(), 200);
  ExpectStillServing();
}

TEST_F(PhoneServerTest, AThousandIdleConnectionsLeaveRoomForAPhone) {
  testing::RaiseFileLimit();
  const int port = port_;
  std::vector<int> idle = WhileServing([=] {
    std::vector<int> fds;
    for (int i = 0; i < 1000; ++i) {
      const int fd = testing::OpenIdle(port, "127.0.0.1");
      if (fd >= 0) fds.push_back(fd);
    }
    return fds;
  });
  testing::ServeFor(200);
  // The flood's own address is at its share; another phone is served.
  ExpectStillServing("127.0.0.7");
  // Idle connections are let go in the end.
  testing::ServeFor(2600);
  const int stillOpen = WhileServing([&] {
    int open = 0;
    for (int fd : idle) open += testing::ClosedByServer(fd, 0) ? 0 : 1;
    return open;
  });
  EXPECT_EQ(stillOpen, 0);
  for (int fd : idle) testing::CloseFd(fd);
}

TEST_F(PhoneServerTest, OneAddressAskingTooOftenIsSlowedDownAndNoOtherIs) {
  int refused = 0;
  for (int i = 0; i < 80; ++i) refused += Get("/api/warteschlange?k=" + code_, "", "127.0.0.3").Status() == 429;
  EXPECT_GT(refused, 0);
  ExpectStillServing("127.0.0.4");
}

TEST_F(PhoneServerTest, LiveUpdatesNeedTheCodeAndFollowTheQueue) {
  QWebSocket phone;
  QStringList heard;
  QObject::connect(&phone, &QWebSocket::textMessageReceived, [&](const QString& m) { heard << m; });
  phone.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/live?k=%2").arg(port_).arg(QString::fromStdString(code_))));
  QElapsedTimer timer;
  timer.start();
  while (heard.isEmpty() && timer.elapsed() < 3000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  ASSERT_EQ(heard.size(), 1);
  EXPECT_EQ(QJsonDocument::fromJson(heard[0].toUtf8()).object()["jetzt"].toString(),
            QStringLiteral("Nena - 99 Luftballons"));
  EXPECT_EQ(server_.LiveConnections(), 1);

  host_.status = "Pause";
  server_.QueueChanged();
  server_.QueueChanged();  // a burst is one message
  timer.restart();
  while (heard.size() < 2 && timer.elapsed() < 3000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  testing::ServeFor(300);
  ASSERT_EQ(heard.size(), 2);
  EXPECT_EQ(QJsonDocument::fromJson(heard[1].toUtf8()).object()["status"].toString(), QStringLiteral("Pause"));

  // Without the code, or elsewhere, the channel is closed at once.
  for (const QString& address : {QStringLiteral("ws://127.0.0.1:%1/live?k=alt").arg(port_),
                                 QStringLiteral("ws://127.0.0.1:%1/anders?k=%2").arg(port_).arg(QString::fromStdString(code_))}) {
    QWebSocket stranger;
    bool closed = false;
    int messages = 0;
    QObject::connect(&stranger, &QWebSocket::disconnected, [&] { closed = true; });
    QObject::connect(&stranger, &QWebSocket::textMessageReceived, [&] { ++messages; });
    stranger.open(QUrl(address));
    timer.restart();
    while (!closed && timer.elapsed() < 3000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_TRUE(closed);
    EXPECT_EQ(messages, 0);
  }
  EXPECT_EQ(server_.LiveConnections(), 1);
}

}  // namespace
}  // namespace orvela
