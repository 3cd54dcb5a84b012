#include "store/secrets.h"

#include <windows.h>
#include <bcrypt.h>

#include <vector>

#include "handles.h"

namespace zelvo_host {

namespace {

using zelvo_common::UniqueHandle;

constexpr size_t tokenBytes = 32;

// The current user's SID, copied out of the process token.
[[nodiscard]] std::vector<BYTE> currentUserSid()
{
    UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) {
        return {};
    }
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) {
        return {};
    }
    const PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    std::vector<BYTE> copy(GetLengthSid(sid));
    if (!CopySid(static_cast<DWORD>(copy.size()), copy.data(), sid)) {
        return {};
    }
    return copy;
}

// A security descriptor whose protected access list grants `sid` full
// access and nobody else anything. The parts live as long as this object.
struct UserOnlyDescriptor {
    std::vector<BYTE> sid = currentUserSid();
    std::vector<BYTE> acl;
    SECURITY_DESCRIPTOR descriptor = {};
    SECURITY_ATTRIBUTES attributes = {sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};

    [[nodiscard]] bool build()
    {
        if (sid.empty()) {
            return false;
        }
        acl.resize(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + sid.size());
        auto* list = reinterpret_cast<ACL*>(acl.data());
        if (!InitializeAcl(list, static_cast<DWORD>(acl.size()), ACL_REVISION) ||
            !AddAccessAllowedAce(list, ACL_REVISION, GENERIC_ALL, sid.data()) ||
            !InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
            !SetSecurityDescriptorDacl(&descriptor, TRUE, list, FALSE) ||
            !SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) {
            return false;
        }
        attributes.lpSecurityDescriptor = &descriptor;
        return true;
    }
};

}  // namespace

std::string newToken()
{
    unsigned char bytes[tokenBytes];
    if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, bytes, sizeof bytes, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
        return {};
    }
    static constexpr char digits[] = "0123456789abcdef";
    std::string token;
    for (const unsigned char byte : bytes) {
        token += digits[byte >> 4];
        token += digits[byte & 0x0F];
    }
    SecureZeroMemory(bytes, sizeof bytes);
    return token;
}

bool tokensEqual(std::string_view expected, std::string_view given) noexcept
{
    // Every byte of the expected token is looked at whatever `given` holds;
    // a length difference only adds to the difference, never shortens the loop.
    unsigned difference = expected.size() == given.size() ? 0u : 1u;
    for (size_t index = 0; index < expected.size(); ++index) {
        const unsigned char other = index < given.size() ? static_cast<unsigned char>(given[index]) : 0u;
        difference |= static_cast<unsigned char>(expected[index]) ^ other;
    }
    return difference == 0 && !expected.empty();
}

bool createFolderForUser(const std::wstring& folder)
{
    if (GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return true;
    }
    UserOnlyDescriptor security;
    return security.build() && CreateDirectoryW(folder.c_str(), &security.attributes) != 0;
}

bool writeUserOnlyFile(const std::wstring& path, const std::string& text)
{
    UserOnlyDescriptor security;
    if (!security.build()) {
        return false;
    }
    DeleteFileW(path.c_str());
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, &security.attributes, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    DWORD written = 0;
    return WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size() && FlushFileBuffers(file.get());
}

}  // namespace zelvo_host
