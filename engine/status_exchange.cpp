#include "engine/status_exchange.h"

#include <cstdlib>

#include "driver/driver_instance.h"

int32_t StatusExchangeInit(HostStatusExchange* exchange) {
    StatusExchangeFree(exchange);
    exchange->slotStride = kStatusSlotStride;
    exchange->storage = static_cast<uint8_t*>(std::malloc(kStatusStorageBytes));
    return exchange->storage != nullptr ? 0 : -1;
}

void StatusExchangeWrite(HostStatusExchange*, const void*, int32_t) {}

void StatusExchangeRead(DriverInstance*) {}

void StatusExchangeReset(DriverInstance*) {}

void StatusExchangeFree(HostStatusExchange* exchange) {
    std::free(exchange->storage);
    exchange->storage = nullptr;
    exchange->base = nullptr;
}
