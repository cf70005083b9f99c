#pragma once
// The process's one speech player, made on its first use rather than at start: a program
// that never speaks, nor opens its voice list, never loads the speech components.
//
// Get makes it exactly once. The caller that makes it holds no lock while it does (the
// player logs, and its backend has locks of its own); others asking meanwhile wait for
// it without a lock. After Close nothing is made any more: exit with a player never made
// costs nothing, and one still being made when Close came is dropped by its maker.
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace moorlink {

class SpeechPlayer;

class LazySpeechPlayer {
 public:
  // Makes the player; a throw or a null result counts as not made, to be tried again at
  // the next use. It must not use this holder.
  using Factory = std::function<std::shared_ptr<SpeechPlayer>()>;

  explicit LazySpeechPlayer(Factory factory) : factory_(std::move(factory)) {}
  // A holder of a player already made.
  explicit LazySpeechPlayer(std::shared_ptr<SpeechPlayer> made) : player_(std::move(made)) {}
  LazySpeechPlayer(const LazySpeechPlayer&) = delete;
  LazySpeechPlayer& operator=(const LazySpeechPlayer&) = delete;

  // The player, made now if it is not yet; null after Close or when it cannot be made.
  std::shared_ptr<SpeechPlayer> Get() noexcept;
  // The player if it has been made; never makes it (silencing needs no player).
  std::shared_ptr<SpeechPlayer> IfMade() noexcept;
  // Ends making; returns the player made, if any, for the caller to stop and let go.
  std::shared_ptr<SpeechPlayer> Close() noexcept;

 private:
  const Factory factory_;
  std::mutex mutex_;  // guards the three below; never held while calling out
  std::condition_variable madeSignal_;
  bool making_ = false;
  bool closed_ = false;
  std::shared_ptr<SpeechPlayer> player_;
};

}  // namespace moorlink
