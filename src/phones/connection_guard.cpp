#include "phones/connection_guard.h"

#include <QTcpSocket>

namespace orvela {

TConnectionGuard::TConnectionGuard(Limits limits, QObject* parent) : QTcpServer(parent), limits_(limits) {
  clock_.start();
  // Deadlines are checked once a second: a slow sender is cut within a second
  // of its deadline, and an idle jukebox wakes once a second for it.
  sweep_.setInterval(1000);
  connect(&sweep_, &QTimer::timeout, this, &TConnectionGuard::Sweep);
}

void TConnectionGuard::incomingConnection(qintptr descriptor) {
  auto* socket = new QTcpSocket(this);
  if (!socket->setSocketDescriptor(descriptor)) {
    delete socket;
    return;
  }
  const QHostAddress address = socket->peerAddress();
  if (sockets_.size() >= limits_.connections || perAddress_.value(address) >= limits_.connectionsPerAddress) {
    socket->abort();
    socket->deleteLater();
    return;
  }
  Tracked t;
  t.socket = socket;
  t.address = address;
  t.lastTraffic = clock_.elapsed();
  sockets_.insert(socket, t);
  ++perAddress_[address];
  // Connected before the HTTP server connects its own: the bytes are counted
  // before they are parsed.
  connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Received(socket); });
  connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { Answered(socket); });
  connect(socket, &QObject::destroyed, this, [this, socket] { Drop(socket); });
  connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
  if (!sweep_.isActive()) sweep_.start();
  // QTcpServer announces it once this returns.
  addPendingConnection(socket);
}

void TConnectionGuard::Received(QTcpSocket* socket) {
  auto it = sockets_.find(socket);
  if (it == sockets_.end()) return;
  Tracked& t = *it;
  const qint64 now = clock_.elapsed();
  const qint64 bytes = socket->bytesAvailable();
  t.lastTraffic = now;
  if (t.requestStart < 0) t.requestStart = now;
  t.requestBytes += bytes;
  if (t.requestBytes > limits_.requestBytes) socket->abort();
}

void TConnectionGuard::Answered(QTcpSocket* socket) {
  auto it = sockets_.find(socket);
  if (it == sockets_.end()) return;
  it->requestBytes = 0;
  it->requestStart = -1;
  it->lastTraffic = clock_.elapsed();
}

void TConnectionGuard::MarkLive(const QHostAddress& peer, quint16 port) {
  for (Tracked& t : sockets_) {
    if (t.socket && t.socket->peerPort() == port && t.socket->peerAddress() == peer) {
      t.live = true;
      return;
    }
  }
}

void TConnectionGuard::Sweep() {
  const qint64 now = clock_.elapsed();
  QList<QTcpSocket*> late;
  // The HTTP server cuts every connection of a socket it hands on as a live
  // channel, our destroyed() among them: such entries are let go here.
  for (auto it = sockets_.begin(); it != sockets_.end();) {
    if (it->socket) {
      ++it;
      continue;
    }
    if (--perAddress_[it->address] <= 0) perAddress_.remove(it->address);
    it = sockets_.erase(it);
  }
  for (const Tracked& t : sockets_) {
    if (t.live) continue;
    const bool requestLate = t.requestStart >= 0 && now - t.requestStart > limits_.requestMilliseconds;
    const bool idle = now - t.lastTraffic > limits_.idleMilliseconds;
    if (requestLate || idle) late.append(t.socket);
  }
  for (QTcpSocket* socket : late) socket->abort();
  if (sockets_.isEmpty()) sweep_.stop();
}

void TConnectionGuard::Drop(QTcpSocket* socket) {
  const auto it = sockets_.find(socket);
  if (it == sockets_.end()) return;
  const QHostAddress address = it->address;
  sockets_.erase(it);
  if (--perAddress_[address] <= 0) perAddress_.remove(address);
}

}  // namespace orvela
