// ExpandMacro of every default template for a three-parameter procedure.
// Target: one expansion of the default Function template under 5 us.
#include <benchmark/benchmark.h>

#include "TestDefaults.h"
#include "engine/modMarlet.h"

namespace tolvan {
namespace {

void BM_ExpandDefaultTemplate(benchmark::State& state) {
  const SettingsRecord settings = FactorySettings();
  const int slot = static_cast<int>(state.range(0));
  ProcInfo info;
  info[0] = u"給与計算システム";
  info[1] = u"2026/12/08";
  info[3] = u"Payroll";
  info[4] = u"modCalc";
  info[5] = u"CalcPay";
  info[6] = u"Currency";
  const ParamTable params = {{u"lngBase", u"Long", u"I", u"", u"", u""},
                             {u"lngHours", u"Long", u"I", u"", u"", u""},
                             {u"curBonus", u"Currency", u"I", u"Optional", u"Default:", u"0"}};
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        ExpandMacro(settings, settings.strTemplate[slot], info, params, -1, {}));
  }
}
BENCHMARK(BM_ExpandDefaultTemplate)->DenseRange(0, kTemplateCount - 1)->ArgName("slot");

void BM_ExpandWithUserMacros(benchmark::State& state) {
  SettingsRecord settings = FactorySettings();
  for (int i = 0; i < 10; ++i) {
    settings.vntUserDefine.push_back({u"macro" + std::u16string(1, u'a' + i), u"replacement"});
  }
  settings.lngUserDefineLast = 9;
  ProcInfo info;
  info[5] = u"CalcPay";
  info[6] = u"Currency";
  const ParamTable params = {{u"a", u"Long", u"I"}, {u"b", u"Long", u"I"}, {u"c", u"Long", u"I"}};
  for (auto _ : state) {
    benchmark::DoNotOptimize(ExpandMacro(settings, settings.strTemplate[3], info, params,
                                         settings.lngUserDefineLast, settings.vntUserDefine));
  }
}
BENCHMARK(BM_ExpandWithUserMacros);

}  // namespace
}  // namespace tolvan
