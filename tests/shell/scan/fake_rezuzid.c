/* A stand-in scanner component for tests. FAKE_REZUZID_DRIVERS lists the driver names it
 * reports, separated by ";"; unset, it reports none. FAKE_REZUZID_FAIL names the one step that
 * fails: "new", "load" or "open". FakeRezuzidCalls counts the calls made to it. */
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#define EXPORT __attribute__((visibility("default")))
/* The component's own sizes; its header is not included, as the unused entries below are
 * stubs without the real parameter lists. */
typedef uint32_t TwainHandle;
typedef uintptr_t TwainWindow;
#define TWAIN_MAX_DRIVERS 10
#define TWAIN_NAME_SIZE 34
#define TWAIN_WORK_SIZE 260

static int calls[8];
enum { CallNew, CallFree, CallLoad, CallUnload, CallOpen, CallClose, CallDrivers };

EXPORT int FakeRezuzidCalls(int which) { return which >= 0 && which < 8 ? calls[which] : -1; }
EXPORT void FakeRezuzidReset(void) { memset(calls, 0, sizeof calls); }

static int failing(const char* step) {
    const char* fail = getenv("FAKE_REZUZID_FAIL");
    return fail && strcmp(fail, step) == 0;
}

EXPORT int NewTwain(TwainHandle* handle) {
    ++calls[CallNew];
    if (failing("new")) return 0;
    *handle = 7;
    return 1;
}
EXPORT int FreeTwain(TwainHandle h) { ++calls[CallFree]; return h == 7; }
EXPORT int LoadSM(TwainHandle h) { ++calls[CallLoad]; return h == 7 && !failing("load"); }
EXPORT int UnloadSM(TwainHandle h) { ++calls[CallUnload]; return h == 7; }
EXPORT int OpenSM(TwainHandle h, TwainWindow w) { (void)w; ++calls[CallOpen]; return h == 7 && !failing("open"); }
EXPORT int CloseSM(TwainHandle h, TwainWindow w) { (void)w; ++calls[CallClose]; return h == 7; }

EXPORT int GetAllDriverName(TwainHandle h, char names[TWAIN_MAX_DRIVERS][TWAIN_NAME_SIZE], char work[TWAIN_WORK_SIZE]) {
    (void)work;
    ++calls[CallDrivers];
    const char* list = getenv("FAKE_REZUZID_DRIVERS");
    if (h != 7 || !list || !*list) return 0;
    int n = 0;
    while (*list && n < TWAIN_MAX_DRIVERS) {
        const char* end = strchr(list, ';');
        size_t length = end ? (size_t)(end - list) : strlen(list);
        /* A full slot without a terminator, as a careless component might hand over. */
        memset(names[n], 0, TWAIN_NAME_SIZE);
        memcpy(names[n], list, length < TWAIN_NAME_SIZE ? length : TWAIN_NAME_SIZE);
        ++n;
        list += length + (end ? 1 : 0);
    }
    return 1;
}

#define UNUSED_ENTRY(name) EXPORT int name(void) { return 0; }
UNUSED_ENTRY(OpenDS)
UNUSED_ENTRY(CloseDS)
UNUSED_ENTRY(EnableDS)
UNUSED_ENTRY(DisableDS)
UNUSED_ENTRY(CancelXfer)
UNUSED_ENTRY(EndXfer)
UNUSED_ENTRY(DoMemXfer)
UNUSED_ENTRY(SetMemBandSize)
UNUSED_ENTRY(DoMemBandXfer)
UNUSED_ENTRY(GetFirstDriverName)
UNUSED_ENTRY(GetNextDriverName)
UNUSED_ENTRY(GetDefaultDriverName)
UNUSED_ENTRY(GetCapImageType)
UNUSED_ENTRY(GetResRange)
UNUSED_ENTRY(GetScaleRange)
UNUSED_ENTRY(GetMaxScanArea)
UNUSED_ENTRY(SetCapImageType)
UNUSED_ENTRY(SetCapXRes)
UNUSED_ENTRY(SetCapYRes)
UNUSED_ENTRY(SetCapXScale)
UNUSED_ENTRY(SetCapYScale)
UNUSED_ENTRY(SetScanSize)
UNUSED_ENTRY(SetCapBrightness)
UNUSED_ENTRY(SetCapContrast)
UNUSED_ENTRY(SetCapThreshold)
UNUSED_ENTRY(SetCapColorWizard)
UNUSED_ENTRY(SetCapDescreen)
UNUSED_ENTRY(SetCapGamma)
UNUSED_ENTRY(SetCapAutoDensity)
UNUSED_ENTRY(SupportCAP)
#ifndef FAKE_WITHOUT_FILTER
UNUSED_ENTRY(TwainFilter)
#endif
UNUSED_ENTRY(DoDisablePopupDlg)
UNUSED_ENTRY(EnableCustomCap)
