#include "engine_fixture.h"

#include <fstream>

namespace tandemscan::test {

void EngineFixture::SetUp() {
    folder = PrivateFolder::create(temporaryRoot(), "engine-test-");
    ASSERT_TRUE(folder);
    std::string why;
    library = ImageFileLibrary::load(TS_FAKE_COMPONENT_DIR, &why, "FakeImageFile.so");
    ASSERT_TRUE(library) << why;
    engine = std::make_unique<ImageEngine>(library, folder->path());
    ASSERT_TRUE(engine->hasComponent());
}

std::filesystem::path EngineFixture::writePart(const std::string& name, const TestImage& image,
                                               std::size_t extraBytes) {
    const auto path = folder->path() / name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&image.block), sizeof image.block);
    out.write(reinterpret_cast<const char*>(image.pixels.data()),
              static_cast<std::streamsize>(image.pixels.size()));
    const std::string extra(extraBytes, '\0');
    out.write(extra.data(), static_cast<std::streamsize>(extra.size()));
    return path;
}

} // namespace tandemscan::test
