#pragma once
// Images from the program's "PNG" resources, and windows made layered by per-pixel alpha from
// an image or by a colour key. GUI thread.

#include <memory>

#include "platform/Image.h"
#include "platform/Resource.h"
#include "platform/Window.h"

// Holds one image.
class CGdiPlusPng {
public:
    CGdiPlusPng() = default;
    virtual ~CGdiPlusPng();
    CGdiPlusPng(const CGdiPlusPng&) = delete;
    CGdiPlusPng& operator=(const CGdiPlusPng&) = delete;

    int GetWidth() const { return m_pImage ? m_pImage->GetWidth() : 0; }
    int GetHeight() const { return m_pImage ? m_pImage->GetHeight() : 0; }

    platform::Image* m_pImage = nullptr;  // owned; null when nothing is loaded
};

// An image decoded from a "PNG" resource, with the resource's bytes it came from. The image is
// set only while the bytes are held, and always goes before them.
class CGdiPlusPngResource : public CGdiPlusPng {
public:
    ~CGdiPlusPngResource() override;

    // Replaces what is held by resource ("PNG", id); true when an image decoded. A missing,
    // empty or undecodable resource leaves the holder empty.
    bool Load(unsigned id);
    void Free();

    std::unique_ptr<platform::ResourceData> m_hBuffer;
};

// A new image from resource ("PNG", id), owned by the caller; null when there is no such
// resource. Bytes that do not decode give an image of size 0 x 0.
platform::Image* LoadPngFromResource(unsigned id);

// The layered-window operations this display offers, looked up once for the process.
class UpdateLayeredTool {
public:
    using UpdateLayeredWindowFunction = bool (*)(platform::HWND, const platform::Image&,
                                                 platform::POINT);
    using SetLayeredWindowAttributesFunction = bool (*)(platform::HWND, platform::COLORREF, uint8_t,
                                                        unsigned);

    static UpdateLayeredTool& Instance();

    UpdateLayeredWindowFunction m_pfnUpdateLayeredWindow = nullptr;
    SetLayeredWindowAttributesFunction m_pfnSetLayeredWindowAttributes = nullptr;

private:
    UpdateLayeredTool();
};

// Makes one window layered: by the per-pixel alpha of `m_image`, or by a colour key.
class CLayeredPng {
public:
    // Draws `m_image` as the window's layered content at the window's position.
    void UpdateLayered();
    // Pixels of exactly `key` become invisible and let clicks through.
    void SetColorKey(platform::COLORREF key);

    CGdiPlusPngResource m_image;
    platform::HWND m_hWnd = nullptr;

private:
    void AddLayeredStyle();
};
