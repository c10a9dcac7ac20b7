/* The public header compiled as a host's C or C++ compiler sees it: a callback
 * and a table of every export, in the strictest mode the build offers. */
#include "qp240_remote.h"

static int32_t QP240REMOTE_CALL Callback(intptr_t userValue, int32_t code, int32_t argument,
                                         void* pointer) {
    (void)userValue;
    (void)pointer;
    return code == QP240REMOTE_CODE_OFFER_KEYPAD ? 1 : argument;
}

QP240REMOTE_Callback header_check_callback = Callback;

/* The version check a host makes, on a block it read. */
int header_check_version(const unsigned char* block) {
    return QP240REMOTE_VERSION_MATCHES(QP240REMOTE_PLUG_VERSION_WORD(block));
}

/* The handle is one pointer, typed or not. */
typedef char HeaderCheckHandleSize[sizeof(QP240REMOTE_Handle) == sizeof(void*) ? 1 : -1];

struct HeaderCheckExports {
    QP240REMOTE_InitFn* init;
    QP240REMOTE_EndFn* end;
    QP240REMOTE_GetPlugInformationFn* getPlugInformation;
    QP240REMOTE_GetLastErrorStringFn* getLastErrorString;
    QP240REMOTE_CreateFn* create;
    QP240REMOTE_DestroyFn* destroy;
    QP240REMOTE_StartFn* start;
    QP240REMOTE_StopFn* stop;
    QP240REMOTE_GetDriverStatusFn* getDriverStatus;
    QP240REMOTE_GetContextSizeFn* getContextSize;
    QP240REMOTE_GetContextFn* getContext;
    QP240REMOTE_SetContextFn* setContext;
    QP240REMOTE_ResetContextFn* resetContext;
    QP240REMOTE_OpenConfigBoxFn* openConfigBox;
    QP240REMOTE_CloseConfigBoxFn* closeConfigBox;
    QP240REMOTE_SetGetInformationsFn* setGetInformations;
};

struct HeaderCheckExports header_check_exports = {QP240REMOTE_Init,
                                                  QP240REMOTE_End,
                                                  QP240REMOTE_GetPlugInformation,
                                                  QP240REMOTE_GetLastErrorString,
                                                  QP240REMOTE_Create,
                                                  QP240REMOTE_Destroy,
                                                  QP240REMOTE_Start,
                                                  QP240REMOTE_Stop,
                                                  QP240REMOTE_GetDriverStatus,
                                                  QP240REMOTE_GetContextSize,
                                                  QP240REMOTE_GetContext,
                                                  QP240REMOTE_SetContext,
                                                  QP240REMOTE_ResetContext,
                                                  QP240REMOTE_OpenConfigBox,
                                                  QP240REMOTE_CloseConfigBox,
                                                  QP240REMOTE_SetGetInformations};
