// The rule checker's pass over the printer's sheet: the page and each element laid on the
// paper the selected printer prints on, in the rule's orientation, and what falls outside it.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "printing/unitRuleCheckContext.h"
#include "printing/unitValueSyntax.h"

namespace tavo {
namespace {

using Severity = TFindingSeverity;

// Beyond this, a millimetre is not a rounding of the page's own size.
constexpr double kToleranceMm = 0.05;
// Elements named one by one; the rest are counted in one finding.
constexpr int kMostElementFindings = 20;

std::string Mm(double mm) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", std::round(mm * 10) / 10);
  std::string length = text;
  if (length.ends_with(".0")) length.resize(length.size() - 2);
  return length;
}

std::string Size(double widthMm, double heightMm) {
  return Mm(widthMm) + " x " + Mm(heightMm) + " mm";
}

const char* OrientationWord(Orientation orientation) {
  return orientation == Orientation::Landscape ? "landscape" : "portrait";
}

// An extent on the paper in millimetres, right and bottom outside.
struct TPaperBox {
  double left = 0, top = 0, right = 0, bottom = 0;
};

bool Within(const TPaperBox& box, const TPaperBox& area) {
  return box.left >= area.left - kToleranceMm && box.top >= area.top - kToleranceMm &&
         box.right <= area.right + kToleranceMm && box.bottom <= area.bottom + kToleranceMm;
}

TPaperBox Paper(const TCheckSheet& sheet) { return TPaperBox{0, 0, sheet.widthMm, sheet.heightMm}; }

TPaperBox Printable(const TCheckSheet& sheet) {
  return TPaperBox{sheet.printableLeftMm, sheet.printableTopMm, sheet.printableRightMm,
                   sheet.printableBottomMm};
}

class SheetChecker {
 public:
  SheetChecker(TRuleCheckContext& context, const TCheckPrinter& printer)
      : context_(context), printer_(printer), printing_(*context.printing) {}

  void Run() {
    if (!printer_.sheet || context_.dpix == 0 || context_.dpiy == 0) return;
    landscape_ = ReadBoolean(printing_.GetAttribute("landscape"), false);
    const Orientation orientation = landscape_ ? Orientation::Landscape : Orientation::Portrait;
    const Orientation turned = landscape_ ? Orientation::Portrait : Orientation::Landscape;
    ReadPage();
    sheet_ = printer_.sheet(request_, orientation);
    turnedSheet_ = printer_.sheet(request_, turned);
    where_ = "the " + Size(sheet_.widthMm, sheet_.heightMm) + " sheet of " + printer_.name +
             " in " + OrientationWord(orientation);
    CheckPage();
    CheckElements();
    CheckWidePortrait();
  }

 private:
  void ReadPage() {
    const double pageWidth = ReadReal(printing_.GetAttribute("pageWidth"), 0.0);
    const double pageHeight = ReadReal(printing_.GetAttribute("pageHeight"), 0.0);
    if (pageWidth > 0 && pageHeight > 0) {
      request_.widthMm = pageWidth;
      request_.heightMm = pageHeight;
    }
    request_.asPaper = ReadBoolean(printing_.GetAttribute("pageAsPaper"), false);
    // The page as the engine sizes it: "width" and "height" in rule pixels first.
    const int32_t widthPx = ReadInteger(printing_.GetAttribute("width"), 0);
    const int32_t heightPx = ReadInteger(printing_.GetAttribute("height"), 0);
    pageWidthMm_ = widthPx > 0 ? widthPx * 25.4 / context_.dpix : pageWidth;
    pageHeightMm_ = heightPx > 0 ? heightPx * 25.4 / context_.dpiy : pageHeight;
    offsetX_ = ReadReal(printing_.GetAttribute("offsetLeft"), 0.0) +
               ReadReal(printing_.GetAttribute("customOffsetLeft"), 0.0);
    offsetY_ = ReadReal(printing_.GetAttribute("offsetTop"), 0.0) +
               ReadReal(printing_.GetAttribute("customOffsetTop"), 0.0);
  }

  // The ways to get a box onto the sheet (its paper, or its printable area), those that would
  // work.
  std::string Fixes(const TPaperBox& box, TPaperBox (*area)(const TCheckSheet&)) const {
    std::vector<std::string> fixes;
    if (!turnedSheet_.isPage && Within(box, area(turnedSheet_))) {
      fixes.push_back(std::string("set landscape=\"") + (landscape_ ? "false" : "true") +
                      "\": it then lies inside the sheet turned (" +
                      Size(turnedSheet_.widthMm, turnedSheet_.heightMm) + ")");
    }
    const bool onThePage = Within(box, TPaperBox{0, 0, pageWidthMm_, pageHeightMm_});
    if (printer_.queue && !sheet_.isPage && pageWidthMm_ > 0 && pageHeightMm_ > 0 && onThePage) {
      fixes.push_back("give the queue " + printer_.name + " the form's paper (" +
                      Size(pageWidthMm_, pageHeightMm_) + ")");
      if (!request_.asPaper && request_.Given())
        fixes.push_back("set pageAsPaper=\"true\" so that each job asks for that paper");
    }
    if (fixes.empty()) return "move it inside the printable area";
    std::string hint;
    for (const std::string& fix : fixes) hint += (hint.empty() ? "" : "; or ") + fix;
    return hint;
  }

  // "18.4 mm beyond the right edge and 2 mm beyond the bottom edge of what ... prints".
  std::string Overshoot(const TPaperBox& box) const {
    std::string parts;
    const auto add = [&](double over, const char* edge) {
      if (over <= kToleranceMm) return;
      parts += (parts.empty() ? "" : " and ") + Mm(over) + " mm beyond the " + edge + " edge";
    };
    add(box.right - sheet_.printableRightMm, "right");
    add(box.bottom - sheet_.printableBottomMm, "bottom");
    add(sheet_.printableLeftMm - box.left, "left");
    add(sheet_.printableTopMm - box.top, "top");
    return parts;
  }

  void CheckPage() {
    if (sheet_.isPage || pageWidthMm_ <= 0 || pageHeightMm_ <= 0) return;
    const TPaperBox page{0, 0, pageWidthMm_, pageHeightMm_};
    const double wider = pageWidthMm_ - sheet_.widthMm;
    const double taller = pageHeightMm_ - sheet_.heightMm;
    if (wider <= kToleranceMm && taller <= kToleranceMm) return;
    std::string how;
    if (wider > kToleranceMm) how = Mm(wider) + " mm wider";
    if (taller > kToleranceMm) how += (how.empty() ? "" : " and ") + Mm(taller) + " mm taller";
    context_.Add(Severity::Warning, printing_.SourceLine, "printing",
                 wider > kToleranceMm ? "pageWidth" : "pageHeight",
                 "the page (" + Size(pageWidthMm_, pageHeightMm_) + ") is " + how + " than " +
                     where_ + ": what lies beyond the sheet is not printed",
                 Fixes(page, Paper));
  }

  // An element's extent on the paper, as the primitives place it: rule pixels at the rule's
  // resolution from the page origin, moved by the page's offsets.
  TPaperBox PaperBoxOf(const TItem& element) const {
    auto integer = [&](const char* key) { return ReadInteger(element.GetAttribute(key), 0); };
    const bool line = StaticKindOf(element.GetAttribute("type")) == TStaticKind::Line;
    const double x1 = integer(line ? "fromx" : "left"), y1 = integer(line ? "fromy" : "top");
    const double x2 = integer(line ? "tox" : "right"), y2 = integer(line ? "toy" : "bottom");
    const auto mmX = [&](double v) { return v * 25.4 / context_.dpix + offsetX_; };
    const auto mmY = [&](double v) { return v * 25.4 / context_.dpiy + offsetY_; };
    return TPaperBox{mmX(std::min(x1, x2)), mmY(std::min(y1, y2)), mmX(std::max(x1, x2)),
                     mmY(std::max(y1, y2))};
  }

  void CheckElements() {
    int reported = 0, unreported = 0;
    for (const TItem* element : ChildItems(printing_)) {
      const TPaperBox box = PaperBoxOf(*element);
      if (Within(box, Printable(sheet_))) continue;
      if (++reported > kMostElementFindings) {
        ++unreported;
        continue;
      }
      const std::string id = element->GetAttribute("id");
      context_.Add(Severity::Warning, element->SourceLine, TRuleCheckContext::PathOf(*element), "",
                   "<" + element->Name + ">" + (id.empty() ? "" : " with id " + Quote(id)) +
                       " reaches " + Overshoot(box) + " of the printable area of " + where_ +
                       ": what it draws there is not printed",
                   Fixes(box, Printable));
    }
    if (unreported > 0) {
      context_.Add(Severity::Warning, printing_.SourceLine, "printing", "",
                   std::to_string(unreported) +
                       " more element(s) reach beyond the printable area of " + where_,
                   Fixes(TPaperBox{0, 0, pageWidthMm_, pageHeightMm_}, Paper));
    }
  }

  // A wide page printed upright on paper that stands upright lies across its narrow side.
  void CheckWidePortrait() {
    if (landscape_ || sheet_.isPage || pageWidthMm_ <= pageHeightMm_ ||
        sheet_.heightMm <= sheet_.widthMm)
      return;
    context_.Add(Severity::Note, printing_.SourceLine, "printing", "landscape",
                 "the page is wider than tall (" + Size(pageWidthMm_, pageHeightMm_) +
                     ") and prints in portrait (landscape is false): it lies across the narrow "
                     "side of " +
                     where_,
                 "set landscape=\"true\" when the form goes into the printer long side first");
  }

  TRuleCheckContext& context_;
  const TCheckPrinter& printer_;
  const TItem& printing_;
  bool landscape_ = false;
  PageRequest request_;
  double pageWidthMm_ = 0, pageHeightMm_ = 0;
  double offsetX_ = 0, offsetY_ = 0;
  TCheckSheet sheet_, turnedSheet_;
  std::string where_;
};

}  // namespace

void CheckSheet(TRuleCheckContext& context, const TCheckPrinter& printer) {
  if (!context.printing) return;
  SheetChecker(context, printer).Run();
}

}  // namespace tavo
