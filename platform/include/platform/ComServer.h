#pragma once
// Building blocks of an in-process COM server: the module's lock count, an object root
// that supports aggregation, a class factory, the registration exports' common steps and
// a type-information holder for IDispatch served from the module's type library.
//
// An object derives from its interfaces (the first one primary) and from ObjectRoot; its
// IUnknown methods forward to the controlling unknown (the outer object when aggregated,
// else its own inner unknown), and findInterface names the interfaces it answers besides
// IUnknown:
//
//   class Sample final : public ISample, public platform::com::ObjectRoot {
//   public:
//       Sample(IUnknown* outer, platform::com::ModuleLockCount& locks) : ObjectRoot(outer, locks)
//       {} HRESULT QueryInterface(REFIID r, void** o) override { return outerQueryInterface(r, o);
//       } ULONG AddRef() override { return outerAddRef(); } ULONG Release() override { return
//       outerRelease(); }
//   private:
//       void* findInterface(REFIID riid) noexcept override;
//   };

#include <platform/Com.h>
#include <platform/OleAuto.h>

#include <atomic>
#include <mutex>
#include <new>

namespace platform::com {

// Live objects plus LockServer locks plus outside references to the class factory: the
// module may unload only at zero.
class ModuleLockCount {
public:
    void lock() noexcept { ++m_count; }
    void unlock() noexcept { --m_count; }
    LONG count() const noexcept { return m_count.load(); }

private:
    std::atomic<LONG> m_count{0};
};

class ObjectRoot {
public:
    ObjectRoot(IUnknown* outer, ModuleLockCount& locks) noexcept
        : m_inner(*this), m_outer(outer != nullptr ? outer : &m_inner), m_locks(locks)
    {
        m_locks.lock();
    }
    virtual ~ObjectRoot() { m_locks.unlock(); }
    ObjectRoot(const ObjectRoot&) = delete;
    ObjectRoot& operator=(const ObjectRoot&) = delete;

    // The non-delegating IUnknown: what an outer object holds, and what creation hands out.
    IUnknown* innerUnknown() noexcept { return &m_inner; }
    bool aggregated() const noexcept { return m_outer != &m_inner; }

protected:
    // The pointer for riid (IUnknown excluded), without a reference added; null if none.
    virtual void* findInterface(REFIID riid) noexcept = 0;

    HRESULT outerQueryInterface(REFIID riid, void** object) noexcept
    {
        return m_outer->QueryInterface(riid, object);
    }
    ULONG outerAddRef() noexcept { return m_outer->AddRef(); }
    ULONG outerRelease() noexcept { return m_outer->Release(); }

private:
    class Inner final : public IUnknown {
    public:
        explicit Inner(ObjectRoot& root) : m_root(root) {}
        HRESULT QueryInterface(REFIID riid, void** object) override
        {
            if (object == nullptr) {
                return E_POINTER;
            }
            *object = IsEqualIID(riid, IID_IUnknown) ? static_cast<IUnknown*>(this)
                                                     : m_root.findInterface(riid);
            if (*object == nullptr) {
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
                delete &m_root;
            }
            return left;
        }

    private:
        ObjectRoot& m_root;
        std::atomic<ULONG> m_refs{0};
    };

    Inner m_inner;
    IUnknown* m_outer;
    ModuleLockCount& m_locks;
};

// The class factory of T, which is constructed as T(outer, locks). One static instance
// per module; outside references to it count as module locks.
template <typename T> class ClassFactory final : public IClassFactory {
public:
    explicit ClassFactory(ModuleLockCount& locks) : m_locks(locks) {}

    HRESULT QueryInterface(REFIID riid, void** object) override
    {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override
    {
        m_locks.lock();
        return 2;
    }
    ULONG Release() override
    {
        m_locks.unlock();
        return 1;
    }
    HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** object) override
    {
        if (object == nullptr) {
            return E_POINTER;
        }
        *object = nullptr;
        if (outer != nullptr && !IsEqualIID(riid, IID_IUnknown)) {
            return CLASS_E_NOAGGREGATION;
        }
        T* created = new (std::nothrow) T(outer, m_locks);
        if (created == nullptr) {
            return E_OUTOFMEMORY;
        }
        IUnknown* inner = created->innerUnknown();
        inner->AddRef();
        const HRESULT hr = inner->QueryInterface(riid, object);
        inner->Release(); // frees the object when riid was refused
        return hr;
    }
    HRESULT LockServer(BOOL lock) override
    {
        if (lock) {
            m_locks.lock();
        } else {
            m_locks.unlock();
        }
        return S_OK;
    }

private:
    ModuleLockCount& m_locks;
};

// DllGetClassObject for a module of one class.
inline HRESULT classObject(REFCLSID requested, REFCLSID own, IClassFactory& factory, REFIID riid,
                           void** object) noexcept
{
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if (!IsEqualCLSID(requested, own)) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return factory.QueryInterface(riid, object);
}

// DllRegisterServer and DllUnregisterServer of a module with one registration script
// (%MODULE% is the module's DOS path) and one type library. anchor is any address inside
// the module. Registering writes the script's keys, then the type library; a library that
// cannot be registered takes the keys away again (SELFREG_E_TYPELIB), so nothing is left
// half registered. Unregistering a library that is no longer registered is no error.
HRESULT registerServer(const char* script, const void* anchor) noexcept;
HRESULT unregisterServer(const char* script, const GUID& libid, WORD major, WORD minor, LCID lcid,
                         const void* anchor) noexcept;

// The type information of one interface from the module's registered type library,
// loaded once on first use under the holder's lock.
class TypeInfoHolder {
public:
    TypeInfoHolder(const GUID& libid, WORD major, WORD minor, const IID& iid)
        : m_libid(libid), m_major(major), m_minor(minor), m_iid(iid)
    {}
    // A reference still held at process end is left alone: releasing it would free the
    // type library, and with it a module, from inside that module's own teardown.
    ~TypeInfoHolder() = default;
    TypeInfoHolder(const TypeInfoHolder&) = delete;
    TypeInfoHolder& operator=(const TypeInfoHolder&) = delete;

    // A new reference to the type information.
    HRESULT get(ITypeInfo** info) noexcept
    {
        if (info == nullptr) {
            return E_POINTER;
        }
        *info = nullptr;
        std::lock_guard lock(m_mutex);
        if (m_info == nullptr) {
            ITypeLib* lib = nullptr;
            HRESULT hr = LoadRegTypeLib(m_libid, m_major, m_minor, 0, &lib);
            if (FAILED(hr)) {
                return hr;
            }
            hr = lib->GetTypeInfoOfGuid(m_iid, &m_info);
            lib->Release();
            if (FAILED(hr)) {
                return hr;
            }
        }
        m_info->AddRef();
        *info = m_info;
        return S_OK;
    }
    // Drops the held reference: the type library keeps its module loaded, so a module
    // that holds its own type information lets go of it when it is about to unload.
    void reset() noexcept
    {
        std::lock_guard lock(m_mutex);
        if (m_info != nullptr) {
            m_info->Release();
            m_info = nullptr;
        }
    }

private:
    GUID m_libid;
    WORD m_major;
    WORD m_minor;
    IID m_iid;
    std::mutex m_mutex;
    ITypeInfo* m_info = nullptr;
};

// IDispatch's four methods over a holder, for dual interfaces.
inline HRESULT dispatchTypeInfo(TypeInfoHolder& holder, UINT index, ITypeInfo** info) noexcept
{
    if (info == nullptr) {
        return E_POINTER;
    }
    *info = nullptr;
    return index != 0 ? DISP_E_BADINDEX : holder.get(info);
}

inline HRESULT dispatchIDsOfNames(TypeInfoHolder& holder, REFIID riid, LPOLESTR* names, UINT count,
                                  DISPID* ids) noexcept
{
    if (!IsEqualIID(riid, IID_NULL)) {
        return DISP_E_UNKNOWNINTERFACE;
    }
    ITypeInfo* info = nullptr;
    HRESULT hr = holder.get(&info);
    if (SUCCEEDED(hr)) {
        hr = DispGetIDsOfNames(info, names, count, ids);
        info->Release();
    }
    return hr;
}

inline HRESULT dispatchInvoke(TypeInfoHolder& holder, void* instance, DISPID id, REFIID riid,
                              WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                              UINT* argError) noexcept
{
    if (!IsEqualIID(riid, IID_NULL)) {
        return DISP_E_UNKNOWNINTERFACE;
    }
    ITypeInfo* info = nullptr;
    HRESULT hr = holder.get(&info);
    if (SUCCEEDED(hr)) {
        hr = DispInvoke(instance, info, id, flags, params, result, exception, argError);
        info->Release();
    }
    return hr;
}

} // namespace platform::com
