#include "bridge/PromptQueue.h"

#include <algorithm>

namespace tavo::bridge {

PromptQueue::PromptQueue(ShowPrompt show, Answered answered, int timeoutMs)
    : show_(std::move(show)), answered_(std::move(answered)) {
  timeout_.setSingleShot(true);
  timeout_.setInterval(timeoutMs);
  connect(&timeout_, &QTimer::timeout, this, [this] { OnAnswer(PromptAnswer::NotNow); });
}

PromptQueue::~PromptQueue() { Clear(); }

bool PromptQueue::Add(QTcpSocket* socket, const std::string& origin) {
  const int shown = shown_ ? 1 : 0;
  if (Count() - shown >= kMaxWaitingPrompts) return false;
  entries_.push_back({socket, origin});
  connect(socket, &QTcpSocket::disconnected, this, [this, socket] { OnClosed(socket); });
  if (!shown_) ShowNext();
  return true;
}

int PromptQueue::CountOf(const std::string& origin) const {
  return static_cast<int>(std::count_if(entries_.begin(), entries_.end(), [&](const Entry& entry) {
    return entry.origin == origin;
  }));
}

void PromptQueue::ShowNext() {
  while (!shown_ && !entries_.empty()) {
    if (!entries_.front().socket) {
      entries_.pop_front();
      continue;
    }
    const quint64 question = ++asked_;
    // The answer arrives inside the question's own signal; it is taken up once that is over.
    auto answered = [this, question](PromptAnswer answer) {
      QTimer::singleShot(0, this, [this, question, answer] {
        if (question == asked_ && shown_) OnAnswer(answer);
      });
    };
    shown_ = show_(QString::fromStdString(entries_.front().origin), answered);
    timeout_.start();
  }
}

void PromptQueue::OnAnswer(PromptAnswer answer) {
  timeout_.stop();
  shown_.reset();
  if (entries_.empty()) return;
  const Entry entry = entries_.front();
  entries_.pop_front();
  if (entry.socket) entry.socket->disconnect(this);
  answered_(entry.socket.data(), entry.origin, answer);
  ShowNext();
}

void PromptQueue::Revisit(
    const std::function<std::optional<PromptAnswer>(const std::string&)>& decided) {
  // The question on the screen stays; the person answers it.
  for (size_t i = shown_ ? 1 : 0; i < entries_.size();) {
    const std::optional<PromptAnswer> answer = decided(entries_[i].origin);
    if (!answer) {
      ++i;
      continue;
    }
    const Entry entry = entries_[i];
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
    if (entry.socket) entry.socket->disconnect(this);
    answered_(entry.socket.data(), entry.origin, *answer);
  }
}

void PromptQueue::OnClosed(QTcpSocket* socket) {
  const auto found = std::find_if(entries_.begin(), entries_.end(),
                                  [socket](const Entry& entry) { return entry.socket == socket; });
  if (found == entries_.end()) return;
  const bool asked = found == entries_.begin() && shown_;
  entries_.erase(found);
  if (asked) {
    timeout_.stop();
    shown_.reset();
    ++asked_;
    ShowNext();
  }
}

void PromptQueue::Clear() {
  timeout_.stop();
  shown_.reset();
  for (Entry& entry : entries_) {
    if (entry.socket) {
      entry.socket->disconnect(this);
      entry.socket->abort();
    }
  }
  entries_.clear();
}

}  // namespace tavo::bridge
