// Generated documents for the growth series: the sample invoice's data with any number of rows,
// and rules of any number of elements on the sample's page with the data that fills them.
#pragma once

#include <string>

namespace tavo::bench {

// Data for the sample rule: its header fields and `rows` goods rows (UTF-8 XML).
std::string InvoiceDataWithRows(int rows);

// A rule on the sample's 241 x 140 mm landscape page with `elements` elements in the sample's
// mix (lines, frames, labels, bound fields in both fonts, one stamp picture), and data with a
// value for every bound field.
struct GeneratedForm {
  std::string rule;
  std::string data;
};
GeneratedForm FormWithElements(int elements, const std::string& stampBase64);

}  // namespace tavo::bench
