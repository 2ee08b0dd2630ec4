#include "OriginPrompt.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "Translation.h"

namespace tavo::bridge {
namespace {

constexpr int kAllowDelayMs = 1000;
constexpr const char* kAnswerProperty = "tavoAnswer";

// The prompt speaks the user's language: it is where a person decides whom to trust.
QString TrQ(const char* english) { return QString::fromStdString(tool::Tr(english)); }

class OriginPromptWindow : public ShownPrompt {
 public:
  OriginPromptWindow(const QString& origin, std::function<void(PromptAnswer)> answered)
      : dialog_(new QDialog) {
    dialog_->setWindowTitle(TrQ("Tavo print control"));
    dialog_->setWindowFlag(Qt::WindowStaysOnTopHint);
    dialog_->setAttribute(Qt::WA_DeleteOnClose, false);

    auto* text =
        new QLabel(TrQ("The web page below wants to use the print control on this computer."));
    auto* name = new QLabel(origin.toHtmlEscaped().prepend("<b>").append("</b>"));
    name->setTextFormat(Qt::RichText);
    name->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* scope = new QLabel(TrQ("It may print, show previews and save files in its own folder."));

    // TRANSLATORS: the & marks the Alt key of each answer; keep the same letters (O, A, B, N).
    auto* once = new QPushButton(TrQ("Allow &once"));
    auto* always = new QPushButton(TrQ("&Always allow"));
    auto* block = new QPushButton(TrQ("&Block"));
    auto* notNow = new QPushButton(TrQ("&Not now"));
    for (QPushButton* button : {once, always, block}) button->setAutoDefault(false);
    notNow->setDefault(true);
    for (QPushButton* button : {once, always}) button->setEnabled(false);
    QTimer::singleShot(kAllowDelayMs, dialog_, [once, always] {
      once->setEnabled(true);
      always->setEnabled(true);
    });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* button : {once, always, block, notNow}) buttons->addWidget(button);
    auto* layout = new QVBoxLayout(dialog_);
    layout->addWidget(text);
    layout->addWidget(name);
    layout->addWidget(scope);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // The answer rides on the window itself, so nothing here outlives this object.
    QDialog* dialog = dialog_;
    const auto answerWith = [dialog](QPushButton* button, PromptAnswer given) {
      QObject::connect(button, &QPushButton::clicked, dialog, [dialog, given] {
        dialog->setProperty(kAnswerProperty, static_cast<int>(given));
        dialog->accept();
      });
    };
    answerWith(once, PromptAnswer::AllowOnce);
    answerWith(always, PromptAnswer::AlwaysAllow);
    answerWith(block, PromptAnswer::Block);
    answerWith(notNow, PromptAnswer::NotNow);
    // Escape and the close box reject without an answer: "Not now".
    dialog->setProperty(kAnswerProperty, static_cast<int>(PromptAnswer::NotNow));
    QObject::connect(dialog, &QDialog::finished, dialog, [dialog, answered] {
      answered(static_cast<PromptAnswer>(dialog->property(kAnswerProperty).toInt()));
    });

    notNow->setFocus();
    dialog_->show();
    dialog_->raise();
    dialog_->activateWindow();
  }

  ~OriginPromptWindow() override {
    if (!dialog_) return;
    // Gone unanswered: nothing more is said, and the window goes once its events are over.
    QObject::disconnect(dialog_, &QDialog::finished, nullptr, nullptr);
    dialog_->hide();
    dialog_->deleteLater();
  }

 private:
  QPointer<QDialog> dialog_;
};

}  // namespace

std::unique_ptr<ShownPrompt> ShowOriginPrompt(const QString& origin,
                                              std::function<void(PromptAnswer)> answered) {
  return std::make_unique<OriginPromptWindow>(origin, std::move(answered));
}

}  // namespace tavo::bridge
