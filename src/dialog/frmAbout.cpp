#include "dialog/frmAbout.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

#include "dialog/QtServices.h"
#include "form/DialogLogic.h"

namespace tolvan::dialog {
namespace {

QFont TitleFont() {
  QFont font;
  font.setFamilies({QStringLiteral("Century"), QStringLiteral("C059"),
                    QStringLiteral("Century Schoolbook L"), QStringLiteral("DejaVu Serif")});
  font.setStyleHint(QFont::Serif);
  font.setPointSizeF(14.25);
  font.setBold(true);
  return font;
}

QFont NoticeFont() {
  QFont font;
  font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                    QStringLiteral("IPAPGothic")});
  font.setPointSizeF(9);
  return font;
}

}  // namespace

frmAbout::frmAbout(DesktopLauncher& desktop, QWidget* parent) : QDialog(parent), desktop_(desktop) {
  setObjectName(QStringLiteral("frmAbout"));
  setWindowTitle(QStringLiteral("バージョン情報"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setFont(UiFont());
  const Twips tw(this);
  setFixedSize(tw(6015), tw(2655));

  picIcon = new QLabel(this);
  picIcon->setObjectName(QStringLiteral("picIcon"));
  picIcon->setGeometry(tw.Rect(240, 240, 480, 480));

  lblTitle = new QLabel(QStringLiteral("About"), this);
  lblTitle->setObjectName(QStringLiteral("lblTitle"));
  lblTitle->setGeometry(tw.Rect(1020, 180, 4095, 480));
  lblTitle->setFont(TitleFont());
  QPalette title_palette = lblTitle->palette();
  title_palette.setColor(QPalette::WindowText, QColor(0, 128, 0));
  lblTitle->setPalette(title_palette);

  lblVersion = new QLabel(this);
  lblVersion->setObjectName(QStringLiteral("lblVersion"));
  lblVersion->setGeometry(tw.Rect(1020, 720, 4095, 255));

  lblOwner = new QLabel(this);
  lblOwner->setObjectName(QStringLiteral("lblOwner"));
  lblOwner->setGeometry(tw.Rect(1020, 1080, 4875, 255));
  QFont owner_font = NoticeFont();
  owner_font.setItalic(true);
  lblOwner->setFont(owner_font);

  lblURL = new QLabel(ToQString(kMakerAddress), this);
  lblURL->setObjectName(QStringLiteral("lblURL"));
  lblURL->setGeometry(tw.Rect(1020, 1440, 4875, 255));
  QFont link_font = NoticeFont();
  link_font.setUnderline(true);
  lblURL->setFont(link_font);
  QPalette link_palette = lblURL->palette();
  link_palette.setColor(QPalette::WindowText, link_palette.color(QPalette::Highlight));
  lblURL->setPalette(link_palette);
  lblURL->installEventFilter(this);

  cmdOK = new QPushButton(QStringLiteral("OK"), this);
  cmdOK->setObjectName(QStringLiteral("cmdOK"));
  cmdOK->setGeometry(tw.Rect(4620, 2040, 1215, 375));
  cmdOK->setDefault(true);
  connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });

  Form_Load();
}

void frmAbout::Form_Load() {
  setWindowTitle(ToQString(kProductTitle));
  setWindowIcon(AddinIcon());
  picIcon->setPixmap(AddinIcon().pixmap(picIcon->size()));
  lblVersion->setText(ToQString(VersionLine(ProductVersion())));
  lblTitle->setText(ToQString(kProductTitle));
  lblOwner->setText(ToQString(kLegalNotice));
  lblURL->setCursor(LinkCursor());
}

void frmAbout::lblURL_Click() {
  WaitCursor hourglass;
  desktop_.OpenDocument(ToU16(lblURL->text()));
}

void frmAbout::cmdOK_Click() { accept(); }

bool frmAbout::eventFilter(QObject* watched, QEvent* event) {
  if (watched == lblURL && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    lblURL_Click();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace tolvan::dialog
