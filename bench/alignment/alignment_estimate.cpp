// Runs placement by content over an evaluation set: reads truth.tsv's pairs (JPEG or PBM parts),
// times each estimate on its own (decoding excluded) and writes one result line per pair. The time
// is the process's processor time, of every thread the estimate uses: the machine is shared, and
// the wall clock mostly measures the neighbours.
// Usage: alignment_estimate SET_DIR RESULTS.tsv
//        alignment_estimate --speed LEFT RIGHT DPI REPEAT
// The second form times the decoding of both parts on one thread (the baseline) and the estimate
// alone (all its threads), REPEAT times each, and prints the medians: "decode S" and "estimate S"
// lines.
// With REPEAT 0 it only decodes both parts once: a process to set the whole command beside.
#include "engine/content_placement.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>
#include <jpeglib.h>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace tandemscan;

struct Part {
    HeaderBlock header{};
    std::vector<std::uint8_t> pixels;
    PartPixels view() const { return {header, pixels}; }
};

void setHeader(Part& part, int width, int height, int bits, std::size_t stride) {
    ImageHeader& h = part.header.header;
    h.size = 40;
    h.width = width;
    h.height = height;
    h.planes = 1;
    h.bitCount = static_cast<std::uint16_t>(bits);
    h.sizeImage = static_cast<std::uint32_t>(stride * height);
    part.pixels.assign(stride * height, 0);
}

bool readJpeg(const std::string& path, Part& part, int dpi) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, file);
    jpeg_read_header(&cinfo, TRUE);
    const bool grey = cinfo.num_components == 1;
    cinfo.out_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
    jpeg_start_decompress(&cinfo);
    const int width = static_cast<int>(cinfo.output_width), height = static_cast<int>(cinfo.output_height);
    const int bits = grey ? 8 : 24;
    const std::size_t stride = ((static_cast<std::size_t>(width) * bits + 31) / 32) * 4;
    setHeader(part, width, height, bits, stride);
    if (grey)
        for (int i = 0; i < 256; ++i)
            part.header.palette[i] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i),
                                      static_cast<std::uint8_t>(i), 0};
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = part.pixels.data() + stride * (height - 1 - cinfo.output_scanline);
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(file);
    part.header.header.xPelsPerMeter = part.header.header.yPelsPerMeter =
        static_cast<std::int32_t>(dpi * 39.37 + 0.5);
    return true;
}

// P4: 1 = black; stored as a 1-bit picture with palette 0 black, 1 white.
bool readPbm(const std::string& path, Part& part, int dpi) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int width = 0, height = 0;
    in >> magic >> width >> height;
    in.get();
    if (magic != "P4" || width <= 0 || height <= 0) return false;
    const std::size_t packed = (static_cast<std::size_t>(width) + 7) / 8;
    const std::size_t stride = ((static_cast<std::size_t>(width) + 31) / 32) * 4;
    setHeader(part, width, height, 1, stride);
    part.header.palette[1] = {255, 255, 255, 0};
    std::vector<char> row(packed);
    for (int y = 0; y < height; ++y) {
        in.read(row.data(), static_cast<std::streamsize>(packed));
        std::uint8_t* out = part.pixels.data() + stride * (height - 1 - y);
        for (std::size_t i = 0; i < packed; ++i)
            out[i] = static_cast<std::uint8_t>(~static_cast<std::uint8_t>(row[i]));
    }
    part.header.header.xPelsPerMeter = part.header.header.yPelsPerMeter =
        static_cast<std::int32_t>(dpi * 39.37 + 0.5);
    return static_cast<bool>(in);
}

double processorSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

bool readPart(const std::string& path, Part& part, int dpi) {
    return path.ends_with(".pbm") ? readPbm(path, part, dpi) : readJpeg(path, part, dpi);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

int speed(const std::string& leftPath, const std::string& rightPath, int dpi, int repeat) {
    std::vector<double> decode, estimate;
    if (repeat == 0) {
        Part left, right;
        return readPart(leftPath, left, dpi) && readPart(rightPath, right, dpi) ? 0 : 1;
    }
    for (int i = 0; i < repeat; ++i) {
        Part left, right;
        const double start = processorSeconds();
        if (!readPart(leftPath, left, dpi) || !readPart(rightPath, right, dpi)) {
            std::cerr << "cannot read the parts\n";
            return 1;
        }
        const double decoded = processorSeconds();
        std::string why;
        const auto found = estimateContentPlacement(left.view(), right.view(), &why);
        estimate.push_back(processorSeconds() - decoded);
        decode.push_back(decoded - start);
        if (!found) std::cerr << "refused: " << why << "\n";
    }
    std::printf("decode %.4f\nestimate %.4f\n", median(decode), median(estimate));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 6 && std::string(argv[1]) == "--speed")
        return speed(argv[2], argv[3], std::stoi(argv[4]), std::stoi(argv[5]));
    if (argc != 3) {
        std::cerr << "usage: alignment_estimate SET_DIR RESULTS.tsv\n"
                     "       alignment_estimate --speed LEFT RIGHT DPI REPEAT\n";
        return 1;
    }
    const std::string dir = argv[1];
    std::ifstream truth(dir + "/truth.tsv");
    std::ofstream out(argv[2]);
    out << "id\tstatus\tflipped\tangle_deg\tdx\tdy\tconfidence\tseconds\treason\n";
    std::string line;
    std::getline(truth, line);
    int count = 0;
    while (std::getline(truth, line)) {
        std::istringstream fields(line);
        std::vector<std::string> f;
        for (std::string s; std::getline(fields, s, '\t');)
            f.push_back(s);
        if (f.size() < 7) continue;
        const int dpi = std::stoi(f[3]);
        Part left, right;
        if (!readPart(dir + "/" + f[5], left, dpi) || !readPart(dir + "/" + f[6], right, dpi)) {
            std::cerr << "cannot read " << f[0] << "\n";
            return 1;
        }
        std::string why;
        const double start = processorSeconds();
        const auto found = estimateContentPlacement(left.view(), right.view(), &why);
        const double seconds = processorSeconds() - start;
        char buffer[256];
        if (found)
            std::snprintf(buffer, sizeof buffer, "ok\t%d\t%.6f\t%.4f\t%.4f\t%.3f\t%.4f\t",
                          found->flipped ? 1 : 0, found->angleDeg, found->dx, found->dy, found->confidence,
                          seconds);
        else
            std::snprintf(buffer, sizeof buffer, "refused\t\t\t\t\t\t%.4f\t", seconds);
        out << f[0] << '\t' << buffer << why << '\n';
        std::cerr << "\r" << ++count << std::flush;
    }
    std::cerr << "\n";
    return 0;
}
