#include "workspace/default_part_store.h"

#include <array>

namespace tandemscan {

namespace {

// Until the engine's store blocks are wired in, nothing can be read.
class UnboundPartStore final : public PartStore {
public:
    std::optional<HeaderBlock> readHeader(const std::string&) override { return std::nullopt; }
    bool loadOriginal(int, const std::string&) override { return false; }
    ImageRecord* original(int side) override { return originals_[side == 0 ? 0 : 1].empty() ? nullptr : &originals_[side == 0 ? 0 : 1]; }
    void swapOriginals() override { originals_[0].swap(originals_[1]); }

private:
    std::array<ImageRecord, 2> originals_;
};

} // namespace

std::unique_ptr<PartStore> makeDefaultPartStore() { return std::make_unique<UnboundPartStore>(); }

} // namespace tandemscan
