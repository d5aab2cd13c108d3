// tolvan_dialog_screenshots OUTDIR: renders every page of the settings
// dialog and the About box to PNG files, without a display (offscreen), with
// the factory settings and a fixed date. The README shows the pictures.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>

#include "dialog/QtServices.h"
#include "dialog/frmAbout.h"
#include "dialog/frmMarlet.h"
#include "form/MemoryServices.h"

using namespace tolvan;
using namespace tolvan::dialog;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QDir out(QString::fromLocal8Bit(argv[1]));
  if (!out.exists() && !QDir().mkpath(out.path())) {
    std::fprintf(stderr, "cannot create %s\n", argv[1]);
    return 1;
  }

  Result<SettingsRecord> factory = FactorySettings();
  if (!factory.ok()) {
    std::fprintf(stderr, "cannot load the factory settings: %s\n", factory.message().c_str());
    return 1;
  }
  const SettingsRecord& defaults = *factory;
  SettingsRecord settings = defaults;
  settings.vntUserDefine = {{u"ver", u"1.0.0"}, {u"author", u"山田 太郎"}};
  settings.lngUserDefineLast = 1;
  InMemorySettingsFiles files(defaults, u"/home/user/.config/tolvan/Tolvan.ini");
  InMemoryRegistry registry;
  RecordingMessageBoxes messages;
  RecordingDesktop desktop;
  ScriptedFileChooser chooser;
  FixedClock clock({2024, 4, 1, 9, 30, 0});

  frmMarlet form(settings, {files, registry, &chooser, &messages, &desktop, &clock});
  form.SetToolbars({u"標準", u"編集", u"デバッグ", u""});
  form.show();

  int failures = 0;
  auto save = [&](QWidget* window, const QString& name) {
    QApplication::processEvents();
    const QString path = out.filePath(name);
    if (!window->grab().save(path)) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
      ++failures;
    } else {
      std::printf("%s\n", qPrintable(path));
    }
  };

  auto* tree = form.findChild<QTreeWidget*>(QStringLiteral("tvwMenu"));
  for (int g = 0; g < tree->topLevelItemCount(); ++g) {
    QTreeWidgetItem* group = tree->topLevelItem(g);
    for (int p = 0; p < group->childCount(); ++p) {
      QTreeWidgetItem* page = group->child(p);
      tree->setCurrentItem(page);
      const QString key = page->data(0, Qt::UserRole).toString();
      save(&form, QStringLiteral("frmMarlet_%1.png").arg(key));
    }
  }

  frmAbout about(desktop, &form);
  about.show();
  save(&about, QStringLiteral("frmAbout.png"));
  return failures == 0 ? 0 : 1;
}
