// The page as a printer would receive it, pictured for the screen: composed by the data printer
// at that printer's resolution, paper, orientation and physical offsets, on the whole sheet,
// then scaled. Unlike the 96-dpi preview, its line breaks, row positions and pen widths are the
// printer's. Nothing of the process changes: no printer is selected and no job is opened.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tavo {

// The widths a picture may be asked for, in pixels.
constexpr int32_t kMinPrintPageWidth = 1;
constexpr int32_t kMaxPrintPageWidth = 10000;

// The PNG file's bytes of the page of the data text laid out by the rule text as the printer
// `ansiPrinter` ("pdf:..." or a CUPS destination) receives it, `width` pixels wide; when its rows
// continue, its first page, saying how many there are (WithPageCount). Fails with
// tavo::Error for an unknown printer, a rule without usable page settings, a picture over the
// raster limits, and whatever the data printer fails with while composing (a print would
// swallow it and leave the page unfinished).
std::string PrintPagePngBytes(std::u16string_view xmlData, std::u16string_view xmlRule,
                              const std::string& ansiPrinter, int32_t width);

}  // namespace tavo
