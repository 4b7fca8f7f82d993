// An engine bound to the stand-in image file component, working in a private folder of its own.
#pragma once

#include "engine/image_engine.h"
#include "engine/working_files.h"
#include "test_images.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace tandemscan::test {

class EngineFixture : public ::testing::Test {
  protected:
    void SetUp() override;

    // Writes `image` as a test file in the working folder and returns its path.
    std::filesystem::path writePart(const std::string& name, const TestImage& image,
                                    std::size_t extraBytes = 0);

    std::optional<PrivateFolder> folder;
    std::shared_ptr<ImageFileLibrary> library;
    std::unique_ptr<ImageEngine> engine;
};

} // namespace tandemscan::test
