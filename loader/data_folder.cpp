#include "data_folder.h"

#include <windows.h>
#include <sddl.h>

#include <vector>

#include "handles.h"

namespace zelvo_load {

namespace {

using zelvo_common::UniqueHandle;
using zelvo_common::UniqueLocalMemory;

// The current user's SID as text ("S-1-5-21-..."); empty when unknown.
[[nodiscard]] std::wstring currentUserSidText()
{
    UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) {
        return {};
    }
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> user(size);
    if (size == 0 || !GetTokenInformation(token.get(), TokenUser, user.data(), size, &size)) {
        return {};
    }
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &text)) {
        return {};
    }
    const UniqueLocalMemory owned(text);
    return text;
}

}  // namespace

bool ensureDataFolder(const std::wstring& folder)
{
    if (GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return true;
    }
    const std::wstring sid = currentUserSidText();
    // A protected access list with one entry: the user, all access.
    const std::wstring userOnly = L"D:P(A;;GA;;;" + sid + L")";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (sid.empty() ||
        !ConvertStringSecurityDescriptorToSecurityDescriptorW(userOnly.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
        return false;
    }
    const UniqueLocalMemory owned(descriptor);
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
    return CreateDirectoryW(folder.c_str(), &attributes) != 0;
}

}  // namespace zelvo_load
