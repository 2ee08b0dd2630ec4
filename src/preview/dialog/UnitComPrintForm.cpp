#include "preview/dialog/UnitComPrintForm.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <utility>

#include "preview/PreviewPage.h"
#include "preview/dialog/ImageControl.h"
#include "preview/dialog/QtPictures.h"

namespace tavo {
namespace {

const QColor kButtonBarColor(240, 251, 255);
const QColor kAreaColor{QRgb(kPageAreaColor)};

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

QString ErrorBoxText(std::string_view utf8Message) {
  QString text = QString::fromUtf8(utf8Message.data(), static_cast<qsizetype>(utf8Message.size()));
  if (!text.isEmpty() && text.back() > QChar(u'.')) text += u'.';
  return text;
}

TFormComPrint::TFormComPrint(PrintDocuments printDocuments, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      printDocuments_(std::move(printDocuments)) {
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
  pageCount_ = new QLabel(Panel2);
  pageCount_->setGeometry(10, 5, 400, 25);
  pageCount_->setFont(SongTi(12));
  pageCount_->hide();

  ScrollBox1 = new QScrollArea(this);
  ScrollBox1->setGeometry(0, 0, 835, 514);
  ScrollBox1->setWidgetResizable(false);
  Paint(*ScrollBox1, kAreaColor);
  Paint(*ScrollBox1->viewport(), kAreaColor);

  pageArea_ = new QWidget;
  Paint(*pageArea_, kAreaColor);
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
  imgBG->SetPicture(ToQImage(page.background));
  if (page.backgroundShown) imgBG->resize(page.background.Width(), page.background.Height());
  imgPreview->SetPicture(ToQImage(page.page));
  imgPreview->resize(page.page.Width(), page.page.Height());
  imgPreview->raise();
  const PixelSize area = PageAreaSize(page);
  pageArea_->resize(area.width, area.height);
  pageCount_->setText(QString::fromUtf8("第 1 页，共 %1 页").arg(page.pages));
  pageCount_->setVisible(page.pages > 1);
}

void TFormComPrint::BitBtn1Click() { reject(); }

void TFormComPrint::BitBtn2Click() {
  if (!printDocuments_) return;
  if (const auto failure = printDocuments_(FXmlData, FXmlRule)) ShowError(ErrorBoxText(*failure));
}

void TFormComPrint::ShowError(const QString& text) {
  QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(), text,
                  QMessageBox::Ok, this);
  box.exec();
}

}  // namespace tavo
