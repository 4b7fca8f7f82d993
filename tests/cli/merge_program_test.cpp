// The built tandemscan-merge with the real image file component, on real files.
#include "engine/image_file.h"
#include "engine/pixel_tools.h"
#include "engine/working_files.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sys/wait.h>
#include <unistd.h>

namespace tandemscan {
namespace {

namespace fs = std::filesystem;

struct Image {
    HeaderBlock header{};
    std::vector<std::uint8_t> pixels;
};

class MergeProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = PrivateFolder::create(temporaryRoot(), "merge-program-test-");
        ASSERT_TRUE(folder);
        fs::create_directory(folder->path() / "tmp");
        std::string why;
        library = ImageFileLibrary::load(TS_PROGRAM_DIR, &why);
        ASSERT_TRUE(library) << why;
        instance = library->newInstance();
        ASSERT_TRUE(instance);
    }

    struct Result {
        int status;
        std::string err;
    };
    // Runs the program with its temporary folder inside the test's folder.
    Result run(const std::string& args) {
        const fs::path errFile = folder->path() / "stderr.txt";
        const std::string command = "TMPDIR='" + (folder->path() / "tmp").string() + "' '" + TS_PROGRAM_DIR +
                                    "/tandemscan-merge' " + args + " 2>'" + errFile.string() + "' >/dev/null";
        const int raw = std::system(command.c_str());
        std::ifstream in(errFile);
        std::string err{std::istreambuf_iterator<char>(in), {}};
        EXPECT_TRUE(fs::is_empty(folder->path() / "tmp")) << "working folder left behind";
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, err};
    }

    Image read(const fs::path& file) {
        Image image;
        const std::uint32_t size = instance->imageSize(file);
        image.pixels.resize(size);
        EXPECT_TRUE(size != 0 && instance->readImage(file, image.header, image.pixels.data())) << file;
        return image;
    }
    void write(const fs::path& file, const Image& image) {
        ASSERT_TRUE(instance->writeImage(file, image.header, image.pixels.data()))
            << instance->lastErrorMessage();
    }
    Image columns(const Image& source, std::int32_t from, std::int32_t to) {
        Image part;
        part.pixels.resize(PixelTools::cropImage(source.header, source.pixels, from, 0, to,
                                                 source.header.header.height, nullptr, {}));
        EXPECT_EQ(PixelTools::cropImage(source.header, source.pixels, from, 0, to,
                                        source.header.header.height, &part.header, part.pixels),
                  1u);
        return part;
    }
    std::string path(const std::string& name) const { return (folder->path() / name).string(); }

    std::optional<PrivateFolder> folder;
    std::shared_ptr<ImageFileLibrary> library;
    std::optional<ImageFileInstance> instance;
};

const std::string kSamples = std::string(TS_SOURCE_DIR) + "/samples/";

// Every pixel's colour (blue, green, red), whatever the depth and palette that hold it.
std::vector<std::uint32_t> colours(const Image& image) {
    const ImageHeader& h = image.header.header;
    const std::uint32_t stride = PixelTools::rowStride(h.width, h.bitCount);
    std::vector<std::uint32_t> out;
    for (std::int32_t row = 0; row < h.height; ++row) {
        const std::uint8_t* r = image.pixels.data() + std::size_t{stride} * row;
        for (std::int32_t x = 0; x < h.width; ++x) {
            if (h.bitCount == 24) {
                out.push_back(r[3 * x] | (r[3 * x + 1] << 8) | (r[3 * x + 2] << 16));
                continue;
            }
            const std::uint32_t index = h.bitCount == 1 ? (r[x / 8] >> (7 - x % 8)) & 1 : r[x];
            const PaletteEntry& e = image.header.palette[index];
            out.push_back(e.blue | (e.green << 8) | (e.red << 16));
        }
    }
    return out;
}

Image pattern(std::uint16_t bitCount, std::int32_t width, std::int32_t height, bool whiteFirst) {
    Image image;
    ImageHeader& h = image.header.header;
    h = ImageHeader{40, width, height, 1, bitCount, 0, 0, 11811, 11811, 0, 0};
    h.sizeImage = PixelTools::imageDataSize(h);
    const int entries = 1 << bitCount;
    for (int i = 0; i < entries; ++i) {
        const auto v = static_cast<std::uint8_t>((whiteFirst ? entries - 1 - i : i) * 255 / (entries - 1));
        image.header.palette[i] = {v, v, v, 0};
    }
    image.pixels.assign(h.sizeImage, 0);
    const std::uint32_t stride = PixelTools::rowStride(width, bitCount);
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x) {
            const std::uint32_t v = static_cast<std::uint32_t>((x / 3 + y / 2 + (x * y) % 7) % entries);
            std::uint8_t* r = image.pixels.data() + std::size_t{stride} * y;
            if (bitCount == 1)
                r[x / 8] = static_cast<std::uint8_t>(r[x / 8] | ((v & 1) << (7 - x % 8)));
            else
                r[x] = static_cast<std::uint8_t>(v);
        }
    return image;
}

TEST_F(MergeProgramTest, EveryFormatShowsTheJoinedColours) {
    // Halves written as BMP, joined into each format: the colours come back as the original's,
    // whichever palette order the part had.
    struct Case {
        std::uint16_t bitCount;
        bool whiteFirst;
        const char* extension;
    };
    const Case cases[] = {{1, true, ".tif"}, {1, false, ".tif"}, {1, true, ".pcx"},
                          {1, true, ".bmp"}, {1, false, ".png"}, {8, false, ".png"},
                          {8, true, ".tif"}, {8, false, ".pcx"}, {8, false, ".tga"}};
    for (const Case& c : cases) {
        const Image original = pattern(c.bitCount, 320, 60, c.whiteFirst);
        write(path("l.bmp"), columns(original, 0, 200));
        write(path("r.bmp"), columns(original, 120, 320));
        const std::string out = path(std::string("joined") + c.extension);
        const Result r = run(path("l.bmp") + " " + path("r.bmp") + " -o " + out + " --cut 160,40,0,0");
        ASSERT_EQ(r.status, 0) << c.extension << ": " << r.err;
        const Image joined = read(out);
        EXPECT_EQ(joined.header.header.width, 320) << c.extension;
        EXPECT_TRUE(colours(joined) == colours(original))
            << c.bitCount << " bits to " << c.extension << (c.whiteFirst ? ", white first" : "");
    }
}

TEST_F(MergeProgramTest, HalvesOfARealImageJoinBackIntoIt) {
    const Image original = read(kSamples + "left.jpg");
    ASSERT_EQ(original.header.header.width, 1260);
    write(path("left.bmp"), columns(original, 0, 800));
    write(path("right.bmp"), columns(original, 600, 1260));
    const Result r =
        run(path("left.bmp") + " " + path("right.bmp") + " -o " + path("joined.bmp") + " --cut 700,100,0,0");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << "no progress line when stderr is not a terminal";
    const Image joined = read(path("joined.bmp"));
    EXPECT_EQ(joined.header.header.width, 1260);
    EXPECT_EQ(joined.header.header.height, original.header.header.height);
    EXPECT_EQ(joined.header.header.xPelsPerMeter, original.header.header.xPelsPerMeter);
    EXPECT_TRUE(joined.pixels == original.pixels);
}

TEST_F(MergeProgramTest, SamplePartsJoinAutomatically) {
    const Result r = run(kSamples + "left.jpg " + kSamples + "right.jpg -o " + path("sheet.jpg") + " --auto");
    ASSERT_EQ(r.status, 0) << r.err;
    const Image sheet = read(path("sheet.jpg"));
    // 150 dpi: the left part keeps round(1260 - 37.85) columns, the right starts at round(38.35).
    EXPECT_EQ(sheet.header.header.width, 1222 + 1260 - 38);
    EXPECT_EQ(sheet.header.header.height, 1754);
    EXPECT_EQ(sheet.header.header.xPelsPerMeter, 5906) << "150 dpi kept";
    EXPECT_EQ(sheet.header.header.bitCount, 24);
}

TEST_F(MergeProgramTest, AnInterruptedRunLeavesNoWorkingFiles) {
    // A part large enough that the run is still loading when it is interrupted.
    Image big;
    big.header.header = ImageHeader{40, 4000, 6000, 1, 24, 0, 0, 11811, 11811, 0, 0};
    big.header.header.sizeImage = PixelTools::imageDataSize(big.header.header);
    big.pixels.resize(big.header.header.sizeImage);
    for (std::size_t i = 0; i < big.pixels.size(); ++i)
        big.pixels[i] = static_cast<std::uint8_t>(i * 2654435761u >> 24);
    write(path("big.jpg"), big);
    const fs::path tmp = folder->path() / "tmp";
    // SIGINT is handled at once; after SIGKILL, which no handler sees, the next run clears up.
    for (const int signal : {SIGINT, SIGKILL}) {
        const std::string command = "TMPDIR='" + tmp.string() + "' exec '" + TS_PROGRAM_DIR +
                                    "/tandemscan-merge' " + path("big.jpg") + " " + path("big.jpg") + " -o " +
                                    path("big-out.jpg") + " --cut 4000,0,0,0";
        FILE* child = popen(("echo $$; " + command + " 2>/dev/null").c_str(), "r");
        ASSERT_NE(child, nullptr);
        int pid = 0;
        ASSERT_EQ(std::fscanf(child, "%d", &pid), 1);
        // Wait until the first working file exists, then interrupt.
        bool started = false;
        for (int i = 0; i < 20000 && !started; ++i) {
            for (const auto& entry : fs::directory_iterator(tmp))
                if (fs::exists(entry.path() / "ImgdataL.DAT")) started = true;
            if (!started) usleep(1000);
        }
        ASSERT_TRUE(started);
        kill(pid, signal);
        const int status = pclose(child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << "ends as the signal asks";
        EXPECT_FALSE(fs::exists(path("big-out.jpg")));
        if (signal == SIGKILL) {
            for (const auto& entry : fs::directory_iterator(tmp))
                fs::last_write_time(entry.path(), fs::file_time_type::clock::now() - std::chrono::minutes(5));
            EXPECT_EQ(run("--help").status, 0);
        }
        EXPECT_TRUE(fs::is_empty(tmp)) << "the private folder and its files are gone";
        for (const auto& entry : fs::directory_iterator(folder->path()))
            EXPECT_FALSE(entry.path().filename().string().starts_with(".big-out.jpg")) << "a partial output";
    }
}

TEST_F(MergeProgramTest, ExitStatusPerKindOfFailure) {
    const std::string parts = kSamples + "left.jpg " + kSamples + "right.jpg";
    struct Case {
        std::string args;
        int status;
        std::string start; // the message's beginning
    };
    const Case cases[] = {
        {parts, 1, "tandemscan-merge: give the output file with -o\nUsage:"},
        {parts + " -o " + path("x.jpg") + " --cut 1,2", 1,
         "tandemscan-merge: --cut takes four whole numbers"},
        {path("missing.jpg") + " " + kSamples + "right.jpg -o " + path("x.jpg") + " --auto", 2,
         "tandemscan-merge: " + path("missing.jpg") + ": "},
        {kSamples + "left.jpg " + kSamples + "generate_samples.cpp -o " + path("x.jpg") + " --auto", 2,
         "tandemscan-merge: " + kSamples + "generate_samples.cpp: "},
        {parts + " -o " + path("x.unknown") + " --auto", 3, "tandemscan-merge: " + path("x.unknown") + ": "},
        {parts + " -o " + path("no/folder/x.jpg") + " --auto", 3,
         "tandemscan-merge: " + path("no/folder/x.jpg") + ": "},
    };
    for (const Case& c : cases) {
        const Result r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
        EXPECT_EQ(r.err.substr(0, c.start.size()), c.start) << r.err;
        if (c.status != 1) {
            // One line (a sanitizer build may add its own report after it).
            const std::string line = r.err.substr(0, r.err.find('\n'));
            EXPECT_EQ(r.err.find("tandemscan-merge", line.size()), std::string::npos) << r.err;
            EXPECT_GT(line.size(), c.start.size() + 2) << "and it says why";
        }
    }
    EXPECT_FALSE(fs::exists(path("x.unknown")));
}

} // namespace
} // namespace tandemscan
