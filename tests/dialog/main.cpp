// Runs the dialog's QtTest classes: all of them, or the one named first on
// the command line (the rest of the line goes to QtTest).
#include <QApplication>
#include <QTest>
#include <cstdio>

#include "DialogTestSupport.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QString only;
  QStringList qtest_args{QString::fromLocal8Bit(argv[0])};
  for (int i = 1; i < argc; ++i) {
    const QString arg = QString::fromLocal8Bit(argv[i]);
    if (i == 1 && !arg.startsWith(QLatin1Char('-'))) {
      only = arg;
    } else {
      qtest_args << arg;
    }
  }
  int failed = 0;
  bool ran = false;
  for (const auto& [name, make] : tolvan::dialog::testing::TestRegistry()) {
    if (!only.isEmpty() && name != only) continue;
    ran = true;
    std::unique_ptr<QObject> test = make();
    failed += QTest::qExec(test.get(), qtest_args);
  }
  if (!ran) {
    std::fprintf(stderr, "no test class named %s\n", qPrintable(only));
    return 2;
  }
  return failed == 0 ? 0 : 1;
}
