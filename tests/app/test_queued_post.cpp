#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>
#include <memory>
#include <thread>

#include "app/queued_post.h"

namespace orvela {
namespace {

TEST(QueuedPost, RunsTheCallOnTheReceiversThreadThroughItsEventLoop) {
  QObject receiver;
  const TTiluPlayer::PostFunction post = QueuedPost(&receiver);

  std::thread::id ranOn;
  int runs = 0;
  std::thread audio([&] {
    post([&] {
      ranOn = std::this_thread::get_id();
      ++runs;
    });
  });
  audio.join();
  EXPECT_EQ(runs, 0);  // nothing runs until the event loop turns
  QCoreApplication::processEvents();
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(ranOn, std::this_thread::get_id());

  // A call posted for a receiver that is gone before the loop turns is dropped.
  auto shortLived = std::make_unique<QObject>();
  const TTiluPlayer::PostFunction late = QueuedPost(shortLived.get());
  late([&] { ++runs; });
  shortLived.reset();
  late([&] { ++runs; });
  QCoreApplication::processEvents();
  EXPECT_EQ(runs, 1);
}

}  // namespace
}  // namespace orvela
