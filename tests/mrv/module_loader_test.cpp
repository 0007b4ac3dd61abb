#include "mrv/module_loader.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <string>

namespace {

using Mrv::LoadedModule;
using Mrv::ModuleLoadError;

// The loader maps modules with RTLD_NODELETE, so a module stays readable after it is unloaded and
// its counters tell what ran. Each test runs in its own process.
int counter(const char* path, const char* name)
{
    void* handle = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
    if (!handle)
        return -1;  // never mapped at all
    const int value = *static_cast<int*>(dlsym(handle, name));
    dlclose(handle);
    return value;
}

std::string loadError(const char* path)
{
    try {
        LoadedModule module(path);
    } catch (const ModuleLoadError& e) {
        return e.what();
    }
    return {};
}

TEST(ModuleLoader, LifeOfAGoodModule)
{
    const char* path = TEST_MODULE_GOOD_PATH;
    int* finalizeCalls = nullptr;
    {
        LoadedModule module(path);
        EXPECT_EQ(module.data<int>("initializeCalls"), 1);
        EXPECT_EQ(module.data<int>("finalizeCalls"), 0);
        EXPECT_EQ(module.descriptor().version.language, 0x0416);
        EXPECT_EQ(module.requiredPackages(), (std::vector<std::string>{"_mrv", "_rtl"}));
        EXPECT_EQ(module.containedUnits(), (std::vector<std::string>{"TestModule"}));

        module.iniProc();
        module.iniProc();
        EXPECT_EQ(module.data<int>("iniProcCalls"), 2);
        EXPECT_EQ(module.data<int>("initializeCalls"), 1) << "IniProc must not re-run the unit starts";

        EXPECT_EQ(module.symbol("noSuchSymbol"), nullptr);
        EXPECT_THROW(module.data<int>("noSuchSymbol"), ModuleLoadError);
        finalizeCalls = &module.data<int>("finalizeCalls");
    }
    // Still mapped after the unload, and Finalize ran exactly once.
    EXPECT_EQ(*finalizeCalls, 1);
    EXPECT_EQ(counter(path, "initializeCalls"), 1);

    // Loading again maps the same module and starts its units again.
    LoadedModule again(path);
    EXPECT_EQ(again.data<int>("initializeCalls"), 2);
    EXPECT_EQ(&again.data<int>("finalizeCalls"), finalizeCalls);
}

TEST(ModuleLoader, RejectedModulesNeverStart)
{
    struct Case {
        const char* path;
        const char* expected;
    };
    const Case cases[] = {
        {TEST_MODULE_BAD_MAGIC_PATH, "bad magic"},
        {TEST_MODULE_DESIGN_TIME_PATH, "run-time package"},
        {TEST_MODULE_NULL_REQUIRES_PATH, "requires list is unreadable"},
        {TEST_MODULE_NO_INIPROC_PATH, "exports no IniProc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const std::string error = loadError(c.path);
        EXPECT_NE(error.find(c.expected), std::string::npos) << error;
        EXPECT_NE(error.find(c.path), std::string::npos) << "the message names the file: " << error;
        EXPECT_EQ(counter(c.path, "initializeCalls"), 0);
        EXPECT_EQ(counter(c.path, "finalizeCalls"), 0);
    }
}

TEST(ModuleLoader, MissingFileNamesThePath)
{
    const std::string error = loadError("/nonexistent/Pkg_Missing.so");
    EXPECT_NE(error.find("/nonexistent/Pkg_Missing.so"), std::string::npos) << error;
}

} // namespace
