#include "BatchReport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "Automation.h"
#include "Translation.h"

namespace tavo::tool {
namespace {

std::string Text(const QJsonObject& object, const char* key) {
  return object.value(QLatin1String(key)).toString().toStdString();
}

long Count(const QJsonObject& object, const char* key) {
  return static_cast<long>(object.value(QLatin1String(key)).toDouble());
}

}  // namespace

BatchReport ParseBatchReport(const std::string& json) {
  const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(json));
  if (!document.isObject()) throw ToolFailure(1, Tr("the control gave no JSON object: %1", {json}));
  const QJsonObject object = document.object();
  BatchReport report;
  report.printed = object.value(QLatin1String("printed")).toBool();
  report.pages = Count(object, "pages");
  report.files = Count(object, "files");
  report.skipped = Count(object, "skipped");
  if (const QJsonValue job = object.value(QLatin1String("job")); job.isDouble())
    report.job = job.toInt();
  for (const QJsonValue entry : object.value(QLatin1String("failed")).toArray()) {
    const QJsonObject failure = entry.toObject();
    report.failed.push_back({Count(failure, "record"), Text(failure, "message")});
  }
  report.message = Text(object, "message");
  return report;
}

std::string FileFailureJson(const std::string& message) {
  const QJsonObject failure{{"record", 0}, {"message", QString::fromStdString(message)}};
  const QJsonObject report{{"printed", false}, {"pages", 0}, {"failed", QJsonArray{failure}}};
  return QJsonDocument(report).toJson(QJsonDocument::Compact).toStdString();
}

std::string FormatFailures(const std::string& file, const std::vector<RecordFailure>& failed) {
  std::string text;
  for (const RecordFailure& failure : failed) {
    text += file + ": ";
    if (failure.record > 0) text += Tr("record %1: ", {std::to_string(failure.record)});
    text += failure.message + "\n";
  }
  return text;
}

}  // namespace tavo::tool
