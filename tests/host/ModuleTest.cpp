// The module as a host sees it: loaded with dlopen, driven through getFilter.
#include <cstdlib>
#include <dlfcn.h>
#include <string>

#include <gtest/gtest.h>

#include "host/AHostExportFilter.h"
#include "host/Opcodes.h"
#include "support/Files.h"

namespace {

using GetFilter = AHostExportFilter* (*)();

class Module : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        handle = ::dlopen(AIEXPORT_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle, nullptr) << ::dlerror();
        getFilter = reinterpret_cast<GetFilter>(::dlsym(handle, "getFilter"));
        ASSERT_NE(getFilter, nullptr);
    }
    void SetUp() override { ::setenv("SOURCE_DATE_EPOCH", "0", 1); }
    std::string Export(const std::string& name, void (*drawing)(AHostExportFilter*) = nullptr,
                       int* result = nullptr)
    {
        AHostExportFilter* f = getFilter();
        std::string target = dir.File(name);
        if (f->exportFile(target.data()) != 1)
            return "exportFile failed";
        BeginPictureData picture{0, 0, 0, 8.5, 11};
        BeginDrawingSectionData section{8.5, 11};
        f->writeData(aiop::kBeginPicture, &picture);
        f->writeData(aiop::kBeginDrawingSection, &section);
        if (drawing != nullptr)
            drawing(f);
        const int r = f->writeData(aiop::kEndPicture, nullptr);
        if (result != nullptr)
            *result = r;
        return ReadFile(target);
    }

    static void* handle;
    static GetFilter getFilter;
    TempDir dir;
};

void* Module::handle = nullptr;
GetFilter Module::getFilter = nullptr;

}  // namespace

TEST_F(Module, GetFilterReturnsTheOneFilter)
{
    AHostExportFilter* first = getFilter();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(getFilter(), first);
    EXPECT_STREQ(first->getFilterDescriptor(), "Adobe Illustrator (*.AI)|*.ai");
    EXPECT_EQ(first->hasPrefererences(), 0);
    EXPECT_EQ(first->displayPreferenceDialog(), 1);
}

TEST_F(Module, RecordsWithoutEffectWriteNothing)
{
    const std::string plain = Export("plain.ai");
    const std::string quiet = Export("quiet.ai", [](AHostExportFilter* f) {
        unsigned char zeros[512] = {};
        for (unsigned short op : {0, 40, 41, 1290, 1301, 2056, 257, 258, 259, 260, 270, 272, 2050,
                                  2054, 2055, 2057, 65535}) {
            EXPECT_EQ(f->writeData(op, zeros), 1) << op;
            EXPECT_EQ(f->writeData(op, nullptr), 1) << op;
        }
    });
    EXPECT_EQ(quiet.substr(quiet.find("%%EndComments")), plain.substr(plain.find("%%EndComments")));
}

TEST_F(Module, AThousandExportsHoldNoFilesOpen)
{
    const int before = OpenDescriptors();
    for (int i = 0; i < 1000; ++i) {
        int result = 0;
        Export("again.ai", nullptr, &result);
        ASSERT_EQ(result, 1) << i;
    }
    EXPECT_EQ(OpenDescriptors(), before);
}
