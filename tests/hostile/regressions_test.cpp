// Inputs that once crashed, hung or ran away with memory (most found by the
// fuzz targets), kept in regressions/ and loaded again on every run.
#include <filesystem>
#include <string>
#include <vector>

#include "expectations.h"

namespace vistamere::picture::testing {
namespace {

TEST(Regressions, EverySavedInputLoadsCleanly) {
  std::vector<std::filesystem::path> inputs;
  for (const auto& entry : std::filesystem::directory_iterator(VISTAMERE_REGRESSIONS_DIR)) {
    if (entry.is_regular_file() && entry.path().filename() != "README") {
      inputs.push_back(entry.path());
    }
  }
  if (inputs.empty()) GTEST_SKIP() << "no saved inputs";
  for (const auto& input : inputs) {
    SCOPED_TRACE(input.filename().string());
    CheckLoad(LoadGuarded(input.string()), Expect::kClean);
  }
}

}  // namespace
}  // namespace vistamere::picture::testing
