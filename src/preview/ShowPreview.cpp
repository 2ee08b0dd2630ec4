#include "preview/ShowPreview.h"

#include <QGuiApplication>
#include <QScreen>
#include <exception>
#include <memory>

#include "platform/core/Error.h"
#include "platform/qt/Display.h"
#include "platform/qt/QtApplication.h"
#include "preview/PreviewPage.h"
#include "preview/UnitComPrintForm.h"

namespace tavo {
namespace {

// The one open preview dialog of the process, owned by the ShowPreview call that shows it.
TFormComPrint* openPreview = nullptr;

// Clears the open-preview reference on every path out of ShowPreview.
struct OpenPreviewReference {
  explicit OpenPreviewReference(TFormComPrint* form) { openPreview = form; }
  ~OpenPreviewReference() { openPreview = nullptr; }
  OpenPreviewReference(const OpenPreviewReference&) = delete;
  OpenPreviewReference& operator=(const OpenPreviewReference&) = delete;
};

void CentreOnScreen(QWidget& form) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect available = screen->availableGeometry();
  form.move(available.center() - QPoint(form.width() / 2, form.height() / 2));
}

void ShowNewPreview(const std::u16string& xmlData, const std::u16string& xmlRule,
                    const std::u16string& imagePath) {
  // The application, if this call made it, outlives the dialog and goes when the call ends.
  const QtApplicationScope application(QtUse::Windows);
  auto form = std::make_unique<TFormComPrint>();
  const OpenPreviewReference reference(form.get());
  form->ShowPage(DrawPreviewPage(xmlData, xmlRule, imagePath));
  form->FXmlData = xmlData;
  form->FXmlRule = xmlRule;
  CentreOnScreen(*form);
  form->exec();
}

}  // namespace

bool HasDisplay() { return !WhyNoDisplay(); }

TFormComPrint* OpenPreview() { return openPreview; }

void ShowPreview(const std::u16string& xmlData, const std::u16string& xmlRule,
                 const std::u16string& imagePath) {
  if (openPreview) {
    openPreview->raise();
    openPreview->activateWindow();
    return;
  }
  // A modal wait for a window nobody can see would never end.
  if (const auto reason = WhyNoDisplay()) throw Error("Preview needs a display: " + *reason);
  try {
    ShowNewPreview(xmlData, xmlRule, imagePath);
  } catch (const Error&) {
    throw;
  } catch (const std::exception& failure) {
    throw Error(failure.what());
  }
}

}  // namespace tavo
