// Stand-ins for the catalog functions that Wine only stubs, and for the file signer.
#pragma once

#include <windows.h>

#include <map>
#include <string>

namespace hytest {

// Catalog functions that accept everything, and SignerSignEx answering signResult.
std::map<std::string, FARPROC> working_catalog(HRESULT signResult);

} // namespace hytest
