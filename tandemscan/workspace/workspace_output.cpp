// The joined image: the preview from the working copies, and saving from the originals.
#include "workspace/merge_workspace.h"

namespace tandemscan {

bool MergeWorkspace::composePreview()
{
    joined_.reset();
    return false;
}

void MergeWorkspace::endPreview() { joined_.reset(); }

bool MergeWorkspace::saveMerged(const std::string& path)
{
    (void)path;
    return false;
}

bool MergeWorkspace::saveSingle(int side, const std::string& path)
{
    (void)side;
    (void)path;
    return false;
}

} // namespace tandemscan
