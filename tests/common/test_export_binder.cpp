// The export binder: the built zelvo.dll bound by plain name, and the two
// ways binding fails reported rather than crashed on.
#include <gtest/gtest.h>

#include <cstring>

#include "module_folder.h"
#include "zelvo_exports.h"

using zelvo_common::BoundZelvo;
using zelvo_common::loadZelvo;
using zelvo_common::moduleFolder;

TEST(ExportBinder, BindsAllEightExportsOfTheBuiltLibrary)
{
    const BoundZelvo zelvo = loadZelvo(moduleFolder(nullptr) + L"zelvo.dll");
    ASSERT_TRUE(zelvo.ok()) << "load error " << zelvo.loadError << ", missing "
                            << (zelvo.missingExport ? zelvo.missingExport : "none");
    const zelvo_common::ZelvoExports& e = zelvo.exports;
    for (const void* bound : {reinterpret_cast<const void*>(e.login), reinterpret_cast<const void*>(e.logout),
                              reinterpret_cast<const void*>(e.getWndText), reinterpret_cast<const void*>(e.getBroker),
                              reinterpret_cast<const void*>(e.getAccount), reinterpret_cast<const void*>(e.queryData),
                              reinterpret_cast<const void*>(e.sendOrder), reinterpret_cast<const void*>(e.cancelOrder)}) {
        EXPECT_NE(bound, nullptr);
    }
    char text[8] = {'x'};
    e.getBroker(text);
    EXPECT_STREQ(text, "") << "a bound getter runs: no edition recognised yet";
}

TEST(ExportBinder, ReportsAMissingExportByName)
{
    zelvo_common::ZelvoExports exports;
    const char* missing = zelvo_common::bindExports(GetModuleHandleW(L"kernel32.dll"), exports);
    ASSERT_NE(missing, nullptr);
    EXPECT_STREQ(missing, "Zelvo_Login");
}

TEST(ExportBinder, ReportsALibraryThatDoesNotLoad)
{
    const BoundZelvo zelvo = loadZelvo(moduleFolder(nullptr) + L"no-such-library.dll");
    EXPECT_FALSE(zelvo.ok());
    EXPECT_FALSE(zelvo.module);
    EXPECT_EQ(zelvo.loadError, static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}
