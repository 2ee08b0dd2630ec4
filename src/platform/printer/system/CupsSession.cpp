#include "platform/printer/system/CupsSession.h"

#include <algorithm>
#include <cmath>

#include "platform/codepage/CodePage.h"
#include "platform/core/Error.h"

namespace tavo {
namespace {

constexpr int kConnectTimeoutMs = 10000;
constexpr double kReplyTimeoutSeconds = 30.0;
// Resolutions beyond this are reports no printer makes; the plain default is kept instead.
constexpr int kMaxDpi = 9600;

// Called when the scheduler has not answered for the timeout: give up instead of waiting on.
int GiveUp(http_t*, void*) { return 0; }

std::string NameOf(const cups_dest_t& dest) {
  return dest.instance ? std::string(dest.name) + "/" + dest.instance : std::string(dest.name);
}

std::string Reason() { return codepage::Utf8ToAnsi(cupsLastErrorString()); }

// One CUPS allocation, freed on every path out.
class DestInfo {
 public:
  DestInfo(http_t* http, cups_dest_t* dest) : info_(cupsCopyDestInfo(http, dest)) {}
  ~DestInfo() { cupsFreeDestInfo(info_); }
  DestInfo(const DestInfo&) = delete;
  DestInfo& operator=(const DestInfo&) = delete;
  cups_dinfo_t* Get() const { return info_; }

 private:
  cups_dinfo_t* info_;
};

class Options {
 public:
  ~Options() { cupsFreeOptions(count_, options_); }
  void Add(const char* name, const char* value) {
    count_ = cupsAddOption(name, value, count_, &options_);
  }
  int Count() const { return count_; }
  cups_option_t* Get() const { return options_; }

 private:
  int count_ = 0;
  cups_option_t* options_ = nullptr;
};

int IntegerIn(ipp_t* collection, const char* name) {
  ipp_attribute_t* attribute = ippFindAttribute(collection, name, IPP_TAG_INTEGER);
  return attribute ? ippGetInteger(attribute, 0) : 0;
}

// The printer's default paper in hundredths of millimetres. media-col-default carries the size
// and margins the queue really uses; libcups's own cupsGetDestMediaDefault answers US Letter
// for a queue whose PPD defaults to A4, so it is only the last resort.
bool DefaultMedia(http_t* http, cups_dest_t* dest, cups_dinfo_t* info, cups_size_t& size) {
  if (ipp_attribute_t* col = cupsFindDestDefault(http, dest, info, "media-col")) {
    ipp_t* media = ippGetCollection(col, 0);
    ipp_attribute_t* sizeAttribute =
        media ? ippFindAttribute(media, "media-size", IPP_TAG_BEGIN_COLLECTION) : nullptr;
    if (ipp_t* dimensions = sizeAttribute ? ippGetCollection(sizeAttribute, 0) : nullptr) {
      size.width = IntegerIn(dimensions, "x-dimension");
      size.length = IntegerIn(dimensions, "y-dimension");
      size.left = IntegerIn(media, "media-left-margin");
      size.right = IntegerIn(media, "media-right-margin");
      size.top = IntegerIn(media, "media-top-margin");
      size.bottom = IntegerIn(media, "media-bottom-margin");
      if (size.width > 0 && size.length > 0) return true;
    }
  }
  if (ipp_attribute_t* name = cupsFindDestDefault(http, dest, info, "media")) {
    if (const char* media = ippGetString(name, 0, nullptr);
        media && cupsGetDestMediaByName(http, dest, info, media, 0, &size))
      return true;
  }
  return cupsGetDestMediaDefault(http, dest, info, 0, &size) != 0;
}

int32_t DotsPerInch(int value, ipp_res_t units) {
  return units == IPP_RES_PER_CM ? static_cast<int32_t>(std::lround(value * 2.54)) : value;
}

}  // namespace

DeviceCaps CapsOf(const CupsPaper& paper, Orientation orientation) {
  const auto pixels = [](double mm, int32_t dpi) {
    return static_cast<int32_t>(std::lround(mm / 25.4 * dpi));
  };
  const int32_t dpi = paper.dpi;
  if (orientation == Orientation::Landscape)
    return DeviceCaps{dpi, dpi, pixels(paper.bottomMm, dpi), pixels(paper.leftMm, dpi)};
  return DeviceCaps{dpi, dpi, pixels(paper.leftMm, dpi), pixels(paper.topMm, dpi)};
}

CupsSession::CupsSession() {
  http_ = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                       kConnectTimeoutMs, nullptr);
  if (!http_) return;
  httpSetTimeout(http_, kReplyTimeoutSeconds, GiveUp, nullptr);
  destCount_ = cupsGetDests2(http_, &dests_);
}

CupsSession::~CupsSession() {
  cupsFreeDests(destCount_, dests_);
  if (http_) httpClose(http_);
}

std::vector<std::string> CupsSession::Names() const {
  std::vector<std::string> names;
  for (int i = 0; i < destCount_; ++i) names.push_back(NameOf(dests_[i]));
  return names;
}

std::string CupsSession::DefaultName() const {
  for (int i = 0; i < destCount_; ++i)
    if (dests_[i].is_default) return NameOf(dests_[i]);
  return {};
}

const cups_dest_t* CupsSession::Find(const std::string& utf8Name) const {
  for (int i = 0; i < destCount_; ++i)
    if (NameOf(dests_[i]) == utf8Name) return &dests_[i];
  return nullptr;
}

// The paper and margins from the printer's default media, the resolution from its default
// printer-resolution; what a printer does not report keeps the plain defaults.
CupsPaper CupsSession::Paper(const std::string& utf8Name) const {
  const cups_dest_t* dest = Find(utf8Name);
  if (!http_ || !dest)
    throw Error("The printer " + codepage::Utf8ToAnsi(utf8Name) + " is not available");
  auto* mutableDest = const_cast<cups_dest_t*>(dest);
  const DestInfo info(http_, mutableDest);
  if (!info.Get())
    throw Error("The printer " + codepage::Utf8ToAnsi(utf8Name) + " does not answer: " + Reason());
  CupsPaper paper;
  cups_size_t size{};
  if (DefaultMedia(http_, mutableDest, info.Get(), size) && size.width > 0 && size.length > 0) {
    paper.widthMm = size.width / 100.0;
    paper.lengthMm = size.length / 100.0;
    paper.leftMm = size.left / 100.0;
    paper.topMm = size.top / 100.0;
    paper.rightMm = size.right / 100.0;
    paper.bottomMm = size.bottom / 100.0;
  }
  if (ipp_attribute_t* resolution =
          cupsFindDestDefault(http_, mutableDest, info.Get(), "printer-resolution")) {
    int yres = 0;
    ipp_res_t units = IPP_RES_PER_INCH;
    const int xres = ippGetResolution(resolution, 0, &yres, &units);
    if (xres > 0 && yres > 0 && xres <= kMaxDpi && yres <= kMaxDpi)
      paper.dpi = std::min(DotsPerInch(xres, units), DotsPerInch(yres, units));
  }
  return paper;
}

int CupsSession::Submit(const std::string& utf8Name, const std::string& pdfPath,
                        const std::string& utf8Title, Orientation orientation,
                        const std::string& media) const {
  const cups_dest_t* dest = Find(utf8Name);
  if (!http_ || !dest)
    throw Error("The printer " + codepage::Utf8ToAnsi(utf8Name) + " is not available");
  Options options;
  for (int i = 0; i < dest->num_options; ++i)
    options.Add(dest->options[i].name, dest->options[i].value);
  options.Add("document-format", CUPS_FORMAT_PDF);
  if (orientation == Orientation::Landscape) options.Add("landscape", "true");
  if (!media.empty()) options.Add("media", media.c_str());
  const int job = cupsPrintFile2(http_, dest->name, pdfPath.c_str(), utf8Title.c_str(),
                                 options.Count(), options.Get());
  if (job <= 0)
    throw Error("The printer " + codepage::Utf8ToAnsi(utf8Name) +
                " did not accept the job: " + Reason());
  return job;
}

}  // namespace tavo
