/* Image file component: reads and writes image files as a 1064-byte header block (the 40-byte
 * bitmap info header followed by 256 four-byte palette slots) and a pixel block of rows stored
 * bottom-up, each padded to 4 bytes. Loaded by name with dlopen; every function is looked up with
 * dlsym and the component counts as missing unless all ten resolve (RemovePartialFiles, last, is
 * looked up where wanted and may be missing). */
#ifndef RADUVOR_H
#define RADUVOR_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void* RaduvHandle;

/* 1: *out holds a new instance. */
int NewRaduvOR(RaduvHandle* out);
void FreeRaduvOR(RaduvHandle h);
/* Pixel block bytes of the image in the file; 0 when the file cannot be read. */
uint32_t GetImageSize(RaduvHandle h, const char* fileName);
/* Fills the header block and, when pixelBlock is not null, the pixels. Nonzero on success. */
int ReadImage(RaduvHandle h, const char* fileName, void* headerBlock, void* pixelBlock);
/* Writes in the format that the file name's extension names. Nonzero on success. */
int WriteImage(RaduvHandle h, const char* fileName, const void* headerBlock, const void* pixelBlock);
/* The next page of a multi-page TIFF read last. */
int GetNextImage(RaduvHandle h, void* headerBlock, void* pixelBlock);
uint32_t GetNextImageSize(RaduvHandle h);
int CanGetNextImage(RaduvHandle h);
void SetProgressCallBackFn(RaduvHandle h, void (*fn)(int done, int total));
/* Why the last call failed, in plain words; "" after a success. */
const char* GetLastErrorMessage(RaduvHandle h);
/* Removes the hidden temporary files of outputs being written (on file systems that cannot write
 * an unnamed file first). Safe in a signal handler: a program calls it from its handler of SIGINT,
 * SIGTERM and SIGHUP, so that no stop leaves a partial file beside an output. */
void RemovePartialFiles(void);

#ifdef __cplusplus
}
#endif

#endif
