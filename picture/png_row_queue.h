// The ring of rows between the PNG decoder's two threads: one decodes
// rows into it, the other hands them to the sink.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "picture/prefaulted_allocator.h"

namespace vistamere::picture {

// Rows are decoded on a thread of their own while the caller's thread hands
// them to the sink, through a queue of up to this many bytes of rows.
// Waking a sleeping thread costs tens of microseconds on some machines:
// the ring is long so that it happens rarely. Rows too wide for
// kMinQueueSlots of them to fit are decoded on the caller's thread, and so
// are rows narrower than kMinQueuedRowBytes, whose handing over through the
// queue's lock would cost more than decoding them.
inline constexpr std::size_t kQueueBytes = 4u << 20;
inline constexpr std::size_t kMaxQueueSlots = 128;
inline constexpr std::size_t kMinQueueSlots = 4;
inline constexpr std::size_t kMinQueuedRowBytes = 1024;

// How many rows of `row_bytes` the queue holds; 0 when such rows are
// better decoded on the caller's thread.
[[nodiscard]] inline std::size_t QueueSlots(std::size_t row_bytes) {
  const std::size_t slots = std::min(kMaxQueueSlots, kQueueBytes / row_bytes);
  return slots >= kMinQueueSlots && row_bytes >= kMinQueuedRowBytes ? slots : 0;
}

// Where a row's pixels go: RowSink::Pixels's arguments, in the delivered
// (possibly shrunk) picture.
struct Placement {
  std::uint32_t y = 0;
  std::uint32_t x_start = 0;
  std::uint32_t x_step = 1;
  std::uint32_t count = 0;
};

// A ring of row buffers between the decoding thread (the producer) and the
// sink's thread (the consumer). Each side sleeps until three quarters of
// the ring are ready for it, so the threads wake each other about once per
// ring, not per row.
class RowQueue {
 public:
  RowQueue(std::size_t slots, std::size_t row_bytes)
      : slots_(slots),
        batch_(slots - slots / 4),
        row_bytes_(row_bytes),
        rows_(slots * row_bytes),
        placements_(slots) {}

  // Producer: the buffer for the next row; nullptr once the consumer stopped.
  [[nodiscard]] std::uint8_t* Claim() {
    std::unique_lock lock(mutex_);
    if (tail_ - head_ == slots_ && !stopped_) {
      producer_waiting_ = true;
      room_.wait(lock, [this] { return tail_ - head_ <= slots_ - batch_ || stopped_; });
      producer_waiting_ = false;
    }
    if (stopped_) return nullptr;
    return rows_.data() + (tail_ % slots_) * row_bytes_;
  }

  // Producer: the buffer for the next rows, `count` (at least 1) of them
  // side by side; nullptr once the consumer stopped. A full ring is claimed
  // again once a quarter of it is free.
  [[nodiscard]] std::uint8_t* ClaimRun(std::size_t& count) {
    if (Claim() == nullptr) return nullptr;
    std::lock_guard lock(mutex_);
    const std::size_t slot = tail_ % slots_;
    count = std::min(slots_ - static_cast<std::size_t>(tail_ - head_), slots_ - slot);
    return rows_.data() + slot * row_bytes_;
  }

  // Producer: the first `count` rows of the run are filled, whole rows of
  // the picture from row `y` on.
  void PublishRun(std::size_t count, std::uint32_t y, std::uint32_t width) {
    std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < count; ++i) {
      placements_[(tail_ + i) % slots_] = Placement{y + static_cast<std::uint32_t>(i), 0, 1, width};
    }
    tail_ += count;
    if (consumer_waiting_ && tail_ - head_ >= batch_) ready_.notify_one();
  }

  // Producer: the claimed row is filled.
  void Publish(const Placement& where) {
    std::lock_guard lock(mutex_);
    placements_[tail_ % slots_] = where;
    ++tail_;
    if (consumer_waiting_ && tail_ - head_ >= batch_) ready_.notify_one();
  }

  // Producer: no more rows.
  void Finish() {
    std::lock_guard lock(mutex_);
    finished_ = true;
    ready_.notify_one();
  }

  // Consumer: the oldest row not yet released; false when there is none
  // left and none will come.
  [[nodiscard]] bool Next(Placement& where, const std::uint8_t*& pixels) {
    std::unique_lock lock(mutex_);
    if (tail_ == head_ && !finished_) {
      consumer_waiting_ = true;
      ready_.wait(lock, [this] { return tail_ - head_ >= batch_ || finished_; });
      consumer_waiting_ = false;
    }
    if (tail_ == head_) return false;
    where = placements_[head_ % slots_];
    pixels = rows_.data() + (head_ % slots_) * row_bytes_;
    return true;
  }

  // Consumer: the row after the one Next() gave, when it is there already
  // (nullptr when not).
  [[nodiscard]] const std::uint8_t* Second() {
    std::lock_guard lock(mutex_);
    if (tail_ - head_ < 2) return nullptr;
    return rows_.data() + ((head_ + 1) % slots_) * row_bytes_;
  }

  // Consumer: done with the row Next() gave (and with `count` - 1 more).
  void Release(std::size_t count = 1) {
    std::lock_guard lock(mutex_);
    head_ += count;
    if (producer_waiting_ && tail_ - head_ <= slots_ - batch_) room_.notify_one();
  }

  // Consumer: wants no more rows.
  void Stop() {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    room_.notify_one();
  }

 private:
  const std::size_t slots_;
  const std::size_t batch_;
  const std::size_t row_bytes_;
  std::vector<std::uint8_t, PrefaultedAllocator<std::uint8_t>> rows_;
  std::vector<Placement> placements_;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::condition_variable room_;
  std::uint64_t head_ = 0;  // rows released by the consumer
  std::uint64_t tail_ = 0;  // rows published by the producer
  bool producer_waiting_ = false;
  bool consumer_waiting_ = false;
  bool finished_ = false;
  bool stopped_ = false;
};

// Whatever the consumer does, its producer thread stops and is joined
// before the queue goes away.
class JoinProducer {
 public:
  JoinProducer(RowQueue& queue, std::thread& producer) : queue_(queue), producer_(producer) {}
  ~JoinProducer() {
    queue_.Stop();
    producer_.join();
  }
  JoinProducer(const JoinProducer&) = delete;
  JoinProducer& operator=(const JoinProducer&) = delete;

 private:
  RowQueue& queue_;
  std::thread& producer_;
};

}  // namespace vistamere::picture
