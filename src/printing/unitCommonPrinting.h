// The print engine: the page settings of a rule, the base printer with its device geometry and
// drawing primitives, and the data printer that binds a data document to a rule document and
// composes the page.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/canvas/Canvas.h"
#include "platform/picture/Picture.h"
#include "platform/printer/Printer.h"
#include "printing/unitFormTypes.h"
#include "xmlbean/unitTavoClasses.h"
#include "xmlbean/unitTavoCommonXmlBean.h"

namespace tavo {

// The page settings of one rule document. Any value, negative or zero included, is stored as it
// comes.
class TTavoPrinterSetting : public TObject {
 public:
  bool repeatableRowAutoHeightAndTop = false;
  double repeatableRowSpace = 3.0;  // mm between one row's lowest text and the next row
  double offsetLeft = 0.0;          // mm
  double offsetTop = 0.0;           // mm
  double pageWidth = 210.0;         // mm
  double pageHeight = 297.0;        // mm
  bool landscape = false;
  double textPaddingHorz = 1.5;  // stored; nothing drawn applies it
  double textPaddingVert = 1.5;
  // The rule's own key: a CUPS job asks for paper of the page's size (custom media).
  bool pageAsPaper = false;
  // Rows that continue on the next page, when the rule asks for it (0: it does not): the
  // form's row slots, and the lowest rule pixel the text of automatic rows may reach.
  int32_t repeatableRowsPerPage = 0;
  int32_t repeatableRowBottom = 0;
};

// The base printer: where rule pixels and millimetres land on the drawing device, and the four
// drawing primitives. Positions given to the primitives are device pixels without the page
// origin, which the primitives add.
class TTavoCommonPrinter : public TObject {
 public:
  TTavoCommonPrinter();
  ~TTavoCommonPrinter() override;
  TTavoCommonPrinter(const TTavoCommonPrinter&) = delete;
  TTavoCommonPrinter& operator=(const TTavoCommonPrinter&) = delete;

  // The page settings; fails when the printer was built from an unusable rule, saying why.
  TTavoPrinterSetting& Settings() const;

  // The capabilities of the device drawn on: the canvas's when one is set, else the current
  // printer's. Asked afresh on every call.
  DeviceCaps DrawingDC() const;
  int32_t PhysicalOffsetX() const;
  int32_t PhysicalOffsetY() const;

  // Rule pixels (at dpix / dpiy) and millimetres to device pixels, rounded half to even. The
  // arithmetic is exact; results beyond 32 bits are clamped. A rule resolution of 0 fails with
  // "Floating point division by zero".
  int32_t RuleToDeviceX(int32_t value) const;
  int32_t RuleToDeviceY(int32_t value) const;
  int32_t MmToDeviceX(double mm) const;
  int32_t MmToDeviceY(double mm) const;
  Rect RuleToDeviceRect(const Rect& rect) const;
  // The rectangle moved by (dx, dy), clamped to 32 bits.
  static Rect ShiftRect(const Rect& rect, int64_t dx, int64_t dy);

  // The device position of rule position (0, 0): the page offsets less the printer's margin.
  int64_t PageOriginX() const;
  int64_t PageOriginY() const;

  virtual double OffsetXmm() const;
  virtual double OffsetYmm() const;

  virtual void DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t penWidth,
                        Color penColor);
  virtual void DrawRectangle(const Rect& rect, int32_t penWidth, Color penColor);
  // Fits the box to the text (and, unwrapped, to its width), raises rowBottom inside rows and
  // draws. Text that is blank once trimmed changes nothing.
  virtual void DrawText(const std::string& text, Rect box, TTavoAlign horzAlign,
                        TTavoAlign vertAlign, const std::string& fontName, int32_t fontSize,
                        Color fontColor, bool wordBreak);
  // The picture at its natural size, aligned in the box, or squeezed to the box where larger.
  virtual void DrawImage(const Picture& image, Rect box, TTavoAlign horzAlign,
                         TTavoAlign vertAlign);

  // The text with CR LF inserted wherever the next character would overflow the box's width in
  // the canvas's current font; existing line breaks stay and start a new line.
  std::string WrapText(const std::string& text, const Rect& box);

  Canvas* canvas = nullptr;  // not owned; none means the current printer
  int32_t rowBottom = 0;     // lowest text bottom of the rows drawn since the row pass began
  int32_t rowTop = 0;        // rowBottom when the current row began
  int32_t rowIndex = -1;     // the repeatable row being drawn; -1 outside rows
  int32_t dpix = 96;         // resolution of rule pixels
  int32_t dpiy = 96;
  std::unique_ptr<TTavoPrinterSetting> settings;  // none after an unusable rule

 protected:
  Canvas& DrawingCanvas() const;
  std::string unusableReason_;  // why there are no settings, for the failure's message
};

class TElementIndex;
class Printer;

// The rows one page of a record holds, and the page's place among the record's pages.
struct TPageRows {
  int32_t firstRow = 0;          // the record's row drawn as the page's row 0
  int32_t rowCount = INT32_MAX;  // at most this many rows
  int32_t pageNumber = 0;        // from 1 when the page fields are drawn; 0: they are not
  int32_t pageCount = 0;
};

// The field ids that receive the page number and the page count when rows continue.
inline constexpr const char* kPageNumberId = "pageNumber";
inline constexpr const char* kPageCountId = "pageCount";

// Reads a rule document, then prints or previews data documents with it.
class TTavoXmlDataPrinter : public TTavoCommonPrinter {
 public:
  // From rule text in the ANSI code page. Text that does not parse, or holds no items, gives a
  // printer without rule and without page settings. `canvas` is the preview's surface, or none
  // to print on the current printer.
  TTavoXmlDataPrinter(const std::string& ruleText, Canvas* canvas);
  // From the rule's `printing` item (may be none), which the printer then owns.
  TTavoXmlDataPrinter(std::unique_ptr<TItem> printingItem, Canvas* canvas);
  ~TTavoXmlDataPrinter() override;

  double OffsetXmm() const override;
  double OffsetYmm() const override;

  // Parses the data text (ANSI) and prints it, or draws it on `canvas` when one is given. True
  // only for a print job that completed; the preview path returns false.
  bool Print(const std::string& dataText, Canvas* canvas = nullptr);
  bool PrintItem(TItem* dataItem, Canvas* canvas = nullptr);
  // Static elements, then the data item's fields, then its repeatable rows.
  void ComposePage(TItem* rule, TItem* dataItem);
  // The same for one page of the record: its rows from page.firstRow (at most page.rowCount),
  // numbered from 0, and its page number and count as fields when they are given. With a
  // bottom (device pixels) the rows end before the first one after the page's first whose
  // text reaches below it. `rowItems` are the record's rows when the caller has them listed
  // (a record's pages then cost their own rows, not all the record's). Returns the number of
  // rows the page holds.
  int32_t ComposeRecordPage(TItem* rule, TItem* dataItem, const TPageRows& page,
                            int32_t bottom = INT32_MAX,
                            const std::vector<TItem*>* rowItems = nullptr);

  // Whether the rule lets rows that do not fit continue on further pages.
  bool ContinuesRows() const;
  // The pages of the record as the current canvas would hold them. Automatic rows, and every
  // page when `composeEveryPage` is set, are composed first on a canvas that only measures
  // with the current one, so a failure of any page is thrown before anything is drawn.
  std::vector<TPageRows> PlanPages(TItem* dataItem, bool composeEveryPage);
  // Draws the planned pages on the printer's open job: a new page before each, except before
  // the first when `pageBlank` says the job's current page is still blank (then cleared).
  void DrawPages(Printer& printer, TItem* dataItem, const std::vector<TPageRows>& pages,
                 bool& pageBlank);

  void DrawLineElement(const TItem& element);
  void DrawRectangleElement(const TItem& element);
  void DrawImageElement(const TItem& element, const std::string& source);
  // An empty value means none: a "text" element then draws its own "text" property.
  void DrawTextElement(const TItem& element, const std::string& value, int32_t row);
  // The content as a barcode or 2D symbol, aligned in the element's box. A content the
  // symbology cannot hold, or that does not fit the box, fails before anything is drawn.
  void DrawBarcodeElement(const TItem& element, const std::string& content);
  // The rule element bound to the data field `id` in row `index` (0 for the document's fields).
  TItem* FindElement(const TItem* rule, const std::string& id, int32_t index) const;

  std::unique_ptr<TItem> ruleItem;  // the rule's `printing` item; none without rule
  double customOffsetLeft = 0.0;    // mm, added to the settings' offsets
  double customOffsetTop = 0.0;
  int32_t pageWidthPx = 0;  // page size on the drawing device
  int32_t pageHeightPx = 0;
  std::string bgImage;
  int32_t pageCount = 0;  // the pages of the record the last Print drew (a canvas: its first)

 private:
  struct RuleSource {
    std::string unusableReason;  // empty for a usable rule
    std::unique_ptr<TItem> printingItem;
  };
  static RuleSource ReadRule(const std::string& ruleText);
  TTavoXmlDataPrinter(RuleSource source, Canvas* canvas);
  void ReadPageSettings();
  void DrawBoundField(const TItem& element, const std::string& value, int32_t row);
  void DrawPageFields(TItem* rule, const TPageRows& page);
  // The record's rows of the page composed on a canvas that measures as the current one does.
  int32_t MeasurePage(TItem* dataItem, const TPageRows& page, int32_t bottom,
                      const std::vector<TItem*>& rowItems);

  // The rule's elements by "id", built for the duration of one ComposePage.
  std::unique_ptr<TElementIndex> elementIndex_;
};

// The page the settings ask the printer for: pageWidth wide and pageHeight tall as written.
PageRequest RequestedPage(const TTavoPrinterSetting& settings);

// Prints the data text with the rule text (both ANSI) on the current printer as one job, as
// PrintXmlData and the preview dialog's print button do, and records the print's outcome on
// every path. What the print path swallows stays swallowed; a failure to build the data printer
// from the rule is recorded and then passes on.
void PrintOnCurrentPrinter(const std::string& ruleText, const std::string& dataText);

}  // namespace tavo
