// The program's fetcher: every download of the search window goes through
// the page fetch (net/PageFetch.h) with the program's request settings, one
// fetcher per download.
#pragma once

#include <memory>

#include "broadcast/Discovery.h"

namespace zelvaro {

std::unique_ptr<ILineFetcher> MakePageFetcher();

}  // namespace zelvaro
