#include "fakes.h"

#include <algorithm>
#include <utility>

namespace linksift::testing_support {

std::optional<std::filesystem::path> FakeDialog::Show(const std::string& title,
                                                      const std::string& filter,
                                                      const std::filesystem::path& start_folder) {
  log_->push_back("Show " + title + "|" + filter);
  start_folders.push_back(start_folder);
  if (while_shown) while_shown();
  return answer;
}

void FakeLabel::SetText(const std::string& text) {
  log_->push_back("SetText");
  text_ = text;
  link.reset();
}

void FakeLabel::SetTextWithLink(const std::string& text, TextSpan shown_link) {
  SetText(text);
  link = shown_link;
}

void FakeOpener::ShowInFolder(const std::filesystem::path& file, Failed failed) {
  log_->push_back("ShowInFolder " + file.string());
  if (failure) failed(*failure);
}

void FakeOpener::Open(const std::filesystem::path& file, Failed failed) {
  log_->push_back("Open " + file.string());
  if (failure) failed(*failure);
}

void FakeView::EnableCommand1(bool enabled) {
  log_->push_back(enabled ? "EnableCommand1" : "DisableCommand1");
  command1_enabled = enabled;
}

void FakeView::ShowProgress(std::optional<int> shown_step) {
  log_->push_back(shown_step ? "ShowProgress " + std::to_string(*shown_step) : "ShowProgress busy");
  progress_shown = true;
  step = shown_step;
}

void FakeView::HideProgress() {
  log_->push_back("HideProgress");
  progress_shown = false;
}

void FakeView::ShowError(const std::string& message) {
  log_->push_back("ShowError");
  errors.push_back(message);
}

WindowQueue FakeWindowQueue::Queue() {
  return {.post =
              [this](BackgroundRun::Task task) {
                const std::lock_guard<std::mutex> lock(mutex_);
                tasks_.push_back(std::move(task));
                posted_.notify_one();
              },
          .post_delayed =
              [this](std::chrono::milliseconds delay, BackgroundRun::Task task) {
                delayed_.push_back({now_ + delay, std::move(task)});
              }};
}

bool FakeWindowQueue::RunUntil(const std::function<bool()>& done,
                               std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!posted_.wait_until(lock, deadline, [this] { return !tasks_.empty(); })) return false;
    BackgroundRun::Task task = std::move(tasks_.front());
    tasks_.pop_front();
    lock.unlock();
    task();
  }
  return true;
}

void FakeWindowQueue::Advance(std::chrono::milliseconds time) {
  const std::chrono::milliseconds until = now_ + time;
  for (;;) {
    const auto next =
        std::min_element(delayed_.begin(), delayed_.end(),
                         [](const Delayed& a, const Delayed& b) { return a.due < b.due; });
    if (next == delayed_.end() || next->due > until) break;
    now_ = next->due;
    const BackgroundRun::Task task = std::move(next->task);
    delayed_.erase(next);
    task();
  }
  now_ = until;
}

}  // namespace linksift::testing_support
