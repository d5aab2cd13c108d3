// Shared pieces of the dialog tests: a registry of QtTest classes (one
// program runs them all, or the one named on its command line), a settings
// record whose every field is recognisable, the dialog with in-memory
// services, and an expander that writes out what it was given, so that a
// preview box shows exactly which sample and texts reached the expansion.
#pragma once

#include <QApplication>
#include <QObject>
#include <QString>
#include <QTest>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dialog/QtServices.h"
#include "dialog/frmMarlet.h"
#include "form/MemoryServices.h"

namespace tolvan::dialog::testing {

using TestFactory = std::function<std::unique_ptr<QObject>()>;
std::vector<std::pair<QString, TestFactory>>& TestRegistry();

struct RegisterTest {
  RegisterTest(const char* name, TestFactory factory) {
    TestRegistry().emplace_back(QString::fromLatin1(name), std::move(factory));
  }
};

#define TOLVAN_DIALOG_TEST(Class)                                  \
  static ::tolvan::dialog::testing::RegisterTest register_##Class( \
      #Class, [] { return std::unique_ptr<QObject>(new Class); })

// Slot n of the templates reads "'T<n> $c\r\n'$n1\r\n"; every other text
// names its field.
SettingsRecord SampleSettings();

// "[template]{proc 0|1|3|4|5|6}<params a;b;...>(last:word=replacement,...)
// ~noparam~remove", as the preview box shows it.
std::u16string DescribeExpansion(const SettingsRecord& settings, std::u16string_view strTemplate,
                                 const ProcInfo& proc, const ParamTable& params, int32_t last,
                                 const UserMacroTable& table);

// The dialog and its in-memory world.
class Harness {
 public:
  Harness();
  ~Harness();

  // Creates the window, hands it the tool bars and shows it (opening).
  frmMarlet& Open();
  frmMarlet& form() { return *form_; }

  template <class T>
  T* Find(const QString& name) {
    T* found = form_->findChild<T*>(name);
    if (found == nullptr) qWarning("no control %s", qPrintable(name));
    return found;
  }
  QString PreviewText(int page);
  // Selects the tree node with `key` as a user would, by clicking it.
  void ClickNode(const QString& key);
  int expansions() const { return expansions_; }

  SettingsRecord settings;
  InMemorySettingsFiles files;
  InMemoryRegistry registry;
  ScriptedFileChooser chooser;
  RecordingMessageBoxes messages;
  RecordingDesktop desktop;
  FixedClock clock;
  std::vector<std::u16string> toolbars;

 private:
  std::unique_ptr<frmMarlet> form_;
  int expansions_ = 0;
};

inline QString Q(std::u16string_view text) { return ToQString(text); }

// Types `text` into `widget` one key at a time, Japanese included (QTest's
// keyClicks knows only Latin-1 keys).
void TypeText(QWidget* widget, const QString& text);

}  // namespace tolvan::dialog::testing

// QCOMPARE prints std::u16string as text.
namespace QTest {
template <>
inline char* toString(const std::u16string& text) {
  return QTest::toString(tolvan::dialog::ToQString(text));
}
}  // namespace QTest
