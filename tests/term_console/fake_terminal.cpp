#include "fake_terminal.h"

#include <algorithm>
#include <cstring>

namespace vistamere::term::testing {

void FakeTerminal::Schedule(Event event) {
  const auto later =
      std::upper_bound(script_.begin(), script_.end(), event.at,
                       [](Milliseconds at, const Event& scheduled) { return at < scheduled.at; });
  script_.insert(later, std::move(event));
}

void FakeTerminal::SendAt(Milliseconds at, std::string bytes) {
  Schedule({Event::Kind::kBytes, at, std::move(bytes), {}, false});
}

void FakeTerminal::ResizeAt(Milliseconds at, int columns, int rows) {
  Schedule({Event::Kind::kResize, at, {}, {columns, rows}, false});
}

void FakeTerminal::ContinueAt(Milliseconds at, bool given_back) {
  Schedule({Event::Kind::kContinue, at, {}, {}, given_back});
}

void FakeTerminal::HangUpAt(Milliseconds at) {
  Schedule({Event::Kind::kHangUp, at, {}, {}, false});
}

void FakeTerminal::ForeignOutputAt(Milliseconds at, std::string bytes) {
  Schedule({Event::Kind::kForeignOutput, at, std::move(bytes), {}, false});
}

void FakeTerminal::Happen(const Event& event) {
  switch (event.kind) {
    case Event::Kind::kBytes:
      input_ += event.bytes;
      break;
    case Event::Kind::kResize:
      size_ = event.size;
      screen_.Resize(event.size.columns, event.size.rows);
      news_.resized = true;
      break;
    case Event::Kind::kContinue:
      news_.continued = true;
      news_.given_back = news_.given_back || event.given_back;
      // What the restore bytes undid, the terminal now shows undone.
      if (event.given_back) screen_.Feed(restore_bytes_);
      break;
    case Event::Kind::kHangUp:
      hung_up_ = true;
      break;
    case Event::Kind::kForeignOutput:
      screen_.Feed(event.bytes);
      break;
  }
}

bool FakeTerminal::Write(std::string_view bytes) {
  if (hung_up_) return false;
  written_ += bytes;
  last_write_at_ = now_;
  screen_.Feed(bytes);
  if (answer_queries_) input_ += screen_.TakeAnswers();
  return true;
}

bool FakeTerminal::Wait(Milliseconds timeout) {
  while (!script_.empty() && script_.front().at <= now_) {
    Happen(script_.front());
    script_.pop_front();
  }
  if (Ready()) return true;
  if (script_.empty() && timeout.count() < 0) throw ScriptEnded();
  // Input that comes just as the time is up does not count: the wait has
  // timed out by then, as poll() does.
  if (script_.empty() || (timeout.count() >= 0 && script_.front().at >= now_ + timeout)) {
    now_ += timeout;
    return false;
  }
  now_ = script_.front().at;
  while (!script_.empty() && script_.front().at <= now_) {
    Happen(script_.front());
    script_.pop_front();
  }
  return true;
}

TerminalRead FakeTerminal::Read(std::span<std::uint8_t> buffer) {
  if (input_.empty()) return {0, hung_up_};
  const std::size_t count = std::min(buffer.size(), input_.size());
  std::memcpy(buffer.data(), input_.data(), count);
  input_.erase(0, count);
  return {count, false};
}

TerminalNews FakeTerminal::TakeNews() {
  const TerminalNews news = news_;
  news_ = {};
  return news;
}

}  // namespace vistamere::term::testing
