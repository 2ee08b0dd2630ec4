// The rule checker's findings as tavoprint shows them: read from the control's JSON answer,
// written one line each as compilers write theirs.
#pragma once

#include <string>
#include <vector>

namespace tavo::tool {

struct Finding {
  std::string severity, document, path, key, message, hint;  // UTF-8
  long line = 0;
  long column = 0;
};

// The findings of CheckRule's JSON text (an array of flat objects of texts and numbers); a
// ToolFailure for text of any other shape.
std::vector<Finding> ParseFindings(const std::string& json);

// "FILE:LINE: severity: path: message (hint)", errors first, then warnings, then notes, each in
// document order, and a closing count. `ruleFile` and `dataFile` name the documents.
std::string FormatFindings(const std::vector<Finding>& findings, const std::string& ruleFile,
                           const std::string& dataFile);

// 2 with an error, 1 with a warning, else 0.
int FindingsExitCode(const std::vector<Finding>& findings);

}  // namespace tavo::tool
