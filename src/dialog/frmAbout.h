// frmAbout, the About box: the product title, the version line, the owner
// line and the maker's web address as a link that opens in the browser.
#pragma once

#include <QDialog>

#include "form/DialogLogic.h"
#include "host/DialogServices.h"

class QLabel;
class QPushButton;

namespace tolvan::dialog {

class frmAbout : public QDialog {
  Q_OBJECT

 public:
  frmAbout(DesktopLauncher& desktop, QWidget* parent = nullptr);

  void Form_Load();
  void lblURL_Click();
  void cmdOK_Click();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  DesktopLauncher& desktop_;
  QLabel* picIcon = nullptr;
  QLabel* lblTitle = nullptr;
  QLabel* lblVersion = nullptr;
  QLabel* lblOwner = nullptr;
  QLabel* lblURL = nullptr;
  QPushButton* cmdOK = nullptr;
};

}  // namespace tolvan::dialog
