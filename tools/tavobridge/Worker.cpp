#include "Worker.h"

#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <vector>

#include "Application.h"
#include "bridge/PageFile.h"
#include "platform/com/Activation.h"
#include "platform/com/ComPtr.h"
#include "platform/com/Dispatch.h"
#include "platform/com/ErrorInfo.h"

namespace tavo::bridge {
namespace {

constexpr char16_t kProgId[] = u"TavoPreFmtPrinterX.TavoPreFmtPrinter";

// A failed call: the status and the control's description.
struct CallFailure {
  HRESULT status;
  QString message;
};

QString FromWide(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

QString ThreadErrorDescription() {
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, info.Receive()) != S_OK || !info) return {};
  Bstr description;
  info->GetDescription(description.Receive());
  return FromWide(description.View());
}

QJsonValue JsonOf(const VARIANT& value) {
  switch (value.vt) {
    case VT_BSTR:
      return FromWide(BstrView(value.bstrVal));
    case VT_I4:
      return value.lVal;
    case VT_BOOL:
      return value.boolVal != VARIANT_FALSE;
    default:
      return QJsonValue::Null;
  }
}

class WorkerLoop {
 public:
  WorkerLoop() {
    link_.setSocketDescriptor(STDIN_FILENO);
    QObject::connect(&link_, &QLocalSocket::readyRead, [this] { OnData(); });
    // The page has gone: nothing of this process is needed any more, even inside a dialog.
    QObject::connect(&link_, &QLocalSocket::disconnected, [] { ::_exit(0); });
  }

 private:
  void OnData() {
    buffer_ += link_.readAll();
    qsizetype start = 0;
    for (qsizetype end; (end = buffer_.indexOf('\n', start)) >= 0; start = end + 1)
      queue_.push_back(QJsonDocument::fromJson(buffer_.mid(start, end - start)).object());
    buffer_.remove(0, start);
    Schedule();
  }

  // Each call runs from the event loop, so that while one waits in a dialog's loop the next
  // ones are still served, in order.
  void Schedule() {
    if (scheduled_ || queue_.empty()) return;
    scheduled_ = true;
    QTimer::singleShot(0, [this] {
      scheduled_ = false;
      if (queue_.empty()) return;
      const QJsonObject call = std::move(queue_.front());
      queue_.pop_front();
      Schedule();
      Run(call);
    });
  }

  void Run(const QJsonObject& call) {
    QJsonObject reply{{"seq", call.value("seq")}};
    try {
      reply.insert("result", Invoke(call.value("method").toString(), call.value("args").toArray()));
    } catch (const CallFailure& failure) {
      reply.insert("error", QJsonObject{{"code", static_cast<int>(failure.status)},
                                        {"message", failure.message}});
    }
    link_.write(QJsonDocument(reply).toJson(QJsonDocument::Compact) + '\n');
    link_.flush();
  }

  IDispatch* Control() {
    if (control_) return control_.Get();
    const HRESULT status =
        CoCreateInstanceByProgID(kProgId, nullptr, IID_IDispatch, control_.ReceiveVoid());
    if (FAILED(status)) {
      control_ = {};
      throw CallFailure{status, "Cannot create TavoPreFmtPrinterX.TavoPreFmtPrinter: " +
                                    QString::fromStdString(LastLoadError())};
    }
    return control_.Get();
  }

  QJsonValue Invoke(const QString& method, const QJsonArray& args) {
    if (method == QLatin1String(kWriteFileMethod.data(), kWriteFileMethod.size()))
      return WriteFile(args);
    IDispatch* control = Control();
    std::u16string name = method.toStdU16String();
    LPOLESTR names[] = {name.data()};
    DISPID id = DISPID_UNKNOWN;
    const HRESULT found = control->GetIDsOfNames(GUID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (found != S_OK) throw CallFailure{found, "The control has no method " + method};
    // Automation passes the arguments last first.
    std::vector<ScopedVariant> values;
    for (qsizetype i = args.size() - 1; i >= 0; --i) {
      values.push_back(args[i].isString()
                           ? ScopedVariant::String(args[i].toString().toStdU16String())
                           : ScopedVariant::Long(args[i].toInt()));
    }
    std::vector<VARIANTARG> raw;
    for (ScopedVariant& value : values) raw.push_back(*value.Get());
    DISPPARAMS params{raw.empty() ? nullptr : raw.data(), nullptr, static_cast<UINT>(raw.size()),
                      0};
    ScopedVariant result;
    EXCEPINFO exception{};
    UINT argumentError = 0;
    const HRESULT status = control->Invoke(id, GUID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                           &params, result.Get(), &exception, &argumentError);
    if (status == DISP_E_EXCEPTION) {
      CallFailure failure{exception.scode, FromWide(BstrView(exception.bstrDescription))};
      ClearExcepInfo(&exception);
      throw failure;
    }
    if (FAILED(status)) throw CallFailure{status, ThreadErrorDescription()};
    return JsonOf(*result.Get());
  }

  // The path arrives confined to the page's folder, the worker's working directory; failures
  // name it as the page gave it.
  static QJsonValue WriteFile(const QJsonArray& args) {
    const std::filesystem::path target = args[0].toString().toStdString();
    std::error_code error;
    const std::string shown =
        target.lexically_relative(std::filesystem::current_path(error)).string();
    try {
      WritePageFile(target, args[1].toString().toStdString(), shown);
    } catch (const std::exception& failure) {
      throw CallFailure{E_FAIL, QString::fromStdString(failure.what())};
    }
    return QJsonValue::Null;
  }

  QLocalSocket link_;
  QByteArray buffer_;
  std::deque<QJsonObject> queue_;
  bool scheduled_ = false;
  ComPtr<IDispatch> control_;
};

}  // namespace

int RunWorker(int argc, char** argv) {
  auto application = MakeApplication(argc, argv);
  WorkerLoop loop;
  return application->exec();
}

}  // namespace tavo::bridge
