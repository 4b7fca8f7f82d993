// The store the application uses: the engine's store blocks, filled through the image file
// component found in the program folder.
#pragma once

#include "workspace/part_store.h"

#include <memory>

namespace tandemscan {

std::unique_ptr<PartStore> makeDefaultPartStore();

} // namespace tandemscan
