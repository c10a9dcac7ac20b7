// The configuration box through the real DLLs, in a host window as the host
// simulator shows it: the keypad picture from the DLL's own resource, clicks
// that reach the instance, and the picture in docs/ still what the box shows.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "include/qp240_remote.h"
#include "tests/e2e/e2e_support.h"
#include "tools/host_simulator/config_box_view.h"

namespace {

uint32_t PixelAt(const WindowPicture& picture, int x, int y) {
    const uint8_t* p = &picture.rgb[(static_cast<size_t>(y) * picture.width + x) * 3];
    return static_cast<uint32_t>(p[0]) << 16 | p[1] << 8 | p[2];
}

// Reads a PNG as the simulator writes it (8-bit RGB, stored deflate blocks).
bool ReadStoredPng(const std::string& path, WindowPicture* picture) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    std::vector<uint8_t> bytes;
    uint8_t buffer[65536];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(file);

    auto word = [&](size_t at) {
        return static_cast<uint32_t>(bytes[at]) << 24 | bytes[at + 1] << 16 | bytes[at + 2] << 8 |
               bytes[at + 3];
    };
    std::vector<uint8_t> zlib;
    for (size_t at = 8; at + 12 <= bytes.size();) {
        const uint32_t length = word(at);
        const std::string type(bytes.begin() + at + 4, bytes.begin() + at + 8);
        if (at + 12 + length > bytes.size())
            return false;
        if (type == "IHDR") {
            picture->width = static_cast<int>(word(at + 8));
            picture->height = static_cast<int>(word(at + 12));
            if (bytes[at + 16] != 8 || bytes[at + 17] != 2)
                return false;
        } else if (type == "IDAT") {
            zlib.insert(zlib.end(), bytes.begin() + at + 8, bytes.begin() + at + 8 + length);
        }
        at += 12 + length;
    }
    std::vector<uint8_t> raw;
    for (size_t at = 2; at + 5 <= zlib.size();) {
        const bool last = zlib[at] & 1;
        if ((zlib[at] & 6) != 0)
            return false;  // only stored blocks
        const size_t length = zlib[at + 1] | zlib[at + 2] << 8;
        raw.insert(raw.end(), zlib.begin() + at + 5, zlib.begin() + at + 5 + length);
        at += 5 + length;
        if (last)
            break;
    }
    const size_t row = static_cast<size_t>(picture->width) * 3;
    if (raw.size() != (row + 1) * picture->height)
        return false;
    picture->rgb.clear();
    for (int y = 0; y < picture->height; ++y)
        picture->rgb.insert(picture->rgb.end(), raw.begin() + y * (row + 1) + 1,
                            raw.begin() + (y + 1) * (row + 1));
    return true;
}

// The picture of the box in the repository's docs folder.
std::string DocsPicture(const KeypadFamily& family) {
    return std::string(KOLMAR_SOURCE_DIR) + "/docs/config-box-" + std::to_string(family.keyCount) +
           "keys.png";
}

class ConfigBoxThroughTheDll : public EachDeliverable {
  protected:
    void SetUp() override {
        EachDeliverable::SetUp();
        ASSERT_EQ(d.Init(d.module), QP240REMOTE_OK);
        instance = d.Create(IgnoringCallback, 0);
        ASSERT_NE(instance, nullptr);
        host = CreateSimulatedHostWindow(QP240REMOTE_BOX_WIDTH, QP240REMOTE_BOX_HEIGHT);
        ASSERT_NE(host, nullptr);
    }
    void TearDown() override {
        if (instance != nullptr)
            d.Destroy(instance);
        d.End();
        DestroyWindow(host);
        PumpHostMessages();
        EachDeliverable::TearDown();
        DeleteSettingsKey(*GetParam());
    }
    HWND Open() {
        EXPECT_EQ(d.OpenConfigBox(instance, host, kHostMargin, kHostMargin, QP240REMOTE_BOX_WIDTH,
                                  QP240REMOTE_BOX_HEIGHT),
                  QP240REMOTE_OK);
        PumpHostMessages();
        return FindConfigBox(host);
    }
    ConfigFields Fields(HWND box) {
        ConfigFields fields = {};
        EXPECT_TRUE(FindConfigFields(d, instance, box, &fields)) << "no field takes a click";
        return fields;
    }
    void* instance = nullptr;
    HWND host = nullptr;
};

TEST_P(ConfigBoxThroughTheDll, ShowsTheDllsOwnKeypadPictureAndTakesClicks) {
    const KeypadFamily& family = *GetParam();
    HWND box = Open();
    ASSERT_NE(box, nullptr);
    const ConfigFields fields = Fields(box);

    ClickConfigField(box, fields, 0);
    ClickConfigField(box, fields, 1);
    QP240REMOTE_Context context = {};
    d.GetContext(instance, &context);
    EXPECT_EQ(context.keyMode, QP240REMOTE_KEY_MODE_MIDI);
    EXPECT_EQ(context.midiChannel, 1);

    WindowPicture shown = {};
    ASSERT_TRUE(CaptureWindow(box, &shown));
    ASSERT_EQ(shown.width, QP240REMOTE_BOX_WIDTH);
    ASSERT_EQ(shown.height, QP240REMOTE_BOX_HEIGHT);
    EXPECT_EQ(PixelAt(shown, 5, 5), 0x000000u);
    const RECT& mode = fields.field[0];
    EXPECT_EQ(PixelAt(shown, mode.left, (mode.top + mode.bottom) / 2), 0xE6E6E6u)
        << "KEY MODE outline";

    // The picture at (10, 10) is bitmap 500 of the DLL, pixel for pixel.
    HBITMAP resource =
        static_cast<HBITMAP>(LoadImageA(d.module, MAKEINTRESOURCEA(QP240REMOTE_KEYPAD_PICTURE_ID),
                                        IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(resource, nullptr);
    DIBSECTION dib = {};
    ASSERT_EQ(GetObjectA(resource, sizeof dib, &dib), static_cast<int>(sizeof dib));
    ASSERT_EQ(dib.dsBm.bmWidth, family.pictureWidth);
    ASSERT_EQ(dib.dsBm.bmHeight, family.pictureHeight);
    ASSERT_EQ(dib.dsBm.bmBitsPixel, 24);
    const uint8_t* bits = static_cast<const uint8_t*>(dib.dsBm.bmBits);
    int differing = 0;
    for (int y = 0; y < family.pictureHeight; ++y) {
        // Bottom-up rows of blue, green, red.
        const uint8_t* row =
            bits + static_cast<size_t>(family.pictureHeight - 1 - y) * dib.dsBm.bmWidthBytes;
        for (int x = 0; x < family.pictureWidth; ++x) {
            const uint32_t expected =
                static_cast<uint32_t>(row[3 * x + 2]) << 16 | row[3 * x + 1] << 8 | row[3 * x];
            differing += PixelAt(shown, 10 + x, 10 + y) != expected;
        }
    }
    EXPECT_EQ(differing, 0);
    DeleteObject(resource);

    EXPECT_EQ(d.CloseConfigBox(instance), QP240REMOTE_OK);
    EXPECT_EQ(FindConfigBox(host), nullptr);
}

TEST_P(ConfigBoxThroughTheDll, StillLooksLikeItsPictureInTheDocs) {
    HWND box = Open();
    ASSERT_NE(box, nullptr);
    const ConfigFields fields = Fields(box);
    // The simulator's steps: from the pad protocol on channel 0, one click on
    // KEY MODE and two on the channel.
    const QP240REMOTE_Context start = {QP240REMOTE_KEY_MODE_PADS, 0, 0};
    d.SetContext(instance, &start, sizeof start);
    PumpHostMessages();
    ClickConfigField(box, fields, 0);
    ClickConfigField(box, fields, 1);
    ClickConfigField(box, fields, 1);
    WindowPicture shown = {};
    ASSERT_TRUE(CaptureWindow(box, &shown));

    WindowPicture reference = {};
    const std::string path = DocsPicture(*GetParam());
    ASSERT_TRUE(ReadStoredPng(path, &reference)) << "cannot read " << path;
    ASSERT_EQ(reference.width, shown.width);
    ASSERT_EQ(reference.height, shown.height);
    // Text may be smoothed a little differently elsewhere: count only clear
    // differences, and allow a few of them.
    int differing = 0;
    for (size_t i = 0; i < shown.rgb.size(); i += 3) {
        int largest = 0;
        for (size_t c = 0; c < 3; ++c) {
            const int delta = std::abs(int{shown.rgb[i + c]} - int{reference.rgb[i + c]});
            largest = delta > largest ? delta : largest;
        }
        differing += largest > 96;
    }
    EXPECT_LE(differing, shown.width * shown.height / 100)
        << path << " no longer shows the box; redraw it with tools/demo.sh --config-box " << path
        << " build/windows/bin/" << GetParam()->deliverableName << ".dll";
}

// The torture's count of a host window's boxes, made on another thread while
// the host keeps raising its boxes to the top, as the torture's box threads
// do: each box is counted once, every time.
struct BoxCounter {
    HWND host;
    std::atomic<bool> done;
    int counts;
    int wrong;
};

DWORD WINAPI CountBoxes(void* argument) {
    BoxCounter* counter = static_cast<BoxCounter*>(argument);
    while (!counter->done.load()) {
        ++counter->counts;
        counter->wrong += ConfigBoxesIn(counter->host).size() != 2;
    }
    return 0;
}

TEST_P(ConfigBoxThroughTheDll, ABoxIsCountedOnceWhileTheHostReordersItsBoxes) {
    void* other = d.Create(IgnoringCallback, 0);
    ASSERT_NE(other, nullptr);
    ASSERT_NE(Open(), nullptr);
    ASSERT_EQ(d.OpenConfigBox(other, host, kHostMargin, kHostMargin, QP240REMOTE_BOX_WIDTH,
                              QP240REMOTE_BOX_HEIGHT),
              QP240REMOTE_OK);
    PumpHostMessages();
    HWND bottom = GetWindow(GetWindow(host, GW_CHILD), GW_HWNDLAST);
    ASSERT_NE(bottom, nullptr);

    BoxCounter counter = {host, {false}, 0, 0};
    HANDLE thread = CreateThread(nullptr, 0, CountBoxes, &counter, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    for (int raise = 0; raise < 3000; ++raise) {
        SetWindowPos(bottom, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        bottom = GetWindow(bottom, GW_HWNDLAST);
    }
    counter.done.store(true);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    EXPECT_GT(counter.counts, 0);
    EXPECT_EQ(counter.wrong, 0) << "of " << counter.counts << " counts";
    d.Destroy(other);
}

KOLMAR_FOR_BOTH_DELIVERABLES(ConfigBoxThroughTheDll);

// The box's thread opens it and then, for a while, looks at no message; a
// host thread meanwhile destroys the instance, ends the library and unloads
// it. When the box's thread goes on, its box must close without any code of
// the unloaded library.
struct BoxOwner {
    const Deliverable* d;
    void* instance;
    HANDLE opened;  // set once the box exists
    HANDLE resume;  // set once the library is gone
    HWND box;
    bool boxAliveAfter;
};

DWORD WINAPI RunBoxOwner(void* argument) {
    BoxOwner* owner = static_cast<BoxOwner*>(argument);
    HWND host = CreateSimulatedHostWindow(QP240REMOTE_BOX_WIDTH, QP240REMOTE_BOX_HEIGHT);
    owner->d->OpenConfigBox(owner->instance, host, kHostMargin, kHostMargin, QP240REMOTE_BOX_WIDTH,
                            QP240REMOTE_BOX_HEIGHT);
    owner->box = FindConfigBox(host);
    PumpHostMessages();
    SetEvent(owner->opened);
    WaitForSingleObject(owner->resume, 10000);
    InvalidateRect(owner->box, nullptr, TRUE);
    PumpHostMessages();
    owner->boxAliveAfter = IsWindow(owner->box) != 0;
    DestroyWindow(host);
    PumpHostMessages();
    return 0;
}

class UnloadedWhileABoxIsOpenElsewhere : public EachDeliverable {};

TEST_P(UnloadedWhileABoxIsOpenElsewhere, TheBoxClosesWithoutTheLibrary) {
    // With its instance destroyed first, the box is closed and runs no code of
    // the library again; without, the host leaks a live box, which goes on
    // painting and is destroyed with its parent after the library's last
    // FreeLibrary: the DLL stays mapped for it.
    for (const bool destroyFirst : {true, false}) {
        SCOPED_TRACE(destroyFirst ? "instance destroyed first" : "box left bound");
        ASSERT_EQ(d.Init(d.module), QP240REMOTE_OK);
        BoxOwner owner = {&d,
                          d.Create(IgnoringCallback, 0),
                          CreateEventA(nullptr, TRUE, FALSE, nullptr),
                          CreateEventA(nullptr, TRUE, FALSE, nullptr),
                          nullptr,
                          true};
        ASSERT_NE(owner.instance, nullptr);
        HANDLE thread = CreateThread(nullptr, 0, RunBoxOwner, &owner, 0, nullptr);
        ASSERT_NE(thread, nullptr);
        ASSERT_EQ(WaitForSingleObject(owner.opened, 10000), WAIT_OBJECT_0);
        EXPECT_NE(owner.box, nullptr);

        if (destroyFirst) {
            EXPECT_EQ(d.Destroy(owner.instance), QP240REMOTE_OK);
        }
        d.End();
        DeliverableUnload(&d);
        EXPECT_NE(GetModuleHandleA(DeliverablePath(*GetParam()).c_str()), nullptr)
            << "the box's code was unmapped";
        SetEvent(owner.resume);
        ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
        DWORD exitCode = 1;
        GetExitCodeThread(thread, &exitCode);
        EXPECT_EQ(exitCode, 0u);
        EXPECT_EQ(owner.boxAliveAfter, !destroyFirst) << "the box's own thread closes it";
        CloseHandle(thread);
        CloseHandle(owner.opened);
        CloseHandle(owner.resume);

        // End could not unregister the box class while the box lived; loaded
        // again, the library still starts.
        char error[512];
        ASSERT_TRUE(DeliverableLoad(&d, DeliverablePath(*GetParam()).c_str(), error, sizeof error))
            << error;
        EXPECT_EQ(d.Init(d.module), QP240REMOTE_OK);
        EXPECT_EQ(d.Init(d.module), QP240REMOTE_E_BOX_CLASS) << "a second Init without End";
        EXPECT_EQ(d.End(), QP240REMOTE_OK);
    }
}

KOLMAR_FOR_BOTH_DELIVERABLES(UnloadedWhileABoxIsOpenElsewhere);

}  // namespace
