#include "fakecatalog.h"

#include "winetestsupport.h"

#include <wincrypt.h>

#include <mscat.h>

namespace hytest {
namespace {

CRYPTCATMEMBER fake_member;
CRYPTCATATTRIBUTE fake_attribute;
HRESULT sign_result = S_OK;

HANDLE WINAPI fake_open(LPWSTR, DWORD, HCRYPTPROV, DWORD, DWORD)
{
    return reinterpret_cast<HANDLE>(0x5151);
}
BOOL WINAPI fake_ok(HANDLE)
{
    return TRUE;
}
CRYPTCATATTRIBUTE *WINAPI fake_put_cat_attr(HANDLE, LPWSTR, DWORD, DWORD, BYTE *)
{
    return &fake_attribute;
}
CRYPTCATMEMBER *WINAPI fake_put_member(HANDLE, WCHAR *, WCHAR *, GUID *, DWORD, DWORD, BYTE *)
{
    return &fake_member;
}
CRYPTCATATTRIBUTE *WINAPI fake_put_attr(HANDLE, CRYPTCATMEMBER *, LPWSTR, DWORD, DWORD, BYTE *)
{
    return &fake_attribute;
}
HRESULT WINAPI fake_signer_sign_ex(DWORD, void *, void *, void *, void *, LPCWSTR, void *, void *,
                                   void **context)
{
    *context = nullptr;
    return sign_result;
}

} // namespace

std::map<std::string, FARPROC> working_catalog(HRESULT signResult)
{
    sign_result = signResult;
    return {{"CryptCATOpen", as_proc(fake_open)},
            {"CryptCATClose", as_proc(fake_ok)},
            {"CryptCATPersistStore", as_proc(fake_ok)},
            {"CryptCATPutCatAttrInfo", as_proc(fake_put_cat_attr)},
            {"CryptCATPutMemberInfo", as_proc(fake_put_member)},
            {"CryptCATPutAttrInfo", as_proc(fake_put_attr)},
            {"SignerSignEx", as_proc(fake_signer_sign_ex)}};
}

} // namespace hytest
