#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "engine/base/Error.h"
#include "fileio/ModuleLoader.h"
#include "tests/support/PipeUnblocker.h"

namespace {

std::string Message(const std::string& module, const char* entry) {
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
TEST(ModuleLoaderTest, MissingModulesAndEntriesAreReportedWithTheirPlace) {
    const std::string missing = Message("ombrane-none.so", "Entry");
    EXPECT_EQ(missing.rfind("Testing modules needs the module \"", 0), 0u) << missing;
    EXPECT_NE(missing.find("/ombrane-none.so\", which cannot be loaded: "), std::string::npos) << missing;
    EXPECT_EQ(missing.find("\"ombrane-none.so\""), std::string::npos) << "a bare name would be searched for";
#if defined(OMBRANE_TEST_PICTURE_CODEC) && !defined(OMBRANE_LINKED_MODULES)
    EXPECT_NE(ModuleEntry("ombrane-oiio.so", "OmbraneDeepCodec", "Testing modules"), nullptr);
    EXPECT_NE(Message("ombrane-oiio.so", "NoSuchEntry").find("which is damaged"), std::string::npos);
#endif
}

template <class T>
std::string ObjectMessage(const char* entry, int version) {
    try {
        ModuleObject<T>("ombrane-test-versions.so", entry, version, "Testing modules");
    } catch (const EError& e) {
        return e.what();
    }
    return "(no error)";
}

}  // namespace

#ifdef OMBRANE_TEST_MODULE_DIR
// A module built for another interface (a stale install) is refused with its
// file named, before anything of it is used; a named pipe in the module
// folder is not waited on.
TEST(ModuleLoaderTest, ModulesOfAnotherVersionAndPipesAreRefused) {
    struct TUnversioned {};
    struct TLater {};
    struct TMatching {};
    const std::string path = std::string(OMBRANE_TEST_MODULE_DIR) + "/ombrane-test-versions.so";
    for (const std::string& message :
         {ObjectMessage<TUnversioned>("OmbraneUnversionedEntry", 7), ObjectMessage<TLater>("OmbraneLaterEntry", 7)}) {
        EXPECT_EQ(message.rfind("Testing modules needs the module \"" + path + "\", which is of another version", 0),
                  0u)
            << message;
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    }
    EXPECT_EQ(*static_cast<const int*>(static_cast<const void*>(
                  &ModuleObject<TMatching>("ombrane-test-versions.so", "OmbraneMatchingEntry", 7, "Testing modules"))),
              3);

    const std::string pipe = std::string(OMBRANE_TEST_MODULE_DIR) + "/ombrane-test-pipe.so";
    std::remove(pipe.c_str());
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    int unblocked = 0;
    std::string message;
    {
        const TPipeUnblocker unblocker(pipe);
        message = Message("ombrane-test-pipe.so", "Entry");
        unblocked = unblocker.Unblocked();
    }
    std::remove(pipe.c_str());
    EXPECT_EQ(message,
              "Testing modules needs the module \"" + pipe + "\", which cannot be loaded: it is not a regular file")
        << message;
    EXPECT_EQ(unblocked, 0);
}
#endif

namespace {

const int kLinkedObject = 5;

extern "C" const int* LinkedEntryOfVersion6(int* interfaceVersion) {
    *interfaceVersion = 6;
    return &kLinkedObject;
}

extern "C" const int* LinkedEntryOfVersion7(int* interfaceVersion) {
    *interfaceVersion = 7;
    return &kLinkedObject;
}

}  // namespace

// A module linked into the program is taken from its entry, no file is
// looked for, and it passes the same version check as a loaded one.
TEST(ModuleLoaderTest, LinkedEntriesAreCheckedAsLoadedOnesAre) {
    std::string message = "(no error)";
    try {
        ModuleInterface("ombrane-none.so", "Entry", 7, "Testing modules",
                        reinterpret_cast<const void* (*)(int*)>(&LinkedEntryOfVersion6));
    } catch (const EError& e) {
        message = e.what();
    }
    EXPECT_EQ(message.rfind("Testing modules needs the module \"", 0), 0u) << message;
    EXPECT_NE(message.find("/ombrane-none.so\", which is of another version (interface 6, not 7)"), std::string::npos)
        << message;
    struct TLinked {};
    const int* object = reinterpret_cast<const int*>(
        &ModuleObject<TLinked>("ombrane-none.so", "Entry", 7, "Testing modules",
                               reinterpret_cast<const TLinked* (*)(int*)>(&LinkedEntryOfVersion7)));
    EXPECT_EQ(object, &kLinkedObject);
}
