#include "codecs.h"

namespace imagefile {

void readPng(const InputFile&, HeaderBlock&, uint8_t*, Progress&) { fail("PNG files cannot be read yet."); }
void readTiff(const InputFile&, int, HeaderBlock&, uint8_t*, Progress&, int*) { fail("TIFF files cannot be read yet."); }
void readPcx(const InputFile&, HeaderBlock&, uint8_t*, Progress&) { fail("PCX files cannot be read yet."); }
void readTga(const InputFile&, HeaderBlock&, uint8_t*, Progress&) { fail("TGA files cannot be read yet."); }
void writePng(const HeaderBlock&, const uint8_t*, AtomicOutputFile&, Progress&) { fail("PNG files cannot be written yet."); }
void writeTiff(const HeaderBlock&, const uint8_t*, AtomicOutputFile&, Progress&) { fail("TIFF files cannot be written yet."); }
void writePcx(const HeaderBlock&, const uint8_t*, AtomicOutputFile&, Progress&) { fail("PCX files cannot be written yet."); }
void writeTga(const HeaderBlock&, const uint8_t*, AtomicOutputFile&, Progress&) { fail("TGA files cannot be written yet."); }

}  // namespace imagefile
