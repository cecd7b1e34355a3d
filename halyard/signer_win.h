// The code-signing interface of mssign32.dll, which the MinGW headers do not declare.
#pragma once

#include <windows.h>

#include <wincrypt.h>

namespace hy {

struct SIGNER_FILE_INFO
{
    DWORD cbSize;
    LPCWSTR pwszFileName;
    HANDLE hFile;
};

struct SIGNER_BLOB_INFO
{
    DWORD cbSize;
    GUID *pGuidSubject;
    DWORD cbBlob;
    BYTE *pbBlob;
    LPCWSTR pwszDisplayName;
};

constexpr DWORD SIGNER_SUBJECT_FILE = 1;

struct SIGNER_SUBJECT_INFO
{
    DWORD cbSize;
    DWORD *pdwIndex;
    DWORD dwSubjectChoice;
    union {
        SIGNER_FILE_INFO *pSignerFileInfo;
        SIGNER_BLOB_INFO *pSignerBlobInfo;
    };
};

constexpr DWORD SIGNER_CERT_POLICY_CHAIN = 2;

struct SIGNER_CERT_STORE_INFO
{
    DWORD cbSize;
    PCCERT_CONTEXT pSigningCert;
    DWORD dwCertPolicy;
    HCERTSTORE hCertStore;
};

constexpr DWORD SIGNER_CERT_STORE = 2;

struct SIGNER_CERT
{
    DWORD cbSize;
    DWORD dwCertChoice;
    union {
        LPCWSTR pwszSpcFile;
        SIGNER_CERT_STORE_INFO *pCertStoreInfo;
        void *pSpcChainInfo;
    };
    HWND hwnd;
};

constexpr DWORD SIGNER_NO_ATTR = 0;

struct SIGNER_SIGNATURE_INFO
{
    DWORD cbSize;
    ALG_ID algidHash;
    DWORD dwAttrChoice;
    union {
        void *pAttrAuthcode;
    };
    PCRYPT_ATTRIBUTES psAuthenticated;
    PCRYPT_ATTRIBUTES psUnauthenticated;
};

struct SIGNER_PROVIDER_INFO;

struct SIGNER_CONTEXT
{
    DWORD cbSize;
    DWORD cbBlob;
    BYTE *pbBlob;
};

using SignerSignEx_fn = HRESULT(WINAPI *)(DWORD dwFlags, SIGNER_SUBJECT_INFO *pSubjectInfo,
                                          SIGNER_CERT *pSignerCert,
                                          SIGNER_SIGNATURE_INFO *pSignatureInfo,
                                          SIGNER_PROVIDER_INFO *pProviderInfo,
                                          LPCWSTR pwszHttpTimeStamp, PCRYPT_ATTRIBUTES psRequest,
                                          void *pSipData, SIGNER_CONTEXT **ppSignerContext);
using SignerFreeSignerContext_fn = HRESULT(WINAPI *)(SIGNER_CONTEXT *pSignerContext);

} // namespace hy
