#include "app/queued_post.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>

namespace orvela {

TTiluPlayer::PostFunction QueuedPost(QObject* receiver) {
  // QPointer: the hand-over may outlive the receiver; invokeMethod on a null
  // context then does nothing.
  return [target = QPointer<QObject>(receiver)](std::function<void()> call) {
    QObject* context = target.data();
    if (context == nullptr) return;
    QMetaObject::invokeMethod(context, std::move(call), Qt::QueuedConnection);
  };
}

}  // namespace orvela
