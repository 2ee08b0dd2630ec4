#include "platform/codepage/CodePage.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <utility>

#include "platform/core/Error.h"

namespace tavo::codepage {
namespace {

thread_local std::string t_override;

// A code set name in capitals without "-" and "_", so every spelling of one name compares equal.
std::string FoldedName(const std::string& name) {
  std::string folded;
  for (char c : name) {
    if (c != '-' && c != '_') folded += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  }
  return folded;
}

bool IsUtf8Name(const std::string& name) { return FoldedName(name) == "UTF8"; }

// GBK and GB2312 under every name glibc gives them. GB18030 holds all their characters with the
// same bytes and has a sequence for every other one, so it stands in for them.
bool IsGbkFamily(const std::string& name) {
  static const std::set<std::string> kNames{"GBK",    "CP936", "MS936",    "WINDOWS936", "GB13000",
                                            "GB2312", "EUCCN", "CSGB2312", "CNGB"};
  return kNames.contains(FoldedName(name));
}

constexpr char16_t kReplacement = u'\uFFFD';

// --- UTF-8 by hand: the common case needs no iconv at all. ---

// Decodes one UTF-8 sequence at s[i]; returns its length, or 0 when it is not valid UTF-8.
size_t DecodeUtf8(std::string_view s, size_t i, char32_t& cp) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  }
  size_t len;
  char32_t min;
  if ((b0 & 0xE0) == 0xC0) {
    len = 2, cp = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3, cp = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4, cp = b0 & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (i + len > s.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// --- iconv for every other code set. ---

struct IconvCloser {
  void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};
using IconvHandle = std::unique_ptr<void, IconvCloser>;

// Opening a converter is costly, so each thread keeps the ones it used.
iconv_t Converter(const std::string& to, const std::string& from) {
  thread_local std::map<std::pair<std::string, std::string>, IconvHandle> cache;
  auto key = std::make_pair(to, from);
  auto it = cache.find(key);
  if (it == cache.end()) {
    iconv_t cd = iconv_open(to.c_str(), from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) {
      throw Error("No conversion from " + from + " to " + to);
    }
    it = cache.emplace(key, IconvHandle(cd)).first;
  }
  iconv(static_cast<iconv_t>(it->second.get()), nullptr, nullptr, nullptr, nullptr);
  return static_cast<iconv_t>(it->second.get());
}

// Converts bytes; every input unit that cannot be converted is skipped (skipUnit bytes, 2 for
// UTF-16 where a surrogate pair counts as one) and replaced by the bytes of `replacement` in the
// target code set.
std::string Convert(const std::string& to, const std::string& from, std::string_view input,
                    size_t skipUnit, std::string_view replacement) {
  iconv_t cd = Converter(to, from);
  std::string out(input.size() * 2 + 16, '\0');
  char* in = const_cast<char*>(input.data());
  size_t inLeft = input.size();
  size_t written = 0;
  while (inLeft > 0) {
    char* outPtr = out.data() + written;
    size_t outLeft = out.size() - written;
    size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    written = out.size() - outLeft;
    if (rc != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    // EILSEQ or EINVAL: one unit that cannot be converted.
    out.replace(written, 0, replacement);
    written += replacement.size();
    if (out.size() < written + 16) out.resize(out.size() * 2 + 16);
    size_t skip = std::min(skipUnit, inLeft);
    if (skipUnit == 2 && inLeft >= 4) {
      // A surrogate pair is one character: skip both halves.
      const auto unit = [&](size_t k) {
        return static_cast<uint16_t>(static_cast<unsigned char>(in[k]) |
                                     (static_cast<unsigned char>(in[k + 1]) << 8));
      };
      if (unit(0) >= 0xD800 && unit(0) <= 0xDBFF && unit(2) >= 0xDC00 && unit(2) <= 0xDFFF)
        skip = 4;
    }
    in += skip;
    inLeft -= skip;
  }
  out.resize(written);
  return out;
}

std::string_view AsBytes(std::u16string_view wide) {
  return {reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(char16_t)};
}

std::u16string BytesToWide(const std::string& bytes) {
  std::u16string wide(bytes.size() / 2, u'\0');
  std::memcpy(wide.data(), bytes.data(), wide.size() * 2);
  return wide;
}

}  // namespace

std::string AnsiCodeSet() {
  std::string codeSet = t_override;
  if (codeSet.empty()) {
    locale_t current = uselocale(static_cast<locale_t>(nullptr));
    const char* name =
        current == LC_GLOBAL_LOCALE ? nl_langinfo(CODESET) : nl_langinfo_l(CODESET, current);
    codeSet = name ? name : "";
    if (codeSet.empty() || codeSet == "ANSI_X3.4-1968" || codeSet == "ASCII" ||
        codeSet == "US-ASCII") {
      return "UTF-8";
    }
  }
  return IsGbkFamily(codeSet) ? "GB18030" : codeSet;
}

std::u16string Utf8ToWide(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    char32_t cp;
    const size_t len = DecodeUtf8(utf8, i, cp);
    if (len == 0) {
      out += kReplacement;
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
    i += len;
  }
  return out;
}

std::string WideToUtf8(std::u16string_view wide) {
  std::string out;
  out.reserve(wide.size() * 3);
  for (size_t i = 0; i < wide.size(); ++i) {
    char32_t cp = wide[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
        wide[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = '?';  // a lone surrogate is no character
    }
    AppendUtf8(out, cp);
  }
  return out;
}

std::optional<std::string> StrictWideToUtf8(std::u16string_view wide) {
  for (size_t i = 0; i < wide.size(); ++i) {
    const char16_t unit = wide[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
        wide[i + 1] <= 0xDFFF) {
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      return std::nullopt;
    }
  }
  return WideToUtf8(wide);
}

bool IsValidUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    char32_t cp;
    const size_t length = DecodeUtf8(text, i, cp);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::string WideToAnsi(std::u16string_view wide) {
  const std::string codeSet = AnsiCodeSet();
  if (IsUtf8Name(codeSet)) return WideToUtf8(wide);
  return Convert(codeSet, "UTF-16LE", AsBytes(wide), 2, "?");
}

std::u16string AnsiToWide(std::string_view ansi) {
  const std::string codeSet = AnsiCodeSet();
  if (IsUtf8Name(codeSet)) return Utf8ToWide(ansi);
  static constexpr char16_t kReplacementUnit[] = {kReplacement};
  return BytesToWide(
      Convert("UTF-16LE", codeSet, ansi, 1, AsBytes(std::u16string_view(kReplacementUnit, 1))));
}

std::string AnsiToUtf8(std::string_view ansi) {
  const std::string codeSet = AnsiCodeSet();
  if (IsUtf8Name(codeSet)) return std::string(ansi);
  return WideToUtf8(AnsiToWide(ansi));
}

std::string Utf8ToAnsi(std::string_view utf8) {
  const std::string codeSet = AnsiCodeSet();
  if (IsUtf8Name(codeSet)) return std::string(utf8);
  return WideToAnsi(Utf8ToWide(utf8));
}

std::vector<std::string> SplitCharacters(std::string_view ansi) {
  std::vector<std::string> chars;
  const std::string codeSet = AnsiCodeSet();
  if (IsUtf8Name(codeSet)) {
    for (size_t i = 0; i < ansi.size();) {
      char32_t cp;
      const size_t len = std::max<size_t>(1, DecodeUtf8(ansi, i, cp));
      chars.emplace_back(ansi.substr(i, len));
      i += len;
    }
    return chars;
  }
  // Convert one character at a time: an output room of one UTF-16 unit (two for a pair) makes
  // iconv stop after exactly one character and tells how many bytes it took. It is given only a
  // window longer than any locale's longest character (GB18030: four bytes): glibc converts
  // ahead through a buffer of its own and redoes that work when the room runs out.
  constexpr size_t kWindow = 8;
  iconv_t cd = Converter("UTF-16LE", codeSet);
  for (size_t i = 0; i < ansi.size();) {
    size_t used = 0;
    const size_t window = std::min(kWindow, ansi.size() - i);
    for (size_t room : {size_t{2}, size_t{4}}) {
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      char buffer[4];
      char* in = const_cast<char*>(ansi.data() + i);
      size_t inLeft = window;
      char* out = buffer;
      size_t outLeft = room;
      iconv(cd, &in, &inLeft, &out, &outLeft);
      used = window - inLeft;
      if (used > 0) break;
    }
    used = std::max<size_t>(1, used);
    chars.emplace_back(ansi.substr(i, used));
    i += used;
  }
  return chars;
}

ScopedCodeSet::ScopedCodeSet(std::string codeSet) : previous_(std::move(t_override)) {
  t_override = std::move(codeSet);
}

ScopedCodeSet::~ScopedCodeSet() { t_override = std::move(previous_); }

}  // namespace tavo::codepage
