#include "ui/pictures.h"

#include <ole2.h>
#include <olectl.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <type_traits>

namespace {

struct ComRelease {
    void operator()(IUnknown* object) const { object->Release(); }
};
template <class T> using ComOwner = std::unique_ptr<T, ComRelease>;

struct BitmapDelete {
    void operator()(HBITMAP bitmap) const { DeleteObject(bitmap); }
};
using BitmapOwner = std::unique_ptr<std::remove_pointer_t<HBITMAP>, BitmapDelete>;

struct DcDelete {
    void operator()(HDC dc) const { DeleteDC(dc); }
};
using DcOwner = std::unique_ptr<std::remove_pointer_t<HDC>, DcDelete>;

// OLE is not imported by the program: loading it takes Wine longer than anything else at start-up. It is
// loaded on a thread of its own for the decoding, while the window is being made, and let go afterwards.
struct OleDecoder {
    HRESULT(WINAPI* createStreamOnHGlobal)(HGLOBAL, BOOL, LPSTREAM*);
    HRESULT(WINAPI* oleLoadPicture)(LPSTREAM, LONG, BOOL, REFIID, LPVOID*);
};

template <class Entry> void Resolve(HMODULE library, const char* name, Entry& entry) {
    entry =
        library ? reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(library, name))) : nullptr;
}

// Resource names, in the order of Picture (corvana.rc).
constexpr std::array<const char*, 10> ResourceNames = {
    nullptr,         "BANNER",       "HEADER_LEFT",   "HEADER_RIGHT", "LINE_HORIZONTAL",
    "LINE_VERTICAL", "PROGRESS_BAR", "BUTTON_NORMAL", "BUTTON_HOT",   "BUTTON_PRESSED",
};

// The decoded picture as a bitmap of our own, or null.
BitmapOwner DecodeResource(const OleDecoder& decoder, const char* name) {
    HRSRC resource = FindResourceA(nullptr, name, RT_RCDATA);
    HGLOBAL loaded = resource ? LoadResource(nullptr, resource) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    DWORD size = resource ? SizeofResource(nullptr, resource) : 0;
    if (!bytes || size == 0) return nullptr;

    // The stream takes the memory over and frees it when released.
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!memory) return nullptr;
    if (void* target = GlobalLock(memory)) {
        std::memcpy(target, bytes, size);
        GlobalUnlock(memory);
    }
    IStream* rawStream = nullptr;
    if (FAILED(decoder.createStreamOnHGlobal(memory, TRUE, &rawStream))) {
        GlobalFree(memory);
        return nullptr;
    }
    ComOwner<IStream> stream(rawStream);

    IPicture* rawPicture = nullptr;
    if (FAILED(decoder.oleLoadPicture(stream.get(), static_cast<LONG>(size), FALSE, IID_IPicture,
                                      reinterpret_cast<void**>(&rawPicture))))
        return nullptr;
    ComOwner<IPicture> picture(rawPicture);
    OLE_HANDLE handle = 0;
    if (FAILED(picture->get_Handle(&handle)) || !handle) return nullptr;
    // The picture object owns its bitmap; keep a copy that outlives it.
    return BitmapOwner(static_cast<HBITMAP>(CopyImage(
        reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
}

std::array<BitmapOwner, ResourceNames.size()>& Bitmaps() {
    static std::array<BitmapOwner, ResourceNames.size()> bitmaps;
    return bitmaps;
}

HBITMAP PictureBitmap(Picture picture) {
    auto index = static_cast<std::size_t>(picture);
    return index < Bitmaps().size() ? Bitmaps()[index].get() : nullptr;
}

DWORD WINAPI DecodeAllPictures(void*) {
    HMODULE ole = LoadLibraryA("ole32.dll");
    HMODULE oleAutomation = LoadLibraryA("oleaut32.dll");
    OleDecoder decoder{};
    HRESULT(WINAPI * coInitializeEx)(LPVOID, DWORD) = nullptr;
    void(WINAPI * coUninitialize)() = nullptr;
    Resolve(ole, "CoInitializeEx", coInitializeEx);
    Resolve(ole, "CoUninitialize", coUninitialize);
    Resolve(ole, "CreateStreamOnHGlobal", decoder.createStreamOnHGlobal);
    Resolve(oleAutomation, "OleLoadPicture", decoder.oleLoadPicture);
    if (coInitializeEx && coUninitialize && decoder.createStreamOnHGlobal && decoder.oleLoadPicture) {
        HRESULT com = coInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        for (std::size_t index = 1; index < ResourceNames.size(); ++index)
            Bitmaps()[index] = DecodeResource(decoder, ResourceNames[index]);
        // Ending COM lets go of the image codecs it loaded.
        if (SUCCEEDED(com)) coUninitialize();
    }
    if (oleAutomation) FreeLibrary(oleAutomation);
    if (ole) FreeLibrary(ole);
    return 0;
}

struct HandleClose {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using HandleOwner = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleClose>;

enum class Decoding { NotStarted, Running, Done };
Decoding DecodingState = Decoding::NotStarted;
HandleOwner DecodingThread;

} // namespace

void StartDecodingPictures() {
    if (DecodingState != Decoding::NotStarted) return;
    DecodingThread.reset(CreateThread(nullptr, 0, DecodeAllPictures, nullptr, 0, nullptr));
    DecodingState = DecodingThread ? Decoding::Running : Decoding::NotStarted;
}

void WaitForPictures() {
    if (DecodingState == Decoding::NotStarted) DecodeAllPictures(nullptr); // no thread: here and now
    if (DecodingState == Decoding::Running) WaitForSingleObject(DecodingThread.get(), INFINITE);
    DecodingThread.reset();
    DecodingState = Decoding::Done;
}

void DrawPicture(HDC dc, Picture picture, const RECT& place, bool stretched) {
    HBITMAP bitmap = PictureBitmap(picture);
    BITMAP info{};
    if (!bitmap || !GetObjectA(bitmap, sizeof info, &info)) return;
    DcOwner source(CreateCompatibleDC(dc));
    if (!source) return;
    HGDIOBJ before = SelectObject(source.get(), bitmap);
    int width = place.right - place.left;
    int height = place.bottom - place.top;
    if (stretched) {
        SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        StretchBlt(dc, place.left, place.top, width, height, source.get(), 0, 0, info.bmWidth, info.bmHeight,
                   SRCCOPY);
    } else {
        BitBlt(dc, place.left, place.top, std::min<int>(width, info.bmWidth),
               std::min<int>(height, info.bmHeight), source.get(), 0, 0, SRCCOPY);
    }
    SelectObject(source.get(), before);
}
