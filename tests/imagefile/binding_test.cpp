#include "image_file_component.h"

#include <gtest/gtest.h>
#include <string>

namespace {

// A missing optional entry leaves its pointer null and the component usable; a missing required
// one fails the load and leaves the whole table null.
TEST(ImageFileBinding, BindsOptionalEntriesOnlyWherePresent) {
    struct Case {
        std::string path;
        bool loads;
        bool removePartials;
        bool rows;
    };
    const Case cases[] = {
        {std::string(TS_PROGRAM_DIR) + "/ZedOROV.so", true, true, true},
        {std::string(TS_PROGRAM_DIR) + "/Tilex/RaduvOR.so", true, true, true},
        {std::string(TS_FAKE_COMPONENT_DIR) + "/FakeImageFile.so", true, false, true},
        {"libm.so.6", false, false, false},
    };
    for (const Case& c : cases) {
        imagefile::ImageFileComponent component;
        EXPECT_EQ(component.load(c.path), c.loads) << c.path;
        EXPECT_EQ(component.loaded(), c.loads) << c.path;
        EXPECT_EQ(component.lacksEntry(), !c.loads) << c.path;
        const imagefile::ImageFileApi& api = component.api();
        EXPECT_EQ(api.ReadImage != nullptr, c.loads) << c.path;
        EXPECT_EQ(api.RemovePartialFiles != nullptr, c.removePartials) << c.path;
        EXPECT_EQ(api.ReadImageRows != nullptr, c.rows) << c.path;
        EXPECT_EQ(api.WriteImageRows != nullptr, c.rows) << c.path;
        EXPECT_EQ(api.ReadImageInto != nullptr, c.rows) << c.path;
    }
}

} // namespace
