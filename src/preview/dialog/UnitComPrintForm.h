// The preview dialog: the page area with the background picture of the blank form and the
// drawn page over it, and a button bar to print the previewed documents or close.
#pragma once

#include <QDialog>
#include <QString>
#include <string>
#include <string_view>

#include "preview/PreviewDialog.h"

class QFrame;
class QLabel;
class QPushButton;
class QScrollArea;

namespace tavo {

class ImageControl;
struct PreviewPage;

// The text of an error box for a failure's message (UTF-8): a full stop is appended when the
// message's last character sorts after ".".
QString ErrorBoxText(std::string_view utf8Message);

class TFormComPrint : public QDialog {
 public:
  // Builds the designed layout; nothing else runs. The print button prints through
  // `printDocuments` (none: the button does nothing).
  explicit TFormComPrint(PrintDocuments printDocuments = {}, QWidget* owner = nullptr);
  ~TFormComPrint() override;

  // Puts a drawn preview into the images: imgBG at its picture's size (hidden when no
  // background was asked for), imgPreview at the page's size and in front. A record of several
  // pages shows its first, and the button bar says how many it has.
  void ShowPage(const PreviewPage& page);

  // Closes the dialog: the modal wait ends with the cancel result.
  void BitBtn1Click();
  // Prints the stored documents on the current printer as PrintXmlData does; a failure is
  // shown in an error box and the dialog stays open.
  void BitBtn2Click();

  // The components, owned by the dialog through their parents.
  QFrame* Panel2;
  QPushButton* BitBtn1;
  QPushButton* BitBtn2;
  QScrollArea* ScrollBox1;
  ImageControl* imgBG;
  ImageControl* imgPreview;

  // The documents of the open preview, as the host gave them.
  std::u16string FXmlData;
  std::u16string FXmlRule;

 protected:
  // Shows an error box with the critical icon, the text and the application's title.
  virtual void ShowError(const QString& text);

 private:
  QWidget* pageArea_;  // holds both images, so they scroll together
  QLabel* pageCount_;  // in the button bar, for a record of several pages
  PrintDocuments printDocuments_;
};

}  // namespace tavo
