#include "Worker.h"

#include <dlfcn.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <vector>

#include "Application.h"
#include "bridge/PageFile.h"
#include "bridge/WorkerConfinement.h"
#include "platform/com/Activation.h"
#include "platform/com/ComPtr.h"
#include "platform/com/Dispatch.h"
#include "platform/com/ErrorInfo.h"
#include "platform/http/LocalAddress.h"
#include "platform/registry/Registry.h"

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

  // Creates the control and then restricts the process for good: from here on the kernel
  // keeps the page in its folder, whatever path reaches the control.
  void Confine() {
    try {
      Control();
    } catch (const CallFailure&) {
      // Said again at the page's first call.
    }
    std::error_code error;
    const char* temporary = std::getenv("TMPDIR");
    const std::vector<std::filesystem::path> registry = {RegistryLocation(),
                                                         MachineRegistryLocation()};
    const WorkerConfinement confinement =
        ConfinementFor(std::filesystem::current_path(error), temporary ? temporary : "",
                       ModuleFolder(control_.Get()), registry);
    ApplyConfinement(confinement);
  }

 private:
  // The folder of the module the control's code comes from: its preview dialog module is
  // loaded from there later.
  static std::filesystem::path ModuleFolder(IDispatch* control) {
    if (control == nullptr) return {};
    Dl_info info{};
    void* table = *reinterpret_cast<void**>(control);
    if (dladdr(table, &info) == 0 || info.dli_fname == nullptr) return {};
    return std::filesystem::path(info.dli_fname).parent_path();
  }

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
      return WriteFile(args, false);
    if (method == QLatin1String(kWriteBinaryFileMethod.data(), kWriteBinaryFileMethod.size()))
      return WriteFile(args, true);
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

  // The path arrives confined to the page's folder, the worker's working directory; it is
  // written relative to it, and failures name it so.
  static QJsonValue WriteFile(const QJsonArray& args, bool base64) {
    const std::filesystem::path target = args[0].toString().toStdString();
    std::error_code error;
    const std::filesystem::path relative =
        target.lexically_relative(std::filesystem::current_path(error));
    try {
      if (base64)
        WritePageFileFromBase64(".", relative, args[1].toString().toStdString());
      else
        WritePageFile(".", relative, args[1].toString().toStdString());
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
  // Downloads for a page never reach this machine's own services or link-local ones.
  ::setenv(http::kRefuseLocalDownloads, "1", 1);
  std::optional<std::string> displayProblem;  // the control's preview says it again itself
  auto application = MakeApplication(argc, argv, displayProblem);
  WorkerLoop loop;
  try {
    loop.Confine();
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "tavobridge: worker: %s\n", failure.what());
    return 1;
  }
  return application->exec();
}

}  // namespace tavo::bridge
