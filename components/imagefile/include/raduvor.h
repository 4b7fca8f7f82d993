/* Image file component: reads and writes image files as a 1064-byte header block (the 40-byte
 * bitmap info header followed by 256 four-byte palette slots) and a pixel block of rows stored
 * bottom-up, each padded to 4 bytes. Loaded by name with dlopen; every function is looked up with
 * dlsym and the component counts as missing unless all ten resolve (ReadImageRows,
 * WriteImageRows and RemovePartialFiles are bound where present and may be missing). */
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
/* Optional (a program must not count on it): ReadImage with both blocks that also tells, as it
 * goes, how many rows counted from the top of the picture are final in the pixel block, for a
 * caller that uses them while the rest is decoded: rowsDone(context, n), n rising, and n = height
 * once the read has succeeded (a format that does not fill rows from the top reports only that).
 * The header block is filled at the end. Nonzero on success. */
typedef void (*RaduvRowsDone)(void* context, int32_t rows);
int ReadImageRows(RaduvHandle h, const char* fileName, void* headerBlock, void* pixelBlock,
                  RaduvRowsDone rowsDone, void* context);
/* Optional (a program must not count on it): reads like ReadImageRows, but each row goes where
 * rowAt(context, y) places it (y counted from the top, a row padded to 4 bytes), so that a caller
 * can pass the rows on without holding the picture whole. Rows are asked for in order from the
 * top, each once, at most 16 beyond those reported final by rowsDone; a null place stops the
 * read with a failure. The header block is filled before the first row is asked for. 1 on
 * success, 0 on failure, -1 (before any call back) for a file whose format is not decoded from
 * the top: read it with ReadImageRows instead. */
typedef void* (*RaduvRowTarget)(void* context, int32_t row);
int ReadImageInto(RaduvHandle h, const char* fileName, void* headerBlock, RaduvRowTarget rowAt,
                  RaduvRowsDone rowsDone, void* context);
/* Writes in the format that the file name's extension names. Nonzero on success. */
int WriteImage(RaduvHandle h, const char* fileName, const void* headerBlock, const void* pixelBlock);
/* Optional (a program must not count on it): writes like WriteImage, taking the rows from `rows`
 * instead of a pixel block. rows(context, y) gives row y counted from the bottom, as the pixel
 * block stores it, or null to end the write with a failure; the row must stay valid until the
 * next call. Each row is asked for once; a JPEG file's from the top down. Nonzero on success. */
typedef const void* (*RaduvRowSource)(void* context, int32_t row);
int WriteImageRows(RaduvHandle h, const char* fileName, const void* headerBlock, RaduvRowSource rows,
                   void* context);
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
