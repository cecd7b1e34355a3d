#include "catalog_win.h"

#include "catalogmember.h"
#include "diaglog_win.h"
#include "hy_types.h"
#include "resolve_win.h"
#include "utf.h"

#include <mssip.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <cstring>

namespace hy {
namespace {

const char *const CREATE_CAT = "CreateCat";
const DWORD ATTRIBUTE_FLAGS =
    CRYPTCAT_ATTR_AUTHENTICATED | CRYPTCAT_ATTR_NAMEASCII | CRYPTCAT_ATTR_DATAASCII;
const wchar_t OS_VALUE[] = L"7_X86,7_X64,8_X86,8_X64,8_ARM,10_X86,10_X64,10_ARM";
const wchar_t OS_ATTR_VALUE[] = L"2:5.1,2:5.2,2:6.0,2:6.1";
const size_t HASH_SIZE = 20;
const int PATH_LIMIT = 261;

GUID pe_subject = {0xC689AAB8, 0x8E78, 0x11D0, {0x8C, 0x47, 0x00, 0xC0, 0x4F, 0xC2, 0x95, 0xEE}};
GUID flat_subject = {0xDE351A42, 0x8E59, 0x11D0, {0x8C, 0x47, 0x00, 0xC0, 0x4F, 0xC2, 0x95, 0xEE}};

std::wstring wide(const std::string &utf8)
{
    std::u16string w;
    utf8_to_utf16(utf8, w);
    return std::wstring(w.begin(), w.end());
}

std::string narrow(const std::wstring &text)
{
    std::string out;
    utf16_to_utf8(std::u16string(text.begin(), text.end()), out);
    return out;
}

std::wstring lower(std::wstring text)
{
    if (!text.empty())
        CharLowerBuffW(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

struct catalog_api
{
    HY_PROC(CryptCATOpen);
    HY_PROC(CryptCATClose);
    HY_PROC(CryptCATPersistStore);
    HY_PROC(CryptCATPutCatAttrInfo);

    bool bind()
    {
        return HY_BIND(CREATE_CAT, "WinTrust", CryptCATOpen) &&
               HY_BIND(CREATE_CAT, "WinTrust", CryptCATClose) &&
               HY_BIND(CREATE_CAT, "WinTrust", CryptCATPersistStore) &&
               HY_BIND(CREATE_CAT, "WinTrust", CryptCATPutCatAttrInfo);
    }
};

bool CalcHash(const std::wstring &path, BYTE *hash)
{
    HY_PROC(CryptCATAdminCalcHashFromFileHandle);
    if (!HY_BIND("CalcHash", "WinTrust", CryptCATAdminCalcHashFromFileHandle))
        return false;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD size = HASH_SIZE;
    bool ok = pCryptCATAdminCalcHashFromFileHandle(file, &size, hash, 0) && size == HASH_SIZE;
    CloseHandle(file);
    return ok;
}

// Hashes the listed files below root + subfolder (subfolder empty or "\dir...") into the catalog.
void ScanDirAndHash(HANDLE catalog, const std::wstring &root, const std::wstring &subfolder,
                    const std::vector<std::wstring> &list)
{
    const char *op = "ScanDirAndHash";
    if (root.size() + subfolder.size() + 4 > PATH_LIMIT) {
        writeLog(HY_WARNING, op, "Path overflow");
        return;
    }
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((root + subfolder + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        std::wstring name = found.cFileName;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (name == L"." || name == L"..")
                continue;
            if (subfolder.size() + name.size() + 2 > PATH_LIMIT) {
                writeLog(HY_WARNING, op, "path overflow");
                break;
            }
            ScanDirAndHash(catalog, root, subfolder + L"\\" + name, list);
            continue;
        }
        std::wstring lowered = lower(name);
        for (const std::wstring &entry : list) {
            if (entry != lowered)
                continue;
            std::wstring path = root + subfolder + L"\\" + name;
            BYTE hash[HASH_SIZE];
            std::string shown = narrow(path);
            if (CalcHash(path, hash) && AddFileHash(catalog, lowered.c_str(), hash))
                writeLog(HY_INFO, op, "added hash for '%s'", shown.c_str());
            else
                writeLog(HY_WARNING, op, "could not add hash for '%s' - ignored", shown.c_str());
            break;
        }
    } while (FindNextFileW(find, &found));
    FindClose(find);
}

bool full_search_path(const char *searchFolder, std::wstring &full)
{
    std::wstring folder = wide(searchFolder ? searchFolder : "");
    for (wchar_t &c : folder) {
        if (c == L'/')
            c = L'\\';
    }
    wchar_t buffer[MAX_PATH];
    DWORD n = GetFullPathNameW(folder.c_str(), MAX_PATH, buffer, nullptr);
    if (n == 0 || n >= MAX_PATH || narrow(buffer).size() >= MAX_PATH) {
        writeLog(HY_WARNING, CREATE_CAT, "Unable to get full path for '%s'.\n", searchFolder);
        return false;
    }
    full = buffer;
    return true;
}

} // namespace

bool AddFileHash(HANDLE catalog, const wchar_t *fileName, const BYTE *hash)
{
    const char *op = "AddFileHash";
    HY_PROC(CryptCATPutMemberInfo);
    HY_PROC(CryptCATPutAttrInfo);
    HY_PROC(CryptEncodeObject);
    if (!HY_BIND(op, "WinTrust", CryptCATPutMemberInfo) ||
        !HY_BIND(op, "WinTrust", CryptCATPutAttrInfo) || !HY_BIND(op, "Crypt32", CryptEncodeObject))
        return false;

    std::string tagText = member_tag(hash, HASH_SIZE);
    std::wstring tag(tagText.begin(), tagText.end());
    std::wstring name = lower(fileName);
    std::string shown = narrow(name);
    catalog_file_kind kind = classify_catalog_file(shown);
    if (kind == catalog_file_kind::unhandled) {
        writeLog(HY_WARNING, op, "Unhandled file type: '%s' - ignoring", shown.c_str());
        return false;
    }
    bool pe = kind == catalog_file_kind::pe;
    writeLog(HY_DEBUG, op, pe ? "'%s': PE type" : "'%s': INF type", shown.c_str());

    wchar_t obsolete[] = L"<<<Obsolete>>>";
    SPC_LINK link = {};
    link.dwLinkChoice = SPC_FILE_LINK_CHOICE;
    link.pwszFile = obsolete;
    BYTE peFlags = 0xA0;
    SPC_PE_IMAGE_DATA image = {};
    image.Flags.cbData = 1;
    image.Flags.pbData = &peFlags;
    image.Flags.cUnusedBits = 0;
    image.pFile = &link;
    const char *objectId = pe ? SPC_PE_IMAGE_DATA_OBJID : SPC_CAB_DATA_OBJID;
    const void *subjectData = pe ? static_cast<const void *>(&image) : &link;

    BYTE encoded[64];
    DWORD encodedSize = sizeof encoded;
    if (!pCryptEncodeObject(X509_ASN_ENCODING, objectId, subjectData, encoded, &encodedSize)) {
        writeLog(HY_WARNING, op, "Unable to encode SPC Image Data: %s", formatWindowsError(0));
        return false;
    }

    SIP_INDIRECT_DATA indirect = {};
    indirect.Data.pszObjId = const_cast<char *>(objectId);
    indirect.Data.Value.cbData = encodedSize;
    indirect.Data.Value.pbData = encoded;
    indirect.DigestAlgorithm.pszObjId = const_cast<char *>(szOID_OIWSEC_sha1);
    indirect.Digest.cbData = HASH_SIZE;
    indirect.Digest.pbData = const_cast<BYTE *>(hash);
    CRYPTCATMEMBER *member =
        pCryptCATPutMemberInfo(catalog, nullptr, &tag[0], pe ? &pe_subject : &flat_subject, 0x200,
                               sizeof indirect, reinterpret_cast<BYTE *>(&indirect));
    if (member == nullptr) {
        writeLog(HY_WARNING, op, "Unable to create cat entry for file '%s': %s", shown.c_str(),
                 formatWindowsError(0));
        return false;
    }
    wchar_t fileAttr[] = L"File";
    wchar_t osAttr[] = L"OSAttr";
    wchar_t osAttrValue[sizeof OS_ATTR_VALUE / sizeof(wchar_t)];
    memcpy(osAttrValue, OS_ATTR_VALUE, sizeof OS_ATTR_VALUE);
    if (pCryptCATPutAttrInfo(catalog, member, fileAttr, ATTRIBUTE_FLAGS,
                             static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t)),
                             reinterpret_cast<BYTE *>(&name[0])) == nullptr ||
        pCryptCATPutAttrInfo(catalog, member, osAttr, ATTRIBUTE_FLAGS, sizeof OS_ATTR_VALUE,
                             reinterpret_cast<BYTE *>(osAttrValue)) == nullptr) {
        writeLog(HY_WARNING, op, "Unable to create attributes for file '%s': %s", shown.c_str(),
                 formatWindowsError(0));
        return false;
    }
    return true;
}

bool CreateCat(const char *catalogPath, const char *hardwareId, const char *searchFolder,
               const std::vector<std::string> &fileList)
{
    catalog_api api;
    if (!api.bind())
        return false;

    HCRYPTPROV context = 0;
    if (!CryptAcquireContextW(&context, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
        writeLog(HY_WARNING, CREATE_CAT, "Unable to acquire crypt context for cat creation");
        context = 0;
    }
    std::wstring path = wide(catalogPath ? catalogPath : "");
    std::wstring hwid = lower(wide(hardwareId ? hardwareId : ""));
    bool result = false;
    HANDLE catalog = api.pCryptCATOpen(&path[0], CRYPTCAT_OPEN_CREATENEW, context, 0, 0);
    if (catalog == INVALID_HANDLE_VALUE || catalog == nullptr) {
        writeLog(HY_WARNING, CREATE_CAT, "Unable to create file '%s': %s", catalogPath,
                 formatWindowsError(0));
    } else {
        wchar_t hwidName[] = L"HWID1";
        wchar_t osName[] = L"OS";
        wchar_t osValue[sizeof OS_VALUE / sizeof(wchar_t)];
        memcpy(osValue, OS_VALUE, sizeof OS_VALUE);
        if (api.pCryptCATPutCatAttrInfo(catalog, hwidName, ATTRIBUTE_FLAGS,
                                        static_cast<DWORD>((hwid.size() + 1) * sizeof(wchar_t)),
                                        reinterpret_cast<BYTE *>(&hwid[0])) == nullptr)
            writeLog(HY_WARNING, CREATE_CAT, "Failed to set HWID1 cat attribute: %s",
                     formatWindowsError(0));
        if (api.pCryptCATPutCatAttrInfo(catalog, osName, ATTRIBUTE_FLAGS, sizeof OS_VALUE,
                                        reinterpret_cast<BYTE *>(osValue)) == nullptr)
            writeLog(HY_WARNING, CREATE_CAT, "Failed to set OS cat attribute: %s",
                     formatWindowsError(0));

        std::wstring root;
        // A catalog that covers none of the package files is of no use to the installer.
        if (!full_search_path(searchFolder, root)) {
            api.pCryptCATClose(catalog);
            if (context != 0)
                CryptReleaseContext(context, 0);
            return false;
        }
        std::vector<std::wstring> list;
        for (const std::string &entry : fileList)
            list.push_back(lower(wide(entry)));
        ScanDirAndHash(catalog, root, L"", list);
        if (api.pCryptCATPersistStore(catalog)) {
            writeLog(HY_INFO, CREATE_CAT, "Successfully created file '%s'", catalogPath);
            result = true;
        } else {
            writeLog(HY_WARNING, CREATE_CAT, "Unable to sort file: %s", formatWindowsError(0));
        }
        api.pCryptCATClose(catalog);
    }
    if (context != 0)
        CryptReleaseContext(context, 0);
    return result;
}

} // namespace hy
