#include "ui/posted_progress.h"

#include <algorithm>

namespace tavrin {

void PostedProgress::SetProgress(int percent) {
  {
    std::lock_guard<std::mutex> lock(lock_);
    pending_.progress = std::clamp(percent, 0, 100);
  }
  Post();
}

void PostedProgress::SetStatus(const std::wstring& text) {
  {
    std::lock_guard<std::mutex> lock(lock_);
    pending_.status = text;
  }
  Post();
}

void PostedProgress::Post() {
  {
    std::lock_guard<std::mutex> lock(lock_);
    if (posted_) return;
    posted_ = true;
  }
  PostMessageW(window_, message_, 0, 0);
}

PostedProgress::Update PostedProgress::Take() {
  std::lock_guard<std::mutex> lock(lock_);
  Update update = std::move(pending_);
  pending_ = {};
  posted_ = false;
  return update;
}

}  // namespace tavrin
