#include "tools/PictureModule.h"

#include "tools/FilterErrors.h"

#include <dlfcn.h>
#include <filesystem>

#define KEB_NAME_OF(name) #name
#define KEB_NAME(name) KEB_NAME_OF(name)

namespace keb
{

namespace
{

// Where the program itself lies, found through the process's own link.
std::filesystem::path ProgramFolder()
{
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : program.parent_path();
}

void* OpenModule(std::string& failure)
{
    const std::filesystem::path folder = ProgramFolder();
    for (const std::filesystem::path& place :
         {folder / KEB_PICTURE_MODULE_FILE,
          folder / KEB_PICTURE_MODULE_INSTALLED_FOLDER / KEB_PICTURE_MODULE_FILE})
    {
        if (!std::filesystem::exists(place))
            continue;
        if (void* module = ::dlopen(place.c_str(), RTLD_NOW | RTLD_LOCAL))
            return module;
        failure = ::dlerror();
        return nullptr;
    }
    failure = std::string("its module ") + KEB_PICTURE_MODULE_FILE + " is not installed";
    return nullptr;
}

} // namespace

std::unique_ptr<TPictureWriter> LoadPictureWriter()
{
    std::string failure;
    void* module = OpenModule(failure);
    void* entry = module != nullptr ? ::dlsym(module, KEB_NAME(KEB_PICTURE_MODULE_ENTRY)) : nullptr;
    if (module != nullptr && entry == nullptr)
        failure = ::dlerror();
    if (entry == nullptr)
        throw EFilterOutputError("cannot draw pictures: " + failure);
    using TEntry = TPictureWriter* (*)();
    return std::unique_ptr<TPictureWriter>(reinterpret_cast<TEntry>(entry)());
}

} // namespace keb
