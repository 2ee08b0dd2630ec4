// tavoprint: the command-line automation host of the print control. Every subcommand goes
// through the registered component, as any host would.
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "Automation.h"
#include "Batch.h"
#include "BridgeStatus.h"
#include "Findings.h"
#include "PictureDensity.h"
#include "PrintStatus.h"
#include "SiteCommand.h"
#include "Translation.h"
#include "XmlFile.h"
#include "platform/codepage/CodePage.h"
#include "platform/com/Bstr.h"
#include "platform/com/ClassFactory.h"
#include "platform/com/ErrorInfo.h"
#include "platform/core/Base64.h"
#include "platform/core/Error.h"
#include "platform/registry/Registry.h"

namespace fs = std::filesystem;
using namespace tavo;
using namespace tavo::tool;

namespace {

constexpr const char16_t* kProgId = u"TavoPreFmtPrinterX.TavoPreFmtPrinter";
constexpr const char* kModuleName = "TavoPreFmtPrinter2X.so";

// The usage text, translated as one piece; %s is the batch command's lines.
constexpr const char* kUsageFormat = Translatable(R"(usage:
  tavoprint register [--machine] [MODULE]
                                     register the control into your registry, or with --machine
                                     (as root) into the machine's for every user (default MODULE:
                                     the installed TavoPreFmtPrinter2X.so)
  tavoprint unregister [--machine] [MODULE]
  tavoprint call METHOD [ARG...]     call a method by name; ARG "@PATH" is the text of a file
  tavoprint print DATA RULE [--printer NAME | --pdf OUT.pdf] [--wait [SECONDS]] [--all-records]
                                     exit 1 when nothing was printed; --wait follows the CUPS
                                     job until it is completed (default: 60 seconds);
                                     --all-records prints every record of DATA as its own page,
                                     all in one job (exit 1 when a record was left out)
  tavoprint preview DATA RULE [BACKGROUND] [--png OUT.png]
  tavoprint preview DATA RULE --png OUT.png --as-printed [--printer NAME | --pdf] [--width W]
                                     the page as that printer (default: the default printer;
                                     --pdf: the virtual PDF printer) receives it, laid out at its
                                     resolution on its whole sheet, W pixels wide (default 1000)
  tavoprint printers%s
  tavoprint bridge [--port N]        which user's web bridge serves your pages on 127.0.0.1:N
                                     (default 17370), and whether it has a display
  tavoprint check RULE [DATA] [--printer NAME | --pdf] [--json]
                                     what the rule (with the data) will ignore or never draw,
                                     with a printer also what lies beyond its sheet; exit 0
                                     clean, 1 with warnings, 2 with errors
  tavoprint site allow|block|remove ORIGIN [--machine]
                                     let a site's pages use the bridge, or not: in your origin
                                     policy, or with --machine (as root) for every user in
                                     /etc/tavo/bridge-origins and the browsers' policies
                                     (Chromium, Firefox) that let its pages reach this device
  tavoprint site list                each origin, where it is allowed or blocked, what is missing
  tavoprint site apply|withdraw --machine
                                     write the browsers' policies for the machine's origins, or
                                     take ours out (the package's installation and removal)
  tavoprint --help | --version
options:
  --registry FILE                    use this registry file for this run
exit status: 0 success, 1 the call or print failed, 2 usage error
)");

std::string UsageText() {
  std::string text = Tr(kUsageFormat);
  const size_t at = text.find("%s");
  return at == std::string::npos ? text : text.replace(at, 2, Tr(kBatchUsage));
}

[[noreturn]] void Usage(const std::string& problem) {
  throw ToolFailure(2, problem + "\n" + UsageText());
}

// The module beside tavoprint in a build tree, else the one the package installed.
std::string DefaultModule() {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  const fs::path beside = (error ? fs::path(".") : self.parent_path()) / kModuleName;
  if (fs::exists(beside, error)) return beside;
  return fs::path(TAVO_INSTALLED_MODULE_DIR) / kModuleName;
}

// DllRegisterServer or DllUnregisterServer of a module file, into the registry file named.
int RunRegistration(const std::string& module, const char* entry, const fs::path& registry) {
  // The module writes where TAVO_REGISTRY points, so that one file is all it touches.
  setenv("TAVO_REGISTRY", registry.c_str(), 1);
  void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) throw ToolFailure(1, Tr("cannot load %1: %2", {module, dlerror()}));
  auto function = reinterpret_cast<DllRegisterServerFunction>(dlsym(handle, entry));
  if (function == nullptr) throw ToolFailure(1, Tr("%1 has no %2", {module, entry}));
  const HRESULT status = function();
  if (FAILED(status)) {
    ComPtr<IErrorInfo> info;
    std::string description;
    if (GetErrorInfo(0, info.Receive()) == S_OK && info) {
      Bstr text;
      info->GetDescription(text.Receive());
      description = codepage::WideToUtf8(text.View());
    }
    throw ToolFailure(1, description.empty()
                             ? Tr("%1 failed (%2)", {entry, StatusText(status)})
                             : Tr("%1 failed (%2): %3", {entry, StatusText(status), description}));
  }
  // The module stays loaded until the process ends: its objects may still be referenced.
  std::cout << (std::string_view(entry) == "DllRegisterServer"
                    ? Tr("registered %1 into %2", {module, registry.string()})
                    : Tr("unregistered %1 from %2", {module, registry.string()}))
            << "\n";
  return 0;
}

std::u16string Argument(const std::string& arg) {
  if (arg.starts_with("@")) return ReadXmlFile(arg.substr(1));
  return codepage::Utf8ToWide(arg);
}

int Call(const std::vector<std::string>& args) {
  if (args.empty()) Usage(Tr("call needs a method name"));
  std::vector<std::u16string> values;
  for (size_t i = 1; i < args.size(); ++i) values.push_back(Argument(args[i]));
  AutomationObject control(kProgId);
  ScopedVariant result = control.Call(args[0], values);
  if (result->vt != VT_EMPTY) std::cout << FormatValue(*result.Get()) << "\n";
  return 0;
}

// Takes "--name VALUE" out of args.
std::optional<std::string> TakeOption(std::vector<std::string>& args, const std::string& name) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] != name) continue;
    if (i + 1 >= args.size()) Usage(Tr("%1 needs a value", {name}));
    std::string value = args[i + 1];
    args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
    return value;
  }
  return std::nullopt;
}

// Takes "--wait [SECONDS]" out of args: the seconds, 60 when no number follows.
std::optional<int> TakeWaitOption(std::vector<std::string>& args) {
  constexpr int kDefaultWait = 60;
  constexpr int kLongestWait = 7 * 24 * 3600;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] != "--wait") continue;
    int seconds = kDefaultWait;
    size_t taken = 1;
    if (i + 1 < args.size() && !args[i + 1].empty() &&
        args[i + 1].find_first_not_of("0123456789") == std::string::npos) {
      const std::string& text = args[i + 1];
      const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
      if (error != std::errc() || seconds > kLongestWait)
        Usage(Tr("--wait takes up to a week in seconds"));
      taken = 2;
    }
    args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i + taken));
    return seconds;
  }
  return std::nullopt;
}

// Takes "--name" out of args; true when it was there.
bool TakeFlag(std::vector<std::string>& args, const std::string& name) {
  const auto it = std::find(args.begin(), args.end(), name);
  if (it == args.end()) return false;
  args.erase(it);
  return true;
}

void RejectOptions(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg.starts_with("--")) Usage(Tr("unknown option %1", {arg}));
  }
}

int Print(std::vector<std::string> args) {
  const auto printer = TakeOption(args, "--printer");
  const auto pdf = TakeOption(args, "--pdf");
  const auto wait = TakeWaitOption(args);
  const bool allRecords = TakeFlag(args, "--all-records");
  RejectOptions(args);
  if (args.size() != 2) Usage(Tr("print needs DATA and RULE"));
  if (printer && pdf) Usage(Tr("give either --printer or --pdf"));
  const std::u16string data = ReadXmlFile(args[0]);
  const std::u16string rule = ReadXmlFile(args[1]);

  AutomationObject control(kProgId);
  std::optional<std::string> selection = printer;
  if (pdf) selection = "pdf:" + fs::absolute(*pdf).string();
  if (selection) {
    ScopedVariant found = control.Call("SetDefaultPrinter", {codepage::Utf8ToWide(*selection)});
    if (found->boolVal == 0) throw ToolFailure(1, Tr("no printer named %1", {*selection}));
  }
  if (allRecords) return PrintAllRecords(control, data, rule, wait);
  control.Call("PrintXmlData", {data, rule});
  // The print path swallows its failures: the control keeps what happened beside the call.
  const LastPrintReport last = ReadLastPrint(control);
  if (!last.printed) throw ToolFailure(1, NotPrinted(last));
  if (!last.job) {
    // The PDF printer writes its file at once; there is no job to follow.
    const std::string_view prefix = "pdf:";
    const std::string_view target = last.printer;
    std::cout << Tr("printed to %1",
                    {target.starts_with(prefix) ? target.substr(prefix.size()) : target})
              << "\n";
    return 0;
  }
  std::cout << Tr("printed on %1 as job %2", {last.printer, std::to_string(*last.job)}) << "\n";
  return wait ? FollowJob(control, *last.job, *wait) : 0;
}

// written names the file written ("%1"), failed the file that could not be.
void WritePng(const ScopedVariant& picture, const std::string& path, const char* written,
              const char* failed) {
  const std::vector<uint8_t> bytes = DecodeBase64(FormatValue(*picture.Get()));
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw ToolFailure(1, Tr(failed, {path}));
  std::cout << Tr(written, {path}) << "\n";
}

int Preview(std::vector<std::string> args) {
  const auto png = TakeOption(args, "--png");
  const bool asPrinted = TakeFlag(args, "--as-printed");
  const auto printer = TakeOption(args, "--printer");
  const bool pdf = TakeFlag(args, "--pdf");
  const auto width = TakeOption(args, "--width");
  RejectOptions(args);
  if (asPrinted) {
    if (!png) Usage(Tr("--as-printed needs --png"));
    if (args.size() != 2) Usage(Tr("preview --as-printed needs DATA and RULE, and no BACKGROUND"));
    if (printer && pdf) Usage(Tr("give either --printer or --pdf"));
    const std::u16string data = ReadXmlFile(args[0]);
    const std::u16string rule = ReadXmlFile(args[1]);
    const std::string name = pdf ? "pdf:" : printer.value_or("");
    AutomationObject control(kProgId);
    // The control only reads the printer: nothing is selected and no job is opened.
    // The width goes as text, as every argument does; the control coerces and checks it.
    const ScopedVariant picture = control.Call(
        "RenderPrintPage",
        {data, rule, codepage::Utf8ToWide(name), codepage::Utf8ToWide(width.value_or("1000"))});
    WritePng(picture, *png, Translatable("page as printed written to %1"),
             Translatable("Cannot write the page as printed %1"));
    return 0;
  }
  if (printer || pdf || width) Usage(Tr("--printer, --pdf and --width go with --as-printed"));
  if (args.size() != 2 && args.size() != 3)
    Usage(Tr("preview needs DATA, RULE and maybe BACKGROUND"));
  const std::u16string data = ReadXmlFile(args[0]);
  const std::u16string rule = ReadXmlFile(args[1]);
  const std::u16string background = args.size() == 3 ? codepage::Utf8ToWide(args[2]) : u"";
  if (args.size() == 3) {
    if (const std::string warning = DensityWarning(args[2]); !warning.empty())
      std::cerr << "tavoprint: " << warning << "\n";
  }
  AutomationObject control(kProgId);
  if (png) {
    // What the dialog's page area would hold, without a window: the control's picture of it.
    WritePng(control.Call("RenderPreview", {data, rule, background}), *png,
             Translatable("preview written to %1"), Translatable("Cannot write the preview %1"));
    return 0;
  }
  control.Call("PreviewXmlData", {data, rule, background});
  return 0;
}

int Printers() {
  AutomationObject control(kProgId);
  ScopedVariant list = control.Call("GetPrinterList", {});
  const std::string text = FormatValue(*list.Get());
  if (!text.empty()) std::cout << text << "\n";
  std::cout << Tr("pdf:/absolute/path.pdf (the virtual PDF printer: writes one PDF file there)")
            << "\n";
  return 0;
}

// The control's rule checker, reached by name like every other method.
int Check(std::vector<std::string> args) {
  const bool json = TakeFlag(args, "--json");
  const auto printer = TakeOption(args, "--printer");
  const bool pdf = TakeFlag(args, "--pdf");
  RejectOptions(args);
  if (printer && pdf) Usage(Tr("give either --printer or --pdf"));
  if (args.empty() || args.size() > 2) Usage(Tr("check needs RULE and maybe DATA"));
  const std::u16string rule = ReadXmlFile(args[0]);
  const std::u16string data = args.size() == 2 ? ReadXmlFile(args[1]) : u"";
  AutomationObject control(kProgId);
  // With a printer, its sheet too: only its paper is read, nothing is selected.
  ScopedVariant answer =
      printer || pdf ? control.Call("CheckRuleForPrinter",
                                    {rule, data, codepage::Utf8ToWide(pdf ? "pdf:" : *printer)})
                     : control.Call("CheckRule", {rule, data});
  const std::string text = FormatValue(*answer.Get());
  const std::vector<Finding> findings = ParseFindings(text);
  if (json) {
    std::cout << text << "\n";
  } else {
    std::cout << FormatFindings(findings, args[0], args.size() == 2 ? args[1] : "");
  }
  return FindingsExitCode(findings);
}

int Run(std::vector<std::string> args) {
  if (const auto registry = TakeOption(args, "--registry")) {
    setenv("TAVO_REGISTRY", fs::absolute(*registry).c_str(), 1);
  }
  if (args.empty()) Usage(Tr("no command given"));
  const std::string command = args[0];
  args.erase(args.begin());
  if (command == "register" || command == "unregister") {
    const bool machine = TakeFlag(args, "--machine");
    RejectOptions(args);
    if (args.size() > 1) Usage(Tr("%1 takes at most one MODULE", {command}));
    const std::string module = args.empty() ? DefaultModule() : fs::absolute(args[0]).string();
    return RunRegistration(module,
                           command == "register" ? "DllRegisterServer" : "DllUnregisterServer",
                           machine ? MachineRegistryLocation() : RegistryLocation());
  }
  if (command == "call") return Call(args);
  if (command == "print") return Print(args);
  if (command == "preview") return Preview(args);
  if (command == "check") return Check(args);
  if (command == "batch") return Batch(args, kProgId);
  if (command == "site") return RunSite(args);
  if (command == "printers") {
    RejectOptions(args);
    if (!args.empty()) Usage(Tr("printers takes no arguments"));
    return Printers();
  }
  if (command == "bridge") {
    const auto port = TakeOption(args, "--port");
    RejectOptions(args);
    if (!args.empty()) Usage(Tr("bridge takes no arguments"));
    const char* fromEnvironment = std::getenv("TAVO_BRIDGE_PORT");
    const std::string text = port.value_or(fromEnvironment ? fromEnvironment : "17370");
    uint16_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size() || number == 0)
      Usage(Tr("not a port number: %1", {text}));
    return ShowBridge(number);
  }
  if (command == "--help" || command == "-h" || command == "help") {
    std::cout << UsageText();
    return 0;
  }
  if (command == "--version") {
    std::cout << "tavoprint " << TAVO_PRODUCT_VERSION << "\n";
    return 0;
  }
  Usage(Tr("unknown command %1", {command}));
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  UseTranslations();
  try {
    return Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const ToolFailure& failure) {
    std::cerr << "tavoprint: " << failure.what() << "\n";
    return failure.exitCode;
  } catch (const std::exception& error) {
    std::cerr << "tavoprint: " << error.what() << "\n";
    return 1;
  }
}
