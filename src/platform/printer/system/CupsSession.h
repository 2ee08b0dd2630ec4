// The CUPS side of the current printer: destinations, their paper and resolution, and job
// submission, over one connection with a timeout so that a scheduler that stops answering
// gives a failure instead of a hang.
#pragma once

#include <cups/cups.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/printer/Printer.h"

namespace tavo {

// The default paper as the printer reports it, portrait, with its printable-area margins.
struct CupsPaper {
  double widthMm = 210;
  double lengthMm = 297;
  double leftMm = 0, topMm = 0, rightMm = 0, bottomMm = 0;
  // One resolution for both directions: a PDF page has only one. A printer reporting two
  // different ones is driven at the lower.
  int32_t dpi = 300;
};

// Resolution and physical offsets of the paper in an orientation: landscape turns the page a
// quarter turn counter-clockwise, so its left margin is the paper's bottom one.
DeviceCaps CapsOf(const CupsPaper& paper, Orientation orientation);

class CupsSession {
 public:
  // Connects to the scheduler CUPS is configured for; Connected() tells whether that worked.
  CupsSession();
  ~CupsSession();
  CupsSession(const CupsSession&) = delete;
  CupsSession& operator=(const CupsSession&) = delete;

  bool Connected() const { return http_ != nullptr; }
  // Destination names in UTF-8 ("queue" or "queue/instance"); the default one, or empty.
  std::vector<std::string> Names() const;
  std::string DefaultName() const;
  bool Has(const std::string& utf8Name) const { return Find(utf8Name) != nullptr; }
  // Fails with tavo::Error when the destination is gone or does not answer.
  CupsPaper Paper(const std::string& utf8Name) const;
  // Prints a PDF file, on the media named (CUPS's "media" option) unless it is empty; returns
  // the job id. Fails with tavo::Error and CUPS's reason.
  int Submit(const std::string& utf8Name, const std::string& pdfPath, const std::string& utf8Title,
             Orientation orientation, const std::string& media = {}) const;

 private:
  const cups_dest_t* Find(const std::string& utf8Name) const;

  http_t* http_ = nullptr;
  cups_dest_t* dests_ = nullptr;
  int destCount_ = 0;
};

}  // namespace tavo
