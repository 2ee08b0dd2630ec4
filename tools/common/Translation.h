// The programs' own texts in the user's language, through GNU gettext's "tavo" text domain.
// The English text is the message id; a text without a translation stays English.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace tavo::tool {

// How translated texts reach the program: in the locale's own character set (a terminal's), or
// always UTF-8 (a program that turns them into Qt strings).
enum class TextEncoding { Locale, Utf8 };

// Takes the language from the locale (LANGUAGE, LC_ALL, LC_MESSAGES, LANG) and finds the
// catalogs beside the program: the build tree's share/locale, or the installed /usr/share/locale.
// Call once, after setlocale.
void UseTranslations(TextEncoding encoding = TextEncoding::Locale);

// The translation of an English text.
std::string Tr(const char* english);

// The translation with %1, %2, ... replaced by the values, which are not translated.
std::string Tr(const char* english, std::initializer_list<std::string_view> values);

// The translation of the form for the count n, with %1, %2, ... replaced by the values.
std::string TrPlural(const char* one, const char* many, unsigned long n,
                     std::initializer_list<std::string_view> values = {});

// Marks a text for the catalog where it is kept untranslated and translated when shown.
constexpr const char* Translatable(const char* english) { return english; }

}  // namespace tavo::tool
