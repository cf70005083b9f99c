#include "speech/LazySpeechPlayer.h"

#include "speech/SpeechPlayer.h"

namespace moorlink {

std::shared_ptr<SpeechPlayer> LazySpeechPlayer::Get() noexcept {
  std::unique_lock lock(mutex_);
  madeSignal_.wait(lock, [this] { return !making_; });
  if (player_ || closed_ || !factory_) return player_;
  making_ = true;
  lock.unlock();

  std::shared_ptr<SpeechPlayer> player;
  try {
    player = factory_();
  } catch (...) {
  }

  lock.lock();
  making_ = false;
  const bool keep = !closed_;
  if (keep) player_ = player;
  lock.unlock();
  madeSignal_.notify_all();
  // A player made after Close is let go here, outside the lock.
  return keep ? player : nullptr;
}

std::shared_ptr<SpeechPlayer> LazySpeechPlayer::IfMade() noexcept {
  std::lock_guard lock(mutex_);
  return player_;
}

std::shared_ptr<SpeechPlayer> LazySpeechPlayer::Close() noexcept {
  std::lock_guard lock(mutex_);
  closed_ = true;
  return std::move(player_);
}

}  // namespace moorlink
