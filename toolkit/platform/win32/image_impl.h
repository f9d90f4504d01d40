// The Windows image's private state, shared by the win32 backend's sources and its tests.
#pragma once

#include "toolkit/platform/image.h"

#include <windows.h>
#include <d2d1.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <mutex>
#include <unordered_map>
#include <vector>

namespace zksdk::ui {

struct image::impl {
    bool decoded = false;
    bool locked = false;
    bool modified = false;
    std::mutex lock; // guards this image; held from lock_pixels to unlock_pixels
    HRESULT com_result = S_OK;
    Microsoft::WRL::ComPtr<IWICImagingFactory> factory;
    Microsoft::WRL::ComPtr<IWICBitmap> bitmap;
    Microsoft::WRL::ComPtr<IWICBitmapLock> pixel_lock;
    // Keyed by renderer, not by render target: a renderer that lost its device drops its entry
    // and makes a new target, which may come at the address of the old one.
    std::unordered_map<const renderer*, Microsoft::WRL::ComPtr<ID2D1Bitmap>> device_bitmaps;
    size pixels;
    float scale = 1.0f;
    int32_t frames = 1;
    std::vector<renderer*> renderers; // renderers holding one of the device bitmaps
};

namespace win32 {

// The image's bitmap on the renderer's device, made on first use and cached until either side
// goes; null when the image holds no pixels. Throws zk_exception when the device refuses it.
ID2D1Bitmap* device_bitmap(image& picture, renderer& owner);

} // namespace win32
} // namespace zksdk::ui
