#include "tests/windows/support/linked_driver.h"

Deliverable LinkedDriver() {
    Deliverable driver = {};
    driver.module = GetModuleHandleA(nullptr);
#define KOLMAR_LINKED_EXPORT(name) driver.name = &QP240REMOTE_##name;
    KOLMAR_EXPORTS(KOLMAR_LINKED_EXPORT)
#undef KOLMAR_LINKED_EXPORT
    return driver;
}
