#include "dialog/QtServices.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <QTranslator>
#include <QUrl>

namespace tolvan::dialog {

Twips::Twips(const QWidget* reference) {
  dots_per_inch_ = reference != nullptr ? reference->logicalDpiX() : 96.0;
  if (dots_per_inch_ <= 0) dots_per_inch_ = 96.0;
}

int Twips::operator()(int twips) const { return qRound(twips * dots_per_inch_ / 1440.0); }

QRect Twips::Rect(int left, int top, int width, int height) const {
  return QRect((*this)(left), (*this)(top), (*this)(width), (*this)(height));
}

QFont UiFont() {
  QFont font;
  font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                    QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic")});
  font.setPointSizeF(9);
  return font;
}

QFont MonospaceFont() {
  QFont font;
  font.setFamilies(
      {QStringLiteral("ＭＳ ゴシック"), QStringLiteral("MS Gothic"), QStringLiteral("IPAGothic")});
  font.setStyleHint(QFont::Monospace);
  font.setFixedPitch(true);
  font.setPointSizeF(9);
  return font;
}

void LoadQtTranslations() {
  QCoreApplication* app = QCoreApplication::instance();
  static const char kLoaded[] = "tolvanQtTranslations";
  if (app == nullptr || app->property(kLoaded).toBool()) return;
  app->setProperty(kLoaded, true);
  auto* translator = new QTranslator(app);
  if (translator->load(QStringLiteral("qtbase_ja"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(translator);
  } else {
    delete translator;
  }
}

// The same icon and cursor files that the add-in's resources are built from.
QIcon AddinIcon() { return QIcon(QStringLiteral(":/tolvan/icon_1001.ico")); }

QCursor LinkCursor() {
  // The cursor file's hot spot is the arrow's tip, its top-left pixel.
  return QCursor(QPixmap(QStringLiteral(":/tolvan/cursor_99.cur")), 0, 0);
}

QStringList ToQtNameFilters(std::u16string_view filter) {
  QStringList parts = ToQString(filter).split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString& description = parts[i];
    const QString patterns = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
    if (description.endsWith(QLatin1Char('(') + patterns + QLatin1Char(')'))) {
      filters << description;
    } else {
      filters << description + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
  }
  return filters;
}

namespace {

// The initial location is the profile file in use: the chooser starts in its
// folder. On a fresh configuration that folder is not there yet; a save
// makes it, so that the proposed name lands beside the add-in's own
// settings, and a load starts in the nearest folder that is there.
QDir StartFolder(const FileDialogRequest& request, bool save) {
  const QFileInfo initial(
      ToQString(request.initial_path).replace(QLatin1Char('\\'), QLatin1Char('/')));
  if (request.initial_path.empty() || initial.isRelative()) return QDir::home();
  QString folder = initial.absolutePath();
  if (save && !QFileInfo(folder).isDir()) QDir().mkpath(folder);
  while (!QFileInfo(folder).isDir()) {
    const QString parent = QFileInfo(folder).path();
    if (parent == folder) return QDir::home();
    folder = parent;
  }
  return QDir(folder);
}

}  // namespace

std::optional<std::u16string> QtFileChooser::ChooseFile(const FileDialogRequest& request) {
  const bool save = request.mode == FileDialogRequest::Mode::kSave;
  QFileDialog chooser(parent_, ToQString(request.title));
  chooser.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  chooser.setFileMode(request.Has(kOfnFileMustExist) ? QFileDialog::ExistingFile
                                                     : QFileDialog::AnyFile);
  chooser.setOption(QFileDialog::DontConfirmOverwrite, !request.Has(kOfnOverwritePrompt));
  chooser.setNameFilters(ToQtNameFilters(request.filter));
  chooser.setDefaultSuffix(ToQString(request.default_extension));

  chooser.setDirectory(StartFolder(request, save));
  chooser.selectFile(ToQString(request.proposed_name));

  for (;;) {
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) {
      return std::nullopt;
    }
    const QFileInfo chosen(chooser.selectedFiles().constFirst());
    QString refusal;
    if (request.Has(kOfnPathMustExist) && !chosen.dir().exists()) {
      refusal = QStringLiteral("フォルダ %1 が見つかりません。").arg(chosen.absolutePath());
    } else if (request.Has(kOfnFileMustExist) && !chosen.exists()) {
      refusal = QStringLiteral("ファイル %1 が見つかりません。").arg(chosen.fileName());
    } else if (request.Has(kOfnNoReadOnlyReturn) && chosen.exists() && !chosen.isWritable()) {
      refusal = QStringLiteral("ファイル %1 は読み取り専用です。別の名前を指定してください。")
                    .arg(chosen.fileName());
    }
    if (!refusal.isEmpty()) {
      QMessageBox::warning(&chooser, chooser.windowTitle(), refusal, QMessageBox::Ok);
      continue;
    }
    // A name that is not there yet is a file the save will create: ask
    // first, and on No let the user pick again.
    if (request.Has(kOfnCreatePrompt) && !chosen.exists() &&
        QMessageBox::question(
            &chooser, chooser.windowTitle(),
            QStringLiteral("ファイル %1 は存在しません。\n作成しますか?").arg(chosen.fileName()),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) != QMessageBox::Yes) {
      continue;
    }
    return ToU16(QDir::toNativeSeparators(chosen.absoluteFilePath()));
  }
}

void QtMessageBoxes::Warn(std::u16string_view title, std::u16string_view text) {
  QMessageBox::warning(parent_, ToQString(title), ToQString(text), QMessageBox::Ok);
}

void QtDesktopLauncher::OpenDocument(std::u16string_view path_or_url) {
  const QString target = ToQString(path_or_url);
  const QUrl url = QUrl(target, QUrl::StrictMode);
  const bool is_web_address = url.isValid() && (url.scheme() == QLatin1String("http") ||
                                                url.scheme() == QLatin1String("https"));
  QDesktopServices::openUrl(is_web_address ? url : QUrl::fromLocalFile(target));
}

WaitCursor::WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
WaitCursor::~WaitCursor() { QApplication::restoreOverrideCursor(); }

}  // namespace tolvan::dialog
