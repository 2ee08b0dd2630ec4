// The ANSI code page: the code set of the calling thread's locale, in which the engine keeps
// every text. A C or POSIX locale counts as UTF-8, so Chinese text is never lost in a bare
// container. A GBK or GB2312 locale uses GB18030, their superset, so no character is lost.
// Conversions go through iconv; a character the code page cannot hold becomes "?".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavo::codepage {

// The iconv name of the ANSI code page of the calling thread ("UTF-8", "GB18030", "BIG5", ...).
std::string AnsiCodeSet();

// UTF-16 (automation strings, the DOM) to ANSI and back.
std::string WideToAnsi(std::u16string_view wide);
std::u16string AnsiToWide(std::string_view ansi);

// ANSI to UTF-8 and back, for libraries that speak UTF-8 (Qt, CUPS, fontconfig).
std::string AnsiToUtf8(std::string_view ansi);
std::string Utf8ToAnsi(std::string_view utf8);

// UTF-8 and UTF-16, independent of any locale. Malformed input is replaced, never lost: a byte
// that is not UTF-8 becomes U+FFFD, a lone surrogate "?".
std::u16string Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::u16string_view wide);
// UTF-16 to UTF-8, or nothing when the text holds a lone surrogate.
std::optional<std::string> StrictWideToUtf8(std::u16string_view wide);
// True for well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view text);

// The ANSI text cut into its characters, each one's bytes in order: a multi-byte character of
// the code page is one entry and is never split. Joining the entries gives the text back.
std::vector<std::string> SplitCharacters(std::string_view ansi);

// Makes the calling thread use another code set as its ANSI code page while it lives, so tests
// can run under GBK without changing the process locale. GBK's names stand for GB18030 here too.
class ScopedCodeSet {
 public:
  explicit ScopedCodeSet(std::string codeSet);
  ~ScopedCodeSet();
  ScopedCodeSet(const ScopedCodeSet&) = delete;
  ScopedCodeSet& operator=(const ScopedCodeSet&) = delete;

 private:
  std::string previous_;
};

}  // namespace tavo::codepage
