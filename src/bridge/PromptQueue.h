// The upgrades from origins neither allowed nor blocked, waiting for a person's answer: one
// question on the screen at a time, at most 8 waiting behind it, each one gone as soon as its
// connection closes, and "Not now" after 60 seconds without an answer.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tavo::bridge {

enum class PromptAnswer { AllowOnce, AlwaysAllow, Block, NotNow };

inline constexpr int kMaxWaitingPrompts = 8;
inline constexpr int kPromptTimeoutMs = 60000;

// A question on the screen; destroying it takes it away unanswered.
class ShownPrompt {
 public:
  virtual ~ShownPrompt() = default;
};

// Shows the question about `origin`; `answered` may be called once, from the event loop.
using ShowPrompt = std::function<std::unique_ptr<ShownPrompt>(
    const QString& origin, std::function<void(PromptAnswer)> answered)>;

class PromptQueue : public QObject {
 public:
  // `answered` gets each upgrade with its answer; the socket may have gone meanwhile (null).
  using Answered = std::function<void(QTcpSocket*, const std::string& origin, PromptAnswer)>;

  PromptQueue(ShowPrompt show, Answered answered, int timeoutMs = kPromptTimeoutMs);
  ~PromptQueue() override;

  // Queues the upgrade on `socket` (normalized `origin`); false when 8 wait already.
  bool Add(QTcpSocket* socket, const std::string& origin);

  // Answers the waiting upgrades of origins `decided` now answers (after a person's "Always
  // allow" or "Block"), without asking again.
  void Revisit(const std::function<std::optional<PromptAnswer>(const std::string&)>& decided);

  int Count() const { return static_cast<int>(entries_.size()); }
  int CountOf(const std::string& origin) const;

  // Takes every question away and drops every upgrade unanswered.
  void Clear();

 private:
  struct Entry {
    QPointer<QTcpSocket> socket;
    std::string origin;
  };

  void ShowNext();
  void OnAnswer(PromptAnswer answer);
  void OnClosed(QTcpSocket* socket);

  ShowPrompt show_;
  Answered answered_;
  std::deque<Entry> entries_;  // the front one is being asked while shown_ holds its question
  std::unique_ptr<ShownPrompt> shown_;
  QTimer timeout_;
  quint64 asked_ = 0;  // numbers the questions, so a late answer to a gone one is ignored
};

}  // namespace tavo::bridge
