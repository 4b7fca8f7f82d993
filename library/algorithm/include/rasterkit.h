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
#define RK_RESULT_SUCCEED ((int)0)                 /* "Succeed!" */
#define RK_RESULT_CANCEL ((int)1)                  /* "Cancel!" */
#define RK_RESULT_NOT_SUPPORTED ((int)0x80000002u) /* "Not support operate!" */
#define RK_RESULT_TOO_SMALL ((int)0x80000003u)     /* "Image too small!" */
#define RK_RESULT_NO_MEMORY ((int)0x80000004u)     /* "Alloc memory fail!" */
#define RK_RESULT_EXCEPTION ((int)0x80000005u)     /* "Exception happen" */

/* The message buffer must hold at least this many bytes. */
#define RK_MESSAGE_MIN_SIZE 21

/* dwMode */
#define RK_MODE_QUERY 0u
#define RK_MODE_RUN 1u

/* Image type codes (nSrcType, nDstType). */
#define RK_TYPE_BLACK_WHITE 0 /* 1 bit, produced by ChangeMode */
#define RK_TYPE_1BIT 1
#define RK_TYPE_4BIT 3
#define RK_TYPE_GREY 4   /* 8 bits, grey-ramp colour table */
#define RK_TYPE_COLOR8 5 /* 8 bits, colour table */
#define RK_TYPE_RGB24 6
#define RK_TYPE_16BIT 8

/* The largest width or height of any image, source or destination. */
#define RK_MAX_DIMENSION (1 << 20)

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

/* Parameter ranges: RK_<BLOCK>_<FIELD>_MIN and _MAX, declared under a field, are its valid range
 * (a bound left out is open). The field's comment says what a value outside does: "clamped" acts
 * as the nearer bound, "wraps" as the same value a whole range further in, "refused" answers with
 * the code named, "not checked" is used as it is. */

/* Parameter blocks of tone, colour, geometry, mode and text operations. */

typedef struct BrightnessContrastGammaParam {
    int32_t brightness; /* clamped; at the bounds every level saturates */
#define RK_BCG_BRIGHTNESS_MIN (-255)
#define RK_BCG_BRIGHTNESS_MAX 255
    int32_t contrast; /* clamped; at the bounds nothing is left to stretch */
#define RK_BCG_CONTRAST_MIN (-255)
#define RK_BCG_CONTRAST_MAX 255
    double gamma; /* not checked */
#define RK_BCG_GAMMA_MIN 0.1
#define RK_BCG_GAMMA_MAX 6.5
} BrightnessContrastGammaParam;

/* Only the first 25 bytes are read. */
typedef struct HueSaturationLightnessParam {
    double hue; /* degrees; wraps */
#define RK_HSL_HUE_MIN 0
#define RK_HSL_HUE_MAX 360
    double saturation; /* clamped */
#define RK_HSL_SATURATION_MIN (-100)
#define RK_HSL_SATURATION_MAX 100
    double lightness; /* clamped */
#define RK_HSL_LIGHTNESS_MIN (-100)
#define RK_HSL_LIGHTNESS_MAX 100
    uint8_t colorize; /* nonzero: raising saturation colours grey pixels too */
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

/* Below the range refused with RK_RESULT_TOO_SMALL, above it with RK_RESULT_NOT_SUPPORTED. */
typedef struct ResizeParam {
    int32_t width;
#define RK_RESIZE_WIDTH_MIN 1
#define RK_RESIZE_WIDTH_MAX RK_MAX_DIMENSION
    int32_t height;
#define RK_RESIZE_HEIGHT_MIN 1
#define RK_RESIZE_HEIGHT_MAX RK_MAX_DIMENSION
} ResizeParam;

/* ChangeMode targets and black-and-white methods. */
#define RK_MODE_TARGET_BLACK_WHITE 0
#define RK_MODE_TARGET_GREY 4
#define RK_MODE_TARGET_COLOR8 5
#define RK_MODE_METHOD_ORDERED 0
#define RK_MODE_METHOD_CARRIED_ERROR 1
#define RK_MODE_METHOD_THRESHOLD 2

typedef struct ChangeModeParam {
    int32_t target; /* RK_MODE_TARGET_* */
    int32_t method; /* RK_MODE_METHOD_*, for grey to black and white; refused:
                       RK_RESULT_NOT_SUPPORTED */
#define RK_MODE_METHOD_MIN RK_MODE_METHOD_ORDERED
#define RK_MODE_METHOD_MAX RK_MODE_METHOD_THRESHOLD
    int32_t threshold; /* for RK_MODE_METHOD_THRESHOLD */
} ChangeModeParam;

/* Text layouts: 0..2 horizontal anchored top-left, top-centre, top-right; 3..5 turned 90 degrees
 * clockwise, anchored at the right edge top, middle, bottom. */
typedef struct TextParam {
    void* context;    /* ignored */
    const char* text; /* lines separated by '\n' */
    const char* face; /* font face name; only the first RK_TEXT_FACE_MAX_LENGTH characters count */
#define RK_TEXT_FACE_MAX_LENGTH 31
    int32_t height;    /* negative: character height in pixels; positive: cell height */
    int32_t bold;      /* 1: bold */
    int32_t italic;    /* low byte: italic flag */
    int32_t underline; /* low byte: underline flag */
    uint32_t color;    /* red in the low byte, then green, then blue */
    int32_t layout;    /* refused: RK_RESULT_NOT_SUPPORTED */
#define RK_TEXT_LAYOUT_MIN 0
#define RK_TEXT_LAYOUT_MAX 5
} TextParam;

/* Parameter blocks of the neighbourhood filters, distortions and pictorial effects follow. */

typedef struct BlurParam {
    int32_t level; /* clamped; 1 is the 3 x 3 box filter, 10 leaves out the centre */
#define RK_BLUR_LEVEL_MIN 1
#define RK_BLUR_LEVEL_MAX 10
} BlurParam;

typedef struct GaussianBlurParam {
    double radius; /* sigma of the Gaussian in pixels */
} GaussianBlurParam;

typedef struct SharpenParam {
    int32_t level; /* clamped */
#define RK_SHARPEN_LEVEL_MIN 1
#define RK_SHARPEN_LEVEL_MAX 10
    int32_t edgesOnly; /* 1: only where the 3 x 3 window holds an edge */
} SharpenParam;

/* Directions, from 0: right-left, left-right, down-up, up-down and the four diagonals. */
typedef struct EmbossParam {
    int32_t direction; /* clamped */
#define RK_EMBOSS_DIRECTION_MIN 0
#define RK_EMBOSS_DIRECTION_MAX 7
    int32_t size; /* odd; clamped: the two samples compared lie (size - 1) / 2 apart */
#define RK_EMBOSS_SIZE_MIN 3
#define RK_EMBOSS_SIZE_MAX 9
    double strength; /* output = strength x difference + 128 */
} EmbossParam;

typedef struct MosaicParam {
    int32_t cellWidth; /* clamped, above to the image's width */
#define RK_MOSAIC_CELL_WIDTH_MIN 1
    int32_t cellHeight; /* clamped, above to the image's height */
#define RK_MOSAIC_CELL_HEIGHT_MIN 1
} MosaicParam;

/* SpherizeHorizontal, SpherizeVertical, Spherize and Twirl; a negative angle hollows. */
typedef struct DistortAngleParam {
    int32_t angle; /* degrees */
} DistortAngleParam;

typedef struct RainParam {
    int32_t density; /* drops = density x sqrt(width x height) of the effect area; clamped */
#define RK_RAIN_DENSITY_MIN 0
    int32_t length; /* longest drop in pixels on an area of 332504 pixels (about 577 x 577),
                       scaled with the square root of the area; clamped */
#define RK_RAIN_LENGTH_MIN 0
    int32_t thickness; /* streak width in pixels, scaled likewise; clamped */
#define RK_RAIN_THICKNESS_MIN 0
    int32_t opacity; /* percent; clamped */
#define RK_RAIN_OPACITY_MIN 0
#define RK_RAIN_OPACITY_MAX 100
    uint32_t color; /* red in the low byte, then green, then blue */
} RainParam;

/* Snow takes its density in lpParam itself: lpParam = (void*)(intptr_t)density; clamped. */
#define RK_SNOW_DENSITY_MIN 1
#define RK_SNOW_DENSITY_MAX 99

#define RK_NOISE_IMPULSE 0
#define RK_NOISE_UNIFORM_BRIGHTENED 1
#define RK_NOISE_UNIFORM 2

typedef struct NoiseParam {
    int32_t amount; /* percent; clamped, and the clamped value written back */
#define RK_NOISE_AMOUNT_MIN 1
#define RK_NOISE_AMOUNT_MAX 99
    int32_t kind; /* RK_NOISE_* */
} NoiseParam;

/* Colours: red in the low byte, then green, then blue. The texture runs from the second colour
 * (thin cloud) to the first (dense cloud). */
typedef struct CloudsParam {
    uint32_t color1;
    uint32_t color2;
} CloudsParam;

typedef struct WindParam {
    int32_t direction; /* 1: streaks blow towards the first column, 0: towards the last */
} WindParam;

typedef struct BlocksParam {
    int32_t passes; /* clamped */
#define RK_BLOCKS_PASSES_MIN 1
#define RK_BLOCKS_PASSES_MAX 9
} BlocksParam;

/* output = (sum of weight x sample over the 5 x 5 window) / divisor + offset, clamped. */
typedef struct CustomFilterParam {
    int16_t weights[25]; /* row by row */
    int16_t divisor;     /* 0: no division */
    int16_t offset;
} CustomFilterParam;

#define RK_LIGHT_SPOT 0
#define RK_LIGHT_DIRECTIONAL 1
#define RK_LIGHT_POINT 2
#define RK_LIGHT_MAX_COUNT 16

/* Positions are in image pixels (x: column, y: row in memory order, z: height above the image);
 * intensities of 1 light a surface facing the light at full strength. */
typedef struct LightSource {
    int32_t type;           /* RK_LIGHT_*; other values are skipped */
    float x, y, z;          /* spot and point: where the light is */
    float dx, dy, dz;       /* spot and directional: the direction it shines in (dz < 0: downwards) */
    float red, green, blue; /* intensities, 0..1 and beyond */
    float spread;           /* spot: half-angle of its cone in degrees; clamped */
#define RK_LIGHT_SPREAD_MIN 1
#define RK_LIGHT_SPREAD_MAX 89
} LightSource;

/* Every pixel starts from ambient x (channel / 255 + ambientBias); each light adds its diffuse
 * and specular share; the surface is tilted by a 10 x 10 table of random heights tiled over the
 * image. Only the first lightCount entries of lights are read. */
typedef struct LightingParam {
    int32_t reserved;     /* 0 */
    int32_t bumpStrength; /* percent; clamped */
#define RK_LIGHTING_BUMP_STRENGTH_MIN 0
#define RK_LIGHTING_BUMP_STRENGTH_MAX 100
    int32_t shininess; /* exponent of the specular term; clamped */
#define RK_LIGHTING_SHININESS_MIN 1
    float ambientRed; /* ambient factors */
    float ambientGreen;
    float ambientBlue;
    double ambientBias;
    int32_t lightCount; /* clamped */
#define RK_LIGHTING_LIGHT_COUNT_MIN 0
#define RK_LIGHTING_LIGHT_COUNT_MAX RK_LIGHT_MAX_COUNT
    LightSource lights[RK_LIGHT_MAX_COUNT];
} LightingParam;

/* Two full waves per period; a period of 0 leaves that axis straight. */
typedef struct WaveParam {
    uint32_t verticalPeriod;      /* rows per horizontal displacement cycle */
    uint32_t horizontalPeriod;    /* columns per vertical displacement cycle */
    uint32_t horizontalAmplitude; /* pixels */
    uint32_t verticalAmplitude;   /* pixels */
} WaveParam;

typedef struct PinchParam {
    int32_t amount; /* positive pinches inwards, negative bulges; clamped */
#define RK_PINCH_AMOUNT_MIN (-100)
#define RK_PINCH_AMOUNT_MAX 100
} PinchParam;

/* Fragment and FindEdges take no block (Fragment requires lpParam to be null). */

#define RK_DIFFUSE_NORMAL 0
#define RK_DIFFUSE_DARKEN 1
#define RK_DIFFUSE_LIGHTEN 2

typedef struct DiffuseParam {
    int32_t distance; /* pixels; clamped */
#define RK_DIFFUSE_DISTANCE_MIN 0
#define RK_DIFFUSE_DISTANCE_MAX 9
    int32_t mode; /* RK_DIFFUSE_*; other values behave as normal */
} DiffuseParam;

/* Runs operation nIndex (0..34) on *lpinfo and copies the result message into lpszMessage (at
 * least RK_MESSAGE_MIN_SIZE bytes). Returns one of the RK_RESULT_* codes. */
RASTERKIT_API int ImageEntry(int nIndex, ImageInfo* lpinfo, char* lpszMessage);

#ifdef __cplusplus
}
#endif

#endif /* RASTERKIT_H */
