/* Rasterkit: image operations on device-independent bitmaps held in the caller's memory.
 *
 * The whole boundary is ImageEntry(). A call is made twice over one ImageInfo record: a query
 * pass (dwMode 0) that checks the parameters and writes the destination description, then a run
 * pass (dwMode 1) after the caller has allocated the destination (stride x height x planes bytes,
 * plus a 256-entry colour table for images of 8 bits or fewer). Everything that crosses this
 * boundary is allocated and freed by the caller. Rows are 4-byte aligned; row 0 is the first row
 * in memory; 24-bit pixels are blue, green, red. Colour tables are 256 entries of 4 bytes
 * (blue, green, red, reserved). */
#ifndef RASTERKIT_H
#define RASTERKIT_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define RASTERKIT_API __attribute__((visibility("default")))
#else
#define RASTERKIT_API
#endif

/* Result codes; ImageEntry also copies the matching message into its message buffer. */
#define RK_RESULT_SUCCEED ((int)0)                    /* "Succeed!" */
#define RK_RESULT_CANCEL ((int)1)                     /* "Cancel!" */
#define RK_RESULT_NOT_SUPPORTED ((int)0x80000002u)    /* "Not support operate!" */
#define RK_RESULT_TOO_SMALL ((int)0x80000003u)        /* "Image too small!" */
#define RK_RESULT_NO_MEMORY ((int)0x80000004u)        /* "Alloc memory fail!" */
#define RK_RESULT_EXCEPTION ((int)0x80000005u)        /* "Exception happen" */

/* The message buffer must hold at least this many bytes. */
#define RK_MESSAGE_MIN_SIZE 21

/* dwMode */
#define RK_MODE_QUERY 0u
#define RK_MODE_RUN 1u

/* Image type codes (nSrcType, nDstType). */
#define RK_TYPE_BLACK_WHITE 0 /* 1 bit, produced by ChangeMode */
#define RK_TYPE_1BIT 1
#define RK_TYPE_4BIT 3
#define RK_TYPE_GREY 4        /* 8 bits, grey-ramp colour table */
#define RK_TYPE_COLOR8 5      /* 8 bits, colour table */
#define RK_TYPE_RGB24 6
#define RK_TYPE_16BIT 8

/* Operation indices (nIndex). */
enum RasterkitOperation {
  RK_OP_BLUR = 0,
  RK_OP_GAUSSIAN_BLUR = 1,
  RK_OP_SHARPEN = 2,
  RK_OP_BRIGHTNESS_CONTRAST_GAMMA = 3,
  RK_OP_HUE_SATURATION_LIGHTNESS = 4,
  RK_OP_EMBOSS = 5,
  RK_OP_MOSAIC = 6,
  RK_OP_MIRROR_HORIZONTAL = 7,
  RK_OP_FLIP_VERTICAL = 8,
  RK_OP_ROTATE = 9,
  RK_OP_SLOPE_HORIZONTAL = 10,
  RK_OP_SLOPE_VERTICAL = 11,
  RK_OP_RESIZE = 12,
  RK_OP_SPHERIZE_HORIZONTAL = 13,
  RK_OP_SPHERIZE_VERTICAL = 14,
  RK_OP_SPHERIZE = 15,
  RK_OP_TWIRL = 16,
  RK_OP_RAIN = 17,
  RK_OP_SNOW = 18,
  RK_OP_NOISE = 19,
  RK_OP_CLOUDS = 20,
  RK_OP_WIND = 21,
  RK_OP_BLOCKS = 22,
  RK_OP_CUSTOM_FILTER = 23,
  RK_OP_TEXT = 24,
  RK_OP_CHANGE_MODE = 25,
  RK_OP_INVERT = 26,
  RK_OP_LIGHTING_EFFECT = 27,
  RK_OP_WAVE = 28,
  RK_OP_PINCH = 29,
  RK_OP_FRAGMENT = 30,
  RK_OP_FIND_EDGES = 31,
  RK_OP_DIFFUSE = 32,
  RK_OP_COLOR_ADJUST = 33,
  RK_OP_COLOR_BALANCE = 34,
  RK_OPERATION_COUNT = 35
};

typedef int (*RkIsCanceledProc)(void);
typedef void (*RkProgressProc)(int nDone, int nTotal);

/* One rectangle of the selection mask: one byte per pixel, 255 selects. Tiles form a list; the
 * first tile that contains a pixel decides. */
typedef struct MaskTile {
  uint32_t dwSize; /* sizeof(MaskTile) */
  struct MaskTile* lpNext;
  uint8_t* lpBits; /* nWidth bytes per row, nHeight rows, no padding */
  int32_t nLeft;
  int32_t nTop; /* row index in memory order */
  int32_t nWidth;
  int32_t nHeight;
} MaskTile;

typedef struct ImageInfo {
  uint32_t dwSize; /* sizeof(ImageInfo) */
  int16_t wFlagA;  /* written by the query pass: 1 */
  int16_t wFlagB;  /* written by the query pass: 0 */
  uint32_t dwMode; /* RK_MODE_QUERY or RK_MODE_RUN */
  RkIsCanceledProc lpfnIsCanceled;
  RkProgressProc lpfnProgress;
  int32_t nSrcType;
  int32_t nSrcBitCount; /* 1, 2, 4, 8, 16 or 24 */
  int32_t nSrcWidth;
  int32_t nSrcHeight;
  int32_t nSrcPlanes;   /* 1, or 3 for 24 bits held as three 8-bit planes */
  int32_t nSrcChannels; /* 3 for interleaved 24 bits, 1 for planar 24 bits */
  void* lpSrcPalette;
  void* lpSrcData;
  int32_t nDstType; /* nDst* are written by the query pass */
  int32_t nDstBitCount;
  int32_t nDstWidth;
  int32_t nDstHeight;
  int32_t nDstPlanes;
  int32_t nDstChannels;
  void* lpDstPalette;
  void* lpDstData;
  int32_t nColors; /* entries used in the source colour table; 0: all for the bit count */
  void* lpParam;   /* the operation's parameter block */
  MaskTile* lpMask;
  void* lpExtra;
} ImageInfo;

/* Parameter blocks of tone, colour, geometry, mode and text operations. */

typedef struct BrightnessContrastGammaParam {
  int32_t brightness; /* -100..100 */
  int32_t contrast;   /* -100..100 */
  double gamma;       /* 0.1..6.5 */
} BrightnessContrastGammaParam;

/* Only the first 25 bytes are read. */
typedef struct HueSaturationLightnessParam {
  double hue;        /* 0..360 degrees */
  double saturation; /* -100..100 */
  double lightness;  /* -100..100 */
  uint8_t colorize;  /* nonzero: raising saturation colours grey pixels too */
} HueSaturationLightnessParam;

typedef struct ColorAdjustParam {
  int16_t red;
  int16_t green;
  int16_t blue;
} ColorAdjustParam;

/* Each triplet in pixel byte order: blue, green, red. */
typedef struct ColorBalanceParam {
  int16_t blackPoint[3];
  int16_t midtone[3];
  int16_t whitePoint[3];
} ColorBalanceParam;

typedef struct RotateParam {
  int32_t angle; /* degrees */
  uint8_t red;   /* background colour */
  uint8_t green;
  uint8_t blue;
} RotateParam;

typedef struct SlopeParam {
  int32_t angle; /* degrees */
} SlopeParam;

typedef struct ResizeParam {
  int32_t width;
  int32_t height;
} ResizeParam;

/* ChangeMode targets and black-and-white methods. */
#define RK_MODE_TARGET_BLACK_WHITE 0
#define RK_MODE_TARGET_GREY 4
#define RK_MODE_TARGET_COLOR8 5
#define RK_MODE_METHOD_ORDERED 0
#define RK_MODE_METHOD_CARRIED_ERROR 1
#define RK_MODE_METHOD_THRESHOLD 2

typedef struct ChangeModeParam {
  int32_t target;    /* RK_MODE_TARGET_* */
  int32_t method;    /* RK_MODE_METHOD_*, for grey to black and white */
  int32_t threshold; /* for RK_MODE_METHOD_THRESHOLD */
} ChangeModeParam;

/* Text layouts: 0..2 horizontal anchored top-left, top-centre, top-right; 3..5 turned 90 degrees
 * clockwise, anchored at the right edge top, middle, bottom. */
typedef struct TextParam {
  void* context;    /* ignored */
  const char* text; /* lines separated by '\n' */
  const char* face; /* font face name, at most 31 characters */
  int32_t height;   /* negative: character height in pixels; positive: cell height */
  int32_t bold;     /* 1: bold */
  int32_t italic;   /* low byte: italic flag */
  int32_t underline; /* low byte: underline flag */
  uint32_t color;   /* red in the low byte, then green, then blue */
  int32_t layout;   /* 0..5 */
} TextParam;

/* Parameter blocks of the neighbourhood filters, distortions and pictorial effects follow. */

/* Runs operation nIndex (0..34) on *lpinfo and copies the result message into lpszMessage (at
 * least RK_MESSAGE_MIN_SIZE bytes). Returns one of the RK_RESULT_* codes. */
RASTERKIT_API int ImageEntry(int nIndex, ImageInfo* lpinfo, char* lpszMessage);

#ifdef __cplusplus
}
#endif

#endif /* RASTERKIT_H */
