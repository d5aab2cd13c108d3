// The dialog's services as the desktop offers them through Qt: the file
// chooser, warning message boxes and the desktop's document handler. Also
// the fonts, twips and resources the windows share.
#pragma once

#include <QFont>
#include <QIcon>
#include <QRect>
#include <QString>
#include <QWidget>
#include <string>
#include <string_view>

#include "host/DialogServices.h"

namespace tolvan::dialog {

inline QString ToQString(std::u16string_view text) {
  return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}
inline std::u16string ToU16(const QString& text) { return text.toStdU16String(); }

// The window geometry is written in twips (1/1440 inch) and scaled to the
// screen's logical resolution.
class Twips {
 public:
  explicit Twips(const QWidget* reference);
  int operator()(int twips) const;
  QRect Rect(int left, int top, int width, int height) const;

 private:
  double dots_per_inch_;
};

// The proportional and the monospaced Japanese fonts of the windows, 9 pt:
// "ＭＳ Ｐゴシック" / "ＭＳ ゴシック" where they exist, else the IPA fonts,
// whose Japanese characters are exactly two Latin columns wide.
QFont UiFont();
QFont MonospaceFont();

// Qt's own texts (the file chooser's buttons and labels, its overwrite
// prompt, the Yes and No of a question) in Japanese, like the rest of the
// windows. Loads once per application; without the translation files the
// texts stay in English.
void LoadQtTranslations();

// Icon resource 1001 and cursor resource 99.
QIcon AddinIcon();
QCursor LinkCursor();

// Converts "desc|pattern|desc|pattern" into Qt's "desc (pattern)" filters;
// a description that already ends in its pattern in parentheses is kept.
QStringList ToQtNameFilters(std::u16string_view filter);

class QtFileChooser : public FileChooser {
 public:
  explicit QtFileChooser(QWidget* parent) : parent_(parent) {}
  std::optional<std::u16string> ChooseFile(const FileDialogRequest& request) override;

 private:
  QWidget* parent_;
};

class QtMessageBoxes : public MessageBoxes {
 public:
  explicit QtMessageBoxes(QWidget* parent) : parent_(parent) {}
  void Warn(std::u16string_view title, std::u16string_view text) override;

 private:
  QWidget* parent_;
};

// Files go to the handler for their type (HTML to the web browser), web
// addresses to the web browser.
class QtDesktopLauncher : public DesktopLauncher {
 public:
  void OpenDocument(std::u16string_view path_or_url) override;
};

// Shows the hourglass while it lives.
class WaitCursor {
 public:
  WaitCursor();
  ~WaitCursor();
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace tolvan::dialog
