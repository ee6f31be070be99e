#include "ui/GdiPlusPng.h"

using namespace platform;

namespace {

constexpr char kPngType[] = "PNG";

}  // namespace

CGdiPlusPng::~CGdiPlusPng() {
    delete m_pImage;
    m_pImage = nullptr;
}

CGdiPlusPngResource::~CGdiPlusPngResource() {
    Free();
}

void CGdiPlusPngResource::Free() {
    delete m_pImage;  // the image goes before the bytes it came from
    m_pImage = nullptr;
    m_hBuffer.reset();
}

bool CGdiPlusPngResource::Load(unsigned id) {
    Free();
    std::unique_ptr<ResourceData> data = FindResource(kPngType, id);
    if (!data || data->Bytes().empty()) return false;
    std::unique_ptr<Image> image = Image::FromBytes(data->Bytes());
    if (!image || !image->Ok()) return false;
    m_hBuffer = std::move(data);
    m_pImage = image.release();
    return true;
}

Image* LoadPngFromResource(unsigned id) {
    const std::unique_ptr<ResourceData> data = FindResource(kPngType, id);
    if (!data) return nullptr;
    return Image::FromBytes(data->Bytes()).release();
}

UpdateLayeredTool::UpdateLayeredTool() {
    if (!DisplaySupportsLayeredWindows()) return;
    m_pfnUpdateLayeredWindow = &platform::UpdateLayeredWindow;
    m_pfnSetLayeredWindowAttributes = &platform::SetLayeredWindowAttributes;
}

UpdateLayeredTool& UpdateLayeredTool::Instance() {
    static UpdateLayeredTool* instance = new UpdateLayeredTool;  // lives until the process ends
    return *instance;
}

void CLayeredPng::AddLayeredStyle() {
    const uint32_t exStyle = GetWindowLongW(m_hWnd, GWL_EXSTYLE);
    if (!(exStyle & WS_EX_LAYERED)) SetWindowLongW(m_hWnd, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
}

void CLayeredPng::UpdateLayered() {
    if (!m_image.m_pImage || !IsWindow(m_hWnd)) return;
    const RECT rect = CWnd::FromHandle(m_hWnd)->GetWindowRect();
    AddLayeredStyle();
    UpdateLayeredTool& tool = UpdateLayeredTool::Instance();
    if (tool.m_pfnUpdateLayeredWindow) {
        tool.m_pfnUpdateLayeredWindow(m_hWnd, *m_image.m_pImage, POINT{rect.left, rect.top});
    }
}

void CLayeredPng::SetColorKey(COLORREF key) {
    if (!IsWindow(m_hWnd)) return;
    AddLayeredStyle();
    UpdateLayeredTool& tool = UpdateLayeredTool::Instance();
    if (tool.m_pfnSetLayeredWindowAttributes) {
        tool.m_pfnSetLayeredWindowAttributes(m_hWnd, key, 255, LWA_COLORKEY | LWA_ALPHA);
    }
}
