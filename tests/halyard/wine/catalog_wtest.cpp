// Catalog creation. Wine cannot save catalogs, so the catalog functions are replaced by fakes
// that record what the generator hands them; hashing and encoding stay Wine's own.
#include "catalog_win.h"
#include "packagefiles_win.h"
#include "winetestsupport.h"

#include <gtest/gtest.h>

#include <mscat.h>

#include <string>
#include <vector>

using namespace hy;
using namespace hytest;

namespace {

struct catalog_call
{
    std::string what;
    std::wstring name;
    std::wstring value;
    DWORD flags = 0;
    GUID subject = {};
    DWORD version = 0;
    std::string digest;
};

std::vector<catalog_call> calls;

catalog_call &add_call(const std::string &what, const std::wstring &name = L"",
                       const std::wstring &value = L"", DWORD flags = 0)
{
    calls.emplace_back();
    catalog_call &c = calls.back();
    c.what = what;
    c.name = name;
    c.value = value;
    c.flags = flags;
    return c;
}
BOOL persistResult = TRUE;
HANDLE const FAKE_CATALOG = reinterpret_cast<HANDLE>(0x5151);
CRYPTCATMEMBER fake_member;
CRYPTCATATTRIBUTE fake_attribute;

std::wstring wide_value(DWORD size, const BYTE *data)
{
    return std::wstring(reinterpret_cast<const wchar_t *>(data), size / sizeof(wchar_t) - 1);
}

HANDLE WINAPI fake_open(LPWSTR path, DWORD flags, HCRYPTPROV, DWORD, DWORD)
{
    add_call("open", path, L"", flags);
    return FAKE_CATALOG;
}

BOOL WINAPI fake_close(HANDLE catalog)
{
    add_call(catalog == FAKE_CATALOG ? "close" : "close?");
    return TRUE;
}

BOOL WINAPI fake_persist(HANDLE)
{
    add_call("persist");
    return persistResult;
}

CRYPTCATATTRIBUTE *WINAPI fake_put_cat_attr(HANDLE, LPWSTR name, DWORD flags, DWORD size,
                                            BYTE *data)
{
    add_call("catattr", name, wide_value(size, data), flags);
    return &fake_attribute;
}

CRYPTCATMEMBER *WINAPI fake_put_member(HANDLE, WCHAR *file, WCHAR *tag, GUID *subject,
                                       DWORD version, DWORD size, BYTE *data)
{
    catalog_call call;
    call.what = "member";
    call.name = file ? file : L"";
    call.value = tag;
    call.subject = *subject;
    call.version = version;
    if (size == sizeof(SIP_INDIRECT_DATA)) {
        auto *indirect = reinterpret_cast<SIP_INDIRECT_DATA *>(data);
        call.digest =
            std::string(reinterpret_cast<char *>(indirect->Digest.pbData), indirect->Digest.cbData);
        call.what +=
            std::string(":") + indirect->DigestAlgorithm.pszObjId + ":" + indirect->Data.pszObjId;
    }
    calls.push_back(call);
    return &fake_member;
}

CRYPTCATATTRIBUTE *WINAPI fake_put_attr(HANDLE, CRYPTCATMEMBER *member, LPWSTR name, DWORD flags,
                                        DWORD size, BYTE *data)
{
    add_call(member == &fake_member ? "attr" : "attr?", name, wide_value(size, data), flags);
    return &fake_attribute;
}

std::string sha1_of(const std::string &path)
{
    std::string content = read_file(path);
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    BYTE digest[20];
    DWORD size = sizeof digest;
    CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT);
    CryptCreateHash(provider, CALG_SHA1, 0, 0, &hash);
    CryptHashData(hash, reinterpret_cast<const BYTE *>(content.data()),
                  static_cast<DWORD>(content.size()), 0);
    CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0);
    CryptDestroyHash(hash);
    CryptReleaseContext(provider, 0);
    return std::string(reinterpret_cast<char *>(digest), size);
}

std::wstring hex(const std::string &bytes)
{
    std::wstring out;
    wchar_t d[3];
    for (unsigned char c : bytes) {
        swprintf(d, 3, L"%02X", c);
        out += d;
    }
    return out;
}

const GUID PE_SUBJECT = {
    0xC689AAB8, 0x8E78, 0x11D0, {0x8C, 0x47, 0x00, 0xC0, 0x4F, 0xC2, 0x95, 0xEE}};
const GUID FLAT_SUBJECT = {
    0xDE351A42, 0x8E59, 0x11D0, {0x8C, 0x47, 0x00, 0xC0, 0x4F, 0xC2, 0x95, 0xEE}};

class CatalogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        clear_log();
        calls.clear();
        persistResult = TRUE;
        folder_ = fresh_dir("catpkg");
        ASSERT_EQ(extract_binaries(folder_.c_str()), 0);
        for (const char *extra : {"\\station.inf", "\\station.cat", "\\readme.txt"}) {
            FILE *f = fopen((folder_ + extra).c_str(), "wb");
            fputs("content", f);
            fclose(f);
        }
    }

    std::vector<catalog_call> of_kind(const std::string &prefix)
    {
        std::vector<catalog_call> found;
        for (const catalog_call &c : calls) {
            if (c.what.rfind(prefix, 0) == 0)
                found.push_back(c);
        }
        return found;
    }

    std::string folder_;
    function_override fakes_{{
        {"CryptCATOpen", as_proc(fake_open)},
        {"CryptCATClose", as_proc(fake_close)},
        {"CryptCATPersistStore", as_proc(fake_persist)},
        {"CryptCATPutCatAttrInfo", as_proc(fake_put_cat_attr)},
        {"CryptCATPutMemberInfo", as_proc(fake_put_member)},
        {"CryptCATPutAttrInfo", as_proc(fake_put_attr)},
    }};
};

} // namespace

TEST_F(CatalogTest, CoversTheListedFilesWithTheirHashesAndAttributes)
{
    std::vector<std::string> list = {"winusbcoinstaller2.dll",
                                     "WdfCoInstaller01011.dll",
                                     "installer_x64.exe",
                                     "missing.dll",
                                     "station.cat",
                                     "Station.inf"};
    ASSERT_TRUE(CreateCat((folder_ + "\\station.cat").c_str(), "USB\\VID_3746&PID_00AB&MI_00",
                          folder_.c_str(), list));

    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(calls.front().what, "open");
    EXPECT_EQ(calls.front().flags, static_cast<DWORD>(CRYPTCAT_OPEN_CREATENEW));
    EXPECT_EQ(calls[1].name, L"HWID1");
    EXPECT_EQ(calls[1].value, L"usb\\vid_3746&pid_00ab&mi_00");
    EXPECT_EQ(calls[1].flags, 0x10010001u);
    EXPECT_EQ(calls[2].name, L"OS");
    EXPECT_EQ(calls[2].value, L"7_X86,7_X64,8_X86,8_X64,8_ARM,10_X86,10_X64,10_ARM");
    EXPECT_EQ(calls[calls.size() - 2].what, "persist");
    EXPECT_EQ(calls.back().what, "close");

    std::vector<catalog_call> members = of_kind("member");
    ASSERT_EQ(members.size(), 4u); // three PE files and the INF; not the catalog, not missing.dll
    int pe = 0;
    for (const catalog_call &m : members) {
        EXPECT_EQ(m.version, 0x200u);
        EXPECT_EQ(m.digest.size(), 20u);
        EXPECT_EQ(m.value, hex(m.digest)); // the tag is the hash in upper-case hex
        bool isPe = IsEqualGUID(m.subject, PE_SUBJECT);
        EXPECT_TRUE(isPe || IsEqualGUID(m.subject, FLAT_SUBJECT));
        EXPECT_EQ(m.what, isPe ? "member:1.3.14.3.2.26:1.3.6.1.4.1.311.2.1.15"
                               : "member:1.3.14.3.2.26:1.3.6.1.4.1.311.2.1.25");
        pe += isPe;
    }
    EXPECT_EQ(pe, 3);

    std::vector<catalog_call> attributes = of_kind("attr");
    ASSERT_EQ(attributes.size(), 8u);
    std::vector<std::wstring> files;
    for (size_t i = 0; i < attributes.size(); i += 2) {
        EXPECT_EQ(attributes[i].name, L"File");
        files.push_back(attributes[i].value);
        EXPECT_EQ(attributes[i + 1].name, L"OSAttr");
        EXPECT_EQ(attributes[i + 1].value, L"2:5.1,2:5.2,2:6.0,2:6.1");
    }
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files,
              (std::vector<std::wstring>{L"installer_x64.exe", L"station.inf",
                                         L"wdfcoinstaller01011.dll", L"winusbcoinstaller2.dll"}));

    // The hash is the file's SHA-1 (Wine hashes PE files whole).
    std::string expected = sha1_of(folder_ + "\\amd64\\winusbcoinstaller2.dll");
    bool found = false;
    for (const catalog_call &m : members)
        found = found || m.digest == expected;
    EXPECT_TRUE(found);

    std::string log = log_text();
    EXPECT_NE(log.find("'station.inf': INF type"), std::string::npos) << log;
    EXPECT_NE(log.find("Unhandled file type: 'station.cat' - ignoring"), std::string::npos);
    EXPECT_NE(log.find("could not add hash for '" + folder_ + "\\station.cat' - ignored"),
              std::string::npos);
    EXPECT_NE(log.find("added hash for '" + folder_ + "\\amd64\\winusbcoinstaller2.dll'"),
              std::string::npos);
    EXPECT_EQ(log.find("missing.dll"), std::string::npos);
    EXPECT_EQ(log.find("readme.txt"), std::string::npos);
    EXPECT_NE(log.find("Successfully created file '" + folder_ + "\\station.cat'"),
              std::string::npos);
}

TEST_F(CatalogTest, UnsavedCatalogFails)
{
    persistResult = FALSE;
    EXPECT_FALSE(
        CreateCat((folder_ + "\\station.cat").c_str(), "USB\\X", folder_.c_str(), {"station.inf"}));
    EXPECT_EQ(calls.back().what, "close");
    EXPECT_NE(log_text().find("[warning] "), std::string::npos);
    EXPECT_NE(log_text().find("Unable to sort file: "), std::string::npos);
}
