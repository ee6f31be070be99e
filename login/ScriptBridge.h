#pragma once
// The object page script sees as window.external: the test property "xxyyzz" and the method
// "AppLogin", which hands its text to the login panel. There is one, owned by the application
// object; references handed out are counted but never free it. GUI thread.

#include "platform/Com.h"

class CLoginActiveDlg;

class CImpIDispatch final : public platform::IDispatch {
public:
    static constexpr platform::DISPID kDispIdTestProperty = 12345;
    static constexpr platform::DISPID kDispIdAppLogin = 10001;

    platform::HRESULT QueryInterface(platform::REFIID riid, void** ppv) override;
    platform::ULONG AddRef() override;
    platform::ULONG Release() override;
    platform::HRESULT GetTypeInfoCount(unsigned* pctinfo) override;
    platform::HRESULT GetTypeInfo(unsigned iTInfo, platform::LCID lcid,
                                  platform::ITypeInfo** ppTInfo) override;
    platform::HRESULT GetIDsOfNames(platform::REFIID riid, platform::OLECHAR** rgszNames,
                                    unsigned cNames, platform::LCID lcid,
                                    platform::DISPID* rgDispId) override;
    platform::HRESULT Invoke(platform::DISPID dispIdMember, platform::REFIID riid,
                             platform::LCID lcid, uint16_t wFlags,
                             platform::DISPPARAMS* pDispParams, platform::VARIANT* pVarResult,
                             platform::EXCEPINFO* pExcepInfo, unsigned* puArgErr) override;

    int32_t ReferenceCount() const { return m_refCount; }

    // The receiver of AppLogin; set once the login panel exists.
    CLoginActiveDlg* m_pOwner = nullptr;

private:
    int32_t m_refCount = 0;
};
