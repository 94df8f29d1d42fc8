#pragma once

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "byte_search.h"

namespace linksift::testing_support {

// Every search kernel, whether or not this processor runs it.
inline constexpr SearchKernel kSearchKernels[] = {SearchKernel::kScalar, SearchKernel::kAvx2};

inline std::string KernelName(SearchKernel kernel) {
  return kernel == SearchKernel::kAvx2 ? "Avx2" : "Scalar";
}

// A test whose cases run once on every search kernel: each case forces its
// kernel, is skipped where the processor lacks it, and puts the usual one back.
template <typename Case>
class KernelTest : public testing::TestWithParam<std::tuple<SearchKernel, Case>> {
 protected:
  void SetUp() override {
    if (!ForceSearchKernel(std::get<0>(this->GetParam()))) {
      GTEST_SKIP() << "this processor lacks the " << KernelName(std::get<0>(this->GetParam()))
                   << " kernel";
    }
  }
  void TearDown() override { ForceSearchKernel(usual_); }

  const Case& TestCase() const { return std::get<1>(this->GetParam()); }

 private:
  const SearchKernel usual_ = ActiveSearchKernel();
};

// Names a case of a KernelTest as kernel_case.
struct KernelCaseName {
  template <typename Info>
  std::string operator()(const Info& info) const {
    return KernelName(std::get<0>(info.param)) + "_" + std::get<1>(info.param).name;
  }
};

}  // namespace linksift::testing_support
