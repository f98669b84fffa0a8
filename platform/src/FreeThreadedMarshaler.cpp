// The free-threaded marshaler: an object aggregated by its owner that answers IMarshal
// and marshals within the process by passing the interface pointer itself.

#include <platform/Com.h>

#include <atomic>
#include <cstdint>
#include <new>

namespace {

// Marshaled form: the interface identifier, then the pointer (one reference held by
// the stream until it is unmarshaled or released).
struct MarshalRecord {
    IID iid;
    std::uint64_t pointer;
};

class FreeThreadedMarshaler final : public IMarshal {
public:
    explicit FreeThreadedMarshaler(IUnknown* outer)
        : m_inner(*this), m_outer(outer != nullptr ? outer : &m_inner)
    {}
    IUnknown* inner() { return &m_inner; }

    HRESULT QueryInterface(REFIID riid, void** object) override
    {
        return m_outer->QueryInterface(riid, object);
    }
    ULONG AddRef() override { return m_outer->AddRef(); }
    ULONG Release() override { return m_outer->Release(); }

    HRESULT GetUnmarshalClass(REFIID, void*, DWORD destContext, void*, DWORD, CLSID* clsid) override
    {
        if (clsid == nullptr) {
            return E_POINTER;
        }
        if (destContext != MSHCTX_INPROC) {
            return E_NOTIMPL; // no marshaling between processes in this layer
        }
        *clsid = CLSID_InProcFreeMarshaler;
        return S_OK;
    }
    HRESULT GetMarshalSizeMax(REFIID, void*, DWORD destContext, void*, DWORD, DWORD* size) override
    {
        if (size == nullptr) {
            return E_POINTER;
        }
        if (destContext != MSHCTX_INPROC) {
            return E_NOTIMPL;
        }
        *size = sizeof(MarshalRecord);
        return S_OK;
    }
    HRESULT MarshalInterface(IStream* stream, REFIID riid, void* object, DWORD destContext, void*,
                             DWORD) override
    {
        if (stream == nullptr || object == nullptr) {
            return E_POINTER;
        }
        if (destContext != MSHCTX_INPROC) {
            return E_NOTIMPL;
        }
        IUnknown* held = nullptr;
        HRESULT hr =
            static_cast<IUnknown*>(object)->QueryInterface(riid, reinterpret_cast<void**>(&held));
        if (FAILED(hr)) {
            return hr;
        }
        const MarshalRecord record{riid, reinterpret_cast<std::uintptr_t>(held)};
        ULONG written = 0;
        hr = stream->Write(&record, sizeof record, &written);
        if (FAILED(hr) || written != sizeof record) {
            held->Release();
            return FAILED(hr) ? hr : E_FAIL;
        }
        return S_OK;
    }
    HRESULT UnmarshalInterface(IStream* stream, REFIID riid, void** object) override
    {
        if (object == nullptr) {
            return E_POINTER;
        }
        *object = nullptr;
        IUnknown* held = nullptr;
        const HRESULT hr = readRecord(stream, held);
        if (FAILED(hr)) {
            return hr;
        }
        const HRESULT qi = held->QueryInterface(riid, object);
        held->Release();
        return qi;
    }
    HRESULT ReleaseMarshalData(IStream* stream) override
    {
        IUnknown* held = nullptr;
        const HRESULT hr = readRecord(stream, held);
        if (SUCCEEDED(hr)) {
            held->Release();
        }
        return hr;
    }
    HRESULT DisconnectObject(DWORD) override { return S_OK; }

private:
    static HRESULT readRecord(IStream* stream, IUnknown*& held)
    {
        if (stream == nullptr) {
            return E_POINTER;
        }
        MarshalRecord record{};
        ULONG read = 0;
        const HRESULT hr = stream->Read(&record, sizeof record, &read);
        if (FAILED(hr) || read != sizeof record || record.pointer == 0) {
            return FAILED(hr) ? hr : E_UNEXPECTED;
        }
        held = reinterpret_cast<IUnknown*>(static_cast<std::uintptr_t>(record.pointer));
        return S_OK;
    }

    // The non-delegating IUnknown the owner holds.
    class Inner final : public IUnknown {
    public:
        explicit Inner(FreeThreadedMarshaler& owner) : m_owner(owner) {}
        HRESULT QueryInterface(REFIID riid, void** object) override
        {
            if (object == nullptr) {
                return E_POINTER;
            }
            if (IsEqualIID(riid, IID_IUnknown)) {
                *object = static_cast<IUnknown*>(this);
            } else if (IsEqualIID(riid, IID_IMarshal)) {
                *object = static_cast<IMarshal*>(&m_owner);
            } else {
                *object = nullptr;
                return E_NOINTERFACE;
            }
            static_cast<IUnknown*>(*object)->AddRef();
            return S_OK;
        }
        ULONG AddRef() override { return ++m_refs; }
        ULONG Release() override
        {
            const ULONG left = --m_refs;
            if (left == 0) {
                delete &m_owner;
            }
            return left;
        }

    private:
        FreeThreadedMarshaler& m_owner;
        std::atomic<ULONG> m_refs{0};
    };

    Inner m_inner;
    IUnknown* m_outer;
};

} // namespace

HRESULT CoCreateFreeThreadedMarshaler(IUnknown* outer, IUnknown** marshaler) noexcept
{
    if (marshaler == nullptr) {
        return E_INVALIDARG;
    }
    *marshaler = nullptr;
    auto* object = new (std::nothrow) FreeThreadedMarshaler(outer);
    if (object == nullptr) {
        return E_OUTOFMEMORY;
    }
    *marshaler = object->inner();
    (*marshaler)->AddRef();
    return S_OK;
}
