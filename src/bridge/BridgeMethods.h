// The methods a page may call: the thirteen of the control's interface and the extension
// methods, with the automation types of their in-parameters in declared order, the parameters
// that name files or addresses, and the shape of their answers.
#pragma once

#include <QJsonArray>
#include <QString>
#include <span>
#include <string_view>
#include <variant>

namespace tavo::bridge {

enum class ArgType { String, Long };

// What a parameter hands to the control, for the page's folder rules.
enum class ArgRole {
  Plain,
  SourceUrl,   // downloaded: http and https only
  TargetFile,  // written: a relative path inside the page's folder
  Printer,     // a printer name; "pdf:PATH" writes PATH, a target file
  FileOrText,  // a file that is read, or a text that names no file (picture data)
};

enum class ResultShape {
  Value,    // the out value: string, integer, true/false, or null
  Picture,  // PNG as Base64 text -> {"png","width","height","pages"}
  Json,     // JSON text -> the parsed object or array
};

struct ArgSpec {
  std::string_view name;
  ArgType type;
  ArgRole role = ArgRole::Plain;
};

struct MethodSpec {
  std::string_view rpcName;
  std::string_view dispatchName;  // the control's method called by name, or the worker's own
  std::span<const ArgSpec> args;
  ResultShape result = ResultShape::Value;
};

// The method of that JSON-RPC name, letter case ignored; null when there is none.
const MethodSpec* FindMethodSpec(const QString& rpcName);

// The parameters checked against the method's declaration: strings as JSON strings, longs as
// JSON integers or decimal strings (the result holds them as integers). A text saying what is
// wrong otherwise.
std::variant<QJsonArray, QString> CheckArguments(const MethodSpec& method,
                                                 const QJsonArray& params);

}  // namespace tavo::bridge
