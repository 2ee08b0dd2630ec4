#include "OriginPrompt.h"

#include <QMessageBox>
#include <QPushButton>

namespace tavo::bridge {

PromptAnswer AskAboutOrigin(const QString& origin) {
  QMessageBox box(QMessageBox::Question, "Tavo print control",
                  QString("The web page %1 wants to use the print control on this computer.\n\n"
                          "It may print, show previews and save files in its own folder.")
                      .arg(origin));
  QPushButton* once = box.addButton("Allow &once", QMessageBox::AcceptRole);
  QPushButton* always = box.addButton("&Always allow", QMessageBox::AcceptRole);
  QPushButton* block = box.addButton("&Block", QMessageBox::RejectRole);
  box.setDefaultButton(block);
  box.setWindowFlag(Qt::WindowStaysOnTopHint);
  box.exec();
  if (box.clickedButton() == once) return PromptAnswer::AllowOnce;
  if (box.clickedButton() == always) return PromptAnswer::AlwaysAllow;
  if (box.clickedButton() == block) return PromptAnswer::Block;
  return PromptAnswer::Refused;
}

}  // namespace tavo::bridge
