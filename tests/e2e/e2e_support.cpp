#include "tests/e2e/e2e_support.h"

#include "config/settings_key.h"
#include "driver/guid_text.h"

std::string DeliverablePath(const VariantProfile& profile) {
    char directory[MAX_PATH];
    ProgramDirectory(directory, sizeof directory);
    return std::string(directory) + profile.deliverableName + ".dll";
}

std::string SettingsKeyPath(const VariantProfile& profile) {
    char guid[kGuidTextSize];
    FormatGuidText(profile.guid, guid);
    return std::string(kSettingsKeyBase) + "\\" + guid;
}

void DeleteSettingsKeys() {
    RegDeleteKeyA(HKEY_CURRENT_USER, SettingsKeyPath(kProfile32Keys).c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, SettingsKeyPath(kProfile15Keys).c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKeyBase);
    RegDeleteKeyA(HKEY_CURRENT_USER, "Lorendel");
}

int32_t IgnoringCallback(intptr_t, int32_t, int32_t, void*) {
    return 0;
}

void EachDeliverable::SetUp() {
    // A real GUI host has user32 loaded before it loads a driver.
    LoadLibraryA("user32.dll");
    DeleteSettingsKeys();
    char error[512];
    ASSERT_TRUE(DeliverableLoad(&d, DeliverablePath(*GetParam()).c_str(), error, sizeof error))
        << error;
}

void EachDeliverable::TearDown() {
    DeliverableUnload(&d);
}

std::string DeliverableParamName(const ::testing::TestParamInfo<const VariantProfile*>& info) {
    return info.param->deliverableName;
}
