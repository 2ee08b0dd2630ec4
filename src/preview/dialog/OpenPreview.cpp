#include "preview/dialog/OpenPreview.h"

#include <QGuiApplication>
#include <QScreen>
#include <memory>

#include "platform/qt/QtApplication.h"
#include "preview/dialog/UnitComPrintForm.h"

namespace tavo {
namespace {

// The one open preview dialog of the process, owned by the call that shows it.
TFormComPrint* openPreview = nullptr;

// Clears the open-preview reference on every path out of ShowPreviewDialog.
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

}  // namespace

TFormComPrint* OpenPreview() { return openPreview; }

void ShowPreviewDialog(const PreviewDialogRequest& request) {
  if (openPreview) {
    openPreview->raise();
    openPreview->activateWindow();
    return;
  }
  // The application, if this call made it, outlives the dialog and goes when the call ends.
  const QtApplicationScope application(QtUse::Windows);
  auto form = std::make_unique<TFormComPrint>(request.printDocuments);
  const OpenPreviewReference reference(form.get());
  form->ShowPage(request.drawPage());
  form->FXmlData = request.xmlData;
  form->FXmlRule = request.xmlRule;
  CentreOnScreen(*form);
  form->exec();
}

}  // namespace tavo
