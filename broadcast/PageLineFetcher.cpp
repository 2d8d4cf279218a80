#include "broadcast/PageLineFetcher.h"

namespace zelvaro {

std::unique_ptr<ILineFetcher> MakePageFetcher() { return std::make_unique<TPageLineFetcher>(); }

}  // namespace zelvaro
