#include "engine/report_intake.h"

#include "driver/driver_instance.h"

int32_t ReportIntake(DriverInstance* instance, const void* record) {
    if (instance->connectedFlag.load(std::memory_order_acquire) == 0)
        return -3;
    if (record == nullptr)
        return -10;
    return 0;
}
