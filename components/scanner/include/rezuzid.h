/* Scanner components RezuzID.so (Tandemscan, all entry points below) and Tilex/TwainTX.so (the
 * puzzle, the subset marked [T]). Both are loaded with dlopen and bound by name with dlsym; they
 * speak SANE underneath and offer a source-manager / data-source / memory-transfer call order:
 *
 *   NewTwain -> LoadSM -> OpenSM -> (driver names) -> OpenDS -> Set... -> EnableDS
 *     -> TwainFilter on every window event until it answers TWAIN_XFER_READY
 *     -> DoMemXfer(no buffer) for the size -> DoMemXfer(buffer) for the pixels
 *     -> DisableDS -> CloseDS -> CloseSM -> UnloadSM -> FreeTwain
 *
 * The scan itself runs on a worker thread that EnableDS starts, so no call here blocks for the
 * length of a scan. Every function returns 1 (or a nonzero value) on success and 0 on failure,
 * including calls with an unknown handle or out of order; GetTwainErrorMessage says why.
 * Closing calls made in a state where there is nothing to close are harmless. Calls on one
 * connection may come from several threads; they are taken one at a time. */
#ifndef REZUZID_H
#define REZUZID_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* One connection; 0 is never a valid handle. */
typedef uint32_t TwainHandle;
/* The caller's window. Only passed through; the components open no windows of their own. */
typedef uintptr_t TwainWindow;

/* Driver names are offered as "Lumiview <vendor> <model>", unique, NUL-terminated. */
#define TWAIN_NAME_SIZE 34           /* bytes of one name slot of RezuzID.so (33 characters + NUL) */
#define TWAIN_TILEX_NAME_SIZE 32     /* bytes of one name of TwainTX.so (31 characters + NUL) */
#define TWAIN_MAX_DRIVERS 10         /* names handed out at most */
#define TWAIN_WORK_SIZE 260          /* bytes of GetAllDriverName's work buffer */
#define TWAIN_HEADER_BLOCK_SIZE 1064 /* 40-byte bitmap info header + 256 four-byte palette slots */

/* TwainFilter's answers. */
#define TWAIN_XFER_READY 0x0101    /* a scanned image waits for DoMemXfer */
#define TWAIN_CLOSE_REQUEST 0x0102 /* the source asks to be closed (the device ended the scan) */

/* Image types of SetCapImageType and GetCapImageType. */
#define TWAIN_TYPE_LINEART 0 /* delivered as 1 bit per pixel, palette 0 black, 1 white */
#define TWAIN_TYPE_GRAY 1    /* 8 bits per pixel with a 256-step gray palette */
#define TWAIN_TYPE_COLOR 2   /* 24 bits per pixel, blue green red */

/* Capabilities asked with SupportCAP: 1 when the open device can honour the setting itself,
 * 0 when the component only remembers it (or emulates it, for lineart thresholding). */
#define TWAIN_CAP_IMAGE_TYPE 1
#define TWAIN_CAP_RESOLUTION 2
#define TWAIN_CAP_SCALE 3
#define TWAIN_CAP_SCAN_AREA 4
#define TWAIN_CAP_BRIGHTNESS 5
#define TWAIN_CAP_CONTRAST 6
#define TWAIN_CAP_THRESHOLD 7
#define TWAIN_CAP_COLOR_WIZARD 8
#define TWAIN_CAP_DESCREEN 9
#define TWAIN_CAP_GAMMA 10
#define TWAIN_CAP_AUTO_DENSITY 11

/* A window event offered to TwainFilter: 28 bytes, the first four words are the window (low 32
 * bits), the event code and its two parameters. The components do not interpret it. */
typedef struct TwainMessage {
    uint32_t window;
    uint32_t message;
    uint32_t firstParameter;
    uint32_t secondParameter;
    uint32_t time;
    int32_t x;
    int32_t y;
} TwainMessage;

/* The two result words of DoMemXfer and DoMemBandXfer. */
typedef struct TwainXferResult {
    uint32_t byteCount;   /* bytes of pixel data of this transfer */
    uint32_t morePending; /* nonzero when another transfer follows */
} TwainXferResult;

/* --- Connection and source manager --------------------------------------------------------- */

/* [T] Creates a connection and stores its handle in *handle. */
int NewTwain(TwainHandle* handle);
/* [T] Ends the connection, closing whatever is still open. The handle is invalid afterwards. */
int FreeTwain(TwainHandle h);
/* [T] Starts SANE for this connection (sane_init once per process). */
int LoadSM(TwainHandle h);
/* [T] Stops SANE for this connection (sane_exit when the last connection stops). */
int UnloadSM(TwainHandle h);
/* [T] Opens the source manager: the list of devices is read. Needs LoadSM. */
int OpenSM(TwainHandle h, TwainWindow window);
/* [T] Closes the source manager and any open source. */
int CloseSM(TwainHandle h, TwainWindow window);

/* --- Driver names (need OpenSM) ------------------------------------------------------------ */

/* Fills names with up to TWAIN_MAX_DRIVERS names; unused slots are zeroed. work (may be null)
 * receives the SANE device name of the first driver. 1 when at least one name was filled. */
int GetAllDriverName(TwainHandle h, char names[TWAIN_MAX_DRIVERS][TWAIN_NAME_SIZE],
                     char work[TWAIN_WORK_SIZE]);
/* [T] The first name, and the following ones one per call; 0 after the last (at most
 * TWAIN_MAX_DRIVERS in all). nameSize is the buffer's size in bytes; 0 stands for the
 * component's own name size (TWAIN_NAME_SIZE, or TWAIN_TILEX_NAME_SIZE in TwainTX.so).
 * A buffer too small for the name fails and writes nothing. */
int GetFirstDriverName(TwainHandle h, char* name, uint32_t nameSize);
int GetNextDriverName(TwainHandle h, char* name, uint32_t nameSize);
/* [T] The name of the device SANE_DEFAULT_DEVICE names, else the first. */
int GetDefaultDriverName(TwainHandle h, char* name, uint32_t nameSize);

/* --- Data source ---------------------------------------------------------------------------- */

/* [T] Opens the device offered under driverName (at most TWAIN_NAME_SIZE bytes are read).
 * Settings start from their defaults: colour, the device's default resolution, scale 100%,
 * the device's whole area, no descreen, custom settings off. */
int OpenDS(TwainHandle h, const char* driverName);
/* [T] Closes the open device, first stopping a scan that still runs. */
int CloseDS(TwainHandle h);
/* [T] Applies the settings to the device and starts the scan on the worker thread.
 * showUserInterface is accepted and ignored: there is no device dialog. */
int EnableDS(TwainHandle h, int32_t showUserInterface, TwainWindow window);
/* [T] Ends the scan: a running one is cancelled, an undelivered image is dropped. abandon (0 or
 * 1) only says whether the caller gave up on a transfer; both stop the device the same way. */
int DisableDS(TwainHandle h, int32_t abandon, TwainWindow window);

/* --- Events and transfer (after EnableDS) --------------------------------------------------- */

/* [T] Offered every window event while scanning. Answers TWAIN_XFER_READY once when the scan has
 * ended (successfully or not: a failed scan then fails in DoMemXfer), TWAIN_CLOSE_REQUEST once
 * when the device ended the scan by itself, and 0 otherwise. message may be null. */
uint16_t TwainFilter(TwainHandle h, const TwainMessage* message);
/* [T] After TWAIN_XFER_READY. Fills headerBlock (TWAIN_HEADER_BLOCK_SIZE bytes: bitmap info
 * header, then the palette, unused slots zero; the resolution in xPelsPerMeter/yPelsPerMeter).
 * With pixels null: result->byteCount = the size of the pixel block. With pixels (at least that
 * many bytes): the rows, bottom-up, each padded to 4 bytes. result->morePending is always 0. */
int DoMemXfer(TwainHandle h, void* headerBlock, void* pixels, TwainXferResult* result);
/* Stops a running scan at once (the worker ends; nothing is delivered). 1 when a scan was
 * stopped. The caller then goes on with DisableDS and CloseDS. */
int CancelXfer(TwainHandle h);
/* Ends a delivered or undelivered transfer; the source stays open and can be enabled again. */
int EndXfer(TwainHandle h);
/* Rows per band for DoMemBandXfer (at least 1). */
int SetMemBandSize(TwainHandle h, uint32_t rows);
/* After TWAIN_XFER_READY, the image in bands from the top of the picture down: with pixels null
 * the header of the next band (its height is the band's row count) and its byte count; with
 * pixels the band's rows, bottom-up within the band. morePending says whether bands follow. */
int DoMemBandXfer(TwainHandle h, void* headerBlock, void* pixels, TwainXferResult* result);

/* --- Capabilities (need OpenDS; setters before EnableDS, queries not while a scan runs) ------ */

/* [T] Bit (1 << type) set in *supportedTypes for each type the device can deliver; *currentType
 * the chosen one. Either pointer may be null. */
int GetCapImageType(TwainHandle h, uint32_t* supportedTypes, int32_t* currentType);
/* [T] The device's resolutions in dpi; *step 0 when only listed values exist. */
int GetResRange(TwainHandle h, float* minimum, float* maximum, float* step);
/* [T] The scale range in percent that the device's resolutions allow at the chosen resolution. */
int GetScaleRange(TwainHandle h, float* minimum, float* maximum);
/* [T] The largest scan area in inches. */
int GetMaxScanArea(TwainHandle h, float* width, float* height);
/* [T] TWAIN_TYPE_LINEART, TWAIN_TYPE_GRAY or TWAIN_TYPE_COLOR. */
int SetCapImageType(TwainHandle h, int32_t type);
/* [T] Dots per inch, 1 to 9600; the device takes the nearest value it offers. */
int SetCapXRes(TwainHandle h, int32_t dotsPerInch);
int SetCapYRes(TwainHandle h, int32_t dotsPerInch);
/* [T] Percent, 1 to 1000: the device scans at resolution x scale / 100 while the delivered
 * image still states the chosen resolution. */
int SetCapXScale(TwainHandle h, int32_t percent);
int SetCapYScale(TwainHandle h, int32_t percent);
/* [T] The area in inches from the device's top-left corner; cut to the device's area. */
int SetScanSize(TwainHandle h, float left, float top, float width, float height);
/* The following reach the device only while custom settings are enabled (EnableCustomCap). */
/* -100 to 100, 0 neutral. */
int SetCapBrightness(TwainHandle h, int32_t value);
int SetCapContrast(TwainHandle h, int32_t value);
/* 0 to 255: lineart pixels at or above it are white. */
int SetCapThreshold(TwainHandle h, int32_t value);
/* 0 or 1; remembered only, SANE has no such setting. */
int SetCapColorWizard(TwainHandle h, int32_t on);
/* Lines per inch of the printed screen to remove, 0 for none; reaches a descreen or halftone
 * option where the device has one. */
int SetCapDescreen(TwainHandle h, int32_t linesPerInch);
/* 0.1 to 10, 1 neutral. */
int SetCapGamma(TwainHandle h, float gamma);
/* 0 or 1. */
int SetCapAutoDensity(TwainHandle h, int32_t on);
/* 1 when the open device honours the TWAIN_CAP_... capability itself. */
int SupportCAP(TwainHandle h, uint32_t capability);
/* 0 or 1: whether the custom settings above are applied at EnableDS. */
int EnableCustomCap(TwainHandle h, int32_t enable);
/* 0 or 1; remembered only, the components show no dialogs. */
int DoDisablePopupDlg(TwainHandle h, int32_t disable);

/* --- Additions for a window that shows progress -------------------------------------------- */

/* Rows read so far and rows expected of the running or finished scan (expected is 0 while the
 * device does not know the height). */
int GetXferProgress(TwainHandle h, uint32_t* rowsRead, uint32_t* rowsExpected);
/* notify(context) is called on the worker thread when the scan ends, so that the window can post
 * itself an event for TwainFilter; null removes it. It must not call back into the component. */
int SetXferNotify(TwainHandle h, void (*notify)(void* context), void* context);
/* Why the last call on h failed, in plain words; "" after a success. Valid until the next call. */
const char* GetTwainErrorMessage(TwainHandle h);

#ifdef __cplusplus
}
#endif

#endif
