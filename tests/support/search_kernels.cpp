#include "search_kernels.h"

namespace linksift::testing_support {

std::string KernelName(SearchKernel kernel) {
  switch (kernel) {
    case SearchKernel::kScalar:
      return "Scalar";
    case SearchKernel::kAvx2:
      return "Avx2";
  }
  return "Unknown";
}

}  // namespace linksift::testing_support
