#include <gtest/gtest.h>

#include <string>

#include "Error.h"
#include "ModuleLoader.h"

namespace {

std::string Message(const std::string& module, const char* entry)
{
    try {
        ModuleEntry(module, entry, "Testing modules");
    } catch (const EError& e) {
        return e.what();
    }
    return "(no error)";
}

// A missing module or entry is an error that says what needed it and which
// file; a module is only ever taken from the module folder, never from the
// current folder.
TEST(ModuleLoaderTest, MissingModulesAndEntriesAreReportedWithTheirPlace)
{
    const std::string missing = Message("ombrane-none.so", "Entry");
    EXPECT_EQ(missing.rfind("Testing modules needs the module \"", 0), 0u) << missing;
    EXPECT_NE(missing.find("/ombrane-none.so\", which cannot be loaded: "), std::string::npos) << missing;
    EXPECT_EQ(missing.find("\"ombrane-none.so\""), std::string::npos) << "a bare name would be searched for";
#if defined(OMBRANE_TEST_PICTURE_CODEC) && !defined(OMBRANE_LINKED_MODULES)
    EXPECT_NE(ModuleEntry("ombrane-oiio.so", "OmbraneDeepCodec", "Testing modules"), nullptr);
    EXPECT_NE(Message("ombrane-oiio.so", "NoSuchEntry").find("which is damaged"), std::string::npos);
#endif
}

} // namespace
