#include <gtest/gtest.h>

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <vector>

#include "platform/printer/PrintOutcome.h"
#include "platform/qt/QtApplication.h"
#include "preview/PreviewFixtures.h"
#include "preview/PreviewPage.h"
#include "preview/ShowPreview.h"
#include "preview/dialog/ImageControl.h"
#include "preview/dialog/QtPictures.h"
#include "preview/dialog/UnitComPrintForm.h"
#include "printing/unitCommonPrinting.h"
#include "support/TestPrinter.h"

namespace tavo {
namespace {

using test::kPreviewData;
using test::PixelAt;
using test::PreviewRule;

// The dialog with its error box replaced by a record of the texts it would show.
class RecordingForm : public TFormComPrint {
 public:
  RecordingForm() : TFormComPrint(PrintPreviewedDocuments) {}
  std::vector<QString> errors;

 protected:
  void ShowError(const QString& text) override { errors.push_back(text); }
};

class Dialog : public ::testing::Test {
 protected:
  void SetUp() override { EnsureQtApplication(); }
};

TEST_F(Dialog, LayoutAsDesigned) {
  TFormComPrint form;
  EXPECT_EQ(form.windowTitle(), QString::fromUtf8("打印预览"));
  EXPECT_EQ(form.minimumSize(), QSize(835, 549));
  EXPECT_EQ(form.maximumSize(), QSize(835, 549));
  const Qt::WindowFlags flags = form.windowFlags();
  EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_EQ(form.palette().color(QPalette::Window), QColor(Qt::white));
  EXPECT_EQ(form.font().family(), QString::fromUtf8("宋体"));
  EXPECT_EQ(form.font().pixelSize(), 14);

  EXPECT_EQ(form.Panel2->parentWidget(), &form);
  EXPECT_EQ(form.Panel2->geometry(), QRect(0, 514, 835, 35));
  EXPECT_EQ(form.Panel2->palette().color(QPalette::Window), QColor(240, 251, 255));
  EXPECT_EQ(form.Panel2->frameShadow(), QFrame::Sunken);

  const struct {
    QPushButton* button;
    QRect geometry;
    const char* caption;
  } buttons[] = {{form.BitBtn1, QRect(704, 5, 75, 25), "退出(&X)"},
                 {form.BitBtn2, QRect(616, 5, 75, 25), "打印(&P)"}};
  for (const auto& b : buttons) {
    EXPECT_EQ(b.button->parentWidget(), form.Panel2);
    EXPECT_EQ(b.button->geometry(), b.geometry);
    EXPECT_EQ(b.button->text(), QString::fromUtf8(b.caption));
    EXPECT_EQ(b.button->font().pixelSize(), 12);
    EXPECT_EQ(b.button->font().family(), QString::fromUtf8("宋体"));
  }

  EXPECT_EQ(form.ScrollBox1->geometry(), QRect(0, 0, 835, 514));
  EXPECT_EQ(form.imgBG->geometry(), QRect(0, 0, 761, 505));
  EXPECT_TRUE(form.imgBG->isHidden());
  EXPECT_EQ(form.imgPreview->geometry(), QRect(0, 0, 753, 497));
  EXPECT_TRUE(form.imgPreview->Transparent());
  EXPECT_EQ(form.imgBG->parentWidget(), form.ScrollBox1->widget());
  EXPECT_EQ(form.imgPreview->parentWidget(), form.ScrollBox1->widget());
  EXPECT_TRUE(form.FXmlData.empty());
  EXPECT_TRUE(form.FXmlRule.empty());
}

TEST_F(Dialog, TabOrderExitPrintThenPageArea) {
  TFormComPrint form;
  std::vector<QWidget*> order;
  for (QWidget* w = form.nextInFocusChain(); w != &form; w = w->nextInFocusChain()) {
    if (w->focusPolicy() & Qt::TabFocus) order.push_back(w);
  }
  ASSERT_GE(order.size(), 3u);
  EXPECT_EQ(order[0], form.BitBtn1);
  EXPECT_EQ(order[1], form.BitBtn2);
  EXPECT_EQ(order[2], form.ScrollBox1);
}

TEST(ErrorBox, FullStopAfterCharactersThatSortAfterIt) {
  const struct {
    const char* message;
    const char* shown;
  } cases[] = {{"Printer is not ready", "Printer is not ready."},
               {"Done.", "Done."},
               {"Failed (code 5)", "Failed (code 5)"},
               {"Stop!", "Stop!"},
               {"Slash/", "Slash/."},
               {"打印失败", "打印失败."},
               {"", ""}};
  for (const auto& c : cases) {
    EXPECT_EQ(ErrorBoxText(c.message), QString::fromUtf8(c.shown));
  }
}

bool SameDrawing(const test::RecordedOp& a, const test::RecordedOp& b) {
  return a.kind == b.kind && a.from == b.from && a.to == b.to && a.rect == b.rect &&
         a.text == b.text && a.pen.width == b.pen.width && a.pen.color == b.pen.color;
}

TEST_F(Dialog, PrintButtonPrintsAsPrintXmlDataAndStaysOpen) {
  test::ScopedTestPrinter printer;
  RecordingForm form;
  form.FXmlData = kPreviewData;
  form.FXmlRule = PreviewRule(R"(width="200" height="100")");
  form.show();
  form.BitBtn2->click();
  form.BitBtn2->click();  // the user may print again
  EXPECT_TRUE(form.isVisible());
  EXPECT_TRUE(form.errors.empty());

  TTavoXmlDataPrinter direct(codepage::WideToAnsi(form.FXmlRule), nullptr);
  direct.Print(codepage::WideToAnsi(form.FXmlData), nullptr);
  const auto& jobs = printer->Jobs();
  ASSERT_EQ(jobs.size(), 3u);
  for (size_t j = 0; j < 2; ++j) {
    EXPECT_TRUE(jobs[j].ended);
    EXPECT_EQ(jobs[j].title, jobs[2].title);
    ASSERT_EQ(jobs[j].ops.size(), jobs[2].ops.size());
    ASSERT_FALSE(jobs[j].ops.empty());
    for (size_t i = 0; i < jobs[2].ops.size(); ++i)
      EXPECT_TRUE(SameDrawing(jobs[j].ops[i], jobs[2].ops[i])) << i;
  }
}

TEST_F(Dialog, PrintFailureIsShownAndTheDialogStays) {
  test::ScopedTestPrinter printer(test::TestPrinterOptions{.noPrinter = true});
  RecordingForm form;
  form.FXmlData = kPreviewData;
  form.FXmlRule = PreviewRule(R"(width="200" height="100")");
  form.show();
  form.BitBtn2->click();
  ASSERT_EQ(form.errors.size(), 1u);
  EXPECT_EQ(form.errors[0], QString(kNoDefaultPrinter) + ".");
  EXPECT_TRUE(form.isVisible());
  EXPECT_TRUE(printer->Jobs().empty());
}

// The dialog's print button replaces the process's print outcome, as PrintXmlData does.
TEST_F(Dialog, PrintButtonRecordsItsOutcome) {
  PrintOutcome earlier;
  earlier.message = "earlier";
  RecordPrintOutcome(earlier);
  RecordingForm form;
  form.FXmlData = kPreviewData;
  form.FXmlRule = PreviewRule(R"(width="200" height="100")");
  form.show();
  {
    test::ScopedTestPrinter printer;
    form.BitBtn2->click();
    const std::optional<PrintOutcome> printed = LastPrintOutcome();
    ASSERT_TRUE(printed);
    EXPECT_TRUE(printed->Printed());
    EXPECT_EQ(printed->printer, "test");
    ASSERT_EQ(printer->Jobs().size(), 1u);
    EXPECT_EQ(printed->title, printer->Jobs()[0].title);
    EXPECT_EQ(printed->message, "");
  }
  test::ScopedTestPrinter none(test::TestPrinterOptions{.noPrinter = true});
  form.BitBtn2->click();
  const std::optional<PrintOutcome> failed = LastPrintOutcome();
  ASSERT_TRUE(failed);
  EXPECT_FALSE(failed->Printed());
  EXPECT_EQ(failed->printer, "");
  EXPECT_EQ(failed->message, kNoDefaultPrinter);
  EXPECT_EQ(form.errors.size(), 1u);
}

TEST_F(Dialog, ExitButtonAndCloseBoxEndTheModalWait) {
  for (bool closeBox : {false, true}) {
    TFormComPrint form;
    test::WhenModal close([&] { closeBox ? (void)form.close() : form.BitBtn1->click(); });
    EXPECT_EQ(form.exec(), QDialog::Rejected);
    EXPECT_FALSE(form.isVisible());
  }
}

TEST_F(Dialog, LargePageScrollsBothWaysUnderAFixedButtonBar) {
  TFormComPrint form;
  form.ShowPage(DrawPreviewPage(kPreviewData, PreviewRule(R"(width="1200" height="800")"), u""));
  form.show();
  QApplication::processEvents();
  QScrollBar* horizontal = form.ScrollBox1->horizontalScrollBar();
  QScrollBar* vertical = form.ScrollBox1->verticalScrollBar();
  EXPECT_TRUE(horizontal->isVisible());
  EXPECT_TRUE(vertical->isVisible());
  ASSERT_GT(horizontal->maximum(), 1200 - 835);
  ASSERT_GT(vertical->maximum(), 800 - 514);
  horizontal->setValue(horizontal->maximum());
  vertical->setValue(vertical->maximum());
  QApplication::processEvents();
  EXPECT_EQ(form.ScrollBox1->widget()->pos(), QPoint(-horizontal->maximum(), -vertical->maximum()));
  EXPECT_EQ(form.Panel2->geometry(), QRect(0, 514, 835, 35));
  EXPECT_EQ(form.size(), QSize(835, 549));

  TFormComPrint small;
  small.ShowPage(DrawPreviewPage(kPreviewData, PreviewRule(R"(width="200" height="100")"), u""));
  small.show();
  QApplication::processEvents();
  EXPECT_FALSE(small.ScrollBox1->horizontalScrollBar()->isVisible());
  EXPECT_FALSE(small.ScrollBox1->verticalScrollBar()->isVisible());
}

// A record whose rows continue shows its first sheet, and the button bar says how many.
TEST_F(Dialog, ARecordOfSeveralSheetsSaysHowMany) {
  const std::u16string rows = codepage::Utf8ToWide(
      test::DataDocument("<a>1</a>", "<r><q>1</q></r><r><q>2</q></r><r><q>3</q></r>"));
  TFormComPrint form;
  form.ShowPage(DrawPreviewPage(
      rows, PreviewRule(R"(width="200" height="100" repeatableRowsPerPage="1")"), u""));
  form.show();
  QApplication::processEvents();
  const QLabel* count = form.Panel2->findChild<QLabel*>();
  ASSERT_NE(count, nullptr);
  EXPECT_TRUE(count->isVisible());
  EXPECT_EQ(count->text(), QString::fromUtf8("第 1 页，共 3 页"));
  form.ShowPage(DrawPreviewPage(rows, PreviewRule(R"(width="200" height="100")"), u""));
  EXPECT_FALSE(count->isVisible());
}

TEST_F(Dialog, PageAreaShowsWhatComposePageAreaDraws) {
  for (const std::u16string& background : {test::GreyBackground(300, 150), std::u16string()}) {
    TFormComPrint form;
    const PreviewPage page =
        DrawPreviewPage(kPreviewData, PreviewRule(R"(width="200" height="100")"), background);
    form.ShowPage(page);
    form.show();
    QApplication::processEvents();
    EXPECT_EQ(form.imgBG->isVisible(), !background.empty());
    EXPECT_EQ(form.imgPreview->size(), QSize(200, 100));
    const QImage shown =
        form.ScrollBox1->widget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown, ToQImage(ComposePageArea(page)));
    // Beyond the page the scroll box's own colour shows.
    const QImage box = form.ScrollBox1->viewport()->grab().toImage();
    EXPECT_EQ(PixelAt(box, 500, 400), test::kAreaColor);
  }
}

}  // namespace
}  // namespace tavo
