// PNG encoding on Windows: the system's imaging component (WIC), which needs
// no library beside the program. The picture goes in as 8-bit indices with
// its palette as given, so that a decoder finds the same pixels and palette
// as in the file written on Linux.
// The system headers have their own RGBQUAD and BITMAPINFOHEADER; the GDI
// part that declares them is not needed here.
#define NOGDI
#include <wincodec.h>  // brings <windows.h> and COM

#include <climits>

#include "cli/png_file.h"

namespace {

// Releases a COM interface when it goes out of scope.
template <typename T>
class Held {
  public:
    Held() = default;
    ~Held() {
        if (p_)
            p_->Release();
    }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    T** out() { return &p_; }
    T* operator->() const { return p_; }
    T* get() const { return p_; }

  private:
    T* p_ = nullptr;
};

// COM on this thread for the lifetime of the object. A thread whose COM was
// set up otherwise (RPC_E_CHANGED_MODE) may still use it, and keeps it.
class ComScope {
  public:
    ComScope() : result_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(result_))
            CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    bool usable() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

  private:
    HRESULT result_;
};

bool encodeInto(IStream* stream, const IndexedPicture& picture) {
    const uint64_t bytes = static_cast<uint64_t>(picture.width) * picture.height;
    if (picture.palette.empty() || picture.palette.size() > 256 || bytes > UINT_MAX ||
        picture.indices.size() != bytes) {
        return false;
    }
    std::vector<WICColor> colors;
    for (const RGBQUAD& c : picture.palette) {
        colors.push_back(0xFF000000u | (uint32_t{c.rgbRed} << 16) | (uint32_t{c.rgbGreen} << 8) |
                         c.rgbBlue);
    }
    Held<IWICImagingFactory> factory;
    Held<IWICBitmapEncoder> encoder;
    Held<IWICBitmapFrameEncode> frame;
    Held<IWICPalette> palette;
    WICPixelFormatGUID format = GUID_WICPixelFormat8bppIndexed;
    // The encoder may answer with another format than asked; then the
    // indices would be read as something else.
    return SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IWICImagingFactory,
                                      reinterpret_cast<void**>(factory.out()))) &&
           SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.out())) &&
           SUCCEEDED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) &&
           SUCCEEDED(encoder->CreateNewFrame(frame.out(), nullptr)) &&
           SUCCEEDED(frame->Initialize(nullptr)) &&
           SUCCEEDED(frame->SetSize(picture.width, picture.height)) &&
           SUCCEEDED(frame->SetPixelFormat(&format)) &&
           IsEqualGUID(format, GUID_WICPixelFormat8bppIndexed) &&
           SUCCEEDED(factory->CreatePalette(palette.out())) &&
           SUCCEEDED(palette->InitializeCustom(colors.data(), static_cast<UINT>(colors.size()))) &&
           SUCCEEDED(frame->SetPalette(palette.get())) &&
           SUCCEEDED(frame->WritePixels(picture.height, picture.width, static_cast<UINT>(bytes),
                                        const_cast<BYTE*>(picture.indices.data()))) &&
           SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

// The bytes written to a memory stream.
bool streamBytes(IStream* stream, std::vector<uint8_t>& bytes) {
    STATSTG stat{};
    HGLOBAL memory = nullptr;
    if (FAILED(stream->Stat(&stat, STATFLAG_NONAME)) ||
        FAILED(GetHGlobalFromStream(stream, &memory)) ||
        stat.cbSize.QuadPart > GlobalSize(memory)) {
        return false;
    }
    const auto* data = static_cast<const uint8_t*>(GlobalLock(memory));
    if (data == nullptr)
        return false;
    bytes.assign(data, data + stat.cbSize.QuadPart);
    GlobalUnlock(memory);
    return true;
}

}  // namespace

bool pngEncode(const IndexedPicture& picture, std::vector<uint8_t>& png) {
    ComScope com;
    Held<IStream> stream;
    return com.usable() && SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, stream.out())) &&
           encodeInto(stream.get(), picture) && streamBytes(stream.get(), png);
}
