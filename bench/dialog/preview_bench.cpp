// A keystroke in a replacement text box of the settings dialog refreshes all
// eighteen previews; typing must never lag, so one keystroke has to stay
// well under 2 ms. The dialog runs offscreen with the factory settings and
// the product's own expander; the keystrokes are real key events.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTreeWidget>
#include <memory>

#include "dialog/frmMarlet.h"
#include "form/MemoryServices.h"

namespace tolvan::dialog {
namespace {

struct OpenDialog {
  OpenDialog() : files(Defaults(), u"/bench/Tolvan.ini"), clock({2024, 4, 1, 9, 30, 0}) {
    settings = Defaults();
    settings.vntUserDefine = {{u"ver", u"1.0.0"}, {u"author", u"山田 太郎"}};
    settings.lngUserDefineLast = 1;
    form = std::make_unique<frmMarlet>(
        settings, frmMarlet::Services{files, registry, &chooser, &messages, &desktop, &clock});
    form->SetToolbars({u"標準"});
    form->show();
    QApplication::processEvents();
  }
  static SettingsRecord Defaults() { return FactorySettings().value(); }
  // Shows a page by choosing it in the tree: a hidden page takes no keys.
  void ShowPage(const QString& key) {
    auto* tree = form->findChild<QTreeWidget*>(QStringLiteral("tvwMenu"));
    for (QTreeWidgetItemIterator it(tree); *it != nullptr; ++it) {
      if ((*it)->data(0, Qt::UserRole).toString() == key) tree->setCurrentItem(*it);
    }
    QApplication::processEvents();
  }
  // One key typed into `box`, as the keyboard delivers it.
  static void Type(QWidget* box, int key, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(box, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(box, &release);
  }

  SettingsRecord settings;
  InMemorySettingsFiles files;
  InMemoryRegistry registry;
  ScriptedFileChooser chooser;
  RecordingMessageBoxes messages;
  RecordingDesktop desktop;
  FixedClock clock;
  std::unique_ptr<frmMarlet> form;
};

// Typing alternates a character and a backspace, so the text stays short and
// every keystroke changes it (and so every preview's parameter lines).
void TypeAndErase(benchmark::State& state, QWidget* box) {
  bool typed = false;
  for (auto _ : state) {
    if (typed) {
      OpenDialog::Type(box, Qt::Key_Backspace, QString());
    } else {
      OpenDialog::Type(box, Qt::Key_X, QStringLiteral("x"));
    }
    typed = !typed;
  }
}

void BM_KeystrokeInReplacementBox(benchmark::State& state) {
  OpenDialog dialog;
  dialog.ShowPage(QStringLiteral("K18"));
  auto* box = dialog.form->findChild<QLineEdit*>(
      QStringLiteral("txtRef_%1").arg(static_cast<int>(state.range(0))));
  box->setFocus();
  TypeAndErase(state, box);
  // The keys must have reached the box and its previews, or nothing was measured.
  OpenDialog::Type(box, Qt::Key_Y, QStringLiteral("y"));
  const QString preview =
      dialog.form->findChild<QPlainTextEdit*>(QStringLiteral("txtPreview_1"))->toPlainText();
  if (!box->text().endsWith(QLatin1Char('y')) || !dialog.form->Changed()) {
    state.SkipWithError("the keystrokes did not reach the replacement box");
  } else if (state.range(0) == 0 && !preview.contains(box->text())) {
    state.SkipWithError("the previews did not follow the replacement box");
  }
  state.SetLabel("18 previews per keystroke");
}
// txtRef(0) feeds the parameter lines, txtRef(5) the date of every preview.
BENCHMARK(BM_KeystrokeInReplacementBox)->Arg(0)->Arg(5)->Unit(benchmark::kMicrosecond);

void BM_KeystrokeInTemplateBox(benchmark::State& state) {
  OpenDialog dialog;
  dialog.ShowPage(QStringLiteral("K03"));
  auto* box = dialog.form->findChild<QPlainTextEdit*>(QStringLiteral("txtComment_3"));
  box->setFocus();
  TypeAndErase(state, box);
  OpenDialog::Type(box, Qt::Key_Y, QStringLiteral("y"));
  if (!box->toPlainText().contains(QLatin1Char('y'))) {
    state.SkipWithError("the keystrokes did not reach the template box");
  }
}
BENCHMARK(BM_KeystrokeInTemplateBox)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tolvan::dialog

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
