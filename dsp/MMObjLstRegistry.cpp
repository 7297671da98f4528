#include "dsp/MMObjLstRegistry.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>

namespace keb
{

namespace
{

struct TCaseInsensitiveLess
{
    bool operator()(const std::string& a, const std::string& b) const
    {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                            [](unsigned char x, unsigned char y)
                                            { return std::toupper(x) < std::toupper(y); });
    }
};

class TRegistry
{
  public:
    void Add(TRegisterRec entry)
    {
        std::lock_guard lock(mutex_);
        std::string key = entry.ClassName;
        entries_.try_emplace(std::move(key), std::make_unique<TRegisterRec>(std::move(entry)));
    }

    const TRegisterRec* Find(std::string_view name)
    {
        std::lock_guard lock(mutex_);
        const auto found = entries_.find(std::string(name.substr(0, MaxContainerClassName)));
        return found == entries_.end() ? nullptr : found->second.get();
    }

  private:
    std::mutex mutex_;
    std::map<std::string, std::unique_ptr<TRegisterRec>, TCaseInsensitiveLess> entries_;
};

// Built on first use so that registrations from other units' static
// initialisation find it whatever the initialisation order.
TRegistry& TheRegistry()
{
    static TRegistry registry;
    return registry;
}

std::string FormatName(const char* pattern, const std::string& name)
{
    std::string text = pattern;
    text.replace(text.find("%s"), 2, name);
    return text;
}

} // namespace

void RegisterContainerClass(std::string_view className, TContainerFactory create,
                            TContainerLoadProc load, TContainerStoreProc store)
{
    TheRegistry().Add({std::string(className.substr(0, MaxContainerClassName)), std::move(create),
                       std::move(load), std::move(store)});
}

const TRegisterRec* FindContainerClass(std::string_view name)
{
    return TheRegistry().Find(name);
}

std::unique_ptr<TContainerObject> ReadContainerObject(TStream& stream)
{
    const std::size_t length = stream.ReadUInt8();
    if (length > MaxContainerClassName)
        throw EReadError("Invalid Object stream");
    const std::string name = stream.ReadString(length);
    const TRegisterRec* entry = FindContainerClass(name);
    if (entry == nullptr)
        throw EClassNotFound(FormatName("Class <%s> not registered", name));
    std::unique_ptr<TContainerObject> object = entry->Create();
    entry->LoadProc(*object, stream);
    return object;
}

void WriteContainerObject(const TContainerObject* object, TStream& stream)
{
    if (object == nullptr)
        throw EClassNotFound("Nil Source Class!");
    const std::string name = object->ContainerClassName().substr(0, MaxContainerClassName);
    const TRegisterRec* entry = FindContainerClass(name);
    if (entry == nullptr)
        throw EClassNotFound(FormatName("Source Class <%s> not registered", name));
    stream.WriteUInt8(static_cast<std::uint8_t>(name.size()));
    stream.WriteString(name);
    entry->StoreProc(*object, stream);
}

} // namespace keb
