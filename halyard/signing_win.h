// Self-signing a catalog: a fresh code-signing certificate trusted on this machine, whose
// private key is destroyed right after the one signature it makes.
#pragma once

#include <windows.h>

#include <wincrypt.h>

namespace hy {

bool SelfSignFile(const char *filePath, const char *subject);
PCCERT_CONTEXT CreateSelfSignedCert(const char *subject);
bool AddCertToStore(PCCERT_CONTEXT certificate, const char *storeName);
bool RemoveCertFromStore(const char *subject, const char *storeName);
bool DeletePrivateKey(PCCERT_CONTEXT certificate);
// The text of a crypto error; 0 means the thread's last error.
const char *pkiErrorText(DWORD code);

} // namespace hy
