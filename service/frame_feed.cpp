#include "frame_feed.hpp"

namespace kestrel::service {

std::shared_ptr<Frame> FrameFeed::spare() {
  // A buffer only the pool holds: neither filling, nor latest, nor taken by
  // a publisher. At most a few are ever made (the driver's, the latest, one
  // per publishing thread).
  for (const std::shared_ptr<Frame> &frame : pool_) {
    if (frame.use_count() == 1) {
      return frame;
    }
  }
  auto frame = std::make_shared<Frame>();
  frame->bytes.resize(frame_bytes_);
  pool_.push_back(frame);
  return frame;
}

uint8_t *FrameFeed::first_buffer() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!filling_) {
    filling_ = spare();
  }
  return filling_->bytes.data();
}

uint8_t *FrameFeed::deliver(SystemTime stamp) {
  uint8_t *next;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!filling_) {
      filling_ = spare();
    }
    if (!closed_) {
      filling_->number = ++count_;
      filling_->stamp = stamp;
      latest_ = std::move(filling_);
      filling_ = spare();
    }
    next = filling_->bytes.data();
  }
  delivered_.notify_all();
  return next;
}

FramePtr FrameFeed::wait_next(uint64_t after, std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  delivered_.wait_for(lock, timeout, [&] { return closed_ || count_ > after; });
  if (closed_ || count_ <= after) {
    return nullptr;
  }
  return latest_;
}

FramePtr FrameFeed::latest() {
  std::lock_guard<std::mutex> lock(mutex_);
  return latest_;
}

bool FrameFeed::closed() {
  std::lock_guard<std::mutex> lock(mutex_);
  return closed_;
}

void FrameFeed::close() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
  }
  delivered_.notify_all();
}

void AccelFeed::deliver(double x, double y, double z, SystemTime stamp) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    latest_ = {x, y, z, latest_.number + 1, stamp};
  }
  delivered_.notify_all();
}

bool AccelFeed::wait_next(uint64_t after, std::chrono::milliseconds timeout, Accel &out) {
  std::unique_lock<std::mutex> lock(mutex_);
  delivered_.wait_for(lock, timeout, [&] { return closed_ || latest_.number > after; });
  if (closed_ || latest_.number <= after) {
    return false;
  }
  out = latest_;
  return true;
}

bool AccelFeed::closed() {
  std::lock_guard<std::mutex> lock(mutex_);
  return closed_;
}

void AccelFeed::close() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
  }
  delivered_.notify_all();
}

}  // namespace kestrel::service
