#include "preview/UnitComPrintForm.h"

#include <QApplication>
#include <QFrame>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <exception>

#include "platform/codepage/CodePage.h"
#include "preview/ImageControl.h"
#include "preview/PreviewPage.h"
#include "printing/unitCommonPrinting.h"

namespace tavo {
namespace {

const QColor kButtonBarColor(240, 251, 255);

QFont SongTi(int pixelHeight) {
  QFont font(QString::fromUtf8("宋体"));
  font.setPixelSize(pixelHeight);
  return font;
}

void Paint(QWidget& widget, const QColor& color) {
  QPalette palette = widget.palette();
  palette.setColor(QPalette::Window, color);
  palette.setColor(QPalette::Base, color);
  widget.setPalette(palette);
  widget.setBackgroundRole(QPalette::Window);
  widget.setAutoFillBackground(true);
}

QPushButton* MakeButton(const char* utf8Caption, QWidget* panel, int left) {
  auto* button = new QPushButton(QString::fromUtf8(utf8Caption), panel);
  button->setGeometry(left, 5, 75, 25);
  button->setFont(SongTi(12));
  // Neither button is the dialog's default: Enter does not close or print.
  button->setAutoDefault(false);
  return button;
}

}  // namespace

QString ErrorBoxText(std::string_view ansiMessage) {
  QString text = QString::fromStdString(codepage::AnsiToUtf8(ansiMessage));
  if (!text.isEmpty() && text.back() > QChar(u'.')) text += u'.';
  return text;
}

TFormComPrint::TFormComPrint(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
  setWindowTitle(QString::fromUtf8("打印预览"));
  setFixedSize(835, 549);
  Paint(*this, Qt::white);
  setFont(SongTi(14));

  Panel2 = new QFrame(this);
  Panel2->setGeometry(0, 514, 835, 35);
  Panel2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Panel2->setLineWidth(1);
  Paint(*Panel2, kButtonBarColor);

  // The buttons keep their places: the dialog's size is fixed.
  BitBtn1 = MakeButton("退出(&X)", Panel2, 704);
  BitBtn2 = MakeButton("打印(&P)", Panel2, 616);

  ScrollBox1 = new QScrollArea(this);
  ScrollBox1->setGeometry(0, 0, 835, 514);
  ScrollBox1->setWidgetResizable(false);
  Paint(*ScrollBox1, kPageAreaColor);
  Paint(*ScrollBox1->viewport(), kPageAreaColor);

  pageArea_ = new QWidget;
  Paint(*pageArea_, kPageAreaColor);
  imgBG = new ImageControl(pageArea_);
  imgBG->setGeometry(0, 0, 761, 505);
  imgBG->hide();
  imgPreview = new ImageControl(pageArea_);
  imgPreview->setGeometry(0, 0, 753, 497);
  imgPreview->SetTransparent(true);
  pageArea_->resize(imgPreview->size());
  ScrollBox1->setWidget(pageArea_);

  setTabOrder(BitBtn1, BitBtn2);
  setTabOrder(BitBtn2, ScrollBox1);

  connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
  connect(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
}

TFormComPrint::~TFormComPrint() = default;

void TFormComPrint::ShowPage(const PreviewPage& page) {
  imgBG->setVisible(page.backgroundShown);
  imgBG->SetPicture(page.background);
  if (page.backgroundShown) imgBG->resize(page.background.size());
  imgPreview->SetPicture(page.page);
  imgPreview->resize(page.page.size());
  imgPreview->raise();
  pageArea_->resize(PageAreaSize(page));
}

void TFormComPrint::BitBtn1Click() { reject(); }

void TFormComPrint::BitBtn2Click() {
  try {
    PrintOnCurrentPrinter(codepage::WideToAnsi(FXmlRule), codepage::WideToAnsi(FXmlData));
  } catch (const std::exception& failure) {
    ShowError(ErrorBoxText(failure.what()));
  }
}

void TFormComPrint::ShowError(const QString& text) {
  QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(), text,
                  QMessageBox::Ok, this);
  box.exec();
}

}  // namespace tavo
