#include "Findings.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "Automation.h"
#include "Translation.h"

namespace tavo::tool {
namespace {

class JsonReader {
 public:
  explicit JsonReader(const std::string& text) : text_(text) {}

  std::vector<Finding> Findings() {
    std::vector<Finding> findings;
    Expect('[');
    if (Peek() == ']') return Next(), findings;
    do {
      findings.push_back(Object());
    } while (Accept(','));
    Expect(']');
    Skip();
    if (at_ != text_.size()) Fail();
    return findings;
  }

 private:
  Finding Object() {
    Finding finding;
    Expect('{');
    if (Peek() == '}') return Next(), finding;
    do {
      const std::string name = Text();
      Expect(':');
      if (Peek() == '"') {
        const std::string value = Text();
        if (name == "severity") finding.severity = value;
        if (name == "document") finding.document = value;
        if (name == "path") finding.path = value;
        if (name == "key") finding.key = value;
        if (name == "message") finding.message = value;
        if (name == "hint") finding.hint = value;
      } else {
        const long value = Number();
        if (name == "line") finding.line = value;
        if (name == "column") finding.column = value;
      }
    } while (Accept(','));
    Expect('}');
    return finding;
  }

  std::string Text() {
    Expect('"');
    std::string value;
    while (at_ < text_.size() && text_[at_] != '"') {
      char c = text_[at_++];
      if (c != '\\') {
        value += c;
        continue;
      }
      if (at_ >= text_.size()) Fail();
      c = text_[at_++];
      switch (c) {
        case 'n':
          value += '\n';
          break;
        case 'r':
          value += '\r';
          break;
        case 't':
          value += '\t';
          break;
        case 'u': {
          // Only control characters are written this way.
          if (at_ + 4 > text_.size()) Fail();
          value += static_cast<char>(std::strtol(text_.substr(at_, 4).c_str(), nullptr, 16));
          at_ += 4;
          break;
        }
        default:
          value += c;
      }
    }
    Expect('"');
    return value;
  }

  long Number() {
    Skip();
    const size_t start = at_;
    if (at_ < text_.size() && text_[at_] == '-') ++at_;
    while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
    if (at_ == start) Fail();
    return std::strtol(text_.substr(start, at_ - start).c_str(), nullptr, 10);
  }

  void Skip() {
    while (at_ < text_.size() &&
           (text_[at_] == ' ' || text_[at_] == '\n' || text_[at_] == '\r' || text_[at_] == '\t')) {
      ++at_;
    }
  }
  char Peek() {
    Skip();
    return at_ < text_.size() ? text_[at_] : '\0';
  }
  void Next() { ++at_; }
  bool Accept(char c) {
    if (Peek() != c) return false;
    ++at_;
    return true;
  }
  void Expect(char c) {
    if (!Accept(c)) Fail();
  }
  [[noreturn]] void Fail() const {
    throw ToolFailure(1, Tr("the control's findings are not in the expected form"));
  }

  const std::string& text_;
  size_t at_ = 0;
};

}  // namespace

std::vector<Finding> ParseFindings(const std::string& json) { return JsonReader(json).Findings(); }

std::string FormatFindings(const std::vector<Finding>& findings, const std::string& ruleFile,
                           const std::string& dataFile) {
  std::string out;
  int counts[3] = {0, 0, 0};
  const char* severities[3] = {"error", "warning", "note"};
  // The severities as a person reads them; the control's findings themselves stay as it gives them.
  const std::string shown[3] = {Tr("error"), Tr("warning"), Tr("note")};
  // Within a severity the rule's findings come first, then the data's, each by line.
  std::vector<const Finding*> ordered;
  for (const Finding& finding : findings) ordered.push_back(&finding);
  std::stable_sort(ordered.begin(), ordered.end(), [](const Finding* a, const Finding* b) {
    return std::pair(a->document == "data", a->line) < std::pair(b->document == "data", b->line);
  });
  for (int group = 0; group < 3; ++group) {
    for (const Finding* entry : ordered) {
      const Finding& finding = *entry;
      if (finding.severity != severities[group]) continue;
      ++counts[group];
      out += finding.document == "data" ? dataFile : ruleFile;
      if (finding.line > 0) out += ":" + std::to_string(finding.line);
      if (finding.column > 0) out += ":" + std::to_string(finding.column);
      out += ": " + shown[group] + ": ";
      if (!finding.path.empty()) out += finding.path + ": ";
      out += finding.message;
      if (!finding.hint.empty()) out += " (" + finding.hint + ")";
      out += "\n";
    }
  }
  auto count = [](int n, const char* one, const char* many) {
    return TrPlural(one, many, static_cast<unsigned long>(n), {std::to_string(n)});
  };
  out += count(counts[0], "%1 error", "%1 errors") + ", " +
         count(counts[1], "%1 warning", "%1 warnings") + ", " +
         count(counts[2], "%1 note", "%1 notes") + "\n";
  return out;
}

int FindingsExitCode(const std::vector<Finding>& findings) {
  int code = 0;
  for (const Finding& finding : findings) {
    if (finding.severity == "error") return 2;
    if (finding.severity == "warning") code = 1;
  }
  return code;
}

}  // namespace tavo::tool
