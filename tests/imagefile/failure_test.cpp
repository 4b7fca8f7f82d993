// Every way a read or a write can fail: each returns 0 with a message, writes nothing, and leaves
// an existing file as it was.
#include "byte_order.h"
#include "component.h"
#include "file_access.h"

#include <csignal>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>
#include <zlib.h>

namespace imagefile::test {
namespace {

struct Instance {
    const Component& c = Component::main();
    RaduvHandle h = nullptr;
    Instance() { c.api.NewRaduvOR(&h); }
    ~Instance() { c.api.FreeRaduvOR(h); }
    std::string error() const { return c.api.GetLastErrorMessage(h); }
};

struct BadWrite {
    const char* name;
    const char* fileName;
    std::function<void(Image&)> spoil;
    const char* messagePart;
};

class WriteFailure : public testing::TestWithParam<BadWrite> {};

TEST_P(WriteFailure, FailsWritesNothingKeepsExistingFile) {
    const BadWrite& c = GetParam();
    ScratchFolder folder;
    Image image = makeImage(9, 4, 8);
    if (c.spoil) c.spoil(image);
    const std::string target = folder.file(c.fileName);
    putFileBytes(target, {'o', 'l', 'd'});
    Instance instance;
    EXPECT_EQ(instance.c.api.WriteImage(instance.h, target.c_str(), &image.block, image.pixels.data()), 0);
    EXPECT_NE(instance.error().find(c.messagePart), std::string::npos) << instance.error();
    EXPECT_EQ(fileBytes(target), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(folder.entries(), std::vector<std::string>{c.fileName});
}

Image wideImage(int width, int bits) {
    return makeImage(width, 1, bits);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WriteFailure,
    testing::Values(
        BadWrite{"UnknownExtension", "picture.gif", nullptr, "extension"},
        BadWrite{"NoExtension", "picture", nullptr, "extension"},
        BadWrite{"DepthTwo", "picture.bmp", [](Image& i) { i.block.header.bitCount = 2; }, "2 bits"},
        BadWrite{"DepthThirtyTwo", "picture.png", [](Image& i) { i.block.header.bitCount = 32; }, "32 bits"},
        BadWrite{"ZeroWidth", "picture.bmp", [](Image& i) { i.block.header.width = 0; }, "no pixels"},
        BadWrite{"NegativeHeight", "picture.tif", [](Image& i) { i.block.header.height = -4; }, "no pixels"},
        BadWrite{"Compressed", "picture.bmp", [](Image& i) { i.block.header.compression = 1; },
                 "uncompressed"},
        BadWrite{"OverFourGiB", "picture.bmp",
                 [](Image& i) {
                     i.block.header.width = 1 << 30;
                     i.block.header.height = 8;
                 },
                 "4 GiB"},
        BadWrite{"TooWideForJpeg", "picture.jpg", [](Image& i) { i = wideImage(65501, 24); }, "JPEG"},
        BadWrite{"TooWideForPcx", "picture.pcx", [](Image& i) { i = wideImage(65536, 1); }, "PCX"},
        BadWrite{"TooWideForTga", "picture.tga", [](Image& i) { i = wideImage(65536, 8); }, "TGA"}),
    [](const testing::TestParamInfo<BadWrite>& info) { return info.param.name; });

TEST(WriteFailure, MissingFolderOrFileAsFolder) {
    ScratchFolder folder;
    const Image image = makeImage(4, 4, 24);
    putFileBytes(folder.file("plain.txt"), {'x'});
    for (const std::string& path :
         {folder.file("missing/picture.bmp"), folder.file("plain.txt/picture.bmp")}) {
        Instance instance;
        EXPECT_EQ(instance.c.api.WriteImage(instance.h, path.c_str(), &image.block, image.pixels.data()), 0)
            << path;
        EXPECT_NE(instance.error().find("Cannot write in the folder"), std::string::npos) << instance.error();
    }
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"plain.txt"});
}

TEST(WriteFailure, ReadOnlyFolder) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
    ScratchFolder folder;
    const Image image = makeImage(4, 4, 24);
    const std::string target = folder.file("picture.bmp");
    putFileBytes(target, {'o', 'l', 'd'});
    std::filesystem::permissions(folder.path(),
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    Instance instance;
    EXPECT_EQ(instance.c.api.WriteImage(instance.h, target.c_str(), &image.block, image.pixels.data()), 0);
    EXPECT_NE(instance.error().find("Permission denied"), std::string::npos) << instance.error();
    EXPECT_EQ(fileBytes(target), (std::vector<uint8_t>{'o', 'l', 'd'}));
}

// A disk that fills up halfway: the file size limit stops the write part of the way through.
TEST(WriteFailure, DiskFullMidwayLeavesNoPartialFile) {
    ScratchFolder folder;
    const Image image = makeImage(300, 300, 24);
    for (const char* name :
         {"picture.bmp", "picture.jpg", "picture.png", "picture.tif", "picture.pcx", "picture.tga"}) {
        const std::string target = folder.file(name);
        putFileBytes(target, {'o', 'l', 'd'});
        struct sigaction ignore {
        }, previous{};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGXFSZ, &ignore, &previous);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = 4096;
        setrlimit(RLIMIT_FSIZE, &small);
        Instance instance;
        const int ok =
            instance.c.api.WriteImage(instance.h, target.c_str(), &image.block, image.pixels.data());
        setrlimit(RLIMIT_FSIZE, &old);
        sigaction(SIGXFSZ, &previous, nullptr);
        EXPECT_EQ(ok, 0) << name;
        EXPECT_NE(instance.error(), "") << name;
        EXPECT_EQ(fileBytes(target), (std::vector<uint8_t>{'o', 'l', 'd'})) << name;
    }
    EXPECT_EQ(folder.entries().size(), 6u);
}

extern "C" void removePartialFilesAndDie(int signal) {
    PartialNames::removeAll(); // what the component's RemovePartialFiles does
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// A writer killed halfway leaves no partial file and no hidden temporary, beside a new output or
// an old one: an unnamed file needs nothing (even SIGKILL, the out-of-memory killer); a hidden
// temporary (file systems without unnamed files) goes with a handler that calls RemovePartialFiles.
TEST(WriteFailure, KilledWriterLeavesNothing) {
    struct Case {
        AtomicOutputFile::Naming naming;
        int signal;
    };
    const Case cases[] = {{AtomicOutputFile::Naming::unnamedWherePossible, SIGKILL},
                          {AtomicOutputFile::Naming::hiddenName, SIGTERM}};
    for (const Case& c : cases)
        for (const bool replacing : {false, true}) {
            ScratchFolder folder;
            const std::string target = folder.file("picture.bmp");
            if (replacing) putFileBytes(target, {'o', 'l', 'd'});
            const pid_t child = ::fork();
            if (child == 0) {
                std::signal(SIGTERM, removePartialFilesAndDie);
                AtomicOutputFile other(folder.file("other.bmp"), c.naming);
                {
                    AtomicOutputFile done(folder.file("done.bmp"), c.naming);
                    done.commit();
                }
                AtomicOutputFile out(target, c.naming);
                out.write("partial", 7);
                if (folder.entries().size() !=
                    (c.naming == AtomicOutputFile::Naming::hiddenName ? 3u : 1u) + replacing)
                    ::_exit(3);
                ::kill(::getpid(), c.signal);
            }
            int status = 0;
            ASSERT_EQ(::waitpid(child, &status, 0), child);
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << status;
            std::vector<std::string> left{"done.bmp"};
            if (replacing) left.push_back("picture.bmp");
            EXPECT_EQ(folder.entries(), left) << c.signal;
            if (replacing) {
                EXPECT_EQ(fileBytes(target), (std::vector<uint8_t>{'o', 'l', 'd'}));
            }
        }
}

TEST(WriteSuccess, ReplacesExistingFileAndKeepsItsPermissions) {
    // The permission bits stay; setuid, setgid and sticky bits are not handed to the picture.
    const std::pair<mode_t, mode_t> cases[] = {{0640, 0640}, {04755, 0755}, {02750, 0750}, {07777, 0777}};
    for (const auto& [before, after] : cases) {
        ScratchFolder folder;
        const std::string target = folder.file("picture.bmp");
        putFileBytes(target, {'o', 'l', 'd'});
        ASSERT_EQ(::chmod(target.c_str(), before), 0);
        const Image image = makeImage(5, 3, 24);
        ASSERT_TRUE(writeFile(target, image));
        EXPECT_EQ(fileBytes(target).size(), 54u + 16 * 3);
        struct stat status {};
        ASSERT_EQ(::stat(target.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, after) << std::oct << before;
        EXPECT_EQ(folder.entries(), std::vector<std::string>{"picture.bmp"});
    }
}

TEST(WriteSuccess, ExtensionIsCaseInsensitive) {
    ScratchFolder folder;
    const Image image = makeImage(5, 3, 8);
    for (const char* name : {"a.BMP", "b.Jpg", "c.JPEG", "d.TIF", "e.Tiff", "f.PNG", "g.PcX", "h.TGA"}) {
        std::string error;
        EXPECT_TRUE(writeFile(folder.file(name), image, &error)) << name << ": " << error;
        Image back;
        EXPECT_TRUE(readFile(folder.file(name), back, &error)) << name << ": " << error;
        EXPECT_EQ(back.width(), 5);
    }
}

// Files cut short: a valid file of each format loses its second half, or all but its first bytes.
struct Cut {
    const char* extension;
    double keep;
};

class TruncatedFile : public testing::TestWithParam<Cut> {};

TEST_P(TruncatedFile, FailsWithMessage) {
    const Cut& c = GetParam();
    ScratchFolder folder;
    const std::string path = folder.file(std::string("picture.") + c.extension);
    ASSERT_TRUE(writeFile(path, makeImage(64, 48, 24)));
    std::vector<uint8_t> bytes = fileBytes(path);
    bytes.resize(static_cast<size_t>(bytes.size() * c.keep));
    putFileBytes(path, bytes);
    Instance instance;
    const uint32_t size = instance.c.api.GetImageSize(instance.h, path.c_str());
    std::vector<uint8_t> pixels(64 * 3 * 48);
    HeaderBlock block{};
    EXPECT_EQ(instance.c.api.ReadImage(instance.h, path.c_str(), &block, pixels.data()), 0) << size;
    EXPECT_NE(instance.error(), "");
}

INSTANTIATE_TEST_SUITE_P(Formats, TruncatedFile,
                         testing::Values(Cut{"bmp", 0.5}, Cut{"jpg", 0.5}, Cut{"png", 0.5}, Cut{"tif", 0.5},
                                         Cut{"pcx", 0.5}, Cut{"tga", 0.5}, Cut{"bmp", 0.01}, Cut{"jpg", 0.01},
                                         Cut{"png", 0.01}, Cut{"tif", 0.01}, Cut{"pcx", 0.01},
                                         Cut{"tga", 0.01}),
                         [](const testing::TestParamInfo<Cut>& info) {
                             return std::string(info.param.extension) +
                                    (info.param.keep > 0.1 ? "_half" : "_head");
                         });

struct BadRead {
    const char* name;
    std::function<std::string(const ScratchFolder&)> make; // gives the path to read
    const char* messagePart;
};

class ReadFailure : public testing::TestWithParam<BadRead> {};

TEST_P(ReadFailure, FailsWithMessage) {
    const BadRead& c = GetParam();
    ScratchFolder folder;
    const std::string path = c.make(folder);
    Instance instance;
    EXPECT_EQ(instance.c.api.GetImageSize(instance.h, path.c_str()), 0u);
    EXPECT_NE(instance.error().find(c.messagePart), std::string::npos) << instance.error();
    HeaderBlock block{};
    EXPECT_EQ(instance.c.api.ReadImage(instance.h, path.c_str(), &block, nullptr), 0);
    EXPECT_NE(instance.error().find(c.messagePart), std::string::npos) << instance.error();
}

std::string withBytes(const ScratchFolder& folder, const char* name, const std::vector<uint8_t>& bytes) {
    putFileBytes(folder.file(name), bytes);
    return folder.file(name);
}

// A valid file written by the component with some header bytes changed.
std::string patched(const ScratchFolder& folder, const char* name, const Image& image,
                    const std::function<void(std::vector<uint8_t>&)>& patch) {
    const std::string path = folder.file(name);
    if (!writeFile(path, image)) return path;
    std::vector<uint8_t> bytes = fileBytes(path);
    patch(bytes);
    putFileBytes(path, bytes);
    return path;
}

size_t findMarker(const std::vector<uint8_t>& bytes, uint8_t marker) {
    for (size_t i = 0; i + 1 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && bytes[i + 1] == marker) return i;
    return 0;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadFailure,
    testing::Values(
        BadRead{"Missing", [](const ScratchFolder& f) { return f.file("none.bmp"); }, "does not exist"},
        BadRead{"Empty", [](const ScratchFolder& f) { return withBytes(f, "empty.bmp", {}); }, "empty"},
        BadRead{"Folder", [](const ScratchFolder& f) { return f.path().string(); }, "not a regular file"},
        BadRead{"Fifo", // opened without waiting for a writer
                [](const ScratchFolder& f) {
                    ::mkfifo(f.file("pipe.bmp").c_str(), 0600);
                    return f.file("pipe.bmp");
                },
                "not a regular file"},
        BadRead{"Text",
                [](const ScratchFolder& f) {
                    return withBytes(f, "notes.bmp", {'h', 'e', 'l', 'l', 'o'});
                },
                "not an image file"},
        BadRead{"BmpOverFourGiB",
                [](const ScratchFolder& f) {
                    return patched(f, "big.bmp", makeImage(4, 4, 24), [](std::vector<uint8_t>& b) {
                        putLe32(b.data() + 18, 70000);
                        putLe32(b.data() + 22, 70000);
                    });
                },
                "4 GiB"},
        BadRead{"JpegOverFourGiB",
                [](const ScratchFolder& f) {
                    return patched(f, "big.jpg", makeImage(16, 16, 24), [](std::vector<uint8_t>& b) {
                        const size_t sof = findMarker(b, 0xC0);
                        b[sof + 5] = 0xFD; // height 65000
                        b[sof + 6] = 0xE8;
                        b[sof + 7] = 0xFD; // width 65000
                        b[sof + 8] = 0xE8;
                    });
                },
                "4 GiB"},
        BadRead{"BmpPaletteOver256",
                [](const ScratchFolder& f) {
                    return patched(f, "pal.bmp", makeImage(4, 4, 8),
                                   [](std::vector<uint8_t>& b) { putLe32(b.data() + 46, 1000); });
                },
                "palette"},
        BadRead{"BmpZeroHeight",
                [](const ScratchFolder& f) {
                    return patched(f, "flat.bmp", makeImage(4, 4, 8),
                                   [](std::vector<uint8_t>& b) { putLe32(b.data() + 22, 0); });
                },
                "height of 0"},
        BadRead{"BmpPixelsMissing",
                [](const ScratchFolder& f) {
                    return patched(f, "short.bmp", makeImage(4, 4, 24),
                                   [](std::vector<uint8_t>& b) { putLe32(b.data() + 22, 1000); });
                },
                "truncated"},
        BadRead{"TgaTooShortForItsSize",
                [](const ScratchFolder& f) {
                    return patched(f, "short.tga", makeImage(4, 4, 24),
                                   [](std::vector<uint8_t>& b) { putLe16(b.data() + 14, 60000); });
                },
                "truncated"},
        BadRead{"PcxTooShortForItsSize",
                [](const ScratchFolder& f) {
                    return patched(f, "short.pcx", makeImage(4, 4, 24),
                                   [](std::vector<uint8_t>& b) { putLe16(b.data() + 10, 60000); });
                },
                "truncated"},
        BadRead{"PngTooShortForItsSize",
                [](const ScratchFolder& f) {
                    return patched(f, "short.png", makeImage(4, 4, 24), [](std::vector<uint8_t>& b) {
                        // IHDR height, with the chunk's check value made right again
                        b[20] = 0x00, b[21] = 0x10, b[22] = 0x00, b[23] = 0x00;
                        const uint32_t crc = static_cast<uint32_t>(crc32(0, b.data() + 12, 17));
                        b[29] = static_cast<uint8_t>(crc >> 24), b[30] = static_cast<uint8_t>(crc >> 16);
                        b[31] = static_cast<uint8_t>(crc >> 8), b[32] = static_cast<uint8_t>(crc);
                    });
                },
                "truncated"},
        BadRead{"JpegTooShortForItsSize",
                [](const ScratchFolder& f) {
                    return patched(f, "claim.jpg", makeImage(16, 16, 24), [](std::vector<uint8_t>& b) {
                        const size_t sof = findMarker(b, 0xC0);
                        b[sof + 5] = 0x94; // height 38000
                        b[sof + 6] = 0x70;
                        b[sof + 7] = 0x90; // width 37000
                        b[sof + 8] = 0x88;
                    });
                },
                "truncated"},
        BadRead{"TiffTooShortForItsSize",
                [](const ScratchFolder& f) {
                    // 37000 x 38000 grey pixels claimed, ten bytes stored.
                    const std::string path = f.file("claim.tif");
                    TIFF* t = TIFFOpen(path.c_str(), "w");
                    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, 37000u);
                    TIFFSetField(t, TIFFTAG_IMAGELENGTH, 38000u);
                    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
                    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
                    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
                    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
                    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 38000u);
                    uint8_t data[10] = {};
                    TIFFWriteRawStrip(t, 0, data, sizeof data);
                    TIFFClose(t);
                    return path;
                },
                "truncated"},
        BadRead{"PcxUnknownLayout",
                [](const ScratchFolder& f) {
                    return patched(f, "odd.pcx", makeImage(4, 4, 8),
                                   [](std::vector<uint8_t>& b) { b[65] = 2; });
                },
                "not supported"},
        BadRead{"TgaUnknownType",
                [](const ScratchFolder& f) {
                    return patched(f, "odd.tga", makeImage(4, 4, 24),
                                   [](std::vector<uint8_t>& b) { b[2] = 7; });
                },
                "not a TGA image"}),
    [](const testing::TestParamInfo<BadRead>& info) { return info.param.name; });

TEST(ReadFailure, DamagedJpegDataFails) {
    ScratchFolder folder;
    const std::string path = folder.file("damaged.jpg");
    ASSERT_TRUE(writeFile(path, makeImage(64, 64, 24)));
    std::vector<uint8_t> bytes = fileBytes(path);
    const size_t scan = findMarker(bytes, 0xDA);
    ASSERT_GT(scan, 0u);
    // A restart marker where none may stand, in the middle of the entropy-coded data.
    const size_t middle = scan + (bytes.size() - scan) / 2;
    bytes[middle] = 0xFF;
    bytes[middle + 1] = 0xD3;
    putFileBytes(path, bytes);
    Image image;
    std::string error;
    EXPECT_FALSE(readFile(path, image, &error));
    EXPECT_NE(error.find("JPEG"), std::string::npos) << error;
}

TEST(Boundary, NullArgumentsFailCleanly) {
    Instance instance;
    HeaderBlock block{};
    uint8_t pixels[64];
    EXPECT_EQ(instance.c.api.GetImageSize(instance.h, nullptr), 0u);
    EXPECT_NE(instance.error(), "");
    EXPECT_EQ(instance.c.api.ReadImage(instance.h, "", &block, pixels), 0);
    EXPECT_NE(instance.error(), "");
    EXPECT_EQ(instance.c.api.ReadImage(instance.h, "/x.bmp", nullptr, pixels), 0);
    EXPECT_EQ(instance.c.api.WriteImage(instance.h, "/tmp/x.bmp", &block, nullptr), 0);
    EXPECT_NE(instance.error(), "");
    EXPECT_EQ(instance.c.api.GetImageSize(nullptr, "/x.bmp"), 0u);
    EXPECT_EQ(instance.c.api.ReadImage(nullptr, "/x.bmp", &block, pixels), 0);
    EXPECT_STRNE(instance.c.api.GetLastErrorMessage(nullptr), "");
    EXPECT_EQ(instance.c.api.NewRaduvOR(nullptr), 0);
    instance.c.api.FreeRaduvOR(nullptr);
}

TEST(Boundary, ErrorClearsAfterSuccess) {
    ScratchFolder folder;
    const Image image = makeImage(3, 3, 24);
    Instance instance;
    EXPECT_EQ(instance.c.api.WriteImage(instance.h, folder.file("a.xyz").c_str(), &image.block,
                                        image.pixels.data()),
              0);
    EXPECT_NE(instance.error(), "");
    EXPECT_EQ(instance.c.api.WriteImage(instance.h, folder.file("a.bmp").c_str(), &image.block,
                                        image.pixels.data()),
              1);
    EXPECT_EQ(instance.error(), "");
}

TEST(Boundary, NoNextPageOutsideTiff) {
    ScratchFolder folder;
    const Image image = makeImage(3, 3, 24);
    ASSERT_TRUE(writeFile(folder.file("a.bmp"), image));
    Instance instance;
    HeaderBlock block{};
    ASSERT_EQ(instance.c.api.ReadImage(instance.h, folder.file("a.bmp").c_str(), &block, nullptr), 1);
    EXPECT_EQ(instance.c.api.CanGetNextImage(instance.h), 0);
    EXPECT_EQ(instance.c.api.GetNextImageSize(instance.h), 0u);
    EXPECT_EQ(instance.c.api.GetNextImage(instance.h, &block, nullptr), 0);
    EXPECT_NE(instance.error().find("no further page"), std::string::npos) << instance.error();
}

} // namespace
} // namespace imagefile::test
