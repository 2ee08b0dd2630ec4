#include "preview/ShowPreview.h"

#include <dlfcn.h>

#include <exception>
#include <filesystem>
#include <mutex>

#include "platform/cairo/FontMapping.h"
#include "platform/codepage/CodePage.h"
#include "platform/core/Display.h"
#include "platform/core/Error.h"
#include "platform/display/DisplayConnection.h"
#include "printing/unitCommonPrinting.h"

namespace tavo {
namespace {

std::mutex entryMutex;
ShowPreviewDialogEntry linkedEntry = nullptr;

// The folder of the module holding this code: the dialog module is installed beside it.
std::filesystem::path OwnFolder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ShowPreview), &info) == 0 || info.dli_fname == nullptr)
    return {};
  return std::filesystem::path(info.dli_fname).parent_path();
}

// Loads the dialog module once; it stays for the whole process, as Qt keeps what it was given.
ShowPreviewDialogEntry DialogEntry() {
  const std::lock_guard lock(entryMutex);
  if (linkedEntry != nullptr) return linkedEntry;
  static ShowPreviewDialogEntry loaded = nullptr;
  if (loaded != nullptr) return loaded;
  const std::string path = (OwnFolder() / kPreviewDialogModuleName).string();
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (module == nullptr) {
    const char* why = dlerror();
    throw Error("The preview dialog cannot be loaded: " + std::string(why ? why : path));
  }
  loaded = reinterpret_cast<ShowPreviewDialogEntry>(dlsym(module, kPreviewDialogEntryName));
  if (loaded == nullptr) throw Error("The preview dialog module " + path + " has no entry");
  return loaded;
}

}  // namespace

bool HasDisplay() { return !WhyNoDisplay(); }

void UseLinkedPreviewDialog(ShowPreviewDialogEntry entry) {
  const std::lock_guard lock(entryMutex);
  linkedEntry = entry;
}

std::optional<std::string> PrintPreviewedDocuments(const std::u16string& xmlData,
                                                   const std::u16string& xmlRule) {
  try {
    PrintOnCurrentPrinter(codepage::WideToAnsi(xmlRule), codepage::WideToAnsi(xmlData));
    return std::nullopt;
  } catch (const std::exception& failure) {
    return codepage::AnsiToUtf8(failure.what());
  }
}

void ShowPreview(const std::u16string& xmlData, const std::u16string& xmlRule,
                 const std::u16string& imagePath) {
  // A modal wait for a window nobody can see would never end; nor is Qt loaded for it.
  if (const auto reason = WhyNoDisplay()) throw Error("Preview needs a display: " + *reason);
  // Qt's platform plugin would end the host on a display it cannot open.
  if (!OffscreenDialogOptedIn()) {
    if (const auto reason = UnreachableDisplay())
      throw Error("Preview needs a display: " + *reason);
  }
  // Qt's fonts, the dialog's 宋体 among them, go through the project's mapping.
  LoadFontMapping();
  PreviewDialogRequest request{xmlData, xmlRule,
                               [&] { return DrawPreviewPage(xmlData, xmlRule, imagePath); },
                               PrintPreviewedDocuments};
  try {
    DialogEntry()(request);
  } catch (const Error&) {
    throw;
  } catch (const std::exception& failure) {
    throw Error(failure.what());
  }
}

}  // namespace tavo
