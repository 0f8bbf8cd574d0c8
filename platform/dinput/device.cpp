// device.cpp - the device core: data formats, axis ranges, cooperative level, acquisition and the
// lost state, over one source (keyboard.cpp, joystick.cpp).
//
// States: unacquired -> acquired (Acquire, with a data format) -> unacquired (Unacquire, or the
// source unplugged / the foreground window losing focus, which report DIERR_INPUTLOST once).
// A device whose controller was unplugged stays "lost": Acquire then fails with DIERR_UNPLUGGED.
// Every call takes the device lock except the enumeration callbacks, which run unlocked so they
// may call back into the device. Reference counts are atomic.
#include "source.h"
#include "com_object.h"

#include <SDL.h>

#include <cstdio>
#include <cstring>
#include <mutex>

namespace plat::dinput {

namespace {

constexpr DWORD kNotPlaced = 0xFFFFFFFFu;
constexpr DWORD kMaxDataSize = 0x10000;
constexpr DWORD kMaxFormatObjects = 0x10000;

struct Range {
    LONG min = 0;
    LONG max = 65535; // DirectInput's default range for absolute axes
};

// Divides rounding half away from zero; d > 0.
int64_t DivRound(int64_t n, int64_t d) { return n >= 0 ? (n + d / 2) / d : -((-n + d / 2) / d); }

// Raw -32768 .. 0 .. 32767 onto min .. centre .. max, each half on its own so both extremes and
// the centre land exactly.
LONG ScaleAxis(int32_t raw, const Range& r)
{
    const int64_t centre = r.min + (static_cast<int64_t>(r.max) - r.min) / 2;
    if (raw < 0)
        return static_cast<LONG>(centre + DivRound(raw * (centre - r.min), 32768));
    return static_cast<LONG>(centre + DivRound(raw * (r.max - centre), 32767));
}

bool Matches(const DIOBJECTDATAFORMAT& entry, const Object& object)
{
    if (entry.pguid && !(*entry.pguid == object.guidType))
        return false;
    const DWORD kinds = DIDFT_GETTYPE(entry.dwType) & (DIDFT_AXIS | DIDFT_BUTTON | DIDFT_POV);
    if (kinds && !(kinds & DIDFT_GETTYPE(object.type)))
        return false;
    if ((entry.dwType & DIDFT_INSTANCEMASK) != DIDFT_ANYINSTANCE &&
        DIDFT_GETINSTANCE(entry.dwType) != DIDFT_GETINSTANCE(object.type))
        return false;
    // Every object reports its position; other aspects find nothing here.
    const DWORD aspect = entry.dwFlags & DIDOI_ASPECTMASK;
    return aspect == 0 || aspect == DIDOI_ASPECTPOSITION;
}

// An entry's object kind as far as the entry itself says (for the bytes of an empty entry).
bool EntryIsPov(const DIOBJECTDATAFORMAT& entry)
{
    return (entry.pguid && *entry.pguid == GUID_POV) || DIDFT_GETTYPE(entry.dwType) == DIDFT_POV;
}

bool SameId(DWORD id, const Object& object)
{
    return DIDFT_GETINSTANCE(id) == DIDFT_GETINSTANCE(object.type) &&
           (DIDFT_GETTYPE(id) & DIDFT_GETTYPE(object.type)) != 0;
}

class Device final : public IDirectInputDevice8A {
public:
    explicit Device(std::unique_ptr<Source> source)
        : source_(std::move(source)), ranges_(source_->Objects().size()), offsets_(source_->Objects().size(), kNotPlaced),
          values_(source_->Objects().size())
    {
        ++g_liveObjects;
    }
    ~Device() { --g_liveObjects; }
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        return plat::com::QueryAs(static_cast<IDirectInputDevice8A*>(this), iid, object, {IID_IDirectInputDevice8A});
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        const ULONG left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT GetDeviceInfo(LPDIDEVICEINSTANCEA device) override
    {
        if (!device || device->dwSize != sizeof(DIDEVICEINSTANCEA))
            return DIERR_INVALIDPARAM;
        source_->Describe(*device);
        return DI_OK;
    }

    HRESULT EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKA callback, void* context, DWORD flags) override
    {
        if (!callback)
            return DIERR_INVALIDPARAM;
        // Objects here have no force-feedback, output or vendor attributes: asking for them
        // finds nothing.
        if (flags & (DIDFT_FFACTUATOR | DIDFT_FFEFFECTTRIGGER | DIDFT_OUTPUT | DIDFT_VENDORDEFINED | DIDFT_ALIAS))
            return DI_OK;
        const DWORD kinds = DIDFT_GETTYPE(flags) & (DIDFT_AXIS | DIDFT_BUTTON | DIDFT_POV);
        if (DIDFT_GETTYPE(flags) && !kinds)
            return DI_OK; // collections or no-data objects only: there are none
        std::vector<DIDEVICEOBJECTINSTANCEA> found;
        {
            std::lock_guard<std::mutex> hold(lock_);
            const auto& objects = source_->Objects();
            for (size_t i = 0; i < objects.size(); ++i) {
                if (kinds && !(kinds & DIDFT_GETTYPE(objects[i].type)))
                    continue;
                DIDEVICEOBJECTINSTANCEA info;
                std::memset(&info, 0, sizeof info);
                info.dwSize = sizeof info;
                info.guidType = objects[i].guidType;
                info.dwOfs = offsets_[i] == kNotPlaced ? 0 : offsets_[i];
                info.dwType = objects[i].type;
                info.dwFlags = IsAxis(objects[i]) ? DIDOI_ASPECTPOSITION : 0;
                std::snprintf(info.tszName, sizeof info.tszName, "%s", objects[i].name.c_str());
                found.push_back(info);
            }
        }
        for (const DIDEVICEOBJECTINSTANCEA& info : found)
            if (callback(&info, context) == DIENUM_STOP)
                break;
        return DI_OK;
    }

    HRESULT GetProperty(const GUID* property, LPDIPROPHEADER header) override
    {
        if (!header)
            return DIERR_INVALIDPARAM;
        if (property != DIPROP_RANGE)
            return DIERR_UNSUPPORTED;
        if (header->dwSize != sizeof(DIPROPRANGE) || header->dwHeaderSize != sizeof(DIPROPHEADER) ||
            header->dwHow == DIPH_DEVICE)
            return DIERR_INVALIDPARAM;
        std::lock_guard<std::mutex> hold(lock_);
        size_t index = 0;
        if (HRESULT hr = FindObject(*header, index); FAILED(hr))
            return hr;
        auto* range = reinterpret_cast<DIPROPRANGE*>(header);
        range->lMin = ranges_[index].min;
        range->lMax = ranges_[index].max;
        return DI_OK;
    }

    HRESULT SetProperty(const GUID* property, LPCDIPROPHEADER header) override
    {
        if (!header)
            return DIERR_INVALIDPARAM;
        if (property != DIPROP_RANGE)
            return DIERR_UNSUPPORTED;
        if (header->dwSize != sizeof(DIPROPRANGE) || header->dwHeaderSize != sizeof(DIPROPHEADER))
            return DIERR_INVALIDPARAM;
        const auto* range = reinterpret_cast<const DIPROPRANGE*>(header);
        if (range->lMin >= range->lMax)
            return DIERR_INVALIDPARAM;
        const Range value{range->lMin, range->lMax};
        std::lock_guard<std::mutex> hold(lock_);
        const auto& objects = source_->Objects();
        if (header->dwHow == DIPH_DEVICE) {
            if (header->dwObj != 0)
                return DIERR_INVALIDPARAM;
            bool any = false;
            for (size_t i = 0; i < objects.size(); ++i)
                if (IsAxis(objects[i])) {
                    ranges_[i] = value;
                    any = true;
                }
            return any ? DI_OK : DIERR_UNSUPPORTED;
        }
        size_t index = 0;
        if (HRESULT hr = FindObject(*header, index); FAILED(hr))
            return hr;
        ranges_[index] = value;
        return DI_OK;
    }

    HRESULT Acquire() override
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (acquired_)
            return DI_NOEFFECT;
        if (!hasFormat_)
            return DIERR_INVALIDPARAM;
        if (lost_ || !source_->Attached()) {
            lost_ = true;
            return DIERR_UNPLUGGED;
        }
        if (!HasFocus())
            return DIERR_OTHERAPPHASPRIO;
        source_->Acquired((cooperative_ & DISCL_BACKGROUND) != 0);
        acquired_ = true;
        return DI_OK;
    }

    HRESULT Unacquire() override
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (!acquired_)
            return DI_NOEFFECT;
        acquired_ = false;
        return DI_OK;
    }

    HRESULT GetDeviceState(DWORD size, void* data) override
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (!acquired_)
            return DIERR_NOTACQUIRED;
        if (!data || size != dataSize_)
            return DIERR_INVALIDPARAM;
        if (HRESULT hr = Refresh(); FAILED(hr))
            return hr;
        source_->Sample(values_);
        auto* bytes = static_cast<uint8_t*>(data);
        std::memset(bytes, 0, size);
        const DWORD centred = 0xFFFFFFFFu;
        for (DWORD offset : emptyPovs_)
            std::memcpy(bytes + offset, &centred, 4);
        const auto& objects = source_->Objects();
        for (size_t i = 0; i < objects.size(); ++i) {
            const DWORD offset = offsets_[i];
            if (offset == kNotPlaced)
                continue;
            if (IsAxis(objects[i])) {
                const LONG v = ScaleAxis(values_[i], ranges_[i]);
                std::memcpy(bytes + offset, &v, 4);
            } else if (IsPov(objects[i])) {
                std::memcpy(bytes + offset, &values_[i], 4);
            } else {
                bytes[offset] = static_cast<uint8_t>(values_[i]);
            }
        }
        return DI_OK;
    }

    HRESULT SetDataFormat(LPCDIDATAFORMAT format) override
    {
        if (!format || format->dwSize != sizeof(DIDATAFORMAT) || format->dwObjSize != sizeof(DIOBJECTDATAFORMAT))
            return DIERR_INVALIDPARAM;
        if (format->dwDataSize == 0 || format->dwDataSize % 4 != 0 || format->dwDataSize > kMaxDataSize ||
            format->dwNumObjs > kMaxFormatObjects || (format->dwNumObjs && !format->rgodf))
            return DIERR_INVALIDPARAM;
        const DWORD axisMode = format->dwFlags & (DIDF_ABSAXIS | DIDF_RELAXIS);
        if (axisMode == (DIDF_ABSAXIS | DIDF_RELAXIS) || (format->dwFlags & ~axisMode))
            return DIERR_INVALIDPARAM;

        std::lock_guard<std::mutex> hold(lock_);
        if (acquired_)
            return DIERR_ACQUIRED;
        const auto& objects = source_->Objects();
        std::vector<DWORD> offsets(objects.size(), kNotPlaced);
        std::vector<DWORD> emptyPovs;
        const DWORD size = format->dwDataSize;
        for (DWORD e = 0; e < format->dwNumObjs; ++e) {
            const DIOBJECTDATAFORMAT& entry = format->rgodf[e];
            size_t found = objects.size();
            for (size_t i = 0; i < objects.size() && found == objects.size(); ++i)
                if (offsets[i] == kNotPlaced && Matches(entry, objects[i]))
                    found = i;
            const bool wide = found < objects.size() ? IsAxis(objects[found]) || IsPov(objects[found])
                                                     : EntryIsPov(entry);
            if (wide ? (entry.dwOfs % 4 != 0 || entry.dwOfs > size - 4) : entry.dwOfs >= size)
                return DIERR_INVALIDPARAM;
            if (found == objects.size()) {
                if (!(entry.dwType & DIDFT_OPTIONAL))
                    return DIERR_INVALIDPARAM;
                if (EntryIsPov(entry))
                    emptyPovs.push_back(entry.dwOfs);
                continue;
            }
            // Relative axis data (movement since the last read) is not produced here.
            if (axisMode == DIDF_RELAXIS && IsAxis(objects[found]))
                return DIERR_UNSUPPORTED;
            offsets[found] = entry.dwOfs;
        }
        offsets_ = std::move(offsets);
        emptyPovs_ = std::move(emptyPovs);
        dataSize_ = size;
        hasFormat_ = true;
        return DI_OK;
    }

    HRESULT SetCooperativeLevel(HWND window, DWORD flags) override
    {
        const DWORD access = flags & (DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE);
        const DWORD focus = flags & (DISCL_FOREGROUND | DISCL_BACKGROUND);
        if ((flags & ~(access | focus | DISCL_NOWINKEY)) || (access != DISCL_EXCLUSIVE && access != DISCL_NONEXCLUSIVE) ||
            (focus != DISCL_FOREGROUND && focus != DISCL_BACKGROUND))
            return DIERR_INVALIDPARAM;
        if (!window && (access == DISCL_EXCLUSIVE || focus == DISCL_FOREGROUND))
            return E_HANDLE;
        // The keyboard cannot be taken from the rest of the desktop while in the background.
        if (source_->IsKeyboard() && access == DISCL_EXCLUSIVE && focus == DISCL_BACKGROUND)
            return DIERR_UNSUPPORTED;
        std::lock_guard<std::mutex> hold(lock_);
        if (acquired_)
            return DIERR_ACQUIRED;
        cooperative_ = flags;
        window_ = window;
        return DI_OK;
    }

    HRESULT Poll() override
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (!acquired_)
            return DIERR_NOTACQUIRED;
        if (HRESULT hr = Refresh(); FAILED(hr))
            return hr;
        return source_->Polled() ? DI_OK : DI_NOEFFECT;
    }

private:
    // Lock held. A foreground device reads only while its window has the keyboard focus.
    bool HasFocus() const
    {
        return !(cooperative_ & DISCL_FOREGROUND) || SDL_GetKeyboardFocus() == static_cast<SDL_Window*>(window_);
    }

    // Lock held, acquired. Brings the source up to date, or drops the acquisition and reports the
    // input lost.
    HRESULT Refresh()
    {
        if (!source_->Refresh()) {
            acquired_ = false;
            lost_ = true;
            return DIERR_INPUTLOST;
        }
        if (!HasFocus()) {
            acquired_ = false;
            return DIERR_INPUTLOST;
        }
        return DI_OK;
    }

    // Lock held. The axis a DIPH_BYID or DIPH_BYOFFSET header names.
    HRESULT FindObject(const DIPROPHEADER& header, size_t& index) const
    {
        const auto& objects = source_->Objects();
        for (size_t i = 0; i < objects.size(); ++i) {
            const bool named = header.dwHow == DIPH_BYID       ? SameId(header.dwObj, objects[i])
                               : header.dwHow == DIPH_BYOFFSET ? offsets_[i] == header.dwObj
                                                               : false;
            if (named) {
                if (!IsAxis(objects[i]))
                    return DIERR_UNSUPPORTED;
                index = i;
                return DI_OK;
            }
        }
        return header.dwHow == DIPH_BYID || header.dwHow == DIPH_BYOFFSET ? DIERR_OBJECTNOTFOUND : DIERR_INVALIDPARAM;
    }

    std::atomic<ULONG> refs_{1};
    const std::unique_ptr<Source> source_;

    std::mutex lock_;
    bool acquired_ = false;  // guarded by lock_
    bool lost_ = false;      // guarded by lock_: the controller was unplugged
    DWORD cooperative_ = DISCL_NONEXCLUSIVE | DISCL_BACKGROUND; // guarded by lock_
    HWND window_ = nullptr;  // guarded by lock_
    bool hasFormat_ = false; // guarded by lock_
    DWORD dataSize_ = 0;     // guarded by lock_
    std::vector<Range> ranges_;      // guarded by lock_: per object (axes only used)
    std::vector<DWORD> offsets_;     // guarded by lock_: per object, kNotPlaced if the format has no place
    std::vector<DWORD> emptyPovs_;   // guarded by lock_: POV entries no object took
    std::vector<int32_t> values_;    // guarded by lock_: scratch for Sample
};

} // namespace

IDirectInputDevice8A* CreateDevice(std::unique_ptr<Source> source) { return new Device(std::move(source)); }

} // namespace plat::dinput
